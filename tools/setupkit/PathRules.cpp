#include "tools/setupkit/PathRules.h"

#include <cstring>

namespace qs::kit {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// A device name: the part before the first dot, blanks at its end dropped.
bool IsDevice(const std::string& part) {
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = Upper(c);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

std::string PartProblem(const std::string& part) {
  if (part == "..") {
    return "a '..' step leads out of the folder before it, and the record and the uninstaller "
           "follow it there";
  }
  for (char c : part) {
    if (static_cast<unsigned char>(c) < 0x20) return "a name cannot hold a control character";
    if (c == '/') return "'/' separates nothing for the program: write '\\'";
    if (c == ':') {
      return "a name cannot hold ':' (after the drive, a colon names a stream of the file "
             "before it, no file of its own)";
    }
    if (std::strchr("<>\"|?*", c)) return std::string("a name cannot hold '") + c + "'";
  }
  if (IsDevice(part)) {
    return "'" + part + "' is the name of a device: Windows opens the device, not a file";
  }
  return std::string();
}

}  // namespace

std::string PathProblem(const std::string& path, bool full) {
  size_t start = full && path.size() >= 2 && path[1] == ':' ? 2 : 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string problem = PartProblem(path.substr(start, end - start));
    if (!problem.empty()) return problem;
    start = end + 1;
  }
  return std::string();
}

}  // namespace qs::kit
