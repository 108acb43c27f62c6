// The one screen: its context, made and freed, what is known of it (title,
// changed rows, why it failed to open), and the hold that keeps the driver's
// update thread out. The floor the rest of the graphics core stands on.
#include "gfx/screen_driver.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

ScreenContext* screen_context = nullptr;
uint32_t* screen_lookup16 = nullptr;

namespace {

char title_buffer[128];
const char* current_title = nullptr;
char preferred_driver[32];  // empty: none
char program_name[32];      // empty: none; set before any screen, read by error handlers
char failure[160];          // why the last screen_open failed; empty: it did not
std::atomic<void (*)()> lost_hook{nullptr};  // called from Xlib's I/O error handler

uint8_t* page_alloc(size_t bytes) {
  uint8_t* block = static_cast<uint8_t*>(std::malloc(bytes + PAGE_SLACK));
  if (!block) return nullptr;
  uint8_t* page = page_start(block);
  std::memcpy(page - 8, &block, sizeof block);
  return page;
}

void page_free(uint8_t* page) {
  if (!page) return;
  void* block;
  std::memcpy(&block, page - 8, sizeof block);
  std::free(block);
}

}  // namespace

uint8_t* page_start(uint8_t* block) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(block);
  return block + (((at + 8 + 15) & ~uintptr_t(15)) - at);
}

void screen_set_title(std::string_view title) {
  std::memset(title_buffer, 0, sizeof title_buffer);
  std::memcpy(title_buffer, title.data(), title.size() < 127 ? title.size() : 127);
  current_title = title_buffer;
  ScreenContext* s = screen_context;
  if (s && s->driver && s->driver->set_window_title) s->driver->set_window_title(current_title);
}

const char* screen_title() { return current_title; }

void screen_set_program_name(const char* name) {
  std::snprintf(program_name, sizeof program_name, "%s", name ? name : "");
}

const char* screen_program_name() { return program_name; }

void screen_report(const char* line) {
  char message[512];
  size_t n = 0;
  auto append = [&](const char* text) {
    while (*text && n < sizeof message) message[n++] = *text++;
  };
  if (program_name[0]) {
    append(program_name);
    append(": ");
  }
  append(line);
  ssize_t written = write(STDERR_FILENO, message, n);
  (void)written;
}

void screen_set_lost_hook(void (*hook)()) { lost_hook = hook; }

void screen_lost() {
  if (void (*hook)() = lost_hook) hook();
}

const char* screen_failure() { return failure; }

void screen_failure_forget() { failure[0] = 0; }

void screen_fail(const char* format, ...) {
  if (failure[0]) return;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(failure, sizeof failure, format, arguments);
  va_end(arguments);
}

const char* screen_preferred_driver() { return preferred_driver[0] ? preferred_driver : nullptr; }

void screen_set_preferred_driver(const char* name) {
  std::memset(preferred_driver, 0, sizeof preferred_driver);
  if (name) std::snprintf(preferred_driver, sizeof preferred_driver, "%s", name);
}

void screen_hold() {
  ScreenContext* s = screen_context;
  if (!s) return;
  if (s->hold_count++ == 0 && s->driver && s->driver->lock) s->driver->lock();
}

void screen_release() {
  ScreenContext* s = screen_context;
  if (!s || s->hold_count == 0) return;
  if (--s->hold_count == 0 && s->driver && s->driver->unlock) s->driver->unlock();
}

void screen_mark_all_dirty() {
  ScreenContext* s = screen_context;
  if (!s || !s->dirty_lines) return;
  std::memset(s->dirty_lines, 1, size_t(s->height) * size_t(s->scanline_size));
}

// Frees an open or half-built context and everything it owns.
void screen_context_free() {
  ScreenContext* s = screen_context;
  if (!s) return;
  if (s->driver && s->driver->exit) s->driver->exit();
  if (s->text_cells) {
    for (int32_t p = 0; p < s->page_count; ++p) std::free(s->text_cells[p]);
    std::free(s->text_cells);
  }
  if (s->pages) {
    for (int32_t p = 0; p < s->page_count; ++p) page_free(s->pages[p]);
    std::free(s->pages);
  }
  std::free(s->device_palette);
  std::free(s->palette);
  std::free(s->dirty_lines);
  std::free(s->key_state);
  std::free(s->events);
  if (s->mutex) {
    pthread_mutex_destroy(s->mutex);
    std::free(s->mutex);
  }
  screen_context = nullptr;
  std::free(s);
  std::free(screen_lookup16);
  screen_lookup16 = nullptr;
}

// The program file's name without directory and extension.
void screen_set_default_title() {
  char link[32];
  std::snprintf(link, sizeof link, "/proc/%d/exe", int(getpid()));
  char path[128];
  ssize_t n = readlink(link, path, 127);
  if (n < 0) n = 0;
  path[n] = 0;
  const char* name = std::strrchr(path, '/');
  name = name ? name + 1 : path;
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s", name);
  if (char* dot = std::strrchr(buffer, '.')) *dot = 0;
  screen_set_title(buffer);
}

// Allocations of a new context; false when memory ran out.
bool screen_context_alloc(ScreenContext* s, int32_t pages) {
  s->pages = static_cast<uint8_t**>(std::calloc(size_t(pages), sizeof(uint8_t*)));
  if (!s->pages) return false;
  s->page_count = pages;
  const size_t page_bytes = size_t(s->pitch) * size_t(s->height);
  for (int32_t p = 0; p < pages; ++p)
    if (!(s->pages[p] = page_alloc(page_bytes))) return false;
  s->visible_pixels = s->pages[0];
  const size_t rows = size_t(s->height) * size_t(s->scanline_size);
  s->dirty_lines = static_cast<uint8_t*>(std::calloc(rows, 1));
  s->device_palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
  s->palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
  s->key_state = static_cast<uint8_t*>(std::calloc(128, 1));
  s->events = static_cast<ScreenEvent*>(std::calloc(128, sizeof(ScreenEvent)));
  s->mutex = static_cast<pthread_mutex_t*>(std::malloc(sizeof(pthread_mutex_t)));
  screen_lookup16 = static_cast<uint32_t*>(std::calloc(512, sizeof(uint32_t)));
  if (!s->dirty_lines || !s->device_palette || !s->palette || !s->key_state || !s->events ||
      !s->mutex || !screen_lookup16)
    return false;
  if (pthread_mutex_init(s->mutex, nullptr) != 0) {
    std::free(s->mutex);
    s->mutex = nullptr;
    return false;
  }
  return true;
}
