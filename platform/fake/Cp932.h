// Code page 932 (Shift-JIS) to and from UTF-8 without the system: iconv's
// CP932 natively, the C library's ".932" locale in the Windows builds of the
// tools. The in-memory platform and setupkit convert with these.
#pragma once

#include <optional>
#include <string>

namespace qs::fake {

// nullopt when a byte sequence is not a Shift-JIS character.
std::optional<std::string> Cp932ToUtf8(const std::string& bytes);
// nullopt when the text is not UTF-8 or holds a character code page 932
// cannot write (no look-alikes).
std::optional<std::string> Utf8ToCp932(const std::string& text);

}  // namespace qs::fake
