#include "platform/ProfileText.h"

#include <algorithm>

#include "platform/Platform.h"
#include "platform/Unicode.h"

namespace qs {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a'; }

std::string Trim(const std::string& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

constexpr uint32_t kShiftJis = 932;

// A line that is not Shift-JIS: its ASCII as it is, U+FFFD for every other byte.
std::string Mangled(const std::string& line) {
  std::string out;
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, 0xFFFD);
    }
  }
  return out;
}

// Shift-JIS line by line: carriage returns and line feeds are never the
// second byte of a character, so no character spans two lines.
std::string FromShiftJis(Platform& codec, const std::string& bytes) {
  if (std::optional<std::string> whole = codec.FromCodePage(kShiftJis, bytes)) return *whole;
  std::string text;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    end = end == std::string::npos ? bytes.size() : end + 1;
    std::string line = bytes.substr(pos, end - pos);
    text += codec.FromCodePage(kShiftJis, line).value_or(Mangled(line));
    pos = end;
  }
  return text;
}

}  // namespace

bool SameProfileName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

std::optional<std::string> ReadAll(std::unique_ptr<FileReader> reader) {
  if (!reader) return std::nullopt;
  std::string bytes;
  char buffer[16384];
  for (int64_t n; (n = reader->Read(buffer, sizeof buffer)) != 0; bytes.append(buffer, n)) {
    if (n < 0) return std::nullopt;
  }
  return bytes;
}

DecodedText DecodeText(Platform& codec, const std::string& bytes) {
  if (bytes.rfind(kUtf16LeBom, 0) == 0) {
    return {Utf16LeBytesToUtf8(std::string_view(bytes).substr(kUtf16LeBom.size())),
            TextForm::Utf16Le};
  }
  if (bytes.rfind(kUtf8Bom, 0) == 0) return {bytes.substr(kUtf8Bom.size()), TextForm::Utf8};
  return {FromShiftJis(codec, bytes), TextForm::ShiftJis};
}

std::string EncodeText(Platform& codec, const std::string& text, TextForm form) {
  if (form == TextForm::ShiftJis) {
    if (std::optional<std::string> bytes = codec.ToCodePage(kShiftJis, text)) return *bytes;
    form = TextForm::Utf16Le;
  }
  if (form == TextForm::Utf8) return std::string(kUtf8Bom) + text;
  return std::string(kUtf16LeBom) + Utf8ToUtf16LeBytes(text);
}

ProfileText::ProfileText(const std::string& contents) {
  sections_.push_back({});
  size_t pos = 0;
  for (int number = 1; pos < contents.size(); ++number) {
    size_t end = contents.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = contents.size();
    std::string line = Trim(contents.substr(pos, end - pos));
    pos = end + (contents.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close != std::string::npos) {
        sections_.push_back({line.substr(1, close - 1), number, {}});
        continue;
      }
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      sections_.back().entries.push_back({line, std::nullopt, number});
    } else {
      // A value ends at a NUL, as the system's C string does.
      std::string value = Trim(line.substr(eq + 1));
      value = Trim(value.substr(0, value.find('\0')));
      sections_.back().entries.push_back({Trim(line.substr(0, eq)), value, number});
    }
  }
}

ProfileText::Section* ProfileText::FindSection(const std::string& name) {
  for (size_t i = 1; i < sections_.size(); ++i) {
    if (SameProfileName(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

const ProfileText::Entry* ProfileText::FindEntry(const std::string& section,
                                                 const std::string& key) const {
  const Section* found = const_cast<ProfileText*>(this)->FindSection(section);
  if (!found) return nullptr;
  for (const Entry& entry : found->entries) {
    if (SameProfileName(entry.name, key)) return &entry;
  }
  return nullptr;
}

std::optional<std::string> ProfileText::Find(const std::string& section,
                                             const std::string& key) const {
  const Entry* entry = FindEntry(section, key);
  return entry ? entry->value : std::nullopt;
}

void ProfileText::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
  Section* found = FindSection(section);
  if (!found) {
    sections_.push_back({section, 0, {}});
    found = &sections_.back();
  }
  for (Entry& entry : found->entries) {
    if (SameProfileName(entry.name, key)) {
      entry.value = value;
      return;
    }
  }
  found->entries.push_back({key, value, 0});
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
  std::string_view text = value;
  if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
    text = text.substr(1, text.size() - 2);
  }
  if (bufferSize == 0) return std::string();
  return std::string(CutToShiftJisWidth(text, bufferSize - 1));
}

std::string ProfileLookup(const ProfileText* file, const std::string& section,
                          const std::string& key, const std::string& defaultValue,
                          uint32_t bufferSize) {
  // Trailing blanks of the default are dropped, as the system does.
  std::string fallback = defaultValue;
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  std::optional<std::string> value;
  if (file && !key.empty()) value = file->Find(section, key);
  return ProfileValueForBuffer(value ? *value : fallback, bufferSize);
}

std::string ProfileUpdate(Platform& codec, const std::optional<std::string>& file,
                          const std::string& section, const std::string& key,
                          const std::string& value) {
  DecodedText decoded = file ? DecodeText(codec, *file) : DecodedText{};
  ProfileText text(decoded.text);
  text.Set(section, key, value);
  return EncodeText(codec, text.Serialize(), decoded.form);
}

}  // namespace qs
