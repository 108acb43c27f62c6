// A tandrel.cfg that cannot be read, is a directory, holds garbage or is
// nowhere, given to the built tandrel, each with the behaviour expected of it.
// Only stub tools run here; the hosts are names the stubs answer for.
#include "e2e/faults_fixture.hpp"
#include "lab/window_pixels.hpp"

namespace {

// The fault fixture under a suite name of its own: gtest tells the fixtures of
// two files apart by suite.
using ConfigurationShown = Faults;

// --- tandrel.cfg that cannot be read, is a directory, or holds garbage ------
// Expected: no crash; without hosts a message naming the file and status 1,
// with hosts a sane window.

// Runs tandrel in folder without a display; its exit status (-1: still running after 10 s).
int runWithoutDisplay(const ScratchDir& folder, const std::vector<std::string>& prefix = {},
                      const std::string& exe = TANDREL_EXE) {
  std::vector<std::string> argv = prefix;
  argv.push_back(exe);
  ChildProcess program;
  if (!program.start(argv, folder.path(), environmentWith({}, {"DISPLAY", "ZORGFX"}),
                     {folder.file("stdout"), folder.file("stderr")}))
    return -1;
  return program.wait(10000);
}

TEST(ConfigurationFaults, UnreadableFileEndsWithAMessageNamingIt) {
  StubTools tools;
  ScratchDir folder;
  folder.write("tandrel.cfg", "terminal=true\nalpha.test\n", 0000);
  // Root reads any file: run as nobody then, a copy in the open folder.
  std::vector<std::string> prefix;
  std::string exe = TANDREL_EXE;
  if (geteuid() == 0) {
    if (findProgram("setpriv").empty()) GTEST_SKIP() << "running as root without setpriv";
    prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    exe = folder.openCopy(TANDREL_EXE);
    ASSERT_NE(exe, "");
    std::vector<std::string> probe = prefix;
    probe.insert(probe.end(), {"test", "-x", exe});
    if (lab::runCommand(probe) != 0) GTEST_SKIP() << "nobody may not run " << exe << " here";
  }
  EXPECT_EQ(runWithoutDisplay(folder, prefix, exe), 1);
  std::string errors = folder.read("stderr");
  EXPECT_NE(errors.find("tandrel.cfg"), std::string::npos) << errors;
  EXPECT_NE(errors.find("nicht lesbar"), std::string::npos) << errors;
  EXPECT_TRUE(tools.calls().empty());
}

TEST(ConfigurationFaults, BrokenLinkEndsWithAMessageNamingIt) {
  StubTools tools;
  ScratchDir folder;
  ASSERT_EQ(symlink(folder.file("gone.cfg").c_str(), folder.file("tandrel.cfg").c_str()), 0);
  EXPECT_EQ(runWithoutDisplay(folder), 1);
  std::string errors = folder.read("stderr");
  EXPECT_NE(errors.find("tandrel.cfg"), std::string::npos) << errors;
  EXPECT_TRUE(tools.calls().empty());
}

TEST(ConfigurationFaults, DirectoryEndsWithAMessageSayingSo) {
  StubTools tools;
  ScratchDir folder;
  ASSERT_EQ(mkdir(folder.file("tandrel.cfg").c_str(), 0755), 0);
  EXPECT_EQ(runWithoutDisplay(folder), 1);
  std::string errors = folder.read("stderr");
  EXPECT_NE(errors.find("tandrel.cfg"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Verzeichnis"), std::string::npos) << errors;
  EXPECT_TRUE(tools.calls().empty());
}

TEST(ConfigurationFaults, GarbageWithoutALineEndNamesNoHost) {
  StubTools tools;
  ScratchDir folder;
  std::mt19937 random(7);
  std::string garbage;
  while (garbage.size() < 64 * 1024) {
    char c = char(random() & 0xFF);
    if (c != '\n') garbage += c;
  }
  folder.write("tandrel.cfg", garbage);
  EXPECT_EQ(runWithoutDisplay(folder), 1);
  EXPECT_NE(folder.read("stderr").find("tandrel.cfg"), std::string::npos);
  EXPECT_TRUE(tools.calls().empty());
}

// Started from the desktop menu: the working folder holds no tandrel.cfg and
// standard error goes nowhere anyone reads.
TEST_F(ConfigurationShown, NoConfigurationAnywhereSaysSoInAWindowWhoseCloseBoxEndsWithOne) {
  startX();
  unlink(folder.file("tandrel.cfg").c_str());
  startMonitor("", {"HOME=" + folder.file("home"),
                    "XDG_CONFIG_HOME=", "XDG_CONFIG_DIRS=" + folder.file("etc")});
  ASSERT_TRUE(windowUp(15000, "tandrel: keine Hosts", false))
      << "status " << monitor.wait(0) << ": " << errors();
  int w = 0, h = 0;
  ASSERT_TRUE(x->size_of(window, &w, &h));
  EXPECT_EQ(w * 1000 + h, 800 * 1000 + 200);
  const std::string first =
      "tandrel: Keine Konfigurationsdatei tandrel.cfg gefunden; ohne Hosts gibt es nichts "
      "anzuzeigen.";
  lab::WindowImage image;
  EXPECT_TRUE(wait_until([&] {
    return image.grab(x->display(), window) &&
           lab::textMismatches(image, 8, 8, first, noticeColour, 0x1E1E1E) == 0;
  })) << lab::textPicture(image, 8, 8, first, noticeColour, 0x1E1E1E);
  // Below the message, the three places looked at and a blank: the example's heading in code page
  // 437.
  EXPECT_EQ(lab::textMismatches(image, 8, 8 + 7 * 14, "Beispiel f\x81r", textColour, 0x1E1E1E), 0);
  EXPECT_EQ(errors().find(first), 0u) << errors();
  x->send_delete_window(window);
  EXPECT_EQ(monitor.wait(5000), 1) << errors();
}

// Seven system folders, as some desktops have: the window grows to show the example.
TEST_F(ConfigurationShown, NoConfigurationInManyPlacesStillShowsTheExample) {
  startX();
  unlink(folder.file("tandrel.cfg").c_str());
  std::string folders;  // the empty last one is skipped
  for (char i = '0'; i < '7'; ++i) folders += folder.file(std::string("etc") + i) + ":";
  startMonitor("",
               {"HOME=" + folder.file("home"), "XDG_CONFIG_HOME=", "XDG_CONFIG_DIRS=" + folders});
  ASSERT_TRUE(windowUp(15000, "tandrel: keine Hosts", false)) << errors();
  // Message, blank, heading, nine places, blank, the example's heading and its two lines.
  int w = 0, h = 0;
  ASSERT_TRUE(x->size_of(window, &w, &h));
  EXPECT_EQ(h, 8 + 16 * 14 + 8);
  lab::WindowImage image;
  EXPECT_TRUE(wait_until([&] {
    return image.grab(x->display(), window) &&
           lab::textMismatches(image, 8, 8 + 15 * 14, "  localhost", textColour, 0x1E1E1E) == 0;
  })) << lab::textPicture(image, 8, 8 + 15 * 14, "  localhost", textColour, 0x1E1E1E);
  x->send_delete_window(window);
  EXPECT_EQ(monitor.wait(5000), 1) << errors();
}

// A file without hosts: the message wraps at a blank, and the window's
// background reaches its top row.
TEST_F(ConfigurationShown, NoHostsInTheFileWrapsTheMessageAtABlank) {
  startX();
  folder.write("tandrel.cfg", "terminal=true\n");
  startMonitor();
  ASSERT_TRUE(windowUp(15000, "tandrel: keine Hosts", false)) << errors();
  const std::string second = "folgt keine Zeile ohne \"#\".";
  lab::WindowImage image;
  EXPECT_TRUE(wait_until([&] {
    return image.grab(x->display(), window) &&
           lab::textMismatches(image, 8, 8 + 14, second, textColour, 0x1E1E1E) == 0;
  })) << lab::textPicture(image, 8, 8 + 14, second, textColour, 0x1E1E1E);
  EXPECT_EQ(image.count(0, 0, 799, 0, 0x1E1E1E), 800);
}

TEST_F(ConfigurationShown, ConfigurationOnlyInTheUserFolderShowsTheMonitor) {
  startX();
  mkdir(folder.file("user").c_str(), 0755);
  mkdir(folder.file("user/tandrel").c_str(), 0755);
  rename(folder.file("tandrel.cfg").c_str(), folder.file("user/tandrel/tandrel.cfg").c_str());
  startMonitor("",
               {"XDG_CONFIG_HOME=" + folder.file("user"), "XDG_CONFIG_DIRS=" + folder.file("etc")});
  ASSERT_TRUE(windowUp()) << "status " << monitor.wait(0) << ": " << errors();
  closeAndExpectZero();
}

TEST_F(ConfigurationShown, BinaryGarbageShowsSixPanelsAndNeverPutsAnUnsafeNameIntoACommand) {
  XServerOptions options;
  options.window_manager = true;
  options.height = 1300;  // room for six panels
  x = std::make_unique<XServer>(options);
  ASSERT_TRUE(x->ok());
  std::mt19937 random(11);
  std::string garbage;
  for (int line = 0; line < 40; ++line) {
    int length = int(random() % 60);
    for (int i = 0; i < length; ++i) {
      char c = char(random() & 0xFF);
      garbage += c == '\n' ? '\r' : c;
    }
    garbage += '\n';
  }
  garbage += std::string(5000, '\0') + "\n";  // and a long line of NUL bytes
  folder.write("tandrel.cfg", garbage);
  startMonitor();
  ASSERT_TRUE(windowUp(20000, "Zeige 6 Server"))
      << "status " << monitor.wait(0) << ": " << errors();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_TRUE(monitor.running()) << errors();
  int w = 0, h = 0;
  ASSERT_TRUE(x->size_of(window, &w, &h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 1200);
  EXPECT_EQ(x->pixel(window, 5, 1005), face);  // the sixth panel is drawn
  EXPECT_NE(errors().find("höchstens 6 Hosts"), std::string::npos) << errors();
  EXPECT_NE(errors().find("wird nicht abgefragt"), std::string::npos) << errors();
  // Every tool call came from a line of plain name characters.
  for (const StubCall& call : tools.calls())
    for (unsigned char c : call.arguments())
      EXPECT_TRUE(std::isalnum(c) || std::strchr(" .-_:%", c))
          << call.tool << " got byte " << int(c);
  closeAndExpectZero();
}

}  // namespace
