// Tool output of any size and content is parsed by the same rules.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/latency.hpp"
#include "app/probe.hpp"
#include "app_test.hpp"
#include "support/stub_tools.hpp"

namespace {

struct BadInputTest : HostTableTest {
  StubTools stubs;
  HostRecord& host = hosts[0];
  void SetUp() override {
    HostTableTest::SetUp();
    host.name.assign(1, 'h');
  }
};

}  // namespace

TEST_F(BadInputTest, HugeLineWithoutLineEnd) {
  const std::string tail(1 << 20, 'x');
  stubs.answer("nslookup", "h", "Address: " + tail);
  stubs.answer("nmap", "h", std::string(1 << 20, '/') + "/tcp");
  probeHost(host);
  EXPECT_EQ(host.address, tail);
  EXPECT_EQ(host.portLines[1].size(), (1u << 20) + 4);
}

TEST_F(BadInputTest, NulAndHighBytesStayInTheLine) {
  const std::string line("22/tcp \0 open\xff\xfe ssh\r", 19);
  stubs.answer("nmap", "h", std::string("\xff\xff\n\0\n", 5) + line + "\n");
  stubs.answer("nslookup", "h",
               std::string("Address: 1\0"
                           "2\xff\n",
                           13));
  probeHost(host);
  EXPECT_EQ(host.portLines[1], line);
  EXPECT_EQ(host.address, std::string("1\0"
                                      "2\xff",
                                      4));
}

TEST_F(BadInputTest, TenThousandPortLines) {
  std::string scan;
  for (int i = 0; i < 10000; ++i) scan += std::to_string(i) + "/tcp open  unknown\n";
  scan += "22/tcp open  ssh\n";
  stubs.answer("nmap", "h", scan);
  probeHost(host);
  EXPECT_EQ(host.reachable, 1);
  EXPECT_EQ(host.portLines[7], "6/tcp open  unknown");
  EXPECT_EQ(host.portLines[8], "22/tcp open  ssh");
  EXPECT_EQ(host.portLines[9], "");
}

TEST_F(BadInputTest, OddPingValues) {
  struct Case {
    const char* after;
    double value;
  };
  const Case cases[] = {
      {"abcde", 0}, {"1e308 ms", 1e308}, {"9e999", INFINITY}, {"-9e999", -9e99}, {"nan", 0},
      {"inf", 0},   {"-inf", 0},         {"0x1p3", 0},        {"-5 ms", -5},     {"\xff\xfe", 0},
  };
  std::string output;
  for (const Case& c : cases) output += std::string("time=") + c.after + "\n";
  stubs.answer("ping", "h -c 1", output);
  pingToEnd(host);
  const int n = sizeof cases / sizeof cases[0];
  for (int i = 0; i < n; ++i) {
    const double v = host.latency[100 - n + 1 + i];
    EXPECT_EQ(v, cases[i].value) << cases[i].after;
    EXPECT_FALSE(formatNumber(v, "0.##").empty()) << cases[i].after;
  }
}
