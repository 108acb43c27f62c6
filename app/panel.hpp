#pragma once
#include <cstdint>
#include "app/hosts.hpp"

// Draws the panel of one host with top edge top, handles its buttons and
// pings the host when due.
void drawHostPanel(HostRecord& host, uint16_t top);

// The command line that the FTP (SSH) button hands to the shell:
// launcherCommand, a blank and the quoted client command.
Text ftpCommand(const HostRecord& host);
Text sshCommand(const HostRecord& host);
