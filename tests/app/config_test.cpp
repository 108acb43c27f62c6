// tandrel.cfg: launcher line, comments, host lines; names unsafe for a shell.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands.hpp"
#include "app/config.hpp"
#include "app/config_path.hpp"
#include "app/latency.hpp"
#include "app/probe.hpp"
#include "app_test.hpp"
#include "support/stub_tools.hpp"

namespace {

struct ConfigTest : HostTableTest {
  StubTools stubs;
  ScratchDir dir;

  std::string read(const std::string& contents) {
    dir.write("tandrel.cfg", contents);
    StderrCapture errors;
    readConfiguration(dir.file("tandrel.cfg"));
    return errors.text();
  }
  std::vector<std::string> lookedUp() const {
    std::vector<std::string> names;
    for (const StubCall& call : stubs.calls("nslookup")) names.push_back(call.arguments());
    return names;
  }
};

}  // namespace

TEST_F(ConfigTest, HostLinesCommentsBlanksAndLineEnds) {
  const std::string errors = read(
      "123456789\r\n"
      "# a comment\n"
      "alpha\n"
      "\n"
      "beta # not a host\n"
      " gamma \r\n"
      "#\n"
      "delta");                               // no final line feed
  EXPECT_EQ(lineCount(errors), 1) << errors;  // ssh would read "root@" alone before " gamma "
  EXPECT_NE(errors.find("\" gamma \" in " + dir.file("tandrel.cfg") + " bekommt keinen SSH"),
            std::string::npos);
  EXPECT_EQ(launcherCommand, "");  // exactly nine characters
  ASSERT_EQ(hostCount, 4);
  const char* names[] = {"alpha", "", " gamma ", "delta"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(hosts[i].name, names[i]);
    EXPECT_EQ(hosts[i].lastPingTime, i);
    EXPECT_EQ(hosts[i].pingInterval, 2);
    EXPECT_TRUE(hosts[i].nameSafe);
  }
  EXPECT_EQ(hosts[4].name, "");
  EXPECT_EQ(hosts[4].pingInterval, 0);  // slots beyond hostCount stay empty
  // Probed in file order, lookup before scan, the empty name with no argument.
  std::vector<std::string> order;
  for (const StubCall& call : stubs.calls()) order.push_back(call.tool + ":" + call.arguments());
  EXPECT_EQ(order, (std::vector<std::string>{"nslookup:alpha", "nmap:alpha",
                                             "nslookup:", "nmap:", "nslookup:gamma", "nmap:gamma",
                                             "nslookup:delta", "nmap:delta"}));
}

TEST_F(ConfigTest, LauncherCommandFromTheTenthCharacter) {
  read("terminal=x-terminal-emulator -e\nhost1\n");
  EXPECT_EQ(launcherCommand, "x-terminal-emulator -e");
  EXPECT_EQ(hostCount, 1);
  resetHostTable();
  read("short\n");
  EXPECT_EQ(launcherCommand, "");
  EXPECT_EQ(hostCount, 0);
  EXPECT_NE(noHostsMessage(dir.file("tandrel.cfg")).find("nennt keinen Host"), std::string::npos);
}

TEST_F(ConfigTest, OnlySixHostsEachFurtherLineWarned) {
  const std::string errors = read("launcher:xterm -e\nh1\nh2\nh3\n#x\nh4\nh5\nh6\nh7\nh8\n");
  EXPECT_EQ(hostCount, 6);
  EXPECT_EQ(hosts[5].name, "h6");
  EXPECT_EQ(lookedUp(), (std::vector<std::string>{"h1", "h2", "h3", "h4", "h5", "h6"}));
  EXPECT_EQ(lineCount(errors), 2) << errors;
  EXPECT_NE(errors.find("\"h7\""), std::string::npos) << errors;
  EXPECT_NE(errors.find("\"h8\""), std::string::npos) << errors;
  EXPECT_NE(errors.find("tandrel.cfg"), std::string::npos) << errors;
  EXPECT_NE(errors.find("höchstens 6 Hosts"), std::string::npos) << errors;
}

TEST_F(ConfigTest, MissingFileGivesNoHostsAndAMessage) {
  readConfiguration(dir.file("nothing.cfg"));
  EXPECT_EQ(hostCount, 0);
  EXPECT_EQ(launcherCommand, "");
  EXPECT_TRUE(stubs.calls().empty());
  const Text message = noHostsMessage(dir.file("nothing.cfg"));
  EXPECT_NE(message.find(dir.file("nothing.cfg")), std::string::npos) << message;
  EXPECT_NE(message.find("fehlt"), std::string::npos) << message;
}

TEST_F(ConfigTest, EmptyHostLineDoesNotWaitForTheTerminal) {
  // nslookup without an argument reads commands from its input; the test's own
  // input is a pipe nobody writes to, so only /dev/null lets it end.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int savedInput = dup(0);
  dup2(fds[0], 0);
  stubs.readsInput("nslookup");
  read("launcher:xterm\n\n");
  dup2(savedInput, 0);
  close(savedInput);
  close(fds[0]);
  close(fds[1]);
  ASSERT_EQ(hostCount, 1);
  const std::vector<StubCall> calls = stubs.calls("nslookup");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].args.empty());
  EXPECT_EQ(calls[0].standardInput, "/dev/null");
}

TEST(HostNameIsSafe, PlainNamesAndAddresses) {
  for (const char* name :
       {"alpha", "host-1.example.org", "10.0.0.1", "fe80::1%eth0", "a_b", " spaced ", "", "host-"})
    EXPECT_TRUE(hostNameIsSafe(name)) << '"' << name << '"';
}

TEST_F(ConfigTest, UnsafeNamesNeverReachATool) {
  struct Case {
    const char* what;
    std::string name;
  };
  const Case cases[] = {
      {"semicolon", "a;touch pwned"},
      {"pipe", "a|touch pwned"},
      {"ampersand", "a&touch pwned"},
      {"dollar", "$(touch pwned)"},
      {"backtick", "`touch pwned`"},
      {"parenthesis", "(touch pwned)"},
      {"angle bracket", "a>pwned"},
      {"less than", "a<pwned"},
      {"single quote", "a'b"},
      {"double quote", "a\"b"},
      {"backslash", "a\\;touch pwned"},
      {"star", "*"},
      {"question mark", "pwne?"},
      {"bracket", "[p]wned"},
      {"exclamation", "!touch"},
      {"brace", "{touch,pwned}"},
      {"tilde", "~root"},
      {"newline", "a\ntouch pwned"},
      {"tab", "a\ttouch"},
      {"slash", "../pwned"},
      {"equals", "x=touch"},
      {"high byte", "h\xc3\xb6st"},
      {"control byte", std::string("a\x01"
                                   "b")},
      {"option", "-oN pwned"},
      {"later option", "x -oNpwned y"},
      {"two words", " localhost reboot "},
  };
  WorkingFolder inside(dir.path());
  for (const Case& c : cases) {
    resetHostTable();
    StderrCapture capture;
    addHost(c.name);
    const std::string errors = capture.text();
    ASSERT_EQ(hostCount, 1) << c.what;
    HostRecord& host = hosts[0];
    EXPECT_FALSE(host.nameSafe) << c.what;
    EXPECT_EQ(host.name, c.name) << c.what;
    EXPECT_EQ(host.pingInterval, 2) << c.what;
    probeHost(host);
    sampleLatency(host);
    EXPECT_TRUE(stubs.calls().empty()) << c.what;
    EXPECT_FALSE(dir.exists("pwned")) << c.what;
    EXPECT_EQ(host.address, "") << c.what;
    EXPECT_EQ(host.reachable, 0) << c.what;
    EXPECT_EQ(host.latency[100], 0) << c.what;
    EXPECT_EQ(lineCount(errors), 1) << c.what << ": " << errors;
    EXPECT_NE(errors.find("wird nicht abgefragt"), std::string::npos) << errors;
  }
}

TEST_F(ConfigTest, UnsafeNameMessageNamesHostFileAndReason) {
  const std::string errors = read("launcher:xterm\nok\nbad;name\n-x host\n");
  EXPECT_EQ(hostCount, 3);
  EXPECT_EQ(lookedUp(), std::vector<std::string>{"ok"});
  EXPECT_EQ(lineCount(errors), 2) << errors;
  EXPECT_NE(errors.find("\"bad;name\""), std::string::npos) << errors;
  EXPECT_NE(errors.find("„;“"), std::string::npos) << errors;
  EXPECT_NE(errors.find("„-x“"), std::string::npos) << errors;
  EXPECT_NE(errors.find(dir.file("tandrel.cfg")), std::string::npos) << errors;
}

TEST(FindConfiguration, WorkingFolderThenUserThenSystemFolders) {
  // "@" is the scratch folder; nullptr leaves a variable unset. The file and the
  // places after the working folder are given by the folder that holds tandrel/tandrel.cfg.
  struct Case {
    const char *what, *cwd, *home, *userFolder, *systemFolders, *file, *places;
  };
  const Case cases[] = {
      {"working folder first", "@/full", "@/home", "@/xdg", "@/b", "tandrel.cfg", ""},
      {"user variable", "@", "@/home", "@/xdg", "@/b", "@/xdg", "@/xdg"},
      {"user variable unset", "@", "@/home", nullptr, "@/b", "@/home/.config", "@/home/.config"},
      {"user variable relative", "@", "@/home", "xdg", "@/b", "@/home/.config", "@/home/.config"},
      {"no home at all", "@", nullptr, nullptr, "@/b", "@/b", "@/b"},
      {"empty user variable, system folders in order", "@", "@", "", "@/a:@/b:@/xdg", "@/b",
       "@/.config @/a @/b"},
      {"relative system folder skipped", "@", "@", "", "xdg::@/a", "", "@/.config @/a"},
      {"system variable unset", "@", "@", "", nullptr, "", "@/.config /etc/xdg"},
      {"a folder in its place ends the search", "@", "@", "@/folder", "@/b", "@/folder",
       "@/folder"},
  };
  ScratchDir dir;
  for (const char* folder : {"full", "home/.config/tandrel", "xdg/tandrel", "a/tandrel",
                             "b/tandrel", "folder/tandrel/tandrel.cfg"})
    std::filesystem::create_directories(dir.file(folder));
  for (const char* file : {"full", "home/.config/tandrel", "xdg/tandrel", "b/tandrel"})
    dir.write(std::string(file) + "/tandrel.cfg", "terminal=xterm -e\nlocalhost\n");
  auto expand = [&](const std::string& text) {
    std::string out;
    for (char c : text) out += c == '@' ? dir.path() : std::string(1, c);
    return out;
  };
  auto place = [&](const std::string& folder) { return expand(folder) + "/tandrel/tandrel.cfg"; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string home = c.home ? expand(c.home) : "",
                      user = c.userFolder ? expand(c.userFolder) : "",
                      system = c.systemFolders ? expand(c.systemFolders) : "";
    EnvSetting h("HOME", c.home ? home.c_str() : nullptr),
        u("XDG_CONFIG_HOME", c.userFolder ? user.c_str() : nullptr),
        s("XDG_CONFIG_DIRS", c.systemFolders ? system.c_str() : nullptr);
    WorkingFolder inside(expand(c.cwd));
    const ConfigLookup lookup = findConfiguration();
    std::string places;
    for (const Text& p : lookup.places) places += p + "|";
    std::string expected = expand(c.cwd) + "/tandrel.cfg|", folder;
    for (std::istringstream folders(c.places); folders >> folder;) expected += place(folder) + "|";
    EXPECT_EQ(lookup.file, c.file[0] == '@' ? place(c.file) : c.file);
    EXPECT_EQ(places, expected);
  }
}
