#include "flow/CommandLine.h"

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

// A name the system keeps for a device in every folder: CON, PRN, AUX,
// NUL, COM1..9 and LPT1..9, with any extension and trailing blanks.
bool IsDeviceName(std::string name) {
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) c = Upper(c);
  if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL") return true;
  return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
         name[3] >= '1' && name[3] <= '9';
}

// Why folder cannot be an install folder as written, or empty: it must be
// a full path (a drive letter with its backslash, or a share), name no
// device and be more than a drive's or a share's root once "." and ".."
// are taken as the system takes them. Steps are split at every backslash:
// a Shift-JIS trail byte taken for one only makes a step that names no
// device.
std::string FolderProblem(std::string folder) {
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  if (folder.rfind("\\\\.", 0) == 0 || folder.rfind("\\\\?", 0) == 0) {
    if (folder.size() == 3 || folder[3] == '\\') return "/D= names a device path";
  }
  const bool drive = folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\' &&
                     Upper(folder[0]) >= 'A' && Upper(folder[0]) <= 'Z';
  const bool share = folder.rfind("\\\\", 0) == 0;
  if (!drive && !share) return "/D= names a relative path";
  int steps = 0;
  for (size_t start = drive ? 3 : 2; start < folder.size();) {
    size_t end = folder.find('\\', start);
    if (end == std::string::npos) end = folder.size();
    const std::string step = folder.substr(start, end - start);
    start = end + 1;
    if (step.find_first_not_of(". ") == std::string::npos) {
      if (step == ".." && steps > 0) --steps;
      continue;
    }
    if (IsDeviceName(step)) return "/D= names a device";
    ++steps;
  }
  if (steps < (share ? 3 : 1)) return "/D= names a drive's root";
  return "";
}

// A path from a drive letter's root, or a share's.
bool IsFullPath(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  return (path.size() >= 3 && path[1] == ':' && separator(path[2])) ||
         (path.size() >= 2 && separator(path[0]) && separator(path[1]));
}

void Check(CommandLine& line) {
  if (line.logFile && line.logFile->empty()) {
    line.error = "/LOG= names no file";
  } else if (line.logFile && !IsFullPath(*line.logFile)) {
    line.error = "/LOG= names a relative path";
  } else if (line.folder && line.folder->empty()) {
    line.error = "/D= names no folder";
  } else if (line.folder && !FolderProblem(*line.folder).empty()) {
    line.error = FolderProblem(*line.folder);
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
