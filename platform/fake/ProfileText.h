// The text of a profile (INI) file, parsed and written back the way the
// system's profile functions do it, for the in-memory platform.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qs::fake {

class ProfileText {
 public:
  explicit ProfileText(const std::string& file);

  // The value of key in the first section of that name (names compared
  // without regard to ASCII letter case). nullopt when the section or the key
  // is missing, or the line has no "=".
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;
  // Sets the value in the first section of that name, appending the section
  // or the key at the end when missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  std::string Serialize() const;

 private:
  struct Entry {
    std::string name;
    std::optional<std::string> value;
  };
  struct Section {
    std::string name;  // empty for lines before the first section
    std::vector<Entry> entries;
  };
  Section* FindSection(const std::string& name);
  std::vector<Section> sections_;
};

// The value text as GetPrivateProfileString hands it out: a single pair of
// matching quotation marks (' or ") around it removed, then cut to
// bufferSize - 1 characters.
std::string ProfileValueForBuffer(const std::string& value, size_t bufferSize);

}  // namespace qs::fake
