// The door between host names and the shell: which names may be put into a
// command line at all, and the command lines built from them.
#include "app/commands.hpp"

#include <cstdio>

namespace {

bool allowedByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '.' || c == '-' || c == '_' || c == ':' || c == '%';
}

Text hexByte(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

}  // namespace

bool hostNameIsSafe(const Text& name, Text* why) {
  for (unsigned char c : name) {
    if (allowedByte(c)) continue;
    if (why) {
      if (c > 0x20 && c < 0x7F)
        *why = "der Name enthält das Zeichen „" + Text(1, static_cast<char>(c)) + "“";
      else
        *why = "der Name enthält das Byte " + hexByte(c);
    }
    return false;
  }
  // A word starting with "-" would be read by the tools as an option.
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '-' || (i > 0 && name[i - 1] != ' ')) continue;
    if (why) {
      const size_t end = name.find(' ', i);
      *why = "das Wort „" + name.substr(i, end == Text::npos ? Text::npos : end - i) +
             "“ beginnt mit „-“ und würde als Option gelesen";
    }
    return false;
  }
  // Two words are two arguments: nmap scans both, nslookup takes the second
  // for its server, and ssh runs it as a command. Blanks around the name stay.
  const size_t first = name.find_first_not_of(' '), last = name.find_last_not_of(' ');
  if (first != Text::npos && name.find(' ', first) < last) {
    if (why)
      *why = "der Name besteht aus mehreren Wörtern und würde als mehr als ein Argument gelesen";
    return false;
  }
  return true;
}

bool hostNameUsable(const HostRecord& host) { return host.nameSafe && hostNameIsSafe(host.name); }

bool sshNameIsSafe(const Text& name, Text* why) {
  if (name.empty() || name[0] != ' ') return true;
  if (why) *why = "der Name beginnt mit einem Leerzeichen, und ssh nähme „root@“ allein als Ziel";
  return false;
}

namespace {

// The name placed between before and after, or nothing for a refused name.
Text withHost(const HostRecord& host, const Text& before, const Text& after) {
  return hostNameUsable(host) ? before + host.name + after : Text();
}

}  // namespace

Text lookupCommand(const HostRecord& host) { return withHost(host, "nslookup ", ""); }

Text scanCommand(const HostRecord& host) { return withHost(host, "nmap ", ""); }

Text scanCommand6(const HostRecord& host) { return withHost(host, "nmap -6 ", ""); }

Text pingCommand(const HostRecord& host) { return withHost(host, "ping ", " -c 1"); }

Text ftpCommand(const HostRecord& host) {
  return withHost(host, launcherCommand + " \"ftp -nv ", "\"");
}

Text sshCommand(const HostRecord& host) {
  if (!sshNameIsSafe(host.name)) return Text();
  return withHost(host, launcherCommand + " \"ssh -X root@", "\"");
}
