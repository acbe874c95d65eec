#include "tools/setupkit/Text.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/CodePage.h"

#ifdef _WIN32
#include <climits>
#include <clocale>
#include <cwchar>
#else
#include <iconv.h>
#endif

namespace qs::kit {
namespace {

#ifdef _WIN32
// Code page 932 to and from UTF-16 goes through the C library in its locale
// ".932", whatever the system's own code page; UTF-16 to and from UTF-8
// through the file system library. The locale file names are converted by
// comes back after each use.
class Cp932Locale {
 public:
  Cp932Locale() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    previous_ = current ? current : "C";
    std::setlocale(LC_CTYPE, ".932");
  }
  ~Cp932Locale() { std::setlocale(LC_CTYPE, previous_.c_str()); }

 private:
  std::string previous_;
};

// One Shift-JIS character as UTF-16; nullopt when it is not one.
std::optional<wchar_t> Cp932Char(const std::string& piece) {
  wchar_t wide = 0;
  std::mbstate_t state{};
  size_t n = std::mbrtowc(&wide, piece.data(), piece.size(), &state);
  if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) return std::nullopt;
  return wide;
}

// One UTF-16 unit as Shift-JIS; nullopt when code page 932 has no character
// that converts back to it (no best-fit look-alikes).
std::optional<std::string> Cp932Bytes(wchar_t wide) {
  char bytes[MB_LEN_MAX];
  std::mbstate_t state{};
  size_t n = std::wcrtomb(bytes, wide, &state);
  if (n == static_cast<size_t>(-1)) return std::nullopt;
  std::string out(bytes, n);
  if (Cp932Char(out) != wide) return std::nullopt;
  return out;
}

std::string Utf16ToUtf8(const std::wstring& wide) {
  std::u8string utf8 = std::filesystem::path(wide).u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::optional<std::wstring> Utf8ToUtf16(const std::string& utf8) {
  try {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
  } catch (const std::exception&) {
    return std::nullopt;  // not UTF-8
  }
}
#else
// Converts with iconv; nullopt on any byte it cannot convert.
std::optional<std::string> Convert(const char* to, const char* from, const std::string& text) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 3 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size(), outLeft = out.size();
  char* dst = out.data();
  size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}
#endif

}  // namespace

std::string Cp932ToUtf8(const std::string& text) {
  std::string out;
  CodePage cp(932);
#ifdef _WIN32
  Cp932Locale cp932;
#endif
  // Character by character, so that a stray byte spoils only itself.
  for (size_t i = 0; i < text.size();) {
    size_t n = cp.CharLength(text, i);
    std::string piece = text.substr(i, n);
    i += n;
    if (static_cast<unsigned char>(piece[0]) < 0x80) {
      out += piece;
      continue;
    }
#ifdef _WIN32
    std::optional<wchar_t> wide = Cp932Char(piece);
    out += wide ? Utf16ToUtf8(std::wstring(1, *wide)) : "\xEF\xBF\xBD";
#else
    std::optional<std::string> utf8 = Convert("UTF-8", "CP932", piece);
    out += utf8 ? *utf8 : "\xEF\xBF\xBD";
#endif
  }
  return out;
}

std::optional<std::string> Utf8ToCp932(const std::string& text) {
#ifdef _WIN32
  std::optional<std::wstring> wide = Utf8ToUtf16(text);
  if (!wide) return std::nullopt;
  Cp932Locale cp932;
  std::string out;
  for (wchar_t unit : *wide) {
    std::optional<std::string> bytes = Cp932Bytes(unit);
    if (!bytes) return std::nullopt;
    out += *bytes;
  }
  return out;
#else
  return Convert("CP932", "UTF-8", text);
#endif
}

bool IsUtf8Beyond7Bit(const std::string& bytes) {
  bool beyond = false;
  for (size_t i = 0; i < bytes.size();) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > bytes.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 2) return false;
    }
    beyond |= n > 1;
    i += n;
  }
  return beyond;
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

std::string UpperName(const std::string& cp932) { return UpperAscii(cp932, kCp932); }

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ForConsole(const std::string& cp932) {
#ifdef _WIN32
  return cp932;
#else
  return Cp932ToUtf8(cp932);
#endif
}

std::string DiskNameToCp932(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  return Utf8ToCp932(name).value_or(name);
#endif
}

std::string Cp932ToDiskName(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  return Cp932ToUtf8(name);
#endif
}

std::string DiskNameToUtf8(const std::string& name) {
#ifdef _WIN32
  return Cp932ToUtf8(name);
#else
  return name;
#endif
}

}  // namespace qs::kit
