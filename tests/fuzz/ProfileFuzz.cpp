// libFuzzer target for the profile reader and writer (ProfileText) that both
// platforms use, against the rules the platform contract pins:
//  - reading never fails, and a value handed out fits the caller's buffer;
//  - what is written is read back (blanks at its ends aside), and every
//    other value of the file reads as before;
//  - writing the parsed file out and parsing it again changes nothing.
// The input is split at its first two NUL bytes into the file, a section and
// key name, and a value.
//
// A long run, from the native build folder:
//   mkdir -p profile-corpus && ./profile_fuzz -max_total_time=3600 profile-corpus
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ProfileText.h"
#include "platform/Unicode.h"

using qs::ProfileText;

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

std::string Trimmed(const std::string& s) {
  const char* blanks = " \t\x1a";
  size_t begin = s.find_first_not_of(blanks);
  if (begin == std::string::npos) return std::string();
  return s.substr(begin, s.find_last_not_of(blanks) - begin + 1);
}

// Names a file can hold: one line, no brackets or "=" in them, not empty;
// values of one line without NUL (the system's strings end there).
bool Writable(const std::string& section, const std::string& key, const std::string& value) {
  auto plain = [](const std::string& s, const char* banned) {
    return s.find_first_of(banned) == std::string::npos;
  };
  return !Trimmed(section).empty() && Trimmed(section) == section && !Trimmed(key).empty() &&
         Trimmed(key) == key && plain(section, "\r\n[]") && plain(key, "\r\n=[;") &&
         plain(value, "\r\n") && value.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t first = input.find('\0');
  size_t second = first == std::string::npos ? first : input.find('\0', first + 1);
  std::string file = input.substr(0, first);
  std::string name = first == std::string::npos ? "S" : input.substr(first + 1, second - first - 1);
  std::string value = second == std::string::npos ? "v" : input.substr(second + 1);
  size_t split = name.size() / 2;
  std::string section = name.substr(0, split), key = name.substr(split);

  ProfileText text(file);
  std::string once = text.Serialize();
  if (ProfileText(once).Serialize() != once) Fail("writing the parsed file out is not stable");

  std::optional<std::string> found = text.Find(section, key);
  for (size_t buffer : {0u, 1u, 2u, 255u}) {
    std::string handed = qs::ProfileValueForBuffer(found.value_or(""), buffer);
    if (qs::ShiftJisWidth(handed) + 1 > std::max<size_t>(buffer, 1)) {
      Fail("a value longer than the buffer");
    }
    if (found && found->find(handed) == std::string::npos) Fail("a value not from the file");
  }

  if (!Writable(section, key, value)) return 0;
  std::optional<std::string> other = text.Find("Other", "Key");
  text.Set(section, key, value);
  ProfileText reread(text.Serialize());
  if (reread.Find(section, key) != Trimmed(value)) Fail("a written value does not read back");
  std::string upper = section;
  for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  bool sameName = upper == "OTHER";
  if (!sameName && reread.Find("Other", "Key") != other) Fail("writing changed another value");
  return 0;
}
