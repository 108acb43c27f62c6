// Frame recording: the command lists of this frame and the last, their
// comparison and their replay.
#include "gfx/frame_record.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "gfx/plot.hpp"

namespace {

struct Record {
  uint8_t* bytes;
  size_t size, capacity;
};

Record current, previous;
bool previous_valid = false;  // previous describes what the page holds
bool tainted = false;         // this frame flushed or blended: the next draws in full
int forced = -1;              // TANDREL_FULL_FRAMES, read at screen open and close

// What a repeated run's calls were drawn with besides their key: the same
// key drawn with other state records other bytes.
struct RunState {
  const FontDescriptor* font;
  int32_t serial, work_page, bytes_per_pixel;
  uint32_t flags, context_flags;
  DrawView view;
  DrawWindow window;
  // Last, as a repeat restores them; the pen is where relative coordinates start.
  float pen_x, pen_y;
  uint32_t foreground, background;
};

constexpr size_t NOT_DEFERRED = SIZE_MAX;

// A run of drawing calls of a frame, found again by id in the next.
struct Run {
  uint32_t id;
  size_t start, size;  // where its bytes lie in the record
  // A repeated run's bytes are copied from the last record only when this
  // frame is drawn: from there, or NOT_DEFERRED once they are in place. Until
  // then only start, size and from are set; last is the run it repeats.
  size_t from;
  int32_t last;
  RunState state;
  RunState end;  // the state it left: a repeat restores its pen and colours
  bool blend;
  size_t key_size;
  uint8_t key[FRAME_RUN_KEY_MAX];
};

struct Runs {
  Run list[FRAME_RUN_SLOTS];
  int32_t count;
  int32_t open;    // index of the run being recorded, or -1
  int32_t nested;  // runs begun inside it, which are neither repeated nor kept
};

Runs current_runs{{}, 0, -1, 0}, previous_runs{{}, 0, -1, 0};

RunState run_state(const DrawContext* dc) {
  RunState st;
  std::memset(&st, 0, sizeof st);  // compared as bytes, padding included
  st.serial = dc->serial;
  st.work_page = dc->work_page;
  st.bytes_per_pixel = dc->bytes_per_pixel;
  st.flags = dc->flags & ~uint32_t(DRAW_FRESH);
  st.context_flags = screen_context ? screen_context->flags : 0;
  st.font = screen_context ? screen_context->font : nullptr;
  st.foreground = dc->foreground;
  st.background = dc->background;
  st.view = dc->view;
  st.window = dc->window;
  st.pen_x = dc->pen_x;
  st.pen_y = dc->pen_y;
  return st;
}

bool reserve(Record& r, size_t n) {
  if (r.size + n > r.capacity) {
    size_t capacity = r.capacity ? r.capacity : 16384;
    while (capacity < r.size + n) capacity *= 2;
    uint8_t* bytes = static_cast<uint8_t*>(std::realloc(r.bytes, capacity));
    if (!bytes) return false;
    r.bytes = bytes;
    r.capacity = capacity;
  }
  return true;
}

bool append(Record& r, const void* data, size_t n) {
  if (!reserve(r, n)) return false;
  std::memcpy(r.bytes + r.size, data, n);
  r.size += n;
  return true;
}

// Puts the repeated runs' bytes in place: before this frame's record is
// drawn or kept. The last record still holds them until then. Without
// bytes, only the runs themselves are filled in.
void copy_deferred(bool bytes = true) {
  for (int32_t i = 0; i < current_runs.count; ++i) {
    Run& run = current_runs.list[i];
    if (run.from == NOT_DEFERRED) continue;
    if (bytes) std::memcpy(current.bytes + run.start, previous.bytes + run.from, run.size);
    const size_t start = run.start;
    run = previous_runs.list[run.last];
    run.start = start;
    run.from = NOT_DEFERRED;
  }
}

// Whether this frame's record equals the last one. A repeated run found at
// the place it had there holds the same bytes by construction: only what
// lies between such runs is compared.
bool same_as_previous() {
  if (!previous_valid || current.size != previous.size) return false;
  size_t at = 0;
  for (int32_t i = 0; i < current_runs.count; ++i) {
    const Run& run = current_runs.list[i];
    if (run.from == NOT_DEFERRED) continue;
    if (run.from != run.start ||
        std::memcmp(current.bytes + at, previous.bytes + at, run.start - at) != 0)
      return false;
    at = run.start + run.size;
  }
  return std::memcmp(current.bytes + at, previous.bytes + at, current.size - at) == 0;
}

void replay(const Record& r) {
  DrawContext* dc = draw_context();
  if (!dc) return;
  for (size_t at = 0; at + sizeof(FrameOp) <= r.size;) {
    FrameOp op;
    std::memcpy(&op, r.bytes + at, sizeof op);
    at += sizeof op;
    frame_op_draw(dc, op, reinterpret_cast<const char*>(r.bytes + at));
    at += size_t(op.length);
  }
}

// Recording asks for an open bracket only: a hold never starts a frame.
bool recording() {
  const ScreenContext* s = screen_context;
  return s && s->lock_count > 0 && !full_frames_forced();
}

// Narrows a text to the whole cells that can touch its clip, which are all
// that drawing it reads; false when none can. A huge label then costs what
// its visible part costs.
bool trim_text(FrameOp& op, const char*& text) {
  const int64_t w = op.font->width, h = op.font->height;
  const DrawView& v = op.clip;
  const int64_t x = op.x1, y = op.y1, right = int64_t(v.left) + v.width;
  if (w <= 0 || y + h <= v.top || y >= int64_t(v.top) + v.height || x >= right) return false;
  const int64_t first = x < v.left ? (v.left - x) / w : 0;
  const int64_t count = std::min<int64_t>(op.length - first, (right - x + w - 1) / w - first);
  if (count <= 0) return false;
  op.x1 = int32_t(x + first * w);
  text += first;
  op.length = int32_t(count);
  return true;
}

}  // namespace

bool full_frames_forced() {
  if (forced < 0) {
    const char* v = std::getenv("TANDREL_FULL_FRAMES");
    forced = v && *v && std::strcmp(v, "0") != 0;
  }
  return forced == 1;
}

void frame_op_draw(DrawContext* dc, const FrameOp& op, const char* text) {
  const DrawView view = dc->view;
  dc->view = op.clip;
  select_pixel_routines(dc, op.value);
  switch (op.kind) {
    case FRAME_LINE: plot_line(dc, op.x1, op.y1, op.x2, op.y2, op.value, op.style); break;
    case FRAME_OUTLINE: plot_box(dc, op.x1, op.y1, op.x2, op.y2, op.value, false, op.style); break;
    case FRAME_FILLED: plot_box(dc, op.x1, op.y1, op.x2, op.y2, op.value, true, op.style); break;
    case FRAME_TEXT: plot_text(dc, op.font, op.x1, op.y1, op.value, text, op.length); break;
    default: break;
  }
  dc->view = view;
}

void frame_submit(DrawContext* dc, FrameOp& op, const char* text) {
  select_pixel_routines(dc, op.value);
  op.blend = dc->fill_span != dc->routines->fill;
  if (recording()) {
    if (op.kind == FRAME_TEXT && op.length > 0 && !trim_text(op, text)) return;
    const size_t at = current.size;
    if (append(current, &op, sizeof op) &&
        (op.length <= 0 || append(current, text, size_t(op.length)))) {
      tainted |= op.blend != 0;
      if (current_runs.open >= 0) current_runs.list[current_runs.open].blend |= op.blend != 0;
      return;
    }
    current.size = at;  // out of memory: draw this one now, after what came before
  }
  frame_flush();
  frame_op_draw(dc, op, text);
}

void frame_flush() {
  copy_deferred();
  current_runs.count = 0;
  current_runs.open = -1;
  current_runs.nested = 0;
  if (current.size) {
    replay(current);
    current.size = 0;
  }
  previous_valid = false;
  if (screen_context && screen_context->lock_count > 0) tainted = true;
}

bool frame_finish() {
  current_runs.open = -1;
  current_runs.nested = 0;
  if (current.size == 0) {
    current_runs.count = 0;
    tainted = false;
    return false;  // nothing recorded: the caller marks what it asked for
  }
  if (same_as_previous()) {
    current.size = 0;
    // Runs drawn again began from other state (colours another run left):
    // kept, the next frame, which begins the same, repeats them.
    if (std::any_of(current_runs.list, current_runs.list + current_runs.count,
                    [](const Run& run) { return run.from == NOT_DEFERRED; })) {
      copy_deferred(false);
      std::swap(current_runs, previous_runs);
    }
    current_runs.count = 0;
    tainted = false;
    return true;
  }
  copy_deferred();
  replay(current);
  std::swap(current, previous);
  std::swap(current_runs, previous_runs);
  current.size = 0;
  current_runs.count = 0;
  previous_valid = !tainted;
  tainted = false;
  return false;
}

void frame_reset() {
  std::free(current.bytes);
  std::free(previous.bytes);
  current = previous = Record{};
  previous_valid = tainted = false;
  forced = -1;
  current_runs.count = previous_runs.count = 0;
  current_runs.open = previous_runs.open = -1;
  current_runs.nested = previous_runs.nested = 0;
}

bool frame_run_repeat(DrawContext* dc, uint32_t id, const void* key, size_t size) {
  Runs& runs = current_runs;
  if (runs.open >= 0) {
    ++runs.nested;
    return false;
  }
  if (!recording() || runs.count >= FRAME_RUN_SLOTS || size > FRAME_RUN_KEY_MAX) return false;
  const RunState state = run_state(dc);
  if (previous_valid) {
    // Runs come in the order of the last frame: its run at this place first.
    const int32_t count = previous_runs.count;
    for (int32_t n = 0; n < count; ++n) {
      const int32_t i = (runs.count + n) % count;
      const Run& last = previous_runs.list[i];
      if (last.id != id || last.key_size != size || std::memcmp(last.key, key, size) != 0 ||
          std::memcmp(&last.state, &state, sizeof state) != 0)
        continue;
      if (!reserve(current, last.size)) break;
      // The rest of the run, its key above all, is copied with its bytes.
      Run& run = runs.list[runs.count];
      run.start = current.size;
      run.size = last.size;
      run.from = last.start;
      run.last = i;
      current.size += last.size;
      ++runs.count;
      dc->pen_x = last.end.pen_x;
      dc->pen_y = last.end.pen_y;
      dc->foreground = last.end.foreground;
      dc->background = last.end.background;
      tainted |= last.blend;
      return true;
    }
  }
  Run& run = runs.list[runs.count];
  run.id = id;
  run.start = current.size;
  run.from = NOT_DEFERRED;
  run.state = state;
  run.blend = false;
  run.key_size = size;
  std::memcpy(run.key, key, size);
  runs.open = runs.count;
  return false;
}

void frame_run_drop() { current_runs.open = -1; }

void frame_run_end(DrawContext* dc) {
  Runs& runs = current_runs;
  if (runs.nested > 0) {
    --runs.nested;
    return;
  }
  if (runs.open < 0) return;
  Run& run = runs.list[runs.open];
  runs.open = -1;
  // Other state changed inside the run would not be restored by a repeat.
  run.end = run_state(dc);
  if (!recording() || std::memcmp(&run.state, &run.end, offsetof(RunState, pen_x)) != 0) return;
  run.size = current.size - run.start;
  ++runs.count;
}
