#pragma once
// Child processes for the lab and the fault tests: started with a chosen
// folder, environment and output files, waited for with a time limit, and
// killed by their own pid when a test ends without them having ended.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace lab {

// The environment of this process with the named variables replaced or
// added ("NAME=value") and the ones in remove dropped.
inline std::vector<std::string> environmentWith(const std::vector<std::string>& set,
                                                const std::vector<std::string>& remove = {}) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool dropped = false;
    for (const std::string& s : set) dropped |= s.substr(0, s.find('=')) == name;
    for (const std::string& r : remove) dropped |= r == name;
    // A scale comes only from the test: the desktop's would change every picture.
    dropped |= name == "TANDREL_SCALE" || name == "GDK_SCALE";
    if (!dropped) env.push_back(entry);
  }
  env.insert(env.end(), set.begin(), set.end());
  return env;
}

// Where the standard streams of a child go: "" for /dev/null.
struct ChildOutput {
  std::string out;
  std::string err;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { stop(); }

  // Starts argv[0] (searched on the child's PATH) in folder; false when fork fails.
  bool start(const std::vector<std::string>& argv, const std::string& folder,
             const std::vector<std::string>& env, const ChildOutput& output = {}) {
    // Everything the child touches is built before fork: the test process
    // has threads, so the child must not allocate.
    std::vector<std::string> args = argv, envs = env;
    std::vector<char*> argp, envp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    for (std::string& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string out = output.out.empty() ? "/dev/null" : output.out;
    const std::string err = output.err.empty() ? "/dev/null" : output.err;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      setpgid(0, 0);  // its own group, so that a stop reaches what it started
      int in = open("/dev/null", O_RDONLY);
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = err == out && o >= 0 ? dup(o) : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || o < 0 || e < 0 || (!folder.empty() && chdir(folder.c_str()) != 0)) _exit(126);
      dup2(in, 0);
      dup2(o, 1);
      dup2(e, 2);
      for (int fd = 3; fd < 1024; ++fd) close(fd);
      execvpe(argp[0], argp.data(), envp.data());
      _exit(127);
    }
    setpgid(pid_, pid_);
    ended_ = false;
    return true;
  }

  pid_t pid() const { return pid_; }

  // Exit status (128 + signal for a signal), or -1 while it runs after timeout_ms.
  int wait(int timeout_ms) {
    if (ended_ || pid_ <= 0) return status_;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int status = 0;
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        ended_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
      }
      if (done < 0) {
        ended_ = true;
        return status_;
      }
      if (std::chrono::steady_clock::now() >= deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  bool running() { return wait(0) == -1 && !ended_; }
  bool ended() const { return ended_; }

  // SIGTERM to its group, SIGKILL when it lingers; then reaped.
  void stop() {
    if (pid_ <= 0 || ended_) return;
    kill(-pid_, SIGTERM);
    kill(pid_, SIGTERM);
    if (wait(3000) == -1) {
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
      wait(5000);
    }
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = -1;
};

// Runs a command to its end; its exit status, -1 when it cannot start or
// outlasts timeout_ms. Its output (both streams) goes to outputFile, if any.
inline int runCommand(const std::vector<std::string>& argv, const std::string& outputFile = "",
                      int timeout_ms = 30000) {
  ChildProcess child;
  if (!child.start(argv, "", environmentWith({}), {outputFile, outputFile})) return -1;
  return child.wait(timeout_ms);
}

// The first executable named program in PATH (or in extra folders), or "".
inline std::string findProgram(const std::string& program, const std::string& extra = "") {
  const char* path = std::getenv("PATH");
  std::string dirs = std::string(path ? path : "/usr/bin:/bin") + ":" + extra;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      std::string file = dir + "/" + program;
      if (access(file.c_str(), X_OK) == 0) return file;
    }
    start = end + 1;
  }
  return "";
}

}  // namespace lab
