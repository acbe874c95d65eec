#include "platform/fake/ProfileText.h"

#include <algorithm>

namespace qs::fake {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a'; }

std::string Trim(const std::string& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// The file's text in bytes: a UTF-8 byte-order mark is dropped, and a file
// that starts with the UTF-16 (little-endian) one is read in that encoding
// (characters beyond ASCII become "?": the fake knows no code pages).
std::string Decoded(const std::string& contents) {
  if (contents.rfind("\xef\xbb\xbf", 0) == 0) return contents.substr(3);
  if (contents.rfind("\xff\xfe", 0) != 0) return contents;
  std::string text;
  for (size_t i = 2; i + 1 < contents.size(); i += 2) {
    bool ascii = contents[i + 1] == 0 && static_cast<unsigned char>(contents[i]) < 0x80;
    text += ascii ? contents[i] : '?';
  }
  return text;
}

}  // namespace

ProfileText::ProfileText(const std::string& file) {
  const std::string contents = Decoded(file);
  sections_.push_back({});
  size_t pos = 0;
  while (pos < contents.size()) {
    size_t end = contents.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = contents.size();
    std::string line = Trim(contents.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close != std::string::npos) {
        sections_.push_back({line.substr(1, close - 1), {}});
        continue;
      }
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      sections_.back().entries.push_back({line, std::nullopt});
    } else {
      // A value ends at a NUL, as the system's C string does.
      std::string value = Trim(line.substr(eq + 1));
      value = Trim(value.substr(0, value.find('\0')));
      sections_.back().entries.push_back({Trim(line.substr(0, eq)), value});
    }
  }
}

ProfileText::Section* ProfileText::FindSection(const std::string& name) {
  for (size_t i = 1; i < sections_.size(); ++i) {
    if (SameName(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

std::optional<std::string> ProfileText::Find(const std::string& section,
                                             const std::string& key) const {
  Section* found = const_cast<ProfileText*>(this)->FindSection(section);
  if (!found) return std::nullopt;
  for (const Entry& entry : found->entries) {
    if (SameName(entry.name, key)) return entry.value;
  }
  return std::nullopt;
}

void ProfileText::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
  Section* found = FindSection(section);
  if (!found) {
    sections_.push_back({section, {}});
    found = &sections_.back();
  }
  for (Entry& entry : found->entries) {
    if (SameName(entry.name, key)) {
      entry.value = value;
      return;
    }
  }
  found->entries.push_back({key, value});
}

std::string ProfileText::Serialize() const {
  std::string out;
  for (size_t i = 0; i < sections_.size(); ++i) {
    const Section& section = sections_[i];
    if (i > 0) {
      if (!out.empty()) out += "\r\n";
      out += "[" + section.name + "]\r\n";
    }
    for (const Entry& entry : section.entries) {
      out += entry.name;
      if (entry.value) out += "=" + *entry.value;
      out += "\r\n";
    }
  }
  return out;
}

std::string ProfileValueForBuffer(const std::string& value, size_t bufferSize) {
  std::string text = value;
  if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
    text = text.substr(1, text.size() - 2);
  }
  if (bufferSize == 0) return std::string();
  return text.substr(0, bufferSize - 1);
}

}  // namespace qs::fake
