// Text encodings for setupkit: the program's files are Shift-JIS (code page
// 932); the packager's sources and this tool's output on Linux are UTF-8.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qs::kit {

// Shift-JIS to UTF-8; bytes that are not Shift-JIS come out as U+FFFD.
std::string Cp932ToUtf8(const std::string& text);
// UTF-8 to Shift-JIS; nullopt when the text is not UTF-8 or holds a
// character that Shift-JIS cannot write.
std::optional<std::string> Utf8ToCp932(const std::string& text);

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

// Shift-JIS text with its ASCII letters upper-cased and double-byte
// characters left whole: how Windows compares file and profile names. It
// stays beside MapUpperCase: the packager's files on disk are matched with no
// platform, real or in memory, to ask.
std::string UpperName(const std::string& cp932);

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// Shift-JIS text as this tool prints it: UTF-8 on Linux, unchanged (the
// console's ANSI code page) on Windows.
std::string ForConsole(const std::string& cp932);

// A file name on disk (UTF-8 on Linux, ANSI on Windows) as the program sees
// it, in Shift-JIS; and back.
std::string DiskNameToCp932(const std::string& name);
std::string Cp932ToDiskName(const std::string& name);
std::string DiskNameToUtf8(const std::string& name);

}  // namespace qs::kit
