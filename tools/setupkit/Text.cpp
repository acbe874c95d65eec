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

bool HasUtf8Bom(const std::string& bytes) { return bytes.rfind("\xEF\xBB\xBF", 0) == 0; }

namespace {

size_t FirstNonUtf8(const std::string& bytes, size_t from) {
  for (size_t i = from; i < bytes.size();) {
    size_t start = i;
    if (NextCodePoint(bytes, i) == 0xFFFD && bytes.compare(start, 3, "\xEF\xBF\xBD") != 0) {
      return start;
    }
  }
  return std::string::npos;
}

size_t FirstNonAscii(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return i;
  }
  return std::string::npos;
}

// NUL bytes: UTF-16 when they fall on one side of the byte pairs, as the
// high bytes of Latin text do; anything else is no text.
TextVerdict::Kind NulKind(const std::string& bytes) {
  size_t even = 0, odd = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') ++(i % 2 ? odd : even);
  }
  const size_t pairs = bytes.size() / 2;
  if ((odd == 0 || even == 0) && (odd + even) * 4 >= pairs) return TextVerdict::Utf16Unmarked;
  return TextVerdict::Binary;
}

bool IsControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\x0c' && c != '\x1a';
}

}  // namespace

TextVerdict JudgeText(const std::string& bytes) {
  if (bytes.rfind("SZDD\x88\xF0\x27\x33", 0) == 0) return {TextVerdict::Compressed};
  if (bytes.rfind("\xFF\xFE", 0) == 0) return {TextVerdict::Utf16Marked};
  if (bytes.rfind("\xFE\xFF", 0) == 0) return {TextVerdict::Utf16BigEndian};
  if (HasUtf8Bom(bytes)) {
    size_t bad = FirstNonUtf8(bytes, 3);
    if (bad != std::string::npos) return {TextVerdict::BadUtf8, bad};
    return {TextVerdict::Utf8Marked};
  }
  if (bytes.find('\0') != std::string::npos) return {NulKind(bytes)};
  if (std::count_if(bytes.begin(), bytes.end(), IsControl) * 100 > static_cast<long>(bytes.size())) {
    return {TextVerdict::Binary};
  }
  if (IsUtf8Beyond7Bit(bytes)) return {TextVerdict::Utf8Unmarked, FirstNonAscii(bytes)};
  if (size_t bad = FirstNonCp932(bytes); bad != std::string::npos) {
    return {TextVerdict::BadShiftJis, bad};
  }
  return {TextVerdict::ShiftJis};
}

std::string TextVerdict::Problem() const {
  switch (kind) {
    case BadUtf8: return "holds bytes that are not UTF-8 text after its UTF-8 byte-order mark";
    case BadShiftJis: return "holds bytes that are not Shift-JIS text";
    case Utf8Unmarked:
      return "is saved as UTF-8 without a byte-order mark; the program reads such a file as "
             "Shift-JIS, so its text comes out garbled: save it with the mark";
    case Utf16Unmarked:
      return "is saved as UTF-16 without a byte-order mark; the program reads it as Shift-JIS";
    case Utf16BigEndian:
      return "is saved as UTF-16 big-endian; the program reads UTF-16 only little-endian (mark "
             "FF FE), and this as Shift-JIS";
    case Compressed:
      return "is compressed (SZDD); the program reads it as it is, without expanding it: ship it "
             "uncompressed";
    case Binary: return "holds bytes that are neither Shift-JIS nor UTF-8 text: no text file";
    default: return std::string();
  }
}

std::string UpperName(const std::string& text) { return fake::UpperText(text); }

std::optional<std::filesystem::path> FindInProduct(const std::filesystem::path& folder,
                                                   const std::string& relative) {
  namespace fs = std::filesystem;
  fs::path at = folder;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('\\', start);
    if (end == std::string::npos) end = relative.size();
    std::string part = relative.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    std::optional<fs::path> next;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(at, ec)) {
      if (UpperName(NameOf(entry.path().filename())) == UpperName(part)) next = entry.path();
    }
    if (!next) return std::nullopt;
    at = *next;
  }
  return fs::is_regular_file(at) ? std::optional<fs::path>(at) : std::nullopt;
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    if (end > pos) lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

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
