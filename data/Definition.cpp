#include "data/Definition.h"

#include <cstring>

#include "core/Paths.h"
#include "core/Texts.h"

namespace qs {
namespace {

// The byte offset of character n of value (counted from 0), or its size.
size_t CharOffset(const std::string& value, size_t n) {
  size_t at = 0;
  for (; at < value.size() && n > 0; --n) at += kUtf8.CharLength(value, at);
  return at;
}

// The first n characters of value, and the rest from character n on.
std::string Head(const std::string& value, size_t n) {
  return value.substr(0, CharOffset(value, n));
}
std::string Tail(const std::string& value, size_t from) {
  return value.substr(CharOffset(value, from));
}

// The folder that contains the Windows folder, without trailing backslash
// (C: for C:\WINDOWS).
std::string BootFolder(const std::string& windowsFolder, CodePage cp) {
  return DelBackslash(ParentFolder(windowsFolder, cp), PathEnd::Trailing, cp);
}

}  // namespace

namespace {

// The base folder that the first five characters of value stand for; any
// other five characters are the base themselves. (App) counts only where a
// run's paths allow it.
std::string BaseFolder(const std::string& value, const MarkerFolders& folders, bool withApp,
                       CodePage cp) {
  std::string marker = Head(value, 5);
  if (withApp && marker == markers::kApp) return folders.installFolder;
  if (marker == markers::kPrg) return folders.programFilesFolder;
  if (marker == markers::kWin) return folders.windowsFolder;
  if (marker == markers::kSys) return folders.systemFolder;
  if (marker == markers::kBoo) return BootFolder(folders.windowsFolder, cp);
  return marker;
}

}  // namespace

std::string ResolveMarkerPath(const std::string& value, const MarkerFolders& folders,
                              CodePage cp) {
  return JoinPath(BaseFolder(value, folders, true, cp), Tail(value, 5), cp);
}

std::string ResolveDefaultFolder(const std::string& value, const MarkerFolders& folders,
                                 CodePage cp) {
  return AddBackslash(BaseFolder(value, folders, false, cp) + Tail(value, 5), PathEnd::Trailing,
                      cp);
}

CopyFileValue SplitCopyFileValue(const std::string& value) {
  size_t comma = value.find(',');
  if (comma == std::string::npos) return {value, std::string()};
  return {value.substr(0, comma), value.substr(comma, 3)};
}

std::string ShortCutNameWithPlace(const std::string& name) {
  bool opens = !name.empty() && name[0] == '(';
  bool closes = Tail(name, 4).rfind(')', 0) == 0;
  return !opens && !closes ? markers::kStartMenu + name : name;
}

bool ContainsMarker(const std::string& text, const char* marker) {
  return text.find(marker) != std::string::npos;
}

RegistryKeyRef ParseRegistryKey(const std::string& value) {
  bool opens = !value.empty() && value[0] == '(';
  bool closes = Tail(value, 6).rfind(')', 0) == 0;
  if (!opens && !closes) return {RegRoot::CurrentUser, value};
  return {RootOfMarker(value).value_or(RegRoot::CurrentUser), Tail(value, 7)};
}

std::optional<RegRoot> RootOfMarker(const std::string& value) {
  for (const RootMarker& root : kRootMarkers) {
    if (value.compare(0, 7, root.marker) == 0) return root.root;
  }
  return std::nullopt;
}

const char* MarkerOfRoot(RegRoot root) {
  for (const RootMarker& marker : kRootMarkers) {
    if (marker.root == root) return marker.marker;
  }
  return kRootMarkers[0].marker;
}

int CsidlOfPlace(const std::string& marker) {
  for (const PlaceMarker& place : kPlaceMarkers) {
    if (marker == place.marker) return place.csidl;
  }
  return kCsidlPrograms;
}

RegValue ParseRegistryValue(const std::string& value) {
  std::string marker = Head(value, 5);
  RegValue result;
  if (marker == markers::kInt) {
    result.kind = RegValue::Kind::Dword;
    result.number = static_cast<uint32_t>(ParseIntValue(Tail(value, 5)));
  } else {
    result.kind = RegValue::Kind::String;
    result.text = marker == markers::kStr ? Tail(value, 5) : value;
  }
  return result;
}

int32_t ParseIntValue(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && text[i] == '$') {
    std::string digits = text.substr(i + 1);
    if (digits.empty()) return 0;
    // The value decides, not the digit count: $0000000FF is 255.
    uint64_t number = 0;
    for (char c : digits) {
      int digit = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
      if (digit < 0) return 0;
      number = number * 16 + static_cast<uint64_t>(digit);
      if (number > 0xFFFFFFFFu) return 0;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(number));
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return 0;
  int64_t number = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    number = number * 10 + (text[i] - '0');
    if (number > int64_t{1} << 31) return 0;
  }
  if (negative) number = -number;
  if (number > INT32_MAX || number < INT32_MIN) return 0;
  return static_cast<int32_t>(number);
}

const DefinitionKey* FindDefinitionKey(const std::string& section, const std::string& name,
                                       int* number) {
  for (const DefinitionKey* key : kDefinitionKeys) {
    if (!SameProfileName(section, key->section)) continue;
    const size_t prefix = std::strlen(key->name);
    if (key->limit == 0) {
      if (!SameProfileName(name, key->name)) continue;
      *number = 0;
      return key;
    }
    if (name.size() <= prefix || name.size() > prefix + 9 ||
        !SameProfileName(name.substr(0, prefix), key->name) || name[prefix] == '0') {
      continue;
    }
    int n = 0;
    for (size_t i = prefix; i < name.size() && n >= 0; ++i) {
      n = name[i] >= '0' && name[i] <= '9' ? n * 10 + (name[i] - '0') : -1;
    }
    if (n <= 0) continue;
    *number = n;
    return key;
  }
  return nullptr;
}

std::string KeyName(const DefinitionKey& key, int number) {
  return number == 0 ? std::string(key.name) : key.name + std::to_string(number);
}

DefinitionFile::DefinitionFile(Platform& platform, const std::string& file)
    : DefinitionFile(platform, file, ReadAll(platform.OpenForRead(file, false))) {}

DefinitionFile::DefinitionFile(Platform& platform, const std::string& file,
                               std::optional<std::string> bytes)
    : text_(DecodeText(platform, bytes.value_or("")).text),
      readable_(bytes || !FileExists(platform, file)) {}

std::string DefinitionFile::Get(const DefinitionKey& key, int number,
                                const std::string& fallback) const {
  return ProfileLookup(&text_, key.section, KeyName(key, number), fallback, kProfileBuffer);
}

std::optional<DefinitionEntry> DefinitionFile::Find(const DefinitionKey& key, int number) const {
  const ProfileText::Entry* entry = text_.FindEntry(key.section, KeyName(key, number));
  if (!entry || !entry->value) return std::nullopt;
  return DefinitionEntry{number, Get(key, number), entry->line};
}

std::vector<DefinitionEntry> DefinitionFile::List(const DefinitionKey& key) const {
  std::vector<DefinitionEntry> entries;
  for (int n = 1; n <= key.limit; ++n) {
    std::optional<DefinitionEntry> entry = Find(key, n);
    if (entry && !entry->value.empty()) entries.push_back(*entry);
  }
  return entries;
}

std::vector<std::string> ReadNumberedKeys(Platform& platform, const std::string& file,
                                          const std::string& section, const std::string& prefix,
                                          int count, const std::string& defaultValue) {
  std::vector<std::string> values;
  for (int n = 1; n <= count; ++n) {
    std::string value =
        ReadIniString(platform, section, prefix + std::to_string(n), defaultValue, file);
    if (!value.empty()) values.push_back(value);
  }
  return values;
}

Titles ReadTitles(const DefinitionFile& definition) {
  Titles titles;
  titles.setup = definition.Get(keys::kSetup, kProductName);
  titles.unSetup = definition.Get(keys::kUnSetup, titles.setup);
  return titles;
}

std::string ReadTopMessage(const DefinitionFile& definition) {
  std::string message;
  for (int n = 1; n <= keys::kMessage.limit; ++n) message += definition.Get(keys::kMessage, n) + '\r';
  return message == std::string(keys::kMessage.limit, '\r') ? text::kDefaultTopMessage : message;
}

std::string ReadUnSetupKey(const DefinitionFile& definition, const std::string& unSetupTitle) {
  // An empty value would name the list of installed programs itself.
  std::string key = definition.Get(keys::kUnSetupKey);
  return key.empty() ? unSetupTitle : key;
}

ShortCutPlaces ReadShortCutPlaces(const DefinitionFile& definition) {
  ShortCutPlaces places;
  for (const DefinitionEntry& name : definition.List(keys::kShortCutName)) {
    for (const PlaceMarker& place : kPlaceMarkers) {
      places.*place.mentioned |= ContainsMarker(name.value, place.marker);
    }
  }
  return places;
}

}  // namespace qs
