#include "app/CommandLine.h"

#include <cstring>

#include "platform/Arguments.h"

namespace qs {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when text starts with name (upper-case ASCII), letter case aside.
bool StartsWith(const std::string& text, const char* name) {
  size_t n = std::strlen(name);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Upper(text[i]) != name[i]) return false;
  }
  return true;
}

bool Is(const std::string& text, const char* name) {
  return text.size() == std::strlen(name) && StartsWith(text, name);
}

// The install folder of /D=: everything from the switch to the end of the
// line, without quotes (a Windows path holds none) and without the blanks
// around it.
std::string RestOfLine(const char* from) {
  std::string rest;
  for (const char* p = from; *p; ++p) {
    if (*p != '"') rest += *p;
  }
  size_t first = 0;
  while (first < rest.size() && static_cast<unsigned char>(rest[first]) <= ' ') ++first;
  size_t last = rest.size();
  while (last > first && static_cast<unsigned char>(rest[last - 1]) <= ' ') --last;
  return rest.substr(first + 3, last - first - 3);  // after "/D="
}

// Reads one switch into line; false when word is none of them.
bool ReadSwitch(const std::string& word, CommandLine& line) {
  struct Flag {
    const char* name;
    bool CommandLine::*field;
  };
  static const Flag kFlags[] = {
      {"/S", &CommandLine::silent},           {"/?", &CommandLine::usage},
      {"/OVERWRITE", &CommandLine::overwrite}, {"/OPEN", &CommandLine::open},
      {"/NODESKTOP", &CommandLine::noDesktop}, {"/NOSTARTMENU", &CommandLine::noStartMenu},
      {"/NOSTARTUP", &CommandLine::noStartUp}, {"/NOSENDTO", &CommandLine::noSendTo},
  };
  for (const Flag& flag : kFlags) {
    if (Is(word, flag.name)) {
      line.*flag.field = true;
      return true;
    }
  }
  if (StartsWith(word, "/LOG=")) {
    line.logFile = word.substr(5);
    return true;
  }
  return false;
}

void Check(CommandLine& line) {
  if (line.logFile && line.logFile->empty()) {
    line.error = "/LOG= names no file";
  } else if (line.folder && line.folder->empty()) {
    line.error = "/D= names no folder";
  } else if (!line.silent && (line.folder || line.overwrite || line.open || line.noDesktop ||
                              line.noStartMenu || line.noStartUp || line.noSendTo)) {
    line.error = "/D=, /OVERWRITE, /OPEN and /NO... need /S";
  }
}

}  // namespace

CommandLine ParseCommandLine(const char* text) {
  CommandLine line;
  const char* p = text;
  NextArgument(p);  // the program's own name
  std::string unknown;
  for (bool first = true;; first = false) {
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    const char* start = p;
    std::string word = NextArgument(p);
    if (word.empty() && !*p) break;
    if (StartsWith(word, "/D=")) {
      line.folder = RestOfLine(start);
      line.switched = true;
      break;
    }
    if (ReadSwitch(word, line)) {
      line.switched = true;
    } else if (first) {
      line.argument = word;
    } else if (unknown.empty()) {
      unknown = word;
    }
  }
  if (!line.switched || line.usage) return line;  // /? shows the usage whatever else is there
  if (!unknown.empty()) {
    line.error = "unknown argument " + unknown;
  } else {
    Check(line);
  }
  return line;
}

}  // namespace qs
