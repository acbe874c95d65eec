#include "core/Paths.h"

#include <optional>

namespace qs {
namespace {

bool EndsWithBackslash(const std::string& path, CodePage cp) {
  size_t last = cp.LastCharStart(path);
  return last != std::string::npos && last + 1 == path.size() && path[last] == '\\';
}

// The end side names, or none.
std::optional<PathEnd> EndOf(const std::string& side) {
  if (side.empty()) return std::nullopt;
  if (side[0] == 'T') return PathEnd::Leading;
  if (side[0] == 'B') return PathEnd::Trailing;
  return std::nullopt;
}

}  // namespace

std::string ReadIniString(Platform& platform, const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file) {
  return platform.ReadProfile(section, key, defaultValue, file, kProfileBuffer);
}

bool WriteIniString(Platform& platform, const std::string& section, const std::string& key,
                    const std::string& value, const std::string& file) {
  return platform.WriteProfile(section, key, value, file);
}

std::string AddBackslash(const std::string& path, PathEnd end, CodePage cp) {
  if (end == PathEnd::Leading) return !path.empty() && path[0] == '\\' ? path : "\\" + path;
  return EndsWithBackslash(path, cp) ? path : path + "\\";
}

std::string DelBackslash(const std::string& path, PathEnd end, CodePage cp) {
  if (end == PathEnd::Leading) return !path.empty() && path[0] == '\\' ? path.substr(1) : path;
  return EndsWithBackslash(path, cp) ? path.substr(0, path.size() - 1) : path;
}

std::string AddBackslash(const std::string& path, const std::string& side, CodePage cp) {
  std::optional<PathEnd> end = EndOf(side);
  return end ? AddBackslash(path, *end, cp) : path;
}

std::string DelBackslash(const std::string& path, const std::string& side, CodePage cp) {
  std::optional<PathEnd> end = EndOf(side);
  return end ? DelBackslash(path, *end, cp) : path;
}

std::string JoinPath(const std::string& base, const std::string& part, CodePage cp) {
  return DelBackslash(base, PathEnd::Trailing, cp) + AddBackslash(part, PathEnd::Leading, cp);
}

std::string FileNamePart(const std::string& path, CodePage cp) {
  size_t sep = cp.FindLastOf(path, "\\:");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FolderPart(const std::string& path, CodePage cp) {
  size_t sep = cp.FindLastOf(path, "\\:");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string ParentFolder(const std::string& path, CodePage cp) {
  size_t sep = cp.FindLastOf(path, "\\:");
  if (sep == std::string::npos) return std::string();
  size_t end = sep + 1;
  if (sep > 0 && path[sep] == '\\') {
    // The character before the backslash: a separator only when it is a
    // single-byte character.
    std::string head = path.substr(0, sep);
    size_t prev = cp.LastCharStart(head);
    bool prevIsSeparator = prev + 1 == head.size() && (head[prev] == '\\' || head[prev] == ':');
    if (!prevIsSeparator) end = sep;
  }
  return path.substr(0, end);
}

std::string MapUpperCase(Platform& platform, const std::string& text, uint32_t flags) {
  if (text.empty()) return text;
  std::optional<std::string> mapped = platform.MapString(text, flags);
  return mapped ? *mapped : text;
}

bool SamePath(Platform& platform, const std::string& a, const std::string& b) {
  return MapUpperCase(platform, platform.FullPath(a), kLcmapUppercase) ==
         MapUpperCase(platform, platform.FullPath(b), kLcmapUppercase);
}

bool IsRootPath(const std::string& path) {
  if (path.size() <= 3) return true;
  if (path.rfind("\\\\", 0) != 0) return false;
  const size_t server = path.find('\\', 2);
  return server == std::string::npos || path.find('\\', server + 1) == std::string::npos;
}

bool FolderExists(Platform& platform, const std::string& path) {
  uint32_t attributes = platform.Attributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0;
}

int KeyComponentCount(const std::string& path, CodePage cp) {
  int count = 0;
  bool inPart = false;
  for (size_t i = 0; i < path.size(); i += cp.CharLength(path, i)) {
    bool separator = path[i] == '\\' && cp.CharLength(path, i) == 1;
    if (!separator && !inPart) ++count;
    inPart = !separator;
  }
  return count;
}

}  // namespace qs
