// The engine's UTF-8 as the system's W functions take it, and their UTF-16
// answers back as UTF-8: the one conversion between the two, exact for
// every name Windows can hold (platform/Unicode.h).
#pragma once

#include <cwchar>
#include <memory>
#include <string>

#include "platform/Unicode.h"

namespace qs::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is UTF-16");

// A NUL-terminated UTF-16 copy of a UTF-8 text, for the length of a call:
// ::GetFileAttributesW(Wide(path)).
class Wide {
 public:
  explicit Wide(const std::string& text);
  operator const wchar_t*() const { return get(); }
  const wchar_t* get() const { return text_.get(); }
  int size() const { return static_cast<int>(size_); }

 private:
  std::unique_ptr<wchar_t[]> text_;
  size_t size_;
};

inline std::string Narrow(const wchar_t* text, size_t length) {
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(text), length);
}
inline std::string Narrow(const wchar_t* text) {
  return text ? Narrow(text, std::wcslen(text)) : std::string();
}

}  // namespace qs::win32
