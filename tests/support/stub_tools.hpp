#pragma once
// Stub nslookup, nmap and ping scripts first on PATH for one test.
//
// Each stub logs its call (arguments, LC_ALL, LANG, what its standard input
// is, whether DESKTOP_STARTUP_ID is set) and prints the answer set for its arguments, or the tool's
// default answer, or nothing. Arguments are matched as the shell's "$*": the words joined by single
// blanks.
#include <string>
#include <vector>

#include "support/scratch.hpp"

struct StubCall {
  std::string tool;
  std::vector<std::string> args;
  bool lcAllSet = false;
  std::string lcAll;
  std::string lang;
  std::string standardInput;  // what fd 0 points at, e.g. "/dev/null"
  bool startupIdSet = false;  // DESKTOP_STARTUP_ID was in its environment

  std::string arguments() const;  // args joined by blanks
};

class StubTools {
 public:
  StubTools();   // creates the stubs and puts their folder first on PATH
  ~StubTools();  // PATH as it was
  StubTools(const StubTools&) = delete;
  StubTools& operator=(const StubTools&) = delete;

  // What tool prints when called with exactly these arguments.
  void answer(const std::string& tool, const std::string& arguments, const std::string& output);
  // Printed instead of the answer when the tool would speak German: LC_ALL,
  // else LC_MESSAGES, else LANG begins with "de".
  void answerGerman(const std::string& tool, const std::string& arguments,
                    const std::string& output);
  // Printed for arguments without an answer of their own.
  void answerAny(const std::string& tool, const std::string& output);
  // The stub reads its standard input to the end (at most 5 s) before answering,
  // as nslookup without a host argument does.
  void readsInput(const std::string& tool);
  // One more stub with the same behaviour.
  void addTool(const std::string& tool);

  std::vector<StubCall> calls() const;
  std::vector<StubCall> calls(const std::string& tool) const;
  // Whether any call had an argument containing text.
  bool anyArgumentContains(const std::string& text) const;

  const std::string& folder() const { return dir_.path(); }
  // Contents of tests/fixtures/name.
  static std::string fixture(const std::string& name);

 private:
  std::string answerFile(const std::string& tool, const std::string& arguments) const;

  ScratchDir dir_;
  bool hadPath_ = false;
  std::string oldPath_;
};
