// The names of compressed files: the one a compressed file expands to, and
// the one a file gets when compressed. Apart from the codec, which is built
// for speed, these are built for size like the rest of the program.
#include <optional>
#include <string>

#include "core/Szdd.h"
#include "platform/Unicode.h"

namespace qs {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string SzddExpandedName(const std::string& path, uint8_t missingChar, CodePage cp) {
  size_t sep = cp.FindLastOf(path, "\\:");
  size_t start = sep == std::string::npos ? 0 : sep + 1;
  std::string name = path.substr(start);
  size_t dot = cp.FindFirstOf(name, ".");
  if (dot == std::string::npos) return path;
  if (dot + 1 == name.size()) return path.substr(0, start) + name.substr(0, dot);
  size_t last = cp.LastCharStart(name);
  if (name[last] != '_') return path;  // a double-byte character starts with its lead byte

  bool lower = true;  // no letter before it: lower case
  for (size_t i = 0; i < last; i += cp.CharLength(name, i)) {
    if (cp.CharLength(name, i) == 1 && IsAsciiLetter(name[i])) lower = name[i] >= 'a';
  }
  name.erase(last);
  if (missingChar >= 0x80 && cp.id() == kUtf8.id()) {
    // A byte of code page 932 on its own: only half-width katakana are
    // characters; any other byte names nothing, and the name stays as it is.
    if (missingChar < 0xA1 || missingChar > 0xDF) return path;
    AppendUtf8(name, 0xFF61 + (missingChar - 0xA1));
  } else if (missingChar != 0) {
    char c = static_cast<char>(missingChar);
    if (IsAsciiLetter(c)) c = lower ? (c | 0x20) : (c & ~0x20);
    name += c;
  }
  return path.substr(0, start) + name;
}

std::optional<SzddCompressedName> MakeSzddCompressedName(const std::string& path, CodePage cp) {
  size_t sep = cp.FindLastOf(path, "\\:");
  size_t start = sep == std::string::npos ? 0 : sep + 1;
  std::string name = path.substr(start);
  if (name.empty()) return std::nullopt;
  size_t last = cp.LastCharStart(name);
  bool single = cp.CharLength(name, last) == 1;
  if (single && name[last] == '_') return std::nullopt;

  size_t dot = cp.FindLastOf(name, ".");
  SzddCompressedName result;
  if (dot == std::string::npos) {
    result.path = path + "._";
  } else if (dot == last) {
    result.path = path + "_";
  } else {
    if (!single) return std::nullopt;
    result.missingChar = static_cast<uint8_t>(name[last]);
    result.path = path.substr(0, start + last) + "_";
  }
  return result;
}

}  // namespace qs
