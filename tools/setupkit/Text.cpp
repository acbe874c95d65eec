#include "tools/setupkit/Text.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/CodePage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace qs::kit {
namespace {

#ifdef _WIN32
std::wstring Widen(const std::string& text, UINT cp, bool strict) {
  if (text.empty()) return std::wstring();
  DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  int n = ::MultiByteToWideChar(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring(1, L'\0');
  std::wstring out(n, L'\0');
  ::MultiByteToWideChar(cp, flags, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
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
    std::wstring wide = Widen(piece, 932, true);
    int m = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                  0, nullptr, nullptr);
    std::string utf8(m > 0 ? m : 0, '\0');
    if (m > 0) {
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), m,
                            nullptr, nullptr);
    }
    bool ok = m > 0 && !(wide.size() == 1 && wide[0] == L'\0');
    out += ok ? utf8 : "\xEF\xBF\xBD";
#else
    std::optional<std::string> utf8 = Convert("UTF-8", "CP932", piece);
    out += utf8 ? *utf8 : "\xEF\xBF\xBD";
#endif
  }
  return out;
}

std::optional<std::string> Utf8ToCp932(const std::string& text) {
#ifdef _WIN32
  if (text.empty()) return std::string();
  std::wstring wide = Widen(text, CP_UTF8, true);
  if (wide.size() == 1 && wide[0] == L'\0') return std::nullopt;
  BOOL lossy = FALSE;
  int n = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return std::nullopt;
  std::string out(n, '\0');
  ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        out.data(), n, nullptr, nullptr);
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

std::string UpperName(const std::string& cp932) {
  CodePage cp(932);
  std::string out = cp932;
  for (size_t i = 0; i < out.size(); i += cp.CharLength(out, i)) {
    if (cp.CharLength(out, i) == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] -= 32;
  }
  return out;
}

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
