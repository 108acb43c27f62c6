// Input streams by handle over files and command pipes: a pipe's command runs
// under /bin/sh, a tool's with LC_ALL=C, and closing the pipe waits for it.
#include "app/streams.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

constexpr int handleCount = 256;  // handles 1..255; 0 means "none"

enum class StreamKind { Free, File, Pipe };

struct StreamSlot {
  StreamKind kind = StreamKind::Free;
  FILE* file = nullptr;
  pid_t child = -1;
  bool drained = false;  // a Watched pipe's output has closed
};

StreamSlot streams[handleCount];
// The process group of each Watched pipe's command, 0 for none: read by
// killWatchedStreams, which may run on another thread or in a signal handler.
std::atomic<pid_t> watchedGroups[handleCount];

StreamHandle lowestFreeHandle() {
  for (StreamHandle h = 1; h < handleCount; ++h)
    if (streams[h].kind == StreamKind::Free) return h;
  return 0;
}

StreamSlot* openSlot(StreamHandle handle) {
  if (handle < 1 || handle >= handleCount || streams[handle].kind == StreamKind::Free)
    return nullptr;
  return &streams[handle];
}

// The parent's environment with LC_ALL=C in place of any LC_ALL it has, so
// the tool prints the untranslated texts we look for. Built without touching
// our own environment, which another thread may be reading.
std::vector<char*> toolEnvironment() {
  static char cLocale[] = "LC_ALL=C";
  std::vector<char*> env;
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, "LC_ALL=", 7) != 0) env.push_back(*e);
  env.push_back(cLocale);
  env.push_back(nullptr);
  return env;
}

// Starts /bin/sh -c commandLine with its standard output on a new pipe.
// Returns the read end, or -1.
int spawnShell(const Text& commandLine, PipeMode mode, pid_t& child) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  if (mode != PipeMode::Plain)
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (mode == PipeMode::Watched) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }

  char shell[] = "/bin/sh";
  char dashC[] = "-c";
  std::vector<char> command(commandLine.begin(), commandLine.end());
  command.push_back('\0');  // a NUL inside the line ends it, as in any C command line
  char* argv[] = {shell, dashC, command.data(), nullptr};

  std::vector<char*> env;
  char** envp = environ;
  if (mode != PipeMode::Plain) {
    env = toolEnvironment();
    envp = env.data();
  }

  const int failed = posix_spawn(&child, shell, &actions, &attributes, argv, envp);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (failed != 0) {
    close(fds[0]);
    return -1;
  }
  if (mode == PipeMode::Watched) fcntl(fds[0], F_SETFL, O_NONBLOCK);
  return fds[0];
}

void waitForChild(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

StreamHandle openInputFile(const Text& fileName) {
  const StreamHandle h = lowestFreeHandle();
  if (h == 0) return 0;
  FILE* file = std::fopen(fileName.c_str(), "re");
  if (!file) return 0;
  streams[h] = {StreamKind::File, file, -1};
  return h;
}

StreamHandle openCommandPipe(const Text& commandLine, PipeMode mode) {
  const StreamHandle h = lowestFreeHandle();
  if (h == 0) return 0;
  pid_t child = -1;
  const int fd = spawnShell(commandLine, mode, child);
  if (fd < 0) return 0;
  FILE* file = fdopen(fd, "r");
  if (!file) {
    close(fd);
    waitForChild(child);
    return 0;
  }
  streams[h] = {StreamKind::Pipe, file, child};
  if (mode == PipeMode::Watched) watchedGroups[h] = child;
  return h;
}

bool atEndOfInput(StreamHandle handle) {
  StreamSlot* s = openSlot(handle);
  if (!s || std::feof(s->file)) return true;
  const int c = std::getc(s->file);
  if (c == EOF) return true;
  std::ungetc(c, s->file);
  return false;
}

void readLine(StreamHandle handle, Text& target) {
  StreamSlot* s = openSlot(handle);
  if (!s) return;
  char* buffer = nullptr;
  size_t capacity = 0;
  const ssize_t got = getline(&buffer, &capacity, s->file);
  if (got <= 0) {
    target.clear();
  } else {
    size_t length = static_cast<size_t>(got);
    if (buffer[length - 1] == '\n') {
      --length;
      if (length > 0 && buffer[length - 1] == '\r') --length;
    } else if (buffer[length - 1] == '\r') {
      --length;  // a CR that is the last byte of the data
    }
    target.assign(buffer, length);
  }
  std::free(buffer);
}

void closeStream(StreamHandle handle) {
  StreamSlot* s = openSlot(handle);
  if (!s) return;
  watchedGroups[handle] = 0;
  std::fclose(s->file);
  if (s->kind == StreamKind::Pipe) waitForChild(s->child);
  *s = StreamSlot();
}

StreamState readAvailable(StreamHandle handle, Text& target, size_t limit) {
  StreamSlot* s = openSlot(handle);
  if (!s) return StreamState::Ended;
  char buffer[1024];
  while (!s->drained && limit > 0) {
    const ssize_t got = read(fileno(s->file), buffer, std::min(limit, sizeof buffer));
    if (got > 0) {
      target.append(buffer, size_t(got));
      limit -= size_t(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      s->drained = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
      break;
    }
  }
  if (!s->drained) return StreamState::Open;
  int status = 0;
  if (waitpid(s->child, &status, WNOHANG) == 0)
    return StreamState::Open;  // output closed, still running
  watchedGroups[handle] = 0;
  std::fclose(s->file);
  *s = StreamSlot();
  return StreamState::Ended;
}

void abortStream(StreamHandle handle) {
  StreamSlot* s = openSlot(handle);
  if (!s) return;
  if (watchedGroups[handle] > 0) kill(-watchedGroups[handle], SIGKILL);
  closeStream(handle);
}

void killWatchedStreams() {
  for (std::atomic<pid_t>& group : watchedGroups) {
    const pid_t g = group;
    if (g > 0) kill(-g, SIGKILL);
  }
}
