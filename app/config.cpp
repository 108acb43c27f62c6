// Reading tandrel.cfg: the launcher line, then the hosts, each new one probed;
// and what the window says when the file names none.
#include "app/config.hpp"

#include <sys/stat.h>

#include <cstdio>

#include "app/commands.hpp"
#include "app/messages.hpp"
#include "app/probe.hpp"
#include "app/streams.hpp"

namespace {

// The file being read, named in the messages of addHost.
Text configFile;

// The name on one line of a message: control bytes, bytes above 127,
// quotes and backslashes written as escapes.
Text printable(const Text& name) {
  Text out;
  for (unsigned char c : name) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

Text hostInFile(const Text& name) {
  Text where = "Host \"" + printable(name) + "\"";
  if (!configFile.empty()) where += " in " + configFile;
  return where;
}

}  // namespace

void (*probeNewHost)(HostRecord& host) = probeHost;

void addHost(const Text& line) {
  if (hostCount >= hostSlots) {
    reportMessage(hostInFile(line) + " wird ignoriert: es sind höchstens " +
                  integerText(int32_t(hostSlots)) + " Hosts möglich");
    return;
  }
  HostRecord& host = hosts[hostCount];
  host.name = line;
  Text why;
  host.nameSafe = hostNameIsSafe(line, &why);
  if (host.nameSafe)
    probeNewHost(host);
  else
    reportMessage(hostInFile(line) + " wird nicht abgefragt: " + why);
  host.lastPingTime = hostCount;
  host.pingInterval = 2;
  ++hostCount;
}

void readConfiguration(const Text& fileName) {
  configFile = fileName;
  const StreamHandle file = openInputFile(fileName);
  readLine(file, launcherCommand);
  launcherCommand = substring(launcherCommand, 10);
  Text line;
  while (!atEndOfInput(file)) {
    readLine(file, line);
    if (findText(1, line, "#") == 0) addHost(line);
  }
  closeStream(file);
  configFile.clear();
}

Text noHostsMessage(const Text& fileName) {
  // A directory opens like a file and reads as empty; say what it is instead.
  struct stat info;
  if (stat(fileName.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return programMessage(
        fileName + " ist ein Verzeichnis, keine Datei; ohne Hosts gibt es nichts anzuzeigen.");
  const StreamHandle file = openInputFile(fileName);
  if (file == 0)
    return programMessage("Die Konfigurationsdatei " + fileName +
                          " fehlt oder ist nicht lesbar; ohne Hosts gibt es nichts anzuzeigen.");
  closeStream(file);
  return programMessage(fileName +
                        " nennt keinen Host: nach der ersten Zeile (dem Startbefehl für das "
                        "Terminal) folgt keine Zeile ohne „#“.");
}
