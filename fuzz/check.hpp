#pragma once
// A failed property ends the run like a crash, so libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

// Reads fixed-size values off the front of the input; zeros once it is used up.
struct FuzzInput {
  const unsigned char* data;
  size_t size;

  template <typename T>
  T take() {
    T value{};
    unsigned char* out = reinterpret_cast<unsigned char*>(&value);
    for (size_t i = 0; i < sizeof(T) && size > 0; ++i, ++data, --size) out[i] = *data;
    return value;
  }
  // Up to n bytes (all that is left when n is larger).
  const char* bytes(size_t n, size_t* got) {
    *got = n < size ? n : size;
    const char* at = reinterpret_cast<const char*>(data);
    data += *got;
    size -= *got;
    return at;
  }
};
