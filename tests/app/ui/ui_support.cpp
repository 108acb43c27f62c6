#include "app/ui/ui_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/latency.hpp"
#include "app/ui/window.hpp"
#include "gfx/input.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/text.hpp"
#include "support/scratch.hpp"

namespace ui {

uint32_t pixel(int x, int y) {
  ScreenContext* s = screen_context;
  if (s == nullptr || x < 0 || y < 0 || x >= s->width || y >= s->height) {
    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is not on the screen";
    return 0;
  }
  const uint8_t* row = s->visible_pixels + size_t(y) * size_t(s->pitch);
  return reinterpret_cast<const uint32_t*>(row)[x];
}

static std::string hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

testing::AssertionResult textAt(int x, int y, const std::string& text, uint32_t fg, uint32_t bg,
                                const std::function<bool(int, int)>& ignore) {
  ScreenContext* s = screen_context;
  if (s == nullptr) return testing::AssertionFailure() << "no screen";
  const FontDescriptor& font = font_8x14;
  for (size_t c = 0; c < text.size(); ++c) {
    const uint8_t* glyph = font.glyphs + size_t(uint8_t(text[c])) * size_t(font.height);
    for (int r = 0; r < font.height; ++r) {
      for (int j = 0; j < 8; ++j) {
        int px = x + int(c) * 8 + j, py = y + r;
        if (px < 0 || py < 0 || px >= s->width || py >= s->height) continue;
        if (ignore && ignore(px, py)) continue;
        uint32_t got = pixel(px, py);
        bool set = (glyph[r] >> j) & 1;
        bool ok = set ? got == fg : (bg == notText ? got != fg : got == bg);
        if (!ok)
          return testing::AssertionFailure()
                 << "text \"" << text << "\" at (" << x << ", " << y << "): pixel (" << px << ", "
                 << py << ") of '" << text[c] << "' is " << hex(got) << ", wanted "
                 << (set             ? hex(fg)
                     : bg == notText ? "not " + hex(fg)
                                     : hex(bg));
      }
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult boxIs(int x1, int y1, int x2, int y2, uint32_t color) {
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x)
      if (pixel(x, y) != color)
        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                           << hex(pixel(x, y)) << ", wanted " << hex(color);
  return testing::AssertionSuccess();
}

int countInRow(int y, int x1, int x2, uint32_t color) {
  int n = 0;
  for (int x = x1; x <= x2; ++x) n += pixel(x, y) == color;
  return n;
}

void resetState() {
  endPings();
  resetHostTable();
  pointerAt(-1, -1, -1);
}

HostRecord& placeHost(const std::string& name, bool reachable) {
  HostRecord& h = hosts[hostCount];
  h.name = name;
  h.reachable = reachable ? 1 : 0;
  h.pingInterval = 2;
  h.lastPingTime = int64_t(1) << 40;  // far in the future
  ++hostCount;
  return h;
}

void setSample(HostRecord& host, int k, double v) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "10:%02d:%02d", (k / 60) % 60, k % 60);
  host.latency[k] = v;
  host.timeStamps[k] = stamp;
}

void pointerAt(int64_t x, int64_t y, int64_t buttons) {
  mouseX = x;
  mouseY = y;
  mouseWheel = 0;
  mouseButtons = buttons;
}

// --- stub tools -------------------------------------------------------------

struct Tools::Impl {
  ScratchDir dir;
  std::string oldPath;
};

// Each stub logs its arguments; a file named TOOL.NAME in the folder replaces
// the default answer for that host.
static const char* const stubScript = R"SH(#!/bin/sh
dir=$(dirname "$0")
tool=$(basename "$0")
date +%s.%N >> "$dir/$tool.starts"
echo "$*" >> "$dir/$tool.log"
[ -f "$dir/$tool.delay" ] && sleep "$(cat "$dir/$tool.delay")"
if [ -f "$dir/$tool.$1" ]; then cat "$dir/$tool.$1"; exit 0; fi
case "$tool" in
nslookup)
  printf 'Server:\t\t127.0.0.53\nAddress:\t127.0.0.53#53\n\nNon-authoritative answer:\n'
  printf '%s\tcanonical name = web.%s.\nName:\tweb.%s\nAddress: 127.0.0.9\n' "$1" "$1" "$1" ;;
nmap)
  printf 'Starting Nmap 7.93 ( https://nmap.org )\nNmap scan report for %s (127.0.0.9)\n' "$1"
  printf 'Host is up (0.000051s latency).\nNot shown: 998 closed tcp ports (reset)\n'
  printf 'PORT   STATE SERVICE\n22/tcp open  ssh\n80/tcp open  http\n\n'
  printf 'Nmap done: 1 IP address (1 host up) scanned in 0.05 seconds\n' ;;
ping)
  printf 'PING %s (127.0.0.9) 56(84) bytes of data.\n' "$1"
  printf '64 bytes from 127.0.0.9: icmp_seq=1 ttl=64 time=0.045 ms\n\n'
  printf -- '--- %s ping statistics ---\n1 packets transmitted, 1 received\n' "$1" ;;
esac
)SH";

static const char* const launcherScript = R"SH(#!/bin/sh
dir=$(dirname "$0")
date +%s.%N >> "$dir/launcher.starts"
[ -f "$dir/launcher.delay" ] && sleep "$(cat "$dir/launcher.delay")"
{ printf '%s' "$#"; for a in "$@"; do printf ' [%s]' "$a"; done; echo; } >> "$dir/launcher.log"
)SH";

Tools::Tools() : impl_(new Impl) {
  for (const char* tool : {"nslookup", "nmap", "ping"}) impl_->dir.write(tool, stubScript, 0755);
  impl_->dir.write("launcher", launcherScript, 0755);
  const char* path = std::getenv("PATH");
  impl_->oldPath = path ? path : "/usr/bin:/bin";
  setenv("PATH", (impl_->dir.path() + ":" + impl_->oldPath).c_str(), 1);
}

Tools::~Tools() { setenv("PATH", impl_->oldPath.c_str(), 1); }

std::string Tools::dir() const { return impl_->dir.path(); }

std::string Tools::log(const std::string& tool) const {
  std::string name = tool + ".log";
  return impl_->dir.exists(name) ? impl_->dir.read(name) : "";
}

int Tools::calls(const std::string& tool) const {
  std::string text = log(tool);
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

std::string Tools::launcher() const { return impl_->dir.file("launcher"); }

void Tools::answer(const std::string& tool, const std::string& name, const std::string& text) {
  impl_->dir.write(tool + "." + name, text);
}

void Tools::delay(const std::string& tool, double seconds) {
  impl_->dir.write(tool + ".delay", std::to_string(seconds) + "\n");
}

std::vector<double> Tools::starts(const std::string& tool) const {
  std::vector<double> out;
  std::string name = tool + ".starts";
  if (!impl_->dir.exists(name)) return out;
  std::istringstream in(impl_->dir.read(name));
  for (double t; in >> t;) out.push_back(t);
  return out;
}

// --- scripted mouse -------------------------------------------------------

namespace {
const std::function<bool(int, Pointer&)>* activeScript = nullptr;
int framesDrawn = 0;

int scriptedMouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
  Pointer p;
  if (!(*activeScript)(framesDrawn++, p)) key_post(KEY_CLOSE_BOX);
  if (p.off) return -1;
  *x = p.x;
  *y = p.y;
  if (wheel) *wheel = 0;
  if (buttons) *buttons = p.buttons;
  if (clip) *clip = 0;
  return 0;
}
}  // namespace

int runLoop(const std::function<bool(int, Pointer&)>& script) {
  if (screen_context == nullptr) {
    ADD_FAILURE() << "no screen open";
    return 0;
  }
  static DisplayDriver driver;
  const DisplayDriver* old = screen_context->driver;
  driver = *old;
  driver.get_mouse = scriptedMouse;
  screen_context->driver = &driver;
  while (!key_read().empty()) {
  }  // keys left over from earlier loops
  activeScript = &script;
  framesDrawn = 0;
  mainLoop();
  screen_context->driver = old;
  activeScript = nullptr;
  return framesDrawn;
}

// --- fixture ----------------------------------------------------------------

void FrameTest::SetUp() {
  setenv("ZORGFX", "null", 1);
  tools = std::make_unique<Tools>();
  resetState();
  lastClickTime = 0;
}

void FrameTest::TearDown() {
  screen_close();
  tools.reset();
  resetState();
}

void FrameTest::drawOne() {
  ASSERT_EQ(openWindow(hostCount), 0);
  drawFrame();
}

}  // namespace ui
