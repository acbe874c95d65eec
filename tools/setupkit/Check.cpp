#include "tools/setupkit/Check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "core/Paths.h"
#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "data/UninstallRecord.h"
#include "platform/ProfileText.h"
#include "platform/Unicode.h"
#include "platform/fake/FakePlatform.h"
#include "tools/setupkit/Text.h"

namespace qs::kit {
namespace fs = std::filesystem;
namespace {

constexpr CodePage kCp = kUtf8;
constexpr const char* kIniPath = "D:\\SETUP.INI";
constexpr size_t kMaxValue = 254;

bool SameName(const std::string& a, const std::string& b) { return UpperName(a) == UpperName(b); }

std::string Head(const std::string& value, size_t n) { return value.substr(0, n); }
std::string Tail(const std::string& value, size_t from) {
  return value.size() > from ? value.substr(from) : std::string();
}
std::string Quote(const std::string& text) { return "'" + text + "'"; }

// Where the sections and keys of the file are: a scan of its lines for
// locations only. What a key's value is comes from the program's reader.
struct KeyLine {
  std::string name;
  int line = 0;
  bool hasValue = false;
};
struct SectionLines {
  std::string name;
  int line = 0;
  std::vector<KeyLine> keys;
};

struct FileLines {
  std::vector<SectionLines> sections;  // [0]: lines before the first section
  std::vector<std::pair<int, std::string>> oddLines;
};

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\x1a'; };
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

FileLines ScanLines(const std::string& bytes) {
  FileLines lines;
  lines.sections.push_back({});
  int number = 0;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = Trim(bytes.substr(pos, end - pos));
    ++number;
    pos = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close != std::string::npos) {
        lines.sections.push_back({Trim(line.substr(1, close - 1)), number, {}});
        continue;
      }
      lines.oddLines.push_back({number, "section line without ']'"});
      continue;
    }
    size_t eq = line.find('=');
    lines.sections.back().keys.push_back(
        {Trim(line.substr(0, eq == std::string::npos ? line.size() : eq)), number,
         eq != std::string::npos});
  }
  return lines;
}

// The keys the program reads: a plain name, or a prefix numbered 1..limit.
struct KeySpec {
  const char* section;
  const char* key;
  int limit;  // 0: a plain key
};
const KeySpec kKeys[] = {
    {ini::kTitle, "Setup", 0},
    {ini::kTitle, "UnSetup", 0},
    {ini::kTitle, "UnSetupKey", 0},
    {ini::kReadme, "File", 0},
    {ini::kReadme, "Title", 0},
    {ini::kDefaultFolder, "Folder", 0},
    {ini::kShortCut, "Make", kMaxShortCuts},
    {ini::kShortCut, "Name", kMaxShortCuts},
    {ini::kTopMessage, "Message", kMaxMessages},
    {ini::kMakeFolder, "Folder", kMaxFolders},
    {ini::kCopyFile, "File", kMaxFiles},
    {ini::kRegistry, "Key", kMaxRegistry},
    {ini::kRegistry, "Name", kMaxRegistry},
    {ini::kRegistry, "Value", kMaxRegistry},
    {ini::kDeleteRegistry, "Key", kMaxDeleteRegistry},
    {ini::kExecuteFile, "File", 0},
};

std::vector<std::string> KnownSections() {
  std::vector<std::string> names;
  for (const KeySpec& spec : kKeys) {
    if (std::find(names.begin(), names.end(), spec.section) == names.end()) {
      names.push_back(spec.section);
    }
  }
  return names;
}

// Edit distance between two names, letter case aside.
size_t Distance(const std::string& a, const std::string& b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                         diagonal + (upper(a[i - 1]) == upper(b[j - 1]) ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// "known", "beyond" (a numbered key past the limit), or "" (never read).
std::string KeyStatus(const std::string& section, const std::string& key, int* limit) {
  for (const KeySpec& spec : kKeys) {
    if (!SameName(section, spec.section)) continue;
    std::string prefix = spec.key;
    if (spec.limit == 0) {
      if (SameName(key, prefix)) return "known";
      continue;
    }
    if (key.size() <= prefix.size() || !SameName(Head(key, prefix.size()), prefix)) continue;
    std::string digits = key.substr(prefix.size());
    if (digits[0] == '0' || digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    *limit = spec.limit;
    return std::stoi(digits) <= spec.limit ? "known" : "beyond";
  }
  return "";
}

// "(Int)" data that stands for zero: the one case where a 0 from the
// number reader is no sign of a mistake.
bool IsZeroText(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '$' || text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size()) return false;
  return std::all_of(text.begin() + i, text.end(), [](char c) { return c == '0'; });
}

// The text of a marker, whether the table holds plain markers or markers
// with what they stand for.
const char* MarkerText(const char* marker) { return marker; }
const char* MarkerText(const PlaceMarker& place) { return place.marker; }
const char* MarkerText(const RootMarker& root) { return root.marker; }

template <typename Table>
bool OneOf(const std::string& value, const Table& options) {
  for (const auto& option : options) {
    if (value == MarkerText(option)) return true;
  }
  return false;
}
// The option that value spells in another letter case.
template <typename Table>
std::optional<std::string> CaseVariant(const std::string& value, const Table& options) {
  for (const auto& option : options) {
    const char* text = MarkerText(option);
    if (value != text && SameName(value, text)) return std::string(text);
  }
  return std::nullopt;
}

class Checker {
 public:
  Checker(std::string file, std::string bytes, fs::path folder, const DryRunResult& run)
      : file_(std::move(file)), bytes_(std::move(bytes)), folder_(std::move(folder)), run_(run) {
    os_.AddFile(kIniPath, bytes_);
    folders_ = {run.installFolder, run.values.programFilesFolder, run.values.windowsFolder,
                run.values.systemFolder};
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
      if (entry.is_regular_file()) {
        files_[UpperName(NameOf(entry.path().filename()))] = entry.path();
      }
    }
    for (const Step& step : run.install) {
      if (step.kind == "file") installed_.insert(UpperName(step.path));
    }
  }

  std::vector<Finding> Run() {
    if (!Encoding()) return findings_;
    lines_ = ScanLines(text_);
    Structure();
    Values();
    Folders();
    Files();
    ShortCuts();
    Registry();
    Title();
    Readme();
    ExecuteFile();
    RunOutcome();
    return findings_;
  }

 private:
  void Add(int line, Severity severity, const std::string& text) {
    findings_.push_back({file_, line, severity, text});
  }
  void Error(int line, const std::string& text) { Add(line, Severity::Error, text); }
  void Warn(int line, const std::string& text) { Add(line, Severity::Warning, text); }

  std::string Read(const char* section, const std::string& key, const std::string& fallback = "") {
    return ReadIniString(os_, section, key, fallback, kIniPath);
  }
  const SectionLines* Section(const std::string& name) const {
    for (size_t i = 1; i < lines_.sections.size(); ++i) {
      if (SameName(lines_.sections[i].name, name)) return &lines_.sections[i];
    }
    return nullptr;
  }
  // The line the program reads the key from: in the first section of that
  // name, the first line with that key; 0 when there is none.
  int LineOf(const std::string& section, const std::string& key) const {
    const SectionLines* found = Section(section);
    if (!found) return 0;
    for (const KeyLine& k : found->keys) {
      if (SameName(k.name, key)) return k.line;
    }
    return 0;
  }
  // Every numbered key n of section.prefix with a non-empty value.
  template <typename F>
  void ForNumbered(const char* section, const char* prefix, int limit, F f) {
    for (int n = 1; n <= limit; ++n) {
      std::string key = prefix + std::to_string(n);
      std::string value = Read(section, key);
      if (!value.empty()) f(n, value, LineOf(section, key));
    }
  }

  // The file's text as the program reads it: Shift-JIS, or UTF-8 after a
  // byte-order mark. False when there is nothing to check in it.
  bool Encoding() {
    if (LooksUtf16(bytes_)) {
      Error(0, "the file is saved as UTF-16; the program reads Shift-JIS (code page 932), or "
               "UTF-8 after a byte-order mark");
      return false;
    }
    if (HasUtf8Bom(bytes_)) {
      if (!IsUtf8(bytes_)) Error(LineAt(FirstNonUtf8()), "bytes that are not UTF-8 text");
    } else if (IsUtf8Beyond7Bit(bytes_)) {
      Error(LineAt(FirstNonAscii()), "the file is saved as UTF-8 without a byte-order mark; the "
                                     "program reads such a file as Shift-JIS (code page 932), so "
                                     "its texts come out garbled: save it with the mark");
    } else if (size_t bad = FirstNonCp932(bytes_); bad != std::string::npos) {
      Error(LineAt(bad), "bytes that are not Shift-JIS text");
    }
    text_ = DecodeText(os_, bytes_).text;
    for (size_t i = 0; i < bytes_.size(); ++i) {
      if (bytes_[i] == '\n' && (i == 0 || bytes_[i - 1] != '\r')) {
        Warn(LineAt(i), "line ends are LF only; Windows files end their lines with CR LF");
        break;
      }
    }
    return true;
  }
  size_t FirstNonUtf8() const {
    for (size_t i = 0; i < bytes_.size();) {
      size_t start = i;
      if (NextCodePoint(bytes_, i) == 0xFFFD && bytes_.compare(start, 3, "\xef\xbf\xbd") != 0) {
        return start;
      }
    }
    return 0;
  }
  size_t FirstNonAscii() const {
    for (size_t i = 0; i < bytes_.size(); ++i) {
      if (static_cast<unsigned char>(bytes_[i]) >= 0x80) return i;
    }
    return 0;
  }
  int LineAt(size_t offset) const {
    int line = 1;
    for (size_t i = 0; i < offset && i < bytes_.size(); ++i) {
      if (bytes_[i] == '\n' || (bytes_[i] == '\r' && (i + 1 == bytes_.size() || bytes_[i + 1] != '\n'))) {
        ++line;
      }
    }
    return line;
  }

  void Structure() {
    for (const auto& [line, text] : lines_.oddLines) Warn(line, text + "; the line is ignored");
    for (const KeyLine& key : lines_.sections[0].keys) {
      Warn(key.line, Quote(key.name) + " is outside any section; the program never reads it");
    }
    std::vector<std::string> known = KnownSections();
    std::set<std::string> seen;
    for (size_t i = 1; i < lines_.sections.size(); ++i) {
      const SectionLines& section = lines_.sections[i];
      auto it = std::find_if(known.begin(), known.end(),
                             [&](const std::string& k) { return SameName(k, section.name); });
      if (it == known.end()) {
        std::string text = "section [" + section.name + "] is never read";
        for (const std::string& k : known) {
          if (Distance(k, section.name) <= 2) text += "; did you mean [" + k + "]?";
        }
        Warn(section.line, text);
        continue;
      }
      if (!seen.insert(UpperName(section.name)).second) {
        Warn(section.line, "a second [" + section.name +
                               "] section; the program reads only the first one");
        continue;
      }
      SectionKeys(section);
    }
  }

  // The keys of a section the program reads: each read, within its limit,
  // once.
  void SectionKeys(const SectionLines& section) {
    std::set<std::string> keys;
    for (const KeyLine& key : section.keys) {
      if (!key.hasValue) {
        Warn(key.line, Quote(key.name) + " has no '='; the line is ignored");
        continue;
      }
      int limit = 0;
      std::string status = KeyStatus(section.name, key.name, &limit);
      if (status.empty()) {
        Warn(key.line, "[" + section.name + "] " + key.name + " is never read");
      } else if (status == "beyond") {
        Warn(key.line, "[" + section.name + "] " + key.name + " is beyond the limit of " +
                           std::to_string(limit) + " and is never read");
      } else if (!keys.insert(UpperName(key.name)).second) {
        Warn(key.line, key.name + " appears twice in [" + section.name +
                           "]; the program reads only the first one");
      }
    }
  }

  // Values longer than the program's reader takes.
  void Values() {
    for (const KeySpec& spec : kKeys) {
      for (int n = spec.limit ? 1 : 0; n <= spec.limit; ++n) {
        std::string key = spec.key + (n ? std::to_string(n) : std::string());
        std::string whole = os_.ReadProfile(spec.section, key, "", kIniPath, 1 << 20);
        if (whole.size() > kMaxValue) {
          Warn(LineOf(spec.section, key),
               key + " is " + std::to_string(whole.size()) +
                   " characters long; the program reads only the first 254, " +
                   Quote(Tail(whole, kMaxValue - 20).substr(0, 20)) + " is where it stops");
        }
      }
    }
  }

  // A folder-marker path: the first five characters select the folder.
  void FolderMarker(int line, const std::string& key, const std::string& value) {
    std::string marker = Head(value, 5);
    if (OneOf(marker, kFolderMarkers)) return;
    std::string resolved = ResolveMarkerPath(value, folders_, kCp);
    if (std::optional<std::string> right = CaseVariant(marker, kFolderMarkers)) {
      Error(line, key + ": the marker " + Quote(marker) + " is not recognised (letter case "
                    "counts); write " + Quote(*right) + ". As it is, the path is " + Quote(resolved));
    } else if (!value.empty() && value[0] == '(') {
      Error(line, key + ": " + Quote(marker) + " is not a folder marker ((App), (Prg), (Win), "
                    "(Sys), (Boo)); the path becomes " + Quote(resolved));
    } else {
      Error(line, key + ": no folder marker; the first five characters are taken as the folder, "
                    "giving " + Quote(resolved));
    }
  }

  void Folders() {
    std::string value = Read(ini::kDefaultFolder, "Folder");
    int line = LineOf(ini::kDefaultFolder, "Folder");
    if (!value.empty()) {
      std::string marker = Head(value, 5);
      std::string proposed = ResolveDefaultFolder(value, folders_, kCp);
      if (marker == markers::kApp) {
        Warn(line, "(App) means nothing in [DefaultFolder]; the proposed folder is " + Quote(proposed));
      } else if (std::optional<std::string> right =
                     CaseVariant(marker, kDefaultFolderMarkers)) {
        Error(line, "Folder: the marker " + Quote(marker) + " is not recognised (letter case "
                    "counts); write " + Quote(*right) + ". The proposed folder is " + Quote(proposed));
      } else if (OneOf(marker, kDefaultFolderMarkers) && value.size() > 5 &&
                 value[5] != '\\') {
        Warn(line, "Folder: the rest is joined without a backslash, giving " + Quote(proposed) +
                       "; start it with '\\'");
      }
    }
    ForNumbered(ini::kMakeFolder, "Folder", kMaxFolders, [&](int n, const std::string& v, int l) {
      FolderMarker(l, "Folder" + std::to_string(n), v);
      lineOfPath_[UpperName(AddBackslash(ResolveMarkerPath(v, folders_, kCp), "B", kCp))] = l;
    });
  }

  void Files() {
    ForNumbered(ini::kCopyFile, "File", kMaxFiles, [&](int n, const std::string& value, int line) {
      std::string key = "File" + std::to_string(n);
      CopyFileValue entry = SplitCopyFileValue(value);
      FolderMarker(line, key, entry.path);
      lineOfPath_[UpperName(ResolveMarkerPath(entry.path, folders_, kCp))] = line;
      if (!entry.flag.empty() && !OneOf(entry.flag, kFileFlags)) {
        Error(line, key + ": the flag " + Quote(entry.flag) + " is none of ,/F ,/C ,/L; a comma "
                    "always starts the flag, so a path cannot hold one");
      }
      std::string name = FileNamePart(entry.path, kCp);
      auto found = files_.find(UpperName(name));
      if (found == files_.end()) {
        Error(line, key + ": the source file " + Quote(name) + " is not beside SETUP.INI; the "
                    "program skips the entry without a word");
        return;
      }
      CopiedSource(line, key, entry.path, ReadBytes(found->second));
    });
  }

  // What the run does with the source of a [CopyFile] entry: compressed or
  // not, by its name and by its contents.
  void CopiedSource(int line, const std::string& key, const std::string& path,
                    const std::string& bytes) {
    const std::string name = FileNamePart(path, kCp);
    qs::SzddHeader header;
    qs::SzddKind kind = qs::ParseSzddHeader(reinterpret_cast<const uint8_t*>(bytes.data()),
                                            bytes.size(), &header);
    size_t last = kCp.LastCharStart(name);
    bool compressedName = last != std::string::npos && last + 1 == name.size() && name[last] == '_';
    if (!compressedName) {
      if (kind != qs::SzddKind::NotCompressed) {
        Warn(line, key + ": " + Quote(name) + " is an SZDD file, but its name does not end in "
                   "'_'; it is installed compressed");
      }
      return;
    }
    if (kind != qs::SzddKind::NotCompressed) {
      // The run reports a failed copy under the name the file expands to.
      std::string expanded = qs::SzddExpandedName(name, header.missingChar, kCp);
      lineOfPath_[UpperName(FolderPart(ResolveMarkerPath(path, folders_, kCp), kCp) + expanded)] =
          line;
    }
    if (kind == qs::SzddKind::NotCompressed) {
      Error(line, key + ": " + Quote(name) + " ends in '_' but is not an SZDD file; it is "
                  "installed unchanged under the name " + Quote(name));
    } else if (kind == qs::SzddKind::UnknownMode) {
      Error(line, key + ": " + Quote(name) + " is an SZDD file of an unknown mode; it cannot "
                  "be expanded and is not installed");
    } else if (std::optional<std::string> expanded = qs::SzddExpand(bytes);
               !expanded || expanded->size() != header.length) {
      Error(line, key + ": " + Quote(name) + " is a damaged SZDD stream: its header says " +
                  std::to_string(header.length) + " bytes, it expands to " +
                  std::to_string(expanded ? expanded->size() : 0));
    } else if (header.missingChar == 0) {
      Warn(line, key + ": the header of " + Quote(name) + " keeps no last character; it is "
                 "installed as " + Quote(UpperName(qs::SzddExpandedName(name, 0, kCp))));
    }
  }

  void ShortCuts() {
    for (int n = 1; n <= kMaxShortCuts; ++n) {
      std::string make = Read(ini::kShortCut, "Make" + std::to_string(n));
      std::string nameKey = "Name" + std::to_string(n);
      std::string name = Read(ini::kShortCut, nameKey, "Default");
      int line = LineOf(ini::kShortCut, "Make" + std::to_string(n));
      if (make.empty()) {
        if (LineOf(ini::kShortCut, nameKey) && !name.empty() && name != "Default") {
          Warn(LineOf(ini::kShortCut, nameKey), nameKey + " is never used: Make" +
                                                    std::to_string(n) + " is missing");
        }
        continue;
      }
      FolderMarker(line, "Make" + std::to_string(n), make);
      std::string target = ResolveMarkerPath(make, folders_, kCp);
      if (!run_.stopped && !installed_.count(UpperName(target))) {
        Warn(line, "Make" + std::to_string(n) + ": the target " + Quote(target) +
                       " is not installed by this package");
      }
      if (name == "Default") continue;
      std::string placed = ShortCutNameWithPlace(name);
      std::string marker = Head(placed, 5);
      int nameLine = LineOf(ini::kShortCut, nameKey);
      size_t bad = kCp.FindFirstOf(Tail(placed, 5), ":*?\"<>|/");
      if (bad != std::string::npos) {
        Error(nameLine, nameKey + ": a link's file name cannot hold " + Quote(Tail(placed, 5).substr(bad, 1)) +
                            "; no usable link is made");
      }
      if (std::optional<std::string> right = CaseVariant(marker, kPlaceMarkers)) {
        Error(nameLine, nameKey + ": the place marker " + Quote(marker) + " is not recognised "
                        "(letter case counts); write " + Quote(*right) + ". As it is, the link " +
                        Quote(Tail(placed, 5)) + " goes to the programs folder");
      } else if (!OneOf(marker, kPlaceMarkers)) {
        Warn(nameLine, nameKey + ": " + Quote(marker) + " is no place marker ((Dsk), (Sta), "
                       "(Sup), (Sen)); the link " + Quote(Tail(placed, 5)) +
                       " goes to the programs folder");
      }
    }
  }

  // A root marker: seven characters when the first is "(" or the seventh ")".
  // asIs says what the program makes of the value when the marker is not one.
  void RootMarker(int line, const std::string& key, const std::string& value, const char* asIs) {
    bool marked = (!value.empty() && value[0] == '(') || (value.size() >= 7 && value[6] == ')');
    if (!marked) return;
    std::string marker = Head(value, 7);
    if (OneOf(marker, kRootMarkers)) return;
    if (std::optional<std::string> right = CaseVariant(marker, kRootMarkers)) {
      Error(line, key + ": the root marker " + Quote(marker) + " is not recognised (letter case "
                    "counts); write " + Quote(*right) + ". As it is, " + asIs);
    } else {
      Warn(line, key + ": " + Quote(marker) + " is no root marker ((Cuser), (Class), (Local), "
                   "(Users)); " + asIs);
    }
  }
  static constexpr const char* kWrittenAsIs = "the key goes under HKEY_CURRENT_USER";
  // The uninstaller reads a value without one of the four markers whole.
  static constexpr const char* kRemovedAsIs =
      "the uninstaller looks under HKEY_CURRENT_USER for a key of that whole name and removes "
      "nothing";
  std::string KeyPath(const std::string& value) {
    return DelBackslash(DelBackslash(ParseRegistryKey(value).path, "T", kCp), "B", kCp);
  }

  // Each [Registry] entry as the program writes it, then [DeleteRegistry].
  void Registry() {
    for (int n = 1; n <= kMaxRegistry; ++n) {
      std::string num = std::to_string(n);
      std::string key = Read(ini::kRegistry, "Key" + num);
      std::string name = Read(ini::kRegistry, "Name" + num);
      std::string value = Read(ini::kRegistry, "Value" + num);
      int line = LineOf(ini::kRegistry, "Key" + num);
      if (key.empty()) {
        int other = LineOf(ini::kRegistry, "Name" + num);
        if (!other) other = LineOf(ini::kRegistry, "Value" + num);
        if (!name.empty() || !value.empty()) {
          Warn(other, "Name" + num + " and Value" + num + " are never used: Key" + num +
                          " is missing");
        }
        continue;
      }
      RootMarker(line, "Key" + num, key, kWrittenAsIs);
      if (KeyPath(key).empty()) Error(line, "Key" + num + ": no key path after the root marker");
      if (name.empty()) {
        Warn(line, "Key" + num + " has no Name" + num + "; the program drops the entry");
        continue;
      }
      ValueType(num, value);
    }
    DeleteRegistry();
  }

  // A value's type marker, spelt as the program knows it, and a number that
  // reads as one.
  void ValueType(const std::string& num, const std::string& value) {
    int line = LineOf(ini::kRegistry, "Value" + num);
    std::string marker = Head(value, 5);
    if (std::optional<std::string> right = CaseVariant(marker, kTypeMarkers)) {
      Error(line, "Value" + num + ": the type marker " + Quote(marker) + " is not "
                  "recognised (letter case counts); write " + Quote(*right) +
                  ". As it is, the string " + Quote(value) + " is written");
    } else if (marker == markers::kInt && ParseIntValue(Tail(value, 5)) == 0 &&
               !IsZeroText(Tail(value, 5))) {
      Error(line, "Value" + num + ": " + Quote(Tail(value, 5)) + " is not a 32-bit "
                  "number (decimal digits, or '$' and hexadecimal digits); 0 is written");
    }
  }

  // The keys the uninstaller removes, read as it reads them; what it keeps
  // is what the dry run's uninstall listed.
  void DeleteRegistry() {
    ForNumbered(ini::kDeleteRegistry, "Key", kMaxDeleteRegistry,
                [&](int n, const std::string& value, int line) {
                  std::string key = "Key" + std::to_string(n);
                  RootMarker(line, key, value, kRemovedAsIs);
                  RegistryKeyRef removed = ParseRemovalKey(value);
                  std::string path = DelBackslash(DelBackslash(removed.path, "T", kCp), "B", kCp);
                  if (path.empty()) {
                    Error(line, key + ": no key path after the root marker");
                  } else if (run_.uninstallFailureList.find(text::kTagRegistry + value + "\r\n") !=
                             std::string::npos) {
                    Warn(line, key + ": " +
                                   Quote(std::string(fake::RegRootName(removed.root)) + "\\" + path) +
                                   " is kept by the uninstaller, which lists it as failed: it is "
                                   "one of the system's keys, or a first-level key the "
                                   "installation does not make; name the product's own key");
                  }
                });
  }

  // An empty UnSetupKey: what the dry run registered tells what it means.
  void Title() {
    int line = LineOf(ini::kTitle, "UnSetupKey");
    if (!line || !Read(ini::kTitle, "UnSetupKey", "<none>").empty()) return;
    const std::string list = std::string(fake::RegRootName(RegRoot::LocalMachine)) + "\\" +
                             UninstallKeyPath("");
    for (const Step& step : run_.install) {
      if (step.kind != "registration") continue;
      std::string name = step.path.size() > list.size() ? step.path.substr(list.size()) : "";
      if (name.empty()) break;
      Warn(line, "UnSetupKey is empty, so the product is registered as " + Quote(name) +
                     " (the uninstall title); give the name or leave the key out");
      return;
    }
    Error(line, "UnSetupKey is empty: the product gets no registration of its own in the list "
                "of installed programs; give the product's name or leave the key out");
  }

  void Readme() {
    std::string file = Read(ini::kReadme, "File");
    if (file.empty()) return;
    int line = LineOf(ini::kReadme, "File");
    std::string relative = DelBackslash(file, "T", kCp);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    fs::path path = folder_ / PathOf(relative);
    if (!fs::is_regular_file(path)) {
      auto found = files_.find(UpperName(file));
      if (found == files_.end()) {
        Warn(line, "the readme " + Quote(file) + " is missing; no readme is shown");
        return;
      }
      path = found->second;
    }
    // Like the definition file, but UTF-16 after its mark shows as well.
    std::string bytes = ReadBytes(path);
    const bool marked = HasUtf8Bom(bytes) || bytes.rfind("\xff\xfe", 0) == 0;
    if (LooksUtf16(bytes) && !marked) {
      Error(line, "the readme " + Quote(file) + " is saved as UTF-16 without a byte-order "
                  "mark; the program shows it as Shift-JIS");
    } else if (HasUtf8Bom(bytes) && !IsUtf8(bytes)) {
      Error(line, "the readme " + Quote(file) + " holds bytes that are not UTF-8 text");
    } else if (marked) {
      return;
    } else if (IsUtf8Beyond7Bit(bytes)) {
      Error(line, "the readme " + Quote(file) + " is saved as UTF-8 without a byte-order mark; "
                  "the program shows such a file as Shift-JIS, garbled: save it with the mark");
    } else if (FirstNonCp932(bytes) != std::string::npos) {
      Error(line, "the readme " + Quote(file) + " holds bytes that are not Shift-JIS text");
    }
  }

  void ExecuteFile() {
    std::string value = Read(ini::kExecuteFile, "File");
    if (value.empty()) return;
    int line = LineOf(ini::kExecuteFile, "File");
    FolderMarker(line, "File", value);
    std::string path = ResolveMarkerPath(value, folders_, kCp);
    if (!run_.stopped && !installed_.count(UpperName(path))) {
      Warn(line, "File: " + Quote(path) + " is not installed by this package; if it is not "
                 "there, nothing is opened and nothing is said");
    }
  }

  // What the dry run met: failed steps and an error that ends the run.
  void RunOutcome() {
    if (run_.stopped) {
      Error(LineOf(ini::kDefaultFolder, "Folder"),
            "the install folder " + Quote(run_.installFolder) + " cannot be made: the program "
            "creates its last level only, and the folder above it is not there on a fresh Windows");
    }
    if (!run_.runError.empty()) {
      Error(0, "the install run ends early with the error report " + Quote(run_.runError));
    }
    size_t pos = 0;
    const std::string& list = run_.failureList;
    while (pos < list.size()) {
      size_t end = list.find("\r\n", pos);
      if (end == std::string::npos) end = list.size();
      std::string failed = list.substr(pos, end - pos);
      size_t tag = failed.find("> ");
      auto at = tag == std::string::npos ? lineOfPath_.end()
                                         : lineOfPath_.find(UpperName(failed.substr(tag + 2)));
      if (end > pos) {
        Error(at == lineOfPath_.end() ? 0 : at->second, "the install would fail a step: " + failed);
      }
      pos = end + 2;
    }
  }

  std::string file_;
  std::string bytes_;
  std::string text_;  // the file as the program reads it
  fs::path folder_;
  const DryRunResult& run_;
  fake::FakePlatform os_;
  MarkerFolders folders_;
  std::map<std::string, fs::path> files_;  // by upper-case Shift-JIS name
  std::set<std::string> installed_;
  std::map<std::string, int> lineOfPath_;  // planned destinations by upper-case path
  FileLines lines_;
  std::vector<Finding> findings_;
};

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

int CheckReport::Errors() const {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [](const Finding& f) { return f.severity == Severity::Error; }));
}
int CheckReport::Warnings() const { return static_cast<int>(findings.size()) - Errors(); }
int CheckReport::ExitCode() const { return Errors() ? 2 : Warnings() ? 1 : 0; }

CheckReport CheckProduct(const fs::path& target, const Layout& layout, const Choices& choices) {
  CheckReport report;
  fs::path folder = target, ini;
  if (fs::is_directory(target)) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(target, ec)) {
      if (entry.is_regular_file() && SameName(entry.path().filename().string(), "SETUP.INI")) {
        ini = entry.path();
      }
    }
    if (ini.empty()) {
      report.findings.push_back({target.string(), 0, Severity::Error,
                                 "no SETUP.INI in the folder; the program shows its start-up error"});
      return report;
    }
  } else if (fs::is_regular_file(target)) {
    ini = target;
    folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  } else {
    report.findings.push_back({target.string(), 0, Severity::Error, "no such file or folder"});
    return report;
  }
  std::string name = NameOf(fs::is_directory(target) ? target / ini.filename() : target);
  DryRunResult run = DryRun(folder, layout, choices, ini);
  report.findings = Checker(name, ReadBytes(ini), folder, run).Run();
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return report;
}

std::string FormatText(const CheckReport& report) {
  std::string out;
  for (const Finding& f : report.findings) {
    out += f.file + ":" + (f.line ? std::to_string(f.line) + ":" : std::string()) + " " +
           (f.severity == Severity::Error ? "error" : "warning") + ": " + f.text + "\n";
  }
  return out;
}

std::string FormatJson(const CheckReport& report) {
  std::string out = "{\n  \"findings\": [";
  for (size_t i = 0; i < report.findings.size(); ++i) {
    const Finding& f = report.findings[i];
    out += i ? ",\n    " : "\n    ";
    out += "{\"file\": " + JsonString(f.file) + ", \"line\": " + std::to_string(f.line) +
           ", \"severity\": \"" + (f.severity == Severity::Error ? "error" : "warning") +
           "\", \"message\": " + JsonString(f.text) + "}";
  }
  out += report.findings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"errors\": " + std::to_string(report.Errors()) + ",\n  \"warnings\": " +
         std::to_string(report.Warnings()) + "\n}\n";
  return out;
}

}  // namespace qs::kit
