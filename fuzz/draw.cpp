// Lines, boxes, text, clearing and colours with arbitrary coordinates
// (raw float bits: NaN, infinities, huge values), kinds, styles, flags and
// texts on small Null-driver screens of every pixel size.
//
// Besides what the sanitizers see, a 32-bit screen is checked against a
// shadow page drawn the plain way: the unclipped walk of a line with its
// pattern counted from the first point, every pixel of a box or glyph tested
// against the view one by one. The dirty rows must cover what was drawn and
// stay inside the view.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check.hpp"
#include "draw_shadow.hpp"
#include "gfx/draw.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/text.hpp"

namespace {

// Coordinates the application would pass, and the ones it never would.
float coordinate(FuzzInput& in) {
  static const float special[] = {NAN,
                                  INFINITY,
                                  -INFINITY,
                                  1e30f,
                                  -1e30f,
                                  float(coordLimit),
                                  -float(coordLimit),
                                  2147483648.0f,
                                  -2147483904.0f,
                                  0.5f,
                                  -0.5f,
                                  2.5f,
                                  -1.5f,
                                  1e-40f};
  const uint8_t how = in.take<uint8_t>();
  switch (how % 4) {
    case 0: return float(in.take<int16_t>()) / 2;
    case 1: return float(in.take<int8_t>());
    case 2: return in.take<float>();
    default: return special[in.take<uint8_t>() % (sizeof special / sizeof special[0])];
  }
}

void opLine(FuzzInput& in, Shadow& shadow) {
  DrawContext* dc = draw_context();
  const uint32_t color = in.take<uint32_t>();
  const uint8_t kindByte = in.take<uint8_t>();
  const int32_t kind = kindByte < 200 ? kindByte % 4 : in.take<int32_t>();
  const uint16_t style = (kindByte & 1) ? 0xFFFF : in.take<uint16_t>();
  const uint32_t flags = in.take<uint32_t>() & 0x80000007u;
  float x1 = coordinate(in), y1 = coordinate(in), x2 = coordinate(in), y2 = coordinate(in);

  const float pen_x = dc->pen_x, pen_y = dc->pen_y;
  const bool modelled = shadow.valid && !(dc->flags & WINDOW_SET);
  float rx1 = x1, ry1 = y1, rx2 = x2, ry2 = y2;
  resolve(flags, pen_x, pen_y, &rx1, &ry1, &rx2, &ry2);
  int64_t ax, ay, bx, by;
  mapped(dc, rx1, ry1, &ax, &ay);
  mapped(dc, rx2, ry2, &bx, &by);
  const Painter put = painter(dc, shadow, flags, color);
  const bool walk = kind != 0 || walkable(ax, ay, bx, by);
  std::snprintf(lastOperation, sizeof lastOperation,
                "draw_line kind %d style %04x flags %08x (%g %g %g %g) -> (%lld %lld %lld %lld)",
                kind, style, flags, x1, y1, x2, y2, (long long)ax, (long long)ay, (long long)bx,
                (long long)by);

  std::memset(screen_context->dirty_lines, 0, size_t(screen_context->height));
  std::fill(shadow.drawn.begin(), shadow.drawn.end(), 0);
  draw_line(nullptr, color, kind, style, flags, x1, y1, x2, y2);
  FUZZ_CHECK(same(dc->pen_x, rx2) && same(dc->pen_y, ry2));

  if (!modelled || !walk) {
    checkDirty(dc, Shadow{}, INT64_MIN, INT64_MAX);
    resync(shadow);
    return;
  }
  if (kind == 0) {
    int64_t from, to;
    shadowLine(put, style, ax, ay, bx, by, &from, &to);
    checkPage(shadow);
    checkDirty(dc, shadow, INT64_MIN, INT64_MAX);
    // A line that never enters the view marks nothing.
    if (from > to) FUZZ_CHECK(dirtyRows().empty());
  } else {
    if (ax > bx) std::swap(ax, bx);
    if (ay > by) std::swap(ay, by);
    shadowBox(put, kind == 2, style, ax, ay, bx, by);
    checkPage(shadow);
    const DrawView& v = dc->view;
    const int64_t from = std::max<int64_t>(ay, v.top);
    const int64_t to = std::min<int64_t>(by, int64_t(v.top) + v.height - 1);
    const bool touches =
        v.width > 0 && bx >= v.left && ax < int64_t(v.left) + v.width && from <= to;
    checkDirty(dc, shadow, from, to);
    if (touches)
      FUZZ_CHECK(dirtyRows().size() == size_t(to - from + 1));
    else
      FUZZ_CHECK(dirtyRows().empty());
  }
}

void opText(FuzzInput& in, Shadow& shadow) {
  DrawContext* dc = draw_context();
  const uint32_t flags = in.take<uint32_t>() & 0x80000007u;
  const uint32_t color = in.take<uint32_t>();
  const int32_t mode = (in.take<uint8_t>() & 1) ? 6 : 0;
  float x = coordinate(in), y = coordinate(in);
  const uint8_t wanted = in.take<uint8_t>();
  size_t got = 0;
  const char* text = in.bytes(wanted & 0x7F, &got);
  const int32_t length = (wanted & 0x80) ? -int32_t(got) : int32_t(got);

  const float pen_x = dc->pen_x, pen_y = dc->pen_y;
  const bool modelled = shadow.valid && !(dc->flags & WINDOW_SET);
  float rx = x, ry = y;
  resolve(flags, pen_x, pen_y, &rx, &ry, nullptr, nullptr);
  int64_t mx, my;
  mapped(dc, rx, ry, &mx, &my);
  // Mode 6 takes the colour as it stands, whatever the flags say.
  const Painter put = painter(dc, shadow, mode == 6 ? 0 : flags, color);
  std::snprintf(lastOperation, sizeof lastOperation,
                "draw_text length %d at (%g %g) -> (%lld %lld)", length, x, y, (long long)mx,
                (long long)my);

  std::memset(screen_context->dirty_lines, 0, size_t(screen_context->height));
  std::fill(shadow.drawn.begin(), shadow.drawn.end(), 0);
  FUZZ_CHECK(draw_text(nullptr, flags, text, length, color, nullptr, mode, x, y, nullptr, nullptr,
                       nullptr) == 0);
  FUZZ_CHECK(draw_text(nullptr, flags, nullptr, length, color, nullptr, mode, x, y, nullptr,
                       nullptr, nullptr) == 1);
  if (length > 0) FUZZ_CHECK(same(dc->pen_x, rx) && same(dc->pen_y, ry));

  const int64_t height = screen_context->font ? screen_context->font->height : 8;
  if (!modelled) {
    checkDirty(dc, Shadow{}, INT64_MIN, INT64_MAX);
    resync(shadow);
    return;
  }
  if (length > 0) shadowText(put, text, length, mx, my);
  checkPage(shadow);
  checkDirty(dc, shadow, my, my + height - 1);
}

void opClear(FuzzInput& in, Shadow& shadow) {
  DrawContext* dc = draw_context();
  const uint8_t how = in.take<uint8_t>();
  const int32_t mode =
      how < 250 ? int32_t(how % 4 == 3 ? CLEAR_DEFAULT : how % 4) : in.take<int32_t>();
  screen_clear(mode);
  std::snprintf(lastOperation, sizeof lastOperation, "screen_clear %d", mode);
  const ScreenContext* s = screen_context;
  int32_t effective = mode;
  if (mode == CLEAR_DEFAULT)
    effective = (dc->flags & VIEW_SET)                                               ? 1
                : (s->text_view_first == 0 && s->text_view_last == s->text_rows - 1) ? 0
                                                                                     : 2;
  if (!shadow.valid) return;
  const int64_t w = s->width, h = s->height;
  int64_t top = dc->view.top, bottom = int64_t(dc->view.top) + dc->view.height;
  int64_t left = dc->view.left, right = int64_t(dc->view.left) + dc->view.width;
  if (effective == 0 || effective == 2) {
    left = 0, right = w, top = 0, bottom = h;
    if (effective == 2) {
      const int64_t fh = s->font ? s->font->height : 8;
      top = int64_t(s->text_view_first) * fh;
      bottom = std::min<int64_t>(int64_t(s->text_view_last + 1) * fh, h);
    }
  }
  // The background goes through the same routine choice as any colour.
  const Painter put = painter(dc, shadow, 0, dc->background);
  for (int64_t y = std::max<int64_t>(top, 0); y < bottom; ++y)
    for (int64_t x = left; x < right; ++x) put(x, y);
  checkPage(shadow);
}

void opColor(FuzzInput& in, Shadow&) {
  DrawContext* dc = draw_context();
  const uint32_t fg = in.take<uint32_t>(), bg = in.take<uint32_t>();
  const uint32_t flags = in.take<uint8_t>() & 3;
  const uint32_t oldFg = dc->foreground, oldBg = dc->background;
  const uint32_t previous = color_set(fg, bg, flags);
  if (screen_context->depth != 32) return;
  FUZZ_CHECK(previous == oldFg);
  FUZZ_CHECK(dc->foreground == ((flags & 1) ? oldFg : fg));
  FUZZ_CHECK(dc->background == ((flags & 2) ? oldBg : bg));
}

void opGrid(FuzzInput& in, Shadow& shadow) {
  const int32_t columns = in.take<int8_t>(), rows = in.take<int8_t>();
  text_grid_set(columns, rows);
  const FontDescriptor* font = screen_context->font;
  FUZZ_CHECK(font == &font_8x8 || font == &font_8x14 || font == &font_8x16);
  resync(shadow);
}

// A view inside the screen (possibly empty), as the drawing code expects
// one; the application itself never narrows it.
void opView(FuzzInput& in, Shadow&) {
  DrawContext* dc = draw_context();
  const ScreenContext* s = screen_context;
  DrawView v;
  v.left = in.take<uint8_t>() % s->width;
  v.top = in.take<uint8_t>() % s->height;
  v.width = in.take<uint8_t>() % (s->width - v.left + 1);
  v.height = in.take<uint8_t>() % (s->height - v.top + 1);
  const uint8_t how = in.take<uint8_t>();
  dc->view = dc->screen_view = v;
  dc->flags = (dc->flags & ~uint32_t(VIEW_SET | VIEW_ABSOLUTE)) | ((how & 1) ? VIEW_SET : 0) |
              ((how & 2) ? VIEW_ABSOLUTE : 0);
}

// A world window stretched over the view, with any floats; the shadow page
// is not drawn through it.
void opWindow(FuzzInput& in, Shadow&) {
  DrawContext* dc = draw_context();
  const uint8_t how = in.take<uint8_t>();
  if (how & 1) {
    dc->flags &= ~uint32_t(WINDOW_SET | WINDOW_SCREEN);
    return;
  }
  dc->window = {coordinate(in), coordinate(in), coordinate(in), coordinate(in)};
  dc->flags |= WINDOW_SET | ((how & 2) ? WINDOW_SCREEN : 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZORGFX", "null", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint8_t setup = in.take<uint8_t>();
  static const int32_t depths[] = {32, 32, 16, 8};
  const int32_t depth = depths[setup & 3];
  const int32_t flags = (setup & 4) ? SCREEN_ALPHA : SCREEN_NULL;
  const int32_t width = 1 + in.take<uint8_t>() % 120;
  const int32_t height = 1 + in.take<uint8_t>() % 60;
  FUZZ_CHECK(screen_open(width, height, depth, 1, flags, 0) == 0);
  FUZZ_CHECK(draw_context() != nullptr);

  Shadow shadow;
  shadow.valid = depth == 32;
  shadow.pixels.resize(size_t(width) * height);
  shadow.drawn.resize(size_t(height));
  resync(shadow);

  using Op = void (*)(FuzzInput&, Shadow&);
  static const Op ops[] = {opLine,  opLine,  opLine, opText, opText,
                           opClear, opColor, opGrid, opView, opWindow};
  for (int count = 0; in.size > 0 && count < 64; ++count) {
    ops[in.take<uint8_t>() % (sizeof ops / sizeof ops[0])](in, shadow);
    FUZZ_CHECK(draw_context() != nullptr);
  }
  screen_close();
  // Without a screen every operation returns at once.
  draw_line(nullptr, 0, 0, 0xFFFF, 0, 0, 0, 10, 10);
  FUZZ_CHECK(draw_text(nullptr, 0, "x", 1, 0, nullptr, 0, 0, 0, nullptr, nullptr, nullptr) == 0);
  return 0;
}
