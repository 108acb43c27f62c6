#pragma once
// Host names and the shell.
#include "app/hosts.hpp"
#include "app/text.hpp"

// Whether a host name may be put into a shell command line as it stands.
// When not, why names the reason in German.
bool hostNameIsSafe(const Text& name, Text* why = nullptr);

// Whether a command may name this host: its name was accepted when it was
// added and still passes (the record may have been changed since).
bool hostNameUsable(const HostRecord& host);
