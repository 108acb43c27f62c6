// Reading tandrel.cfg: the launcher line, then the hosts, each new one probed;
// and what the window says when the file names none.
#include "app/config.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "app/commands.hpp"
#include "app/messages.hpp"
#include "app/probe.hpp"
#include "app/streams.hpp"

namespace {

// The file being read, named in the messages of addHost.
Text configFile;
// Hosts of the file that get a slot, for the progress line; 0: none shown.
size_t hostsToProbe = 0;

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

// The next line that names a host (one without "#"); false at the end.
bool nextHostLine(StreamHandle file, Text& line) {
  while (!atEndOfInput(file)) {
    readLine(file, line);
    if (findText(1, line, "#") == 0) return true;
  }
  return false;
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
  if (host.nameSafe) {
    if (!sshNameIsSafe(line, &why))
      reportMessage(hostInFile(line) + " bekommt keinen SSH-Client: " + why);
    if (hostsToProbe)
      progressShow(programMessage("prüfe " + line + " (" + integerText(uint32_t(hostCount + 1)) +
                                  " von " + integerText(uint32_t(hostsToProbe)) + ") …"));
    probeNewHost(host);
  } else
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
  // The lines that get a slot are read ahead, so that the progress line
  // can count them; the rest only earn a warning each.
  std::vector<Text> slotted;
  Text line;
  while (hostCount + slotted.size() < size_t(hostSlots) && nextHostLine(file, line))
    slotted.push_back(line);
  hostsToProbe = hostCount + slotted.size();
  for (const Text& host : slotted) addHost(host);
  hostsToProbe = 0;
  progressClear();
  while (nextHostLine(file, line)) addHost(line);
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
