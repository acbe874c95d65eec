// The engine's text: UTF-8 in std::string, and its UTF-16 form for the
// system's W functions and for files in UTF-16.
//
// Windows file names are sequences of UTF-16 units that need not pair up.
// A lone surrogate is carried in UTF-8 as its three-byte form (the way
// WTF-8 does it), so every name the system hands out comes back to it
// exactly. Bytes that are not UTF-8 at all become U+FFFD on the way out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qs {

// Writes the UTF-16 units of text to out, which has room for text.size()
// units (never more are needed), and returns how many it wrote.
size_t Utf8ToUtf16(std::string_view text, char16_t* out);
std::string Utf16ToUtf8(const char16_t* units, size_t count);

// True when text is UTF-8 in the strict sense: no stray or overlong bytes,
// no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text);

// The characters of text one by one: the next code point from offset i
// (advanced past it); U+FFFD for a byte that starts no character.
char32_t NextCodePoint(std::string_view text, size_t& i);
void AppendUtf8(std::string& out, char32_t c);

// The bytes text takes in Shift-JIS: one for ASCII and half-width
// katakana, two for anything else (a character Shift-JIS lacks counts as a
// double-byte one). Profile values are cut by this measure.
size_t ShiftJisWidth(std::string_view text);
// The longest start of text, in whole characters, whose Shift-JIS width
// is at most width.
std::string_view CutToShiftJisWidth(std::string_view text, size_t width);

// The byte-order marks the program reads and writes.
inline constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";
inline constexpr std::string_view kUtf16LeBom = "\xff\xfe";

// UTF-16LE bytes to UTF-8 (an odd last byte is dropped), and back.
std::string Utf16LeBytesToUtf8(std::string_view bytes);
std::string Utf8ToUtf16LeBytes(std::string_view text);

}  // namespace qs
