#pragma once
// Helpers of the application tests: a clean host table, stderr capture,
// environment and working-folder changes undone at the end of the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/hosts.hpp"
#include "app/latency.hpp"
#include "support/scratch.hpp"

// Starts the host's ping and reads it to its end, as the frames would.
inline void pingToEnd(HostRecord& host) {
  if (!sampleLatency(host)) return;
  while (collectPing(host) == PingEnd::None) usleep(1000);
}

struct HostTableTest : testing::Test {
  void SetUp() override { resetHostTable(); }
  void TearDown() override { resetHostTable(); }
};

// Sets (or, with nullptr, removes) an environment variable until destroyed.
class EnvSetting {
 public:
  EnvSetting(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (old) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvSetting() {
    if (had_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }

 private:
  std::string name_, old_;
  bool had_ = false;
};

// Everything written to standard error while it lives.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    saved_ = dup(2);
    const int fd = open(scratch_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    close(fd);
  }
  ~StderrCapture() { restore(); }
  std::string text() {
    restore();
    return scratch_.read("stderr");
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }
  ScratchDir scratch_;
  int saved_ = -1;
};

// Runs the test in another working folder.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& path) {
    char* old = getcwd(nullptr, 0);
    old_ = old ? old : "/";
    std::free(old);
    if (chdir(path.c_str()) != 0) ADD_FAILURE() << "cannot enter " << path;
  }
  ~WorkingFolder() {
    if (chdir(old_.c_str()) != 0) std::abort();
  }

 private:
  std::string old_;
};

inline int lineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}
