#pragma once
// Host names and the shell.
#include "app/text.hpp"

// Whether a host name may be put into a shell command line as it stands.
// When not, why names the reason in German.
bool hostNameIsSafe(const Text& name, Text* why = nullptr);
