#pragma once
// Frame recording. While a frame bracket is open (screen_lock) the drawing
// calls append what they would draw (frame-buffer coordinates, pixel value,
// clip view, text bytes) to a command list instead of touching the page. The
// outermost unlock compares the list with the previous frame's and draws it
// only when it differs: every recorded primitive overwrites its pixels with
// fixed values, so drawing the same list again over its own result changes
// nothing. Drawing means plotting (gfx/plot.hpp); this layer never writes a
// pixel itself. Internal to the graphics layer.
#include <cstddef>
#include <cstdint>

#include "gfx/draw_context.hpp"

enum FrameOpKind : uint8_t {
  FRAME_LINE,
  FRAME_OUTLINE,
  FRAME_FILLED,
  FRAME_TEXT,
};

// One primitive, ready to draw. Plain bytes without padding, so that two
// records compare with memcmp; text bytes follow it in the record.
struct FrameOp {
  uint8_t kind;   // FrameOpKind
  uint8_t blend;  // blended pixels read the page: such a frame is never skipped
  uint16_t style;
  uint32_t value;          // pixel value
  int32_t x1, y1, x2, y2;  // frame-buffer pixels; boxes ordered; text: x1, y1
  DrawView clip;
  const FontDescriptor* font;  // text only
  int32_t length;              // text bytes that follow
  int32_t reserved;
};
static_assert(sizeof(FrameOp) == 56, "FrameOp must have no padding");

// Records op (with length bytes of text) while a frame bracket is open,
// else draws it now. op.blend is filled in here.
void frame_submit(DrawContext* dc, FrameOp& op, const char* text);
// Draws op clipped to op.clip.
void frame_op_draw(DrawContext* dc, const FrameOp& op, const char* text);

// Before anything that reads or writes a page outside the record: draws what
// is recorded so far, and makes the next frame draw in full.
void frame_flush();
// At the outermost unlock, the lock still held: draws the frame unless it
// equals the previous one. True when the frame was skipped, so that no row
// needs marking.
bool frame_finish();
// Forgets both records (screen opened or closed) and reads the switch below
// afresh.
void frame_reset();

// Runs (see draw_run_repeat): true when the last frame's run id had this key
// and state and its bytes were appended again; else a run is begun that
// frame_run_end closes. Runs do not nest: one begun inside another is
// neither repeated nor kept.
constexpr int32_t FRAME_RUN_SLOTS = 16;  // six panels with two runs each, and room
constexpr size_t FRAME_RUN_KEY_MAX = 1024;
bool frame_run_repeat(DrawContext* dc, uint32_t id, const void* key, size_t size);
void frame_run_end(DrawContext* dc);
// Forgets the open run, which is then not kept: for calls whose effects lie
// outside the record (a clear's cursor and text cells), which a repeat skips.
void frame_run_drop();

// TANDREL_FULL_FRAMES=1 draws every frame as it comes, and the X11 driver
// sends every dirty row: the behaviour before frame skipping, kept for
// measuring against.
bool full_frames_forced();
