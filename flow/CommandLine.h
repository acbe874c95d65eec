// The program's command line: the first argument, which settles the mode as
// it always did (the path of an uninstall record, or anything else), and
// the deployment switches that may follow it.
//
//   /S              no window: every question gets the answer that keeps
//                   the user's data
//   /D=PATH         the install folder (with /S); the rest of the line, so
//                   the path may hold blanks, quoted or not
//   /LOG=FILE       a log of every step, with or without /S
//   /OVERWRITE      replace existing files (with /S)
//   /OPEN           open the file named for after setup (with /S)
//   /NODESKTOP, /NOSTARTMENU, /NOSTARTUP, /NOSENDTO
//                   untick the shortcut place of that name (with /S)
//   /?              the usage, in a message box
//
// Switch names are compared without regard to letter case. A line that
// names none of them is the program's plain command line: every argument
// after the first is ignored, as it always was.
#pragma once

#include <optional>
#include <string>

namespace qs {

struct CommandLine {
  std::string argument;  // the first argument; empty when the line starts with a switch
  bool silent = false;
  bool usage = false;
  bool overwrite = false;
  bool open = false;
  bool noDesktop = false;
  bool noStartMenu = false;
  bool noStartUp = false;
  bool noSendTo = false;
  std::optional<std::string> folder;
  std::optional<std::string> logFile;
  // Why the line is unusable; empty when it is fine. Only lines that name a
  // switch can be unusable.
  std::string error;

  // True when the line names at least one switch.
  bool switched = false;
};

// Parses a whole command line as the system gives it, program name first.
CommandLine ParseCommandLine(const char* line);

// The process's exit codes when the line names a switch.
enum ExitCode : int {
  kExitDone = 0,           // done, nothing failed
  kExitFailures = 1,       // done, with failed steps (the log names them)
  kExitError = 2,          // ended early by an error (its text is in the log)
  kExitAnotherCopy = 3,    // another copy is running
  kExitNoDefinition = 4,   // the definition file or the uninstall record is missing
  kExitBadCommandLine = 5, // the line cannot be used (or the log cannot be created)
};

}  // namespace qs
