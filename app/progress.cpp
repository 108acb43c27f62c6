#include "app/progress.hpp"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

const char clearLine[] = "\r\x1b[K";
volatile sig_atomic_t lineShown = 0;

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
  Text line = fitted(text);
  line.insert(0, 1, '\r');
  line += "\x1b[K";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  lineShown = 1;
}

void progressClear() {
  if (!lineShown) return;
  std::fwrite(clearLine, 1, sizeof clearLine - 1, stderr);
  std::fflush(stderr);
  lineShown = 0;
}
