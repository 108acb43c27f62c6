#include "app/progress.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

const char clearLine[] = "\r\x1b[K";
volatile sig_atomic_t lineShown = 0;
// The line as shown, written again below what a tool wrote. The lock keeps
// the copier's writes apart from the line's own.
pthread_mutex_t lineLock = PTHREAD_MUTEX_INITIALIZER;
Text shownLine;
// The pipe the tools write their errors into while the line is shown:
// read end, write end; -1 without one.
int toolErrors[2] = {-1, -1};

void writeOut(const Text& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

// Copies what waits in the pipe, each piece on lines of its own with the
// line again below it. Under lineLock; false when the pipe cannot be read.
bool copyToolErrors() {
  char buffer[4096];
  ssize_t got;
  while ((got = read(toolErrors[0], buffer, sizeof buffer)) > 0) {
    Text piece = clearLine + Text(buffer, size_t(got));
    if (piece.back() != '\n') piece += '\n';
    if (lineShown) piece += shownLine;
    writeOut(piece);
  }
  return got < 0 && (errno == EAGAIN || errno == EINTR);
}

void* copyWhileOpen(void*) {
  pollfd ready = {toolErrors[0], POLLIN, 0};
  for (bool open = true; open;) {
    if (poll(&ready, 1, -1) < 0 && errno != EINTR) break;
    pthread_mutex_lock(&lineLock);
    open = copyToolErrors();
    pthread_mutex_unlock(&lineLock);
  }
  return nullptr;
}

// The pipe and its copier, made once; without them the tools keep writing
// to the terminal.
void copyToolErrorsFromNowOn() {
  static bool tried = false;
  if (tried) return;
  tried = true;
  if (pipe2(toolErrors, O_CLOEXEC) != 0) {
    toolErrors[0] = toolErrors[1] = -1;
    return;
  }
  fcntl(toolErrors[0], F_SETFL, O_NONBLOCK);
  pthread_t copier;
  if (pthread_create(&copier, nullptr, copyWhileOpen, nullptr) == 0) {
    pthread_detach(copier);
    return;
  }
  close(toolErrors[0]);
  close(toolErrors[1]);
  toolErrors[0] = toolErrors[1] = -1;
}

void clearAndStop(int signal) {
  if (lineShown) {
    ssize_t written = write(STDERR_FILENO, clearLine, sizeof clearLine - 1);
    (void)written;
  }
  raise(signal);  // reset already: ends the program as the signal would have
}

void clearOnStopSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action {};
  action.sa_handler = clearAndStop;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // One ignored from the start stays ignored (nohup): it ends nothing.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

// At most columns - 1 characters, so that the line never wraps and the
// carriage return always reaches its start.
Text fitted(const Text& text) {
  struct winsize size {};
  const size_t columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1
                             ? size_t(size.ws_col) - 1
                             : 79;
  size_t shown = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // inside a character
    if (++shown == columns) return text.substr(0, i) + "…";
  }
  return text;
}

}  // namespace

void progressShow(const Text& text) {
  if (!isatty(STDERR_FILENO) || tcgetpgrp(STDERR_FILENO) != getpgrp()) return;
  clearOnStopSignals();
  copyToolErrorsFromNowOn();
  Text line = fitted(text);
  line.insert(0, 1, '\r');
  line += "\x1b[K";
  pthread_mutex_lock(&lineLock);
  writeOut(line);
  shownLine = line;
  lineShown = 1;
  pthread_mutex_unlock(&lineLock);
}

void progressClear() {
  if (!lineShown) return;
  pthread_mutex_lock(&lineLock);
  // The tools have ended: what they wrote waits in the pipe, and goes first.
  if (toolErrors[0] >= 0) copyToolErrors();
  writeOut(clearLine);
  lineShown = 0;
  pthread_mutex_unlock(&lineLock);
}

int progressErrorOutput() { return lineShown ? toolErrors[1] : -1; }
