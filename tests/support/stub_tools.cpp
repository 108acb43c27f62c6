#include "support/stub_tools.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string unhex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return out;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

// The same script serves every tool; $0's base name says which one it is.
// Every logged text is hex-encoded so that any byte survives the log.
const char* stubScript = R"SH(#!/bin/sh
tool=${0##*/}
dir=@DIR@
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
args=
for a in "$@"; do args="$args$(hex "$a")."; done
printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$tool" "$args" "${LC_ALL+set}" "$(hex "${LC_ALL-}")" \
  "$(hex "${LANG-}")" "$(hex "$(readlink /proc/$$/fd/0)")" "${DESKTOP_STARTUP_ID+set}" \
  >> "$dir/calls.log"
key=$(hex "$*")
[ -n "$key" ] || key=empty
answers=$dir/answers/$tool
[ -f "$answers/reads-input" ] && timeout 5 cat > /dev/null
f=$answers/$key
[ -f "$f" ] || f=$answers/default
case "${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}" in
  de*) [ -f "$f.de" ] && f=$f.de ;;
esac
[ -f "$f" ] && cat "$f"
exit 0
)SH";

}  // namespace

std::string StubCall::arguments() const {
  std::string joined;
  for (size_t i = 0; i < args.size(); ++i) joined += (i ? " " : "") + args[i];
  return joined;
}

StubTools::StubTools() {
  mkdir(dir_.file("bin").c_str(), 0755);
  mkdir(dir_.file("answers").c_str(), 0755);
  dir_.write("calls.log", "");
  for (const char* tool : {"nslookup", "nmap", "ping"}) addTool(tool);
  const char* path = std::getenv("PATH");
  hadPath_ = path != nullptr;
  if (path) oldPath_ = path;
  const std::string stubbed = dir_.file("bin") + (path ? ":" + oldPath_ : "");
  setenv("PATH", stubbed.c_str(), 1);
}

StubTools::~StubTools() {
  if (hadPath_)
    setenv("PATH", oldPath_.c_str(), 1);
  else
    unsetenv("PATH");
}

void StubTools::addTool(const std::string& tool) {
  std::string script = stubScript;
  script.replace(script.find("@DIR@"), 5, "'" + dir_.path() + "'");
  dir_.write("bin/" + tool, script, 0755);
  mkdir(dir_.file("answers/" + tool).c_str(), 0755);
}

std::string StubTools::answerFile(const std::string& tool, const std::string& arguments) const {
  return "answers/" + tool + "/" + (arguments.empty() ? "empty" : hex(arguments));
}

void StubTools::answer(const std::string& tool, const std::string& arguments,
                       const std::string& output) {
  dir_.write(answerFile(tool, arguments), output);
}

void StubTools::answerGerman(const std::string& tool, const std::string& arguments,
                             const std::string& output) {
  dir_.write(answerFile(tool, arguments) + ".de", output);
}

void StubTools::answerAny(const std::string& tool, const std::string& output) {
  dir_.write("answers/" + tool + "/default", output);
}

void StubTools::readsInput(const std::string& tool) {
  dir_.write("answers/" + tool + "/reads-input", "");
}

std::vector<StubCall> StubTools::calls() const {
  std::vector<StubCall> result;
  std::istringstream log(dir_.read("calls.log"));
  std::string line;
  while (std::getline(log, line)) {
    const std::vector<std::string> field = split(line, '\t');
    if (field.size() < 6) continue;
    StubCall call;
    call.tool = field[0];
    std::string arg;  // each argument ends with a "."
    for (char c : field[1]) {
      if (c != '.') {
        arg += c;
        continue;
      }
      call.args.push_back(unhex(arg));
      arg.clear();
    }
    call.lcAllSet = field[2] == "set";
    call.lcAll = unhex(field[3]);
    call.lang = unhex(field[4]);
    call.standardInput = unhex(field[5]);
    call.startupIdSet = field.size() > 6 && field[6] == "set";
    result.push_back(call);
  }
  return result;
}

std::vector<StubCall> StubTools::calls(const std::string& tool) const {
  std::vector<StubCall> result;
  for (const StubCall& call : calls())
    if (call.tool == tool) result.push_back(call);
  return result;
}

bool StubTools::anyArgumentContains(const std::string& text) const {
  for (const StubCall& call : calls())
    for (const std::string& a : call.args)
      if (a.find(text) != std::string::npos) return true;
  return false;
}

std::string StubTools::fixture(const std::string& name) {
  std::ifstream in(std::string(TANDREL_SOURCE_DIR) + "/tests/fixtures/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
