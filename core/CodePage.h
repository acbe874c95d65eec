// The characters of a text in a code page: the engine's own UTF-8, or the
// double-byte code pages of stored and packaged files.
//
// In code page 932 (Shift-JIS) the second byte of a double-byte character can
// be 0x5C, the backslash byte (ソ is 83 5C, 表 is 95 5C), or 0x3A on other
// pages. Any scan of such a text for a separator must step over those
// characters. In UTF-8 no byte of a character beyond ASCII is ever ASCII, so
// a separator scan finds only separators; the character lengths still matter
// where a name's last character is looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qs {

class CodePage {
 public:
  explicit constexpr CodePage(uint32_t id) : id_(id) {}
  constexpr uint32_t id() const { return id_; }

  // True when c starts a double-byte character in this code page.
  constexpr bool IsLeadByte(unsigned char c) const {
    switch (id_) {
      case 932:
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      case 936:
      case 949:
      case 950:
        return c >= 0x81 && c <= 0xFE;
      default:
        return false;
    }
  }

  // Byte length of the character that starts at text[i]: 1 or 2 in a
  // double-byte code page (a lead byte at the very end counts as a single
  // byte), 1 to 4 in UTF-8 (a byte that starts no whole sequence counts as
  // one).
  size_t CharLength(const std::string& text, size_t i) const {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (id_ == 65001) return Utf8Length(text, i, c);
    return IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
  }

  // Offset of the last character of text (npos when text is empty).
  size_t LastCharStart(const std::string& text) const;

  // Offset of the last single-byte character of text that is one of chars,
  // skipping the trail bytes of double-byte characters; npos when none.
  size_t FindLastOf(const std::string& text, const char* chars) const;
  // The same for the first such character.
  size_t FindFirstOf(const std::string& text, const char* chars) const;

 private:
  static size_t Utf8Length(const std::string& text, size_t i, unsigned char c) {
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > text.size()) return 1;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
    }
    return n;
  }

  uint32_t id_;
};

inline constexpr CodePage kCp932{932};
// The engine's own text: no byte of a UTF-8 character is ever a backslash,
// colon or comma, so its scans are plain byte scans.
inline constexpr CodePage kUtf8{65001};

// text with its ASCII letters upper-cased and double-byte characters left
// whole (their second bytes may look like letters): how Windows compares
// file and profile names without asking the locale.
std::string UpperAscii(const std::string& text, CodePage cp);

}  // namespace qs
