#include "platform/Unicode.h"

#include <vector>

namespace qs {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// What Decode gives for bytes that are no sequence: never a code point, so
// that a U+FFFD written in the text is told from one that stands for a
// byte.
constexpr char32_t kInvalid = 0xFFFFFFFF;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The code point at text[i] of a sequence of n bytes (2 to 4), or kInvalid
// when the bytes are no such sequence. allowSurrogates admits the
// three-byte form of a lone surrogate.
char32_t Decode(std::string_view text, size_t i, size_t n, bool allowSurrogates) {
  static constexpr unsigned char kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (i + n > text.size()) return kInvalid;
  char32_t c = static_cast<unsigned char>(text[i]) & kLeadMask[n];
  for (size_t k = 1; k < n; ++k) {
    unsigned char byte = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(byte)) return kInvalid;
    c = (c << 6) | (byte & 0x3F);
  }
  bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  if (c < kMinimum[n] || c > 0x10FFFF || (surrogate && !allowSurrogates)) return kInvalid;
  return c;
}

size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// NextCodePoint, with lone surrogates let through or not.
char32_t Next(std::string_view text, size_t& i, bool allowSurrogates) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t n = SequenceLength(lead);
  if (n <= 1) {
    ++i;
    return n == 1 ? lead : kReplacement;
  }
  char32_t c = Decode(text, i, n, allowSurrogates);
  if (c == kInvalid) {
    ++i;
    return kReplacement;
  }
  i += n;
  return c;
}

// Hands sink the UTF-16 units of text one by one.
template <typename Sink>
void ForEachUnit(std::string_view text, Sink sink) {
  for (size_t i = 0; i < text.size();) {
    char32_t c = Next(text, i, true);
    if (c >= 0x10000) {
      c -= 0x10000;
      sink(static_cast<char16_t>(0xD800 + (c >> 10)));
      c = 0xDC00 + (c & 0x3FF);
    }
    sink(static_cast<char16_t>(c));
  }
}

// ASCII and half-width katakana take one byte in Shift-JIS.
size_t ShiftJisCharWidth(char32_t c) { return c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) ? 1 : 2; }

}  // namespace

char32_t NextCodePoint(std::string_view text, size_t& i) { return Next(text, i, true); }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

size_t Utf8ToUtf16(std::string_view text, char16_t* out) {
  size_t n = 0;
  ForEachUnit(text, [&](char16_t unit) { out[n++] = unit; });
  return n;
}

std::string Utf16ToUtf8(const char16_t* units, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    char32_t c = units[i];
    bool high = c >= 0xD800 && c <= 0xDBFF;
    if (high && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    if (Next(text, i, false) == kReplacement && text.substr(start, 3) != "\xef\xbf\xbd") {
      return false;
    }
  }
  return true;
}

size_t ShiftJisWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) width += ShiftJisCharWidth(NextCodePoint(text, i));
  return width;
}

std::string_view CutToShiftJisWidth(std::string_view text, size_t width) {
  size_t used = 0;
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    used += ShiftJisCharWidth(NextCodePoint(text, i));
    if (used > width) return text.substr(0, start);
  }
  return text;
}

std::string Utf16LeBytesToUtf8(std::string_view bytes) {
  std::vector<char16_t> units(bytes.size() / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return Utf16ToUtf8(units.data(), units.size());
}

std::string Utf8ToUtf16LeBytes(std::string_view text) {
  std::string out;
  ForEachUnit(text, [&out](char16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  });
  return out;
}

}  // namespace qs
