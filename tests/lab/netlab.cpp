#include "lab/netlab.hpp"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

namespace lab {

namespace {

const char* const prefix = "tandrel-lab-";
const char* const sbin = "/usr/sbin:/sbin:/usr/bin:/bin";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool writeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  return bool(out);
}

// Output of a short command, both streams.
std::string outputOf(const std::vector<std::string>& argv, int* status = nullptr) {
  char pattern[] = "/tmp/tandrel-lab-out-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) return "";
  close(fd);
  int rc = runCommand(argv, pattern);
  if (status) *status = rc;
  std::string text = readFile(pattern);
  unlink(pattern);
  return text;
}

// Kills what still runs in a namespace of ours, then removes it and its /etc/netns folder.
void removeNamespace(const std::string& ip, const std::string& ns) {
  std::istringstream pids(outputOf({ip, "netns", "pids", ns}));
  for (pid_t pid; pids >> pid;) kill(pid, SIGKILL);
  runCommand({ip, "netns", "del", ns});
  runCommand({"rm", "-rf", "/etc/netns/" + ns});
}

// Namespaces left behind by a lab run whose process is gone (killed by a timeout, say).
void removeStale(const std::string& ip) {
  DIR* dir = opendir("/run/netns");
  if (!dir) return;
  std::vector<std::string> stale;
  for (dirent* e; (e = readdir(dir));) {
    std::string name = e->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    pid_t owner = pid_t(std::atol(name.c_str() + std::strlen(prefix)));
    if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) stale.push_back(name);
  }
  closedir(dir);
  for (const std::string& ns : stale) removeNamespace(ip, ns);
}

int counter = 0;

// Namespaces of this process still standing; removed at exit too, for a
// test that ends through exit() (Xlib's default error handler, say)
// without running its destructors.
std::mutex liveMutex;
std::vector<std::pair<std::string, std::string>> live;  // ip program, namespace

void removeLiveAtExit() {
  std::lock_guard<std::mutex> hold(liveMutex);
  for (const auto& [ip, ns] : live) removeNamespace(ip, ns);
  live.clear();
}

void keepTrack(const std::string& ip, const std::string& ns) {
  static std::once_flag once;
  std::call_once(once, [] { std::atexit(removeLiveAtExit); });
  std::lock_guard<std::mutex> hold(liveMutex);
  live.emplace_back(ip, ns);
}

void forget(const std::string& ns) {
  std::lock_guard<std::mutex> hold(liveMutex);
  std::erase_if(live, [&](const auto& entry) { return entry.second == ns; });
}

}  // namespace

bool inNamespace(const std::string& ns, const std::function<void()>& f) {
  bool entered = false;
  std::thread worker([&] {
    int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    entered = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    if (entered) f();
  });
  worker.join();
  return entered;
}

std::string NetLab::unavailableReason() {
  if (geteuid() != 0)
    return "network namespaces need root; this test runs as uid " + std::to_string(geteuid());
  std::string ip = findProgram("ip", sbin);
  if (ip.empty()) return "the ip program (iproute2) is missing";
  std::string probe = prefix + std::to_string(getpid()) + "-probe";
  int status = -1;
  std::string out = outputOf({ip, "netns", "add", probe}, &status);
  if (status != 0) return "\"ip netns add\" fails here: " + out;
  runCommand({ip, "netns", "del", probe});
  return "";
}

NetLab::NetLab() {
  ip_ = findProgram("ip", sbin);
  const std::string openbox = findProgram("openbox"), dnsmasq = findProgram("dnsmasq", sbin);
  if (ip_.empty() || openbox.empty() || dnsmasq.empty()) {
    error_ = "missing program: ip, openbox or dnsmasq (scripts/setup.sh installs them)";
    return;
  }
  removeStale(ip_);
  const std::string base = prefix + std::to_string(getpid()) + "-" + std::to_string(++counter);
  main_ = base + "-main";
  peer_ = base + "-peer";

  mainMade_ = run({ip_, "netns", "add", main_});
  if (mainMade_) keepTrack(ip_, main_);
  peerMade_ = mainMade_ && run({ip_, "netns", "add", peer_});
  if (!peerMade_) return;
  keepTrack(ip_, peer_);
  // The veth pair is made inside main with its other end in peer: nothing
  // of the lab ever appears in the machine's own namespace.
  if (!run({ip_, "-n", main_, "link", "set", "lo", "up"}) ||
      !run({ip_, "-n", peer_, "link", "set", "lo", "up"}) ||
      !run({ip_, "-n", main_, "link", "add", "lab0", "type", "veth", "peer", "name", "lab1",
            "netns", peer_}) ||
      !run({ip_, "-n", main_, "addr", "add", ownAddress + "/24", "dev", "lab0"}) ||
      !run({ip_, "-n", main_, "link", "set", "lab0", "up"}) ||
      !run({ip_, "-n", peer_, "link", "set", "lab1", "up"}))
    return;

  const std::string etc = "/etc/netns/" + main_;
  if (!run({"mkdir", "-p", etc}) ||
      !writeFile(etc + "/resolv.conf", "nameserver " + dnsAddress + "\n") ||
      !writeFile(etc + "/hosts", "127.0.0.1 localhost\n") ||
      !writeFile(etc + "/nsswitch.conf", "hosts: files dns\nnetworks: files\n")) {
    if (error_.empty()) error_ = "cannot write " + etc;
    return;
  }

  if (!listen(main_, ftpAddress, 21, false) || !listen(main_, sshAddress, 22, false) ||
      !listen(main_, ipv6Address, 22, false) || !listen(peer_, silentAddress, silentPort, true))
    return;
  acceptor_ = std::thread([this] { acceptLoop(); });

  mkdir(dir_.file("bin").c_str(), 0755);
  dir_.write("bin/openbox",
             "#!/bin/sh\nexec '" + ip_ + "' netns exec '" + main_ + "' '" + openbox +
                 "' \"$@\" 2>>'" + dir_.file("openbox.log") + "'\n",
             0755);

  const std::vector<std::string> dns = {dnsmasq,
                                        "--keep-in-foreground",
                                        "--conf-file=/dev/null",
                                        "--no-resolv",
                                        "--no-hosts",
                                        "--no-dhcp-interface=lo",
                                        "--port=53",
                                        "--listen-address=" + dnsAddress,
                                        "--bind-interfaces",
                                        "--user=root",
                                        "--pid-file=",
                                        "--local=/lab.test/",
                                        "--host-record=" + ftpName + "," + ftpAddress,
                                        "--host-record=" + sshName + "," + sshAddress,
                                        "--host-record=" + closedName + "," + closedAddress,
                                        "--host-record=" + silentName + "," + silentAddress,
                                        "--host-record=" + ipv6Name + "," + ipv6Address,
                                        "--cname=" + ftpAlias + "," + ftpName,
                                        "--log-queries",
                                        "--log-facility=" + dir_.file("dns.log")};
  if (!dns_.start(inside(dns), "", environmentWith({}),
                  {dir_.file("dnsmasq.out"), dir_.file("dnsmasq.out")})) {
    error_ = "cannot start dnsmasq";
    return;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!dnsAnswers()) {
    if (!dns_.running() || std::chrono::steady_clock::now() > deadline) {
      error_ =
          "dnsmasq does not answer on " + dnsAddress + ": " + readFile(dir_.file("dnsmasq.out"));
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

NetLab::~NetLab() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (int fd : listeners_) close(fd);
  dns_.stop();
  for (const auto& [made, ns] : {std::pair{mainMade_, main_}, std::pair{peerMade_, peer_}}) {
    if (!made) continue;
    removeNamespace(ip_, ns);
    forget(ns);
  }
}

std::vector<std::string> NetLab::inside(const std::vector<std::string>& argv) const {
  std::vector<std::string> all = {ip_, "netns", "exec", main_};
  all.insert(all.end(), argv.begin(), argv.end());
  return all;
}

bool NetLab::run(const std::vector<std::string>& argv) {
  int status = -1;
  std::string out = outputOf(argv, &status);
  if (status == 0) return true;
  std::string line;
  for (const std::string& a : argv) line += (line.empty() ? "" : " ") + a;
  error_ = "\"" + line + "\" failed (" + std::to_string(status) + "): " + out;
  return false;
}

bool NetLab::listen(const std::string& ns, const std::string& address, int port, bool freeBind) {
  int fd = -1;
  std::string why;
  bool entered = inNamespace(ns, [&] {
    sockaddr_in a4{};
    sockaddr_in6 a6{};  // for an address with colons
    a4.sin_family = AF_INET;
    a6.sin6_family = AF_INET6;
    a4.sin_port = a6.sin6_port = htons(uint16_t(port));
    const bool v6 = inet_pton(AF_INET6, address.c_str(), &a6.sin6_addr) == 1;
    if (!v6) inet_pton(AF_INET, address.c_str(), &a4.sin_addr);
    fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // The silent host's address does not exist yet; the socket waits for it.
    if (freeBind) setsockopt(fd, IPPROTO_IP, IP_FREEBIND, &one, sizeof one);
    sockaddr* a = v6 ? reinterpret_cast<sockaddr*>(&a6) : reinterpret_cast<sockaddr*>(&a4);
    if (bind(fd, a, v6 ? sizeof a6 : sizeof a4) != 0 || ::listen(fd, 64) != 0) {
      why = std::strerror(errno);
      close(fd);
      fd = -1;
    }
  });
  if (!entered || fd < 0) {
    error_ = "cannot listen on " + address + ":" + std::to_string(port) + " in " + ns + ": " +
             (entered ? why : "setns failed");
    return false;
  }
  listeners_.push_back(fd);
  return true;
}

// Accepts and drops connections, so that a client that completes the
// handshake (a connect scan, say) never finds a full backlog.
void NetLab::acceptLoop() {
  std::vector<pollfd> fds;
  for (int fd : listeners_) fds.push_back({fd, POLLIN, 0});
  while (!stopping_) {
    if (poll(fds.data(), fds.size(), 100) <= 0) continue;
    for (pollfd& p : fds) {
      if (!(p.revents & POLLIN)) continue;
      int c = accept4(p.fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) close(c);
    }
  }
}

bool NetLab::dnsAnswers() {
  bool connected = false;
  inNamespace(main_, [&] {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(53);
    inet_pton(AF_INET, dnsAddress.c_str(), &a.sin_addr);
    connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
  });
  return connected;
}

std::vector<std::string> NetLab::programsInside() const {
  std::vector<std::string> names;
  std::istringstream pids(outputOf({ip_, "netns", "pids", main_}));
  for (std::string pid; pids >> pid;) {
    std::string comm = readFile("/proc/" + pid + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    names.push_back(comm);
  }
  return names;
}

bool NetLab::silentHostAnswers() {
  return run({ip_, "-n", peer_, "addr", "add", silentAddress + "/24", "dev", "lab1"});
}

std::vector<std::string> NetLab::dnsQueries() const {
  // Lines like "... dnsmasq[42]: query[A] ftp.lab.test from 127.0.0.1".
  std::vector<std::string> names;
  std::istringstream log(readFile(dir_.file("dns.log")));
  for (std::string line; std::getline(log, line);) {
    size_t q = line.find("query[");
    if (q == std::string::npos) continue;
    size_t start = line.find("] ", q);
    if (start == std::string::npos) continue;
    start += 2;
    names.push_back(line.substr(start, line.find(' ', start) - start));
  }
  return names;
}

std::string NetLab::diagnostics() const {
  return "dnsmasq: " + readFile(dir_.file("dnsmasq.out")) + "\nDNS log:\n" +
         readFile(dir_.file("dns.log")) + "\nopenbox:\n" + readFile(dir_.file("openbox.log"));
}

}  // namespace lab
