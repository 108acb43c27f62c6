// The built tandrel against the real nslookup, nmap and ping, on a network
// of our own in network namespaces (see netlab.hpp), on a real Xvfb with
// openbox running in there too. What it shows is read back from the window's
// pixels and compared with the texts rendered here in the monitor's font.
// gtest first: Xlib's macros (None, Bool, ...) would clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "lab/child_process.hpp"
#include "lab/netlab.hpp"
#include "lab/window_pixels.hpp"
#include "support/scratch.hpp"
#include "support/xserver.hpp"

namespace {

using namespace lab;

constexpr uint32_t textColour = 0xFFF5FFFF;
constexpr uint32_t background = 0xFF1E1E1E;
constexpr uint32_t face = 0xFF0066CC;
constexpr uint32_t noticeColour = 0xFFE06C75;
constexpr uint32_t good = 0xFF00C800;
const std::string notice = "Host nicht erreichbar";

// PATH with a folder in front while the scope lasts.
class PathFirst {
 public:
  explicit PathFirst(const std::string& folder)
      : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    setenv("PATH", (folder + ":" + old_).c_str(), 1);
  }
  ~PathFirst() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

// The test's own connection meets windows that vanish while it walks the
// tree; Xlib's default handler would end the whole test for that.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// The lab whose logs explain a lost connection to its X server.
const NetLab* runningLab = nullptr;

int connectionLost(Display*) {
  std::cerr << "the test lost its connection to the lab's X server\n"
            << (runningLab ? runningLab->diagnostics() : std::string()) << std::endl;
  std::exit(1);  // the lab's namespaces go at exit
}

bool sameNetworkNamespace(pid_t pid, const std::string& ns) {
  struct stat a, b;
  return stat(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), &a) == 0 &&
         stat(("/run/netns/" + ns).c_str(), &b) == 0 && a.st_ino == b.st_ino &&
         a.st_dev == b.st_dev;
}

testing::AssertionResult shows(const WindowImage& image, int x, int y, const std::string& text,
                               uint32_t fg = textColour, uint32_t bg = background) {
  int wrong = textMismatches(image, x, y, text, fg, bg);
  if (wrong == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << wrong << " pixels differ from \"" << text << "\" at (" << x << ", " << y << "):\n"
         << textPicture(image, x, y, text, fg, bg);
}

// A client button: face from x = 300 to 390 over the 14 rows of its line,
// the label at 306 in the text colour.
testing::AssertionResult showsButton(const WindowImage& image, int y, const std::string& label) {
  testing::AssertionResult text = shows(image, 306, y, label, textColour, face);
  if (!text) return text;
  int left = image.count(300, y, 305, y + 13, face), right = image.count(386, y, 390, y + 13, face);
  if (left == 6 * 14 && right == 5 * 14) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "button face at y " << y << " incomplete: " << left << " + " << right;
}

// Sample k (1..100) of the graph at top is green: its segment alone covers
// the columns 3k+448 and 3k+449.
bool greenSample(const WindowImage& image, int top, int k) {
  return image.count(3 * k + 448, top + 1, 3 * k + 449, top + 196, good) > 0;
}

bool noticeShown(const WindowImage& image, int top) {
  return textMismatches(image, 70, top + 67, notice, noticeColour, background) == 0;
}

TEST(Lab, RealToolsInNamespacesShowTheHostsAndFollowTheSilentOneBack) {
  const auto began = std::chrono::steady_clock::now();
  const std::string why = NetLab::unavailableReason();
  if (!why.empty()) GTEST_SKIP() << "no network namespaces on this machine, so no lab: " << why;
  for (const char* tool : {"nslookup", "nmap", "ping"})
    ASSERT_FALSE(findProgram(tool).empty()) << tool << " is missing (scripts/setup.sh installs it)";

  XSetErrorHandler(ignoreXErrors);
  XSetIOErrorHandler(connectionLost);
  NetLab net;
  runningLab = &net;
  ASSERT_TRUE(net.ok()) << net.error() << "\n" << net.diagnostics();

  // The FTP host by its alias, the SSH host by its name, the silent one by
  // address, one on lo that answers with every port closed, and the SSH
  // host on ::1 by its address and by its AAAA-only name.
  ScratchDir folder;
  folder.write("tandrel.cfg", "terminal=true\n" + ftpAlias + "\n" + sshName +
                                  "\n# the silent host\n" + silentAddress + "\n" + closedAddress +
                                  "\n" + ipv6Address + "\n" + ipv6Name + "\n");

  std::unique_ptr<XServer> x;
  {
    PathFirst wrapper(net.programFolder());  // openbox starts inside the namespace
    XServerOptions options;
    options.window_manager = true;
    options.height = 1300;  // room for six panels
    x = std::make_unique<XServer>(options);
  }
  ASSERT_TRUE(x->ok()) << "no Xvfb with openbox: " << net.diagnostics();
  x->move_pointer(1023, 767);  // off the window, so that nothing is highlighted

  ChildProcess monitor;
  ASSERT_TRUE(monitor.start(net.inside({TANDREL_EXE}), folder.path(),
                            environmentWith({"DISPLAY=" + x->name()}, {"ZORGFX"}),
                            {folder.file("stdout"), folder.file("stderr")}));
  // The probes run before the window opens; nmap gives up on the silent host after a few seconds.
  Window window = 0;
  ASSERT_TRUE(
      wait_until(
          [&] { return (window = x->find_window("Zeige 6 Server")) != 0 || !monitor.running(); },
          60000, 20) &&
      window != 0)
      << "status " << monitor.wait(0) << ": " << folder.read("stderr");
  EXPECT_TRUE(sameNetworkNamespace(monitor.pid(), net.name()));
  std::vector<std::string> inside = net.programsInside();
  for (const char* program : {"dnsmasq", "openbox", "tandrel"})
    EXPECT_NE(std::find(inside.begin(), inside.end(), program), inside.end())
        << program << " is not inside";
  int originX = 0, originY = 0;
  Window child;
  XTranslateCoordinates(x->display(), window, x->root(), 0, 0, &originX, &originY, &child);
  x->focus(window);  // the monitor reads the pointer while it has the focus

  WindowImage image;
  auto grab = [&] { return image.grab(x->display(), window); };
  // The first frames with all hosts probed.
  ASSERT_TRUE(
      wait_until([&] { return grab() && shows(image, 10, 20, "Name:  " + ftpAlias); }, 10000));

  {
    SCOPED_TRACE("FTP host, named by its alias");
    EXPECT_TRUE(shows(image, 10, 35,
                      "Alias: " + ftpName + ".  "));  // nslookup's canonical name ends with a dot
    EXPECT_TRUE(shows(image, 10, 50, "IP:    " + ftpAddress + "  "));
    EXPECT_TRUE(shows(image, 70, 67, "21/tcp open  ftp  "));  // nmap's own columns
    EXPECT_TRUE(showsButton(image, 67, "FTP-Client"));
    EXPECT_EQ(image.count(300, 82, 390, 96, face), 0) << "only one port line, only one button";
  }
  {
    SCOPED_TRACE("SSH host, named by its name");
    EXPECT_TRUE(shows(image, 10, 220, "Name:  " + sshName + "  "));
    EXPECT_TRUE(shows(image, 10, 235, "Alias:    "));  // a plain name has no canonical name
    EXPECT_TRUE(shows(image, 10, 250, "IP:    " + sshAddress + "  "));
    EXPECT_TRUE(shows(image, 70, 267, "22/tcp open  ssh  "));
    EXPECT_TRUE(showsButton(image, 267, "SSH-Client"));
    EXPECT_EQ(image.count(300, 267 + 15, 390, 267 + 29, face), 0);
  }
  {
    SCOPED_TRACE("silent host, named by its address");
    EXPECT_TRUE(shows(image, 10, 420, "Name:  " + silentAddress + "  "));
    // nslookup of an address answers with a "name =" line only: no alias, no address.
    EXPECT_TRUE(shows(image, 10, 435, "Alias:    "));
    EXPECT_TRUE(shows(image, 10, 450, "IP:       "));
    EXPECT_TRUE(shows(image, 70, 467, notice, noticeColour, background));
    EXPECT_EQ(image.count(300, 467, 390, 596, face), 0);
  }

  // A few pings later the answering hosts have green samples, the one
  // without open ports too and without a notice; the silent one none.
  EXPECT_TRUE(wait_until(
      [&] {
        return grab() && greenSample(image, 0, 98) && greenSample(image, 0, 99) &&
               greenSample(image, 0, 100) && greenSample(image, 200, 100) &&
               greenSample(image, 600, 100) && greenSample(image, 800, 100) &&
               greenSample(image, 1000, 100);
      },
      30000, 50))
      << "no three green samples on the FTP host, or none on the others";
  for (int top : {800, 1000}) {
    SCOPED_TRACE("SSH host on ::1, scanned again with -6");
    EXPECT_TRUE(shows(image, 70, top + 67, "22/tcp open  ssh  "));
    EXPECT_TRUE(showsButton(image, top + 67, "SSH-Client"));
    EXPECT_EQ(image.count(70, top + 67, 399, top + 195, noticeColour), 0);
  }
  EXPECT_EQ(image.count(401, 401, 799, 596, good), 0) << "the silent host was pinged";
  EXPECT_TRUE(noticeShown(image, 400));
  EXPECT_EQ(image.count(70, 667, 399, 795, noticeColour), 0);

  // The silent host comes up; reload it. The probe runs inside the frame
  // of the click, and the ping that is now due starts there: its sample
  // follows well before a second one is due.
  ASSERT_TRUE(net.silentHostAnswers()) << net.error();
  x->move_pointer(originX + 50, originY + 410);
  x->button(1, true);
  bool back = wait_until([&] { return grab() && !noticeShown(image, 400); }, 30000, 1);
  x->button(1, false);
  x->move_pointer(1023, 767);
  ASSERT_TRUE(back) << "the reload did not make the silent host reachable: "
                    << folder.read("stderr");
  WindowImage first = image;
  EXPECT_EQ(first.count(70, 467, 70 + 21 * 8, 480, noticeColour), 0);
  EXPECT_TRUE(shows(first, 70, 467, std::to_string(silentPort) + "/tcp open  http  "));
  EXPECT_TRUE(wait_until([&] { return grab() && greenSample(image, 400, 100); }, 1500, 1))
      << "not pinged at the reload";
  EXPECT_FALSE(greenSample(image, 400, 99)) << "pinged more than once";
  // And it stays reachable and pinged from then on.
  EXPECT_TRUE(wait_until([&] { return grab() && greenSample(image, 400, 99); }, 15000, 50));
  EXPECT_TRUE(shows(image, 20, 403, "Neuladen", textColour, face));  // no longer highlighted

  // Everything asked of DNS was about the lab's own names and addresses.
  std::vector<std::string> queries = net.dnsQueries();
  EXPECT_FALSE(queries.empty()) << net.diagnostics();
  auto endsWith = [](const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
  };
  for (const std::string& q : queries)
    EXPECT_TRUE(endsWith(q, ".lab.test") || endsWith(q, ".127.in-addr.arpa") ||
                endsWith(q, ".0.203.10.in-addr.arpa") || endsWith(q, ".ip6.arpa"))
        << q;

  x->send_delete_window(window);
  EXPECT_EQ(monitor.wait(5000), 0) << folder.read("stderr");
  runningLab = nullptr;
  std::cout << "[ lab      ] ran "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - began)
                   .count()
            << " ms\n";
}

}  // namespace
