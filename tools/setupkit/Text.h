// Text for setupkit. Inside, text is UTF-8 as in the program; the product's
// files keep the forms the program reads (Shift-JIS, or UTF-8 after a
// byte-order mark), and file names on disk are taken as the system holds
// them (UTF-16 on Windows, UTF-8 on Linux), so that names are exact.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qs::kit {

// True when every byte sequence is well-formed UTF-8 and at least one
// character is outside ASCII.
bool IsUtf8Beyond7Bit(const std::string& bytes);
// The offset of the first byte that does not belong to a Shift-JIS
// character, or npos when the whole text is Shift-JIS.
size_t FirstNonCp932(const std::string& bytes);
bool HasUtf8Bom(const std::string& bytes);

// What the bytes of a text file of the product are to the program, which
// reads Shift-JIS, or UTF-8 or UTF-16LE after a byte-order mark.
struct TextVerdict {
  enum Kind {
    ShiftJis,        // read as it is
    Utf8Marked,      // read as it is
    Utf16Marked,     // UTF-16LE after FF FE: read as it is
    BadUtf8,         // after the UTF-8 mark, bytes that are no UTF-8
    BadShiftJis,     // bytes that are no Shift-JIS character
    Utf8Unmarked,    // UTF-8 without the mark: read as Shift-JIS, garbled
    Utf16Unmarked,   // UTF-16 without the mark: read as Shift-JIS
    Utf16BigEndian,  // after FE FF: read as Shift-JIS
    Compressed,      // an SZDD file: read as it is, not expanded
    Binary,          // control characters or NUL bytes in no pattern of text
  } kind = ShiftJis;
  size_t offset = 0;  // the first byte that tells (BadUtf8, BadShiftJis, Utf8Unmarked)

  // The program reads the text as it is meant.
  bool Readable() const { return kind == ShiftJis || kind == Utf8Marked || kind == Utf16Marked; }
  // What is wrong, to follow the file's name in a finding; empty when
  // Readable().
  std::string Problem() const;
};
TextVerdict JudgeText(const std::string& bytes);

// Text with its letters upper-cased as Windows compares file and profile
// names. It stays beside MapUpperCase: the packager's files on disk are
// matched with no platform, real or in memory, to ask.
std::string UpperName(const std::string& text);

// The file of a product folder that a path relative to it names (parts
// separated by "\"), found part by part in any letter case, as Windows finds
// it; nullopt when there is none.
std::optional<std::filesystem::path> FindInProduct(const std::filesystem::path& folder,
                                                   const std::string& relative);

// The lines of a text that are not empty (CR, LF and CR LF end a line).
std::vector<std::string> NonEmptyLines(const std::string& text);

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// A file name on disk as text, and a text as a name on disk.
std::string NameOf(const std::filesystem::path& path);
std::filesystem::path PathOf(const std::string& text);

}  // namespace qs::kit
