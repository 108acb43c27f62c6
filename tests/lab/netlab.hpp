#pragma once
// A small network of our own in two network namespaces, for running the
// real nslookup, nmap and ping against hosts the test controls:
//
//   main namespace: lo up; an FTP host listening on 127.0.0.2:21 and an SSH
//     host on 127.0.0.3:22 (sockets of this process), a host on 127.0.0.4
//     without a listener, an SSH host on [::1]:22 that an AAAA-only name
//     points at; dnsmasq on 127.0.0.53 with records for the hosts, a CNAME,
//     and nothing upstream; veth end lab0 with 10.203.0.1/24.
//   peer namespace: veth end lab1, up but without an address, so 10.203.0.2
//     does not answer until silentHostAnswers() gives it the address; a
//     listener on 10.203.0.2:80 waits for that moment.
//
// The X server stays in the machine's namespace: Xvfb picks its display
// number by trying the abstract socket names, and those are private to a
// network namespace, so an Xvfb in here would take a number already in use
// outside (two servers on :0) and the test's own connection would reach the
// wrong one. Programs in here reach it through its socket in /tmp/.X11-unix.
//
// Neither namespace has a route out, and /etc/netns/NAME holds resolv.conf,
// hosts and nsswitch.conf, so that whatever runs under "ip netns exec" asks
// only our dnsmasq. Everything is removed by the destructor; leftovers of a
// run that was killed are removed by the next one.
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lab/child_process.hpp"
#include "support/scratch.hpp"

namespace lab {

inline const std::string ftpAlias = "ftp.lab.test";  // CNAME of ftpName
inline const std::string ftpName = "alpha.lab.test";
inline const std::string ftpAddress = "127.0.0.2";
inline const std::string sshName = "beta.lab.test";
inline const std::string sshAddress = "127.0.0.3";
inline const std::string closedName = "delta.lab.test";  // answers, every port closed
inline const std::string closedAddress = "127.0.0.4";
inline const std::string ipv6Name = "epsilon.lab.test";  // an AAAA record alone
inline const std::string ipv6Address = "::1";
inline const std::string silentName = "gamma.lab.test";
inline const std::string silentAddress = "10.203.0.2";
inline const int silentPort = 80;
inline const std::string ownAddress = "10.203.0.1";
inline const std::string dnsAddress = "127.0.0.53";

class NetLab {
 public:
  // Why network namespaces cannot be made on this machine, or "" when they can.
  static std::string unavailableReason();

  NetLab();
  ~NetLab();
  NetLab(const NetLab&) = delete;
  NetLab& operator=(const NetLab&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& name() const { return main_; }

  // argv run inside the main namespace with its resolv.conf.
  std::vector<std::string> inside(const std::vector<std::string>& argv) const;
  // A folder with an openbox that starts the real one inside the main
  // namespace; put it first on PATH while starting it.
  std::string programFolder() const { return dir_.file("bin"); }
  // The names of the programs running inside the main namespace.
  std::vector<std::string> programsInside() const;

  // Gives the peer its address: from now on 10.203.0.2 answers, with port 80 open.
  bool silentHostAnswers();
  // The names dnsmasq was asked about, one per line.
  std::vector<std::string> dnsQueries() const;
  // The output of dnsmasq and of the last failed command, for messages.
  std::string diagnostics() const;

 private:
  bool run(const std::vector<std::string>& argv);
  bool listen(const std::string& ns, const std::string& address, int port, bool freeBind);
  void acceptLoop();
  bool dnsAnswers();

  ScratchDir dir_;
  std::string ip_;
  std::string main_, peer_;
  bool mainMade_ = false, peerMade_ = false;
  std::string error_;
  std::vector<int> listeners_;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  ChildProcess dns_;
};

// Runs f on a thread of its own that has entered the network namespace ns
// (sockets made there belong to ns); false when it could not enter.
bool inNamespace(const std::string& ns, const std::function<void()>& f);

}  // namespace lab
