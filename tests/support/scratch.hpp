#pragma once
// Scratch folders for tests, removed when the test ends.
#include <string>

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& contents, int mode = 0644) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // A copy of the program in this folder, both open to everyone: another
  // user (nobody) may not reach a build folder inside a private one. Empty
  // when the copy failed.
  std::string openCopy(const std::string& program) const;

 private:
  std::string path_;
};
