// Finding tandrel.cfg in the working, the user's and the system's folders, and
// the message that says where it was looked for.
#include "app/config_path.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/messages.hpp"

namespace {

const char fileName[] = "tandrel.cfg";

// An environment folder, or the fallback when the variable is unset or empty.
Text variableOr(const char* name, const Text& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? Text(value) : fallback;
}

// Whether something is there. An entry of its own counts, a dangling link
// too: the user put it there, and reading it will name it.
bool present(const Text& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) == 0) return true;
  return errno != ENOENT && errno != ENOTDIR;
}

bool tryPlace(ConfigLookup& lookup, const Text& folder) {
  if (folder.empty() || folder[0] != '/') return false;
  const Text path = folder + "/tandrel/" + fileName;
  lookup.places.push_back(path);
  if (!present(path)) return false;
  lookup.file = path;
  return true;
}

Text workingFolder() {
  char* here = getcwd(nullptr, 0);
  const Text folder = here ? here : ".";
  std::free(here);
  return folder;
}

}  // namespace

ConfigLookup findConfiguration() {
  ConfigLookup lookup;
  // Read by its plain name, so that the messages stay as short as ever.
  lookup.places.push_back(workingFolder() + "/" + fileName);
  if (present(fileName)) {
    lookup.file = fileName;
    return lookup;
  }
  const char* home = std::getenv("HOME");
  Text userFolder = variableOr("XDG_CONFIG_HOME", "");
  if (userFolder.empty() || userFolder[0] != '/')
    userFolder = home && home[0] == '/' ? Text(home) + "/.config" : "";
  if (tryPlace(lookup, userFolder)) return lookup;
  const Text systemFolders = variableOr("XDG_CONFIG_DIRS", "/etc/xdg");
  size_t start = 0;
  for (;;) {
    const size_t end = systemFolders.find(':', start);
    if (tryPlace(lookup, systemFolders.substr(start, end - start))) return lookup;
    if (end == Text::npos) return lookup;
    start = end + 1;
  }
}

Text noConfigurationMessage() {
  return programMessage(Text("Keine Konfigurationsdatei ") + fileName +
                        " gefunden; ohne Hosts gibt es nichts anzuzeigen.");
}
