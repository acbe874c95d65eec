#include "platform/fake/Cp932.h"

#include <vector>

#include "platform/Unicode.h"

#ifdef _WIN32
#include <climits>
#include <clocale>
#include <cwchar>
#else
#include <iconv.h>
#endif

namespace qs::fake {
namespace {

#ifdef _WIN32
// The C library's locale ".932" for as long as it lives, whatever the
// system's own code page; the previous locale comes back after each use.
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

// One UTF-16 unit as Shift-JIS; nullopt when code page 932 has no character
// that converts back to it.
std::optional<std::string> Cp932Bytes(wchar_t wide) {
  char bytes[MB_LEN_MAX];
  std::mbstate_t state{};
  size_t n = std::wcrtomb(bytes, wide, &state);
  if (n == static_cast<size_t>(-1)) return std::nullopt;
  wchar_t back = 0;
  state = {};
  if (std::mbrtowc(&back, bytes, n, &state) != n || back != wide) return std::nullopt;
  return std::string(bytes, n);
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

std::optional<std::string> Cp932ToUtf8(const std::string& bytes) {
#ifdef _WIN32
  Cp932Locale cp932;
  std::vector<char16_t> wide;
  std::mbstate_t state{};
  for (size_t i = 0; i < bytes.size();) {
    wchar_t unit = 0;
    size_t n = std::mbrtowc(&unit, bytes.data() + i, bytes.size() - i, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) return std::nullopt;
    if (n == 0) n = 1;  // a NUL byte
    wide.push_back(static_cast<char16_t>(unit));
    i += n;
  }
  return Utf16ToUtf8(wide.data(), wide.size());
#else
  return Convert("UTF-8", "CP932", bytes);
#endif
}

std::optional<std::string> Utf8ToCp932(const std::string& text) {
  if (!IsUtf8(text)) return std::nullopt;
#ifdef _WIN32
  Cp932Locale cp932;
  std::string out;
  std::vector<char16_t> units(text.size());
  units.resize(Utf8ToUtf16(text, units.data()));
  for (char16_t unit : units) {
    std::optional<std::string> bytes = Cp932Bytes(static_cast<wchar_t>(unit));
    if (!bytes) return std::nullopt;
    out += *bytes;
  }
  return out;
#else
  // Only what comes back the same: iconv takes a few look-alikes (the yen
  // sign as the backslash byte) that the system refuses.
  std::optional<std::string> bytes = Convert("CP932", "UTF-8", text);
  if (!bytes || Convert("UTF-8", "CP932", *bytes) != text) return std::nullopt;
  return bytes;
#endif
}

}  // namespace qs::fake
