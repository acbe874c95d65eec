#include "core/Paths.h"

namespace qs {
namespace {

bool EndsWithBackslash(const std::string& path, CodePage cp) {
  size_t last = cp.LastCharStart(path);
  return last != std::string::npos && last + 1 == path.size() && path[last] == '\\';
}

char SideOf(const std::string& side) { return side.empty() ? '\0' : side[0]; }

}  // namespace

std::string ReadIniString(Platform& platform, const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file) {
  return platform.ReadProfile(section, key, defaultValue, file, kProfileBuffer);
}

bool WriteIniString(Platform& platform, const std::string& section, const std::string& key,
                    const std::string& value, const std::string& file) {
  return platform.WriteProfile(section, key, value, file);
}

std::string AddBackslash(const std::string& path, const std::string& side, CodePage cp) {
  switch (SideOf(side)) {
    case 'T':
      return !path.empty() && path[0] == '\\' ? path : "\\" + path;
    case 'B':
      return EndsWithBackslash(path, cp) ? path : path + "\\";
    default:
      return path;
  }
}

std::string DelBackslash(const std::string& path, const std::string& side, CodePage cp) {
  switch (SideOf(side)) {
    case 'T':
      return !path.empty() && path[0] == '\\' ? path.substr(1) : path;
    case 'B':
      return EndsWithBackslash(path, cp) ? path.substr(0, path.size() - 1) : path;
    default:
      return path;
  }
}

std::string JoinPath(const std::string& base, const std::string& part, CodePage cp) {
  return DelBackslash(base, "B", cp) + AddBackslash(part, "T", cp);
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
