// Double-byte character sets of the ANSI code pages.
//
// In code page 932 (Shift-JIS) the second byte of a double-byte character can
// be 0x5C, the backslash byte (ソ is 83 5C, 表 is 95 5C), or 0x3A on other
// pages. Any scan of a path for a separator must step over such characters.
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

  // Byte length of the character that starts at text[i] (1 or 2; a lead byte
  // at the very end counts as a single byte).
  size_t CharLength(const std::string& text, size_t i) const {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }

  // Offset of the last character of text (npos when text is empty).
  size_t LastCharStart(const std::string& text) const;

  // Offset of the last single-byte character of text that is one of chars,
  // skipping the trail bytes of double-byte characters; npos when none.
  size_t FindLastOf(const std::string& text, const char* chars) const;
  // The same for the first such character.
  size_t FindFirstOf(const std::string& text, const char* chars) const;

 private:
  uint32_t id_;
};

inline constexpr CodePage kCp932{932};

// text with its ASCII letters upper-cased and double-byte characters left
// whole (their second bytes may look like letters): how Windows compares
// file and profile names without asking the locale.
std::string UpperAscii(const std::string& text, CodePage cp);

}  // namespace qs
