#include "tools/setupkit/Text.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/CodePage.h"
#include "platform/fake/Cp932.h"
#include "platform/Unicode.h"
#include "platform/fake/FakePlatform.h"

namespace qs::kit {

bool IsUtf8Beyond7Bit(const std::string& bytes) {
  return IsUtf8(bytes) && std::any_of(bytes.begin(), bytes.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

size_t FirstNonCp932(const std::string& bytes) {
  CodePage cp(932);
  for (size_t i = 0; i < bytes.size();) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (cp.IsLeadByte(c)) {
      if (i + 1 >= bytes.size()) return i;
      unsigned char t = static_cast<unsigned char>(bytes[i + 1]);
      if (t < 0x40 || t == 0x7F || t > 0xFC) return i;
      i += 2;
    } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
      return i;
    } else {
      ++i;
    }
  }
  return std::string::npos;
}

bool LooksUtf16(const std::string& bytes) {
  if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                            (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    return true;
  }
  return bytes.find('\0') != std::string::npos;
}

bool HasUtf8Bom(const std::string& bytes) { return bytes.rfind("\xEF\xBB\xBF", 0) == 0; }

bool HasBareLineFeed(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return true;
  }
  return false;
}

std::optional<std::string> ProductText(const std::string& bytes) {
  if (HasUtf8Bom(bytes)) {
    std::string text = bytes.substr(3);
    return IsUtf8(text) ? std::optional<std::string>(text) : std::nullopt;
  }
  return fake::Cp932ToUtf8(bytes);
}

std::string UpperName(const std::string& text) { return fake::UpperText(text); }

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string NameOf(const std::filesystem::path& path) {
  std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

std::filesystem::path PathOf(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace qs::kit
