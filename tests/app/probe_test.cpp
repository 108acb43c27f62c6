// Name lookup and port scan against stub tools printing recorded output.
#include <gtest/gtest.h>

#include <string>

#include "app/probe.hpp"
#include "app_test.hpp"
#include "support/stub_tools.hpp"

namespace {

struct ProbeTest : HostTableTest {
  StubTools stubs;
  HostRecord& host = hosts[0];

  void probe(const std::string& lookup, const std::string& scan, const std::string& name = "h") {
    host.name = name;
    stubs.answer("nslookup", name, lookup);
    stubs.answer("nmap", name, scan);
    probeHost(host);
  }
  std::string fixture(const std::string& name) { return StubTools::fixture(name); }
};

// Port lines as nmap 7.93 prints them for a host with many services.
std::string portLines(int count, int firstPort = 1000) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += std::to_string(firstPort + i) + "/tcp open  unknown\n";
  return lines;
}

const std::string scanHead =
    "Starting Nmap 7.93 ( https://nmap.org ) at 2026-12-09 01:00 UTC\n"
    "Nmap scan report for h (10.1.2.3)\nHost is up (0.00031s latency).\n"
    "Not shown: 980 closed tcp ports (reset)\nPORT      STATE SERVICE\n";
const std::string scanTail = "\nNmap done: 1 IP address (1 host up) scanned in 0.21 seconds\n";

}  // namespace

TEST_F(ProbeTest, LookupKeepsAddressAndCanonicalName) {
  probe(fixture("nslookup-cname.txt"), "");
  EXPECT_EQ(host.address, "127.0.0.2");
  EXPECT_EQ(host.canonicalName, "alpha.test.lan.");
  // An IPv4 and then an IPv6 answer: the last one wins.
  probe(fixture("nslookup-dual.txt"), "");
  EXPECT_EQ(host.address, "::1");
  EXPECT_EQ(host.canonicalName, "alpha.test.lan.");  // nothing is cleared
}

TEST_F(ProbeTest, LookupLineRules) {
  // "Address:" followed by a tab (the server line) is no match.
  host.address = "before";
  probe(fixture("nslookup-nxdomain.txt"), "");
  EXPECT_EQ(host.address, "before");
  // The text is always taken from the 10th character.
  probe("  Address: 10.9.8.7\n", "");
  EXPECT_EQ(host.address, ": 10.9.8.7");
  // A line ending with "canonical name = " gives the empty text.
  probe("www.example.org\tcanonical name = \n", "");
  EXPECT_EQ(host.canonicalName, "");
  // The first rule that matches decides.
  probe("x canonical name = y Address: z\n", "");
  EXPECT_EQ(host.address, "al name = y Address: z");
  EXPECT_EQ(host.canonicalName, "");
}

TEST_F(ProbeTest, ThreePortsFillSlotsOneToThree) {
  probe(fixture("nslookup-plain.txt"), fixture("nmap-three-ports.txt"), "alpha.test.lan");
  EXPECT_EQ(host.reachable, 1);
  EXPECT_EQ(host.portLines[1], "21/tcp open  ftp");
  EXPECT_EQ(host.portLines[2], "22/tcp open  ssh");
  EXPECT_EQ(host.portLines[3], "80/tcp open  http");
  EXPECT_EQ(host.portLines[4], "");
  EXPECT_TRUE(reportsOpenFtp(host.portLines[1]));
  EXPECT_TRUE(reportsOpenSsh(host.portLines[2]));
  EXPECT_EQ(host.address, "127.0.0.2");
  for (const StubCall& call : stubs.calls()) {
    EXPECT_EQ(call.args, std::vector<std::string>{"alpha.test.lan"});
    EXPECT_EQ(call.lcAll, "C");
    EXPECT_EQ(call.standardInput, "/dev/null");
  }
  EXPECT_EQ(stubs.calls().size(), 2u);
}

TEST_F(ProbeTest, EighthPortLineIsStoredNowhere) {
  host.portLines[8] = "old eighth";
  probe("", fixture("nmap-twelve-ports.txt"));
  EXPECT_EQ(host.portLines[1], "21/tcp   open  ftp");
  EXPECT_EQ(host.portLines[7], "110/tcp  open  pop3");
  EXPECT_EQ(host.portLines[8], "old eighth");
  EXPECT_EQ(host.portLines[9], "");
  probe("", scanHead + portLines(8) + scanTail);
  EXPECT_EQ(host.portLines[7], "1006/tcp open  unknown");
  EXPECT_EQ(host.portLines[8], "old eighth");
}

TEST_F(ProbeTest, LateFtpAndSshLinesGoToSlotsSevenAndEight) {
  probe("", scanHead + portLines(8) + "22/tcp    open  ssh\n" + portLines(3, 2000) +
                "21/tcp    open   ftp\n" + scanTail);
  EXPECT_EQ(host.portLines[6], "1005/tcp open  unknown");
  EXPECT_EQ(host.portLines[7], "21/tcp    open   ftp");
  EXPECT_EQ(host.portLines[8], "22/tcp    open  ssh");
  // Lines that only look alike stay out.
  probe("", scanHead + portLines(8) + "22/tcp filtered ssh\n22/tcp open\n22/tcpopen ssh\n" +
                "21/tcp  open ftp-data\n" + scanTail);
  EXPECT_EQ(host.portLines[7], "21/tcp  open ftp-data");  // "ftp" begins the service
  EXPECT_EQ(host.portLines[8], "22/tcp    open  ssh");
}

TEST(OpenPortLine, BlanksOpenAndServiceInOrder) {
  for (const char* yes : {"21/tcp open  ftp", "21/tcp    open   ftp", "x 21/tcp 21/tcp open ftp"})
    EXPECT_TRUE(reportsOpenFtp(yes)) << yes;
  for (const char* no :
       {"21/tcp open", "21/tcp  closed ftp", "21/tcp\topen ftp", "21/tcpopen ftp",
        "21/udp open ftp", "22/tcp open ssh", "21/tcp open\tftp", "8021/tcp open  ftp-proxy"})
    EXPECT_FALSE(reportsOpenFtp(no)) << no;
  EXPECT_TRUE(reportsOpenSsh("22/tcp open  ssh"));
  EXPECT_FALSE(reportsOpenSsh("22/tcp open  ftp"));
  EXPECT_FALSE(reportsOpenSsh("2222/tcp open  ssh"));
}

TEST_F(ProbeTest, UdpLinesArePortLines) {
  probe("", fixture("nmap-udp.txt"));
  EXPECT_EQ(host.reachable, 1);
  EXPECT_EQ(host.portLines[1], "53/udp  closed domain");
  EXPECT_EQ(host.portLines[2], "111/udp closed rpcbind");
}

TEST_F(ProbeTest, HostDownThenUpAgain) {
  probe("", fixture("nmap-three-ports.txt"));
  probe("", fixture("nmap-down.txt"));
  EXPECT_EQ(host.reachable, 0);
  EXPECT_EQ(host.portLines[1], "21/tcp open  ftp");  // kept from before
  probe("", fixture("nmap-no-ports.txt"));
  EXPECT_EQ(host.reachable, 1);  // up, with every scanned port closed
  probe("", fixture("nmap-down.txt"));
  probe("",
        "Starting Nmap 7.93 ( https://nmap.org ) at 2026-12-09 17:04 UTC\n"  // an unknown name
        "Nmap done: 0 IP addresses (0 hosts up) scanned in 0.04 seconds\n");
  EXPECT_EQ(host.reachable, 0);  // neither a port, the note nor "Host is up"
  probe("", fixture("nmap-one-port.txt"));
  EXPECT_EQ(host.reachable, 1);
  // The note counts at any time; a port line after it counts only below eight.
  probe("", portLines(2) + "Note: Host seems down.\n" + portLines(1));
  EXPECT_EQ(host.reachable, 1);
  probe("", portLines(8) + "Note: Host seems down.\n" + portLines(1));
  EXPECT_EQ(host.reachable, 0);
}

// An IPv6 literal or an IPv6-only name: the plain scan finds no address, so
// the name is scanned once more with -6, which goes on counting port lines.
TEST_F(ProbeTest, NoAddressFoundScansAgainWithIpv6) {
  const struct {
    const char *name, *lookup, *scan, *scan6;
  } cases[] = {
      {"::1", "", "nmap-ipv6-literal.txt", "nmap-6-ipv6-literal.txt"},
      {"epsilon.lab.test", "Address: fd00::5\n", "nmap-aaaa-only.txt", "nmap-6-aaaa-only.txt"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetHostTable();
    const size_t before = stubs.calls("nmap").size();
    stubs.answer("nmap", std::string("-6 ") + c.name, fixture(c.scan6));
    probe(c.lookup, fixture(c.scan), c.name);
    EXPECT_EQ(host.reachable, 1);
    EXPECT_EQ(host.portLines[1], "22/tcp open  ssh");
    const std::vector<StubCall> scans = stubs.calls("nmap");
    ASSERT_EQ(scans.size(), before + 2);
    EXPECT_EQ(scans[before].args, std::vector<std::string>{c.name});
    EXPECT_EQ(scans[before + 1].args, (std::vector<std::string>{"-6", c.name}));
  }
  stubs.answer("nmap", "-6 h", portLines(1) + "22/tcp    open   ssh\n");
  probe("Address: fd00::5\n",
        portLines(7) + "Nmap done: 0 IP addresses (0 hosts up) scanned in 0.03 seconds\n");
  EXPECT_EQ(host.portLines[7], "1006/tcp open  unknown");
  EXPECT_EQ(host.portLines[8], "22/tcp    open   ssh");
  // A host nmap reports down, an IPv4 host and a name that resolves nowhere are scanned once.
  const size_t before = stubs.calls("nmap").size();
  probe("", fixture("nmap-down.txt"));
  probe("", fixture("nmap-three-ports.txt"));
  probe(fixture("nslookup-nxdomain.txt"), fixture("nmap-aaaa-only.txt"));
  EXPECT_EQ(stubs.calls("nmap").size(), before + 3);
}

TEST_F(ProbeTest, ShorterScanLeavesEarlierLines) {
  probe("", fixture("nmap-twelve-ports.txt"));
  probe("", fixture("nmap-one-port.txt"));
  EXPECT_EQ(host.portLines[1], "22/tcp open  ssh");
  EXPECT_EQ(host.portLines[2], "22/tcp   open  ssh");
  EXPECT_EQ(host.portLines[7], "110/tcp  open  pop3");
}

TEST_F(ProbeTest, ToolsSpeakCUnderAGermanDesktop) {
  EnvSetting lang("LANG", "de_DE.UTF-8");
  EnvSetting all("LC_ALL", nullptr);
  EnvSetting messages("LC_MESSAGES", nullptr);
  stubs.answerGerman("nslookup", "h", "Name:\th\nAdresse: 10.0.0.9\n");
  stubs.answerGerman("nmap", "h", "Hinweis: Der Host scheint nicht erreichbar zu sein.\n");
  host.reachable = 1;
  probe(fixture("nslookup-plain.txt"), fixture("nmap-down.txt"));
  EXPECT_EQ(host.address, "127.0.0.2");
  EXPECT_EQ(host.reachable, 0);
  for (const StubCall& call : stubs.calls()) EXPECT_EQ(call.lang, "de_DE.UTF-8");
}
