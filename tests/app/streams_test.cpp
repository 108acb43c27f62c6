// Line streams over files and command pipes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/streams.hpp"
#include "app_test.hpp"
#include "support/scratch.hpp"

namespace {

std::vector<Text> readAll(StreamHandle h) {
  std::vector<Text> lines;
  Text line;
  while (!atEndOfInput(h)) {
    readLine(h, line);
    lines.push_back(line);
  }
  return lines;
}

std::vector<Text> linesOfFile(const std::string& contents) {
  ScratchDir dir;
  dir.write("f", contents);
  const StreamHandle h = openInputFile(dir.file("f"));
  EXPECT_NE(h, 0);
  std::vector<Text> lines = readAll(h);
  closeStream(h);
  return lines;
}

std::vector<Text> linesOfCommand(const Text& command, PipeMode mode) {
  const StreamHandle h = openCommandPipe(command, mode);
  EXPECT_NE(h, 0);
  std::vector<Text> lines = readAll(h);
  closeStream(h);
  return lines;
}

using Lines = std::vector<Text>;

}  // namespace

TEST(ReadLine, LineEnds) {
  struct Case {
    std::string contents;
    Lines lines;
  };
  const Case cases[] = {
      {"ab\r\ncd\r\n", {"ab", "cd"}},
      {"ab\ncd", {"ab", "cd"}},    // last line without LF
      {"ab\r", {"ab"}},            // lone CR at the end of the data
      {"a\rb\n\r", {"a\rb", ""}},  // CR inside stays
      {"ab\r\r\n", {"ab\r"}},      // only the CR right before the LF goes
      {"\n\nx\n", {"", "", "x"}},  // empty lines are lines
      {"x\n", {"x"}},              // a final LF adds no empty line
      {"", {}},
      {std::string(2000, 'q') + "\n", {std::string(2000, 'q')}},
      {std::string("a\0b\xff\n", 5), {std::string("a\0b\xff", 4)}},
  };
  for (const Case& c : cases) EXPECT_EQ(linesOfFile(c.contents), c.lines) << c.contents;
}

TEST(Streams, UnopenedHandlesReadNothing) {
  for (StreamHandle h : {0, 1, 7, 255, 256, -1, 100000}) {
    EXPECT_TRUE(atEndOfInput(h)) << h;
    Text target = "unchanged";
    readLine(h, target);
    EXPECT_EQ(target, "unchanged") << h;
    closeStream(h);
  }
}

TEST(Streams, LowestFreeHandleIsTaken) {
  ScratchDir dir;
  dir.write("f", "x\n");
  EXPECT_EQ(openInputFile(dir.file("missing")), 0);
  const StreamHandle a = openInputFile(dir.file("f"));
  const StreamHandle b = openCommandPipe("echo b");
  const StreamHandle c = openInputFile(dir.file("f"));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  closeStream(b);
  EXPECT_EQ(openInputFile(dir.file("missing")), 0);  // a failed open keeps 2 free
  const StreamHandle d = openInputFile(dir.file("f"));
  EXPECT_EQ(d, 2);

  std::vector<StreamHandle> rest;
  for (StreamHandle h; (h = openInputFile(dir.file("f"))) != 0;) rest.push_back(h);
  EXPECT_EQ(rest.size(), 252u);  // 4..255
  EXPECT_EQ(rest.back(), 255);
  EXPECT_EQ(openCommandPipe("echo none"), 0);
  for (StreamHandle h : rest) closeStream(h);
  for (StreamHandle h : {a, c, d}) closeStream(h);
  EXPECT_EQ(openCommandPipe("true"), 1);
  closeStream(1);
}

TEST(CommandPipe, ToolModeSetsTheCLocaleAndEmptyInput) {
  EnvSetting german("LC_ALL", "de_DE.UTF-8");
  EnvSetting other("TANDREL_PROBE", "kept");
  const Text show = "echo \"${LC_ALL-unset}\"; echo \"$TANDREL_PROBE\"; readlink /proc/$$/fd/0";
  const Lines tool = linesOfCommand(show, PipeMode::Tool);
  ASSERT_EQ(tool.size(), 3u);
  EXPECT_EQ(tool[0], "C");
  EXPECT_EQ(tool[1], "kept");
  EXPECT_EQ(tool[2], "/dev/null");
  const Lines plain = linesOfCommand(show, PipeMode::Plain);
  ASSERT_GE(plain.size(), 2u);
  EXPECT_EQ(plain[0], "de_DE.UTF-8");  // a plain pipe keeps the user's environment
  EXPECT_EQ(plain[1], "kept");
}

TEST(CommandPipe, ReadsOnlyStandardOutputAndWaitsForTheCommand) {
  ScratchDir dir;
  StderrCapture errors;
  // The command closes its output first and only then leaves a mark.
  const Text command =
      "echo out; echo err >&2; exec >&-; sleep 0.3; touch '" + dir.file("done") + "'";
  EXPECT_EQ(linesOfCommand(command, PipeMode::Tool), Lines{"out"});
  EXPECT_TRUE(dir.exists("done"));
  EXPECT_EQ(linesOfCommand("no-such-command-tandrel", PipeMode::Tool), Lines{});
  EXPECT_NE(errors.text().find("err"), std::string::npos);
}

TEST(CommandPipe, AShellThatCannotStartLeavesNoDescriptorOpen) {
  const int lowest = dup(2);
  close(lowest);
  // One argument beyond the kernel's limit: the shell is never started.
  EXPECT_EQ(openCommandPipe(Text(200000, 'x'), PipeMode::Tool), 0);
  const int after = dup(2);
  close(after);
  EXPECT_EQ(after, lowest);
}

TEST(CommandPipe, CommandLineIsRunByTheShell) {
  EXPECT_EQ(linesOfCommand("printf 'a\\r\\nb' | tr a A", PipeMode::Plain), (Lines{"A", "b"}));
}
