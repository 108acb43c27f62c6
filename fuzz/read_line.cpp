// readLine over arbitrary bytes: every line read through the stream
// operations, followed by the line end that was removed, gives back the
// input exactly, and no line keeps a line end of its own.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/streams.hpp"
#include "check.hpp"

namespace {

// The input as a file of its own, kept in memory.
Text memoryFile(const uint8_t* data, size_t size, int* fd) {
  *fd = memfd_create("read_line", MFD_CLOEXEC);
  FUZZ_CHECK(*fd >= 0);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(*fd, data + written, size - written);
    FUZZ_CHECK(n > 0);
    written += static_cast<size_t>(n);
  }
  char name[64];
  std::snprintf(name, sizeof name, "/proc/self/fd/%d", *fd);
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = -1;
  const Text name = memoryFile(data, size, &fd);
  const StreamHandle h = openInputFile(name);
  FUZZ_CHECK(h >= 1 && h <= 255);

  const Text input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;  // where the next line must start in the input
  Text line = "left over from an earlier read";
  size_t lines = 0;
  while (!atEndOfInput(h)) {
    readLine(h, line);
    FUZZ_CHECK(++lines <= size);  // every read takes at least one byte
    FUZZ_CHECK(line.find('\n') == Text::npos);
    // The line runs to the next LF or to the end of the data; the LF goes
    // with a CR right before it, and a CR that is the last byte goes too.
    const size_t lf = input.find('\n', at);
    const size_t next = lf == Text::npos ? size : lf + 1;
    size_t end = lf == Text::npos ? size : lf;
    if (end > at && input[end - 1] == '\r') --end;
    FUZZ_CHECK(line == input.substr(at, end - at));
    at = next;
  }
  FUZZ_CHECK(at == size);
  FUZZ_CHECK(atEndOfInput(h));

  // Reading past the end empties the target; a closed handle leaves it alone.
  line = "x";
  readLine(h, line);
  FUZZ_CHECK(line.empty());
  closeStream(h);
  line = "kept";
  readLine(h, line);
  FUZZ_CHECK(line == "kept");
  FUZZ_CHECK(atEndOfInput(h));
  close(fd);
  return 0;
}
