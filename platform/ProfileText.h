// Profile (INI) files, read and written the way the system's profile
// functions do it, for both platforms. The engine's text is UTF-8; a file
// is kept in one of three forms:
//
//   Shift-JIS   no byte-order mark; code page 932, named here and never
//               taken from the system, so the same bytes read the same on
//               every Windows. What the program has always written.
//   UTF-8       after the mark EF BB BF (a definition file may be saved so).
//   UTF-16LE    after the mark FF FE, as the system's own W functions read
//               and write it.
//
// A write keeps a file's form, except that a Shift-JIS file that would have
// to hold a character code page 932 lacks is written as UTF-16LE instead;
// a new file starts as Shift-JIS. So a file whose text fits in Shift-JIS
// keeps exactly the bytes it has always had.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qs {

class Platform;

enum class TextForm { ShiftJis, Utf8, Utf16Le };

struct DecodedText {
  std::string text;  // UTF-8
  TextForm form = TextForm::ShiftJis;
};

// A text file's bytes as UTF-8, by its byte-order mark. In a Shift-JIS file
// a line that is not Shift-JIS keeps its ASCII characters and shows U+FFFD
// for each other byte; the rest of the file reads as it is.
DecodedText DecodeText(Platform& codec, const std::string& bytes);
// The text's bytes in the form (with its mark); Shift-JIS falls back to
// UTF-16LE when a character does not fit (see above).
std::string EncodeText(Platform& codec, const std::string& text, TextForm form);

// The parsed text of a profile file.
class ProfileText {
 public:
  // A line that is no section line: a key and the value after its "="
  // (nullopt when the line has none), both without the blanks at their ends.
  struct Entry {
    std::string name;
    std::optional<std::string> value;
    int line = 0;  // where it stands in the text, from 1; 0 when Set added it
  };
  struct Section {
    std::string name;  // empty for the lines before the first section
    int line = 0;      // the section line, from 1
    std::vector<Entry> entries;
  };

  explicit ProfileText(const std::string& text);

  // The value of key in the first section of that name (names compared
  // without regard to ASCII letter case). nullopt when the section or the key
  // is missing, or the line has no "=".
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;
  // The line Find reads: the first of that name in the first section of
  // that name; null when there is none.
  const Entry* FindEntry(const std::string& section, const std::string& key) const;
  // Sets the value in the first section of that name, appending the section
  // or the key at the end when missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  std::string Serialize() const;
  // Every section in the order of the text; the first holds the lines
  // before any section line. A line counts as ended by CR LF, CR or LF.
  const std::vector<Section>& sections() const { return sections_; }

 private:
  Section* FindSection(const std::string& name);
  std::vector<Section> sections_;
};

// Profile names compared as the system compares them: ASCII letters
// without regard to case, every other byte exactly.
bool SameProfileName(const std::string& a, const std::string& b);

// The value text as GetPrivateProfileString hands it out: a single pair of
// matching quotation marks (' or ") around it removed, then cut to whole
// characters that take at most bufferSize - 1 bytes in Shift-JIS.
std::string ProfileValueForBuffer(const std::string& value, size_t bufferSize);

// GetPrivateProfileString over a parsed file (null: there is no file).
std::string ProfileLookup(const ProfileText* file, const std::string& section,
                          const std::string& key, const std::string& defaultValue,
                          uint32_t bufferSize);
// WritePrivateProfileString: the file's new bytes with the value set.
std::string ProfileUpdate(Platform& codec, const std::optional<std::string>& file,
                          const std::string& section, const std::string& key,
                          const std::string& value);

}  // namespace qs
