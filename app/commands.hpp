#pragma once
// The one door between host names and the shell: every command line the
// monitor runs is built here, and none is built for a name the shell or a
// tool could read as more than a host.
#include "app/hosts.hpp"
#include "app/text.hpp"

// Whether a host name may be put into a shell command line as it stands:
// name characters only, one word (blanks around it kept), not an option.
// When not, why names the reason in German.
bool hostNameIsSafe(const Text& name, Text* why = nullptr);

// Whether a command may name this host: its name was accepted when it was
// added and still passes (the record may have been changed since).
bool hostNameUsable(const HostRecord& host);

// Whether ssh may be handed the name: after a blank before it, "root@" alone
// would be the destination and the name a command run there. When not, why
// names the reason in German.
bool sshNameIsSafe(const Text& name, Text* why = nullptr);

// The command lines run for a host; each is empty when its name may not be used.
Text lookupCommand(const HostRecord& host);  // nslookup NAME
Text scanCommand(const HostRecord& host);    // nmap NAME
Text scanCommand6(const HostRecord& host);   // nmap -6 NAME
Text pingCommand(const HostRecord& host);    // ping NAME -c 1
// What the FTP (SSH) button hands to the shell: launcherCommand, a blank and
// the quoted client command; the SSH command is empty too for a name ssh
// may not be handed.
Text ftpCommand(const HostRecord& host);
Text sshCommand(const HostRecord& host);
