// One ping per call against a stub ping printing recorded replies.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/latency.hpp"
#include "app_test.hpp"
#include "support/stub_tools.hpp"

namespace {

struct LatencyTest : HostTableTest {
  StubTools stubs;
  HostRecord& host = hosts[0];

  void ping(const std::string& output) {
    host.name = "127.0.0.2";
    stubs.answer("ping", "127.0.0.2 -c 1", output);
    pingToEnd(host);
  }
};

std::string reply(const std::string& time) {
  return "64 bytes from 127.0.0.2: icmp_seq=1 ttl=64 time=" + time + "\n";
}

bool isClockText(const Text& text) {
  return std::regex_match(text, std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"));
}

}  // namespace

TEST_F(LatencyTest, RecordedReplyAddsOneSample) {
  ping(StubTools::fixture("ping-reply.txt"));
  EXPECT_EQ(host.latency[100], 0.059);
  EXPECT_TRUE(isClockText(host.timeStamps[100])) << host.timeStamps[100];
  EXPECT_EQ(host.latency[99], 0);
  EXPECT_EQ(host.timeStamps[99], "");
  const std::vector<StubCall> calls = stubs.calls("ping");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"127.0.0.2", "-c", "1"}));
  EXPECT_EQ(calls[0].lcAll, "C");
  EXPECT_EQ(calls[0].standardInput, "/dev/null");
}

TEST_F(LatencyTest, NoReplyLineAddsNothing) {
  ping(reply("1 ms"));
  ping(StubTools::fixture("ping-unreachable.txt"));  // summary says "time 0ms"
  ping("");
  EXPECT_EQ(host.latency[100], 1);
  EXPECT_EQ(host.latency[99], 0);
  EXPECT_EQ(host.timeStamps[99], "");
}

TEST_F(LatencyTest, FiveCharactersAfterTheFirstTimeText) {
  struct Case {
    const char* after;
    double value;
  };
  const Case cases[] = {
      {"0.045 ms", 0.045},    {"12.3 ms", 12.3},       {"123 ms", 123}, {"7.61 ms", 7.61},
      {"1234.5 ms", 1234},    {"0.0456789 ms", 0.045}, {"<1 ms", 0},    {"", 0},
      {"2.5 ms time=9", 2.5},
  };
  std::string output = "PING 127.0.0.2 (127.0.0.2) 56(84) bytes of data.\n";
  for (const Case& c : cases) output += reply(c.after);
  ping(output);
  const int n = sizeof cases / sizeof cases[0];
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(host.latency[100 - n + 1 + i], cases[i].value) << cases[i].after;
    EXPECT_TRUE(isClockText(host.timeStamps[100 - n + 1 + i])) << i;
  }
  EXPECT_EQ(host.latency[100 - n], 0);
}

TEST_F(LatencyTest, HundredAndOneSamplesKeepTheLastHundred) {
  for (int i = 0; i < latencySlots; ++i) {
    EXPECT_EQ(host.latency[i], 0);
    EXPECT_EQ(host.timeStamps[i], "");
  }
  std::string output;
  for (int i = 1; i <= 101; ++i) output += reply(std::to_string(i) + " ms");
  ping(output);
  EXPECT_EQ(host.latency[1], 2);
  EXPECT_EQ(host.latency[50], 51);
  EXPECT_EQ(host.latency[100], 101);
  EXPECT_EQ(host.latency[0], 0);
  EXPECT_EQ(host.timeStamps[0], "");
  for (int i = 1; i <= 100; ++i) EXPECT_TRUE(isClockText(host.timeStamps[i])) << i;
}

TEST_F(LatencyTest, PingSpeaksCUnderAGermanDesktop) {
  EnvSetting lang("LANG", "de_DE.UTF-8");
  EnvSetting all("LC_ALL", nullptr);
  EnvSetting messages("LC_MESSAGES", nullptr);
  host.name = "127.0.0.2";
  stubs.answerGerman("ping", "127.0.0.2 -c 1",
                     "64 Bytes von 127.0.0.2: icmp_seq=1 ttl=64 Zeit=0,059 ms\n");
  ping(StubTools::fixture("ping-reply.txt"));
  EXPECT_EQ(host.latency[100], 0.059);
}
