// Text for setupkit. Inside, text is UTF-8 as in the program; the product's
// files keep the forms the program reads (Shift-JIS, or UTF-8 after a
// byte-order mark), and file names on disk are taken as the system holds
// them (UTF-16 on Windows, UTF-8 on Linux), so that names are exact.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qs::kit {

// True when every byte sequence is well-formed UTF-8 and at least one
// character is outside ASCII.
bool IsUtf8Beyond7Bit(const std::string& bytes);
// The offset of the first byte that does not belong to a Shift-JIS
// character, or npos when the whole text is Shift-JIS.
size_t FirstNonCp932(const std::string& bytes);
// A UTF-16 text: a byte-order mark, or NUL bytes in it.
bool LooksUtf16(const std::string& bytes);
bool HasUtf8Bom(const std::string& bytes);
// True when the text has a line feed that no carriage return precedes.
bool HasBareLineFeed(const std::string& bytes);

// A text file of the product as UTF-8: after a UTF-8 byte-order mark, or
// Shift-JIS without one; nullopt when it is neither.
std::optional<std::string> ProductText(const std::string& bytes);

// Text with its letters upper-cased as Windows compares file and profile
// names. It stays beside MapUpperCase: the packager's files on disk are
// matched with no platform, real or in memory, to ask.
std::string UpperName(const std::string& text);

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// A file name on disk as text, and a text as a name on disk.
std::string NameOf(const std::filesystem::path& path);
std::filesystem::path PathOf(const std::string& text);

}  // namespace qs::kit
