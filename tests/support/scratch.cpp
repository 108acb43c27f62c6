#include "support/scratch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/tandrel-test-XXXXXX";
  if (!mkdtemp(pattern)) std::abort();
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::string command = "rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) {
    // Nothing to do: a leftover scratch folder in /tmp harms no later test.
  }
}

void ScratchDir::write(const std::string& name, const std::string& contents, int mode) const {
  std::string full = file(name);
  {
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << contents;
  }
  chmod(full.c_str(), mode);
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ScratchDir::exists(const std::string& name) const {
  return access(file(name).c_str(), F_OK) == 0;
}

std::string ScratchDir::openCopy(const std::string& program) const {
  const std::string copy = file(std::filesystem::path(program).filename());
  std::error_code error;
  if (!std::filesystem::copy_file(program, copy, error)) return "";
  chmod(copy.c_str(), 0755);
  chmod(path_.c_str(), 0755);
  return copy;
}
