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
#include "tools/setupkit/PathRules.h"
#include "tools/setupkit/Text.h"

namespace qs::kit {
namespace fs = std::filesystem;
namespace {

constexpr CodePage kCp = kUtf8;
constexpr const char* kIniPath = "D:\\SETUP.INI";

std::string Head(const std::string& value, size_t n) { return value.substr(0, n); }
std::string Tail(const std::string& value, size_t from) {
  return value.size() > from ? value.substr(from) : std::string();
}
std::string Quote(const std::string& text) { return "'" + text + "'"; }
std::string LineNote(int line) { return " (line " + std::to_string(line) + ")"; }

// Edit distance between two names, ASCII letter case aside.
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

bool KnownSection(const std::string& name) {
  return std::any_of(std::begin(kDefinitionKeys), std::end(kDefinitionKeys),
                     [&](const DefinitionKey* key) { return SameProfileName(key->section, name); });
}

// The table's sections, or its keys of one section (each numbered key with
// the number the misspelt name ends in), that are close to name.
std::string DidYouMean(const std::string& name, const std::string* section) {
  std::string digits = name.substr(name.find_last_not_of("0123456789") + 1);
  std::set<std::string> offered;
  std::string text;
  for (const DefinitionKey* key : kDefinitionKeys) {
    if (section && !SameProfileName(key->section, *section)) continue;
    std::string candidate = !section      ? key->section
                            : key->limit ? key->name + (digits.empty() ? "1" : digits)
                                         : key->name;
    if (Distance(candidate, name) <= 2 && offered.insert(candidate).second) {
      text += section ? "; did you mean " + candidate + "?" : "; did you mean [" + candidate + "]?";
    }
  }
  return text;
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
    if (value != text && UpperName(value) == UpperName(text)) return std::string(text);
  }
  return std::nullopt;
}

// A path as a key of the maps below: upper case, no trailing backslash.
std::string PathKey(const std::string& path) {
  return UpperName(DelBackslash(path, PathEnd::Trailing, kCp));
}

// Where an earlier entry put something: its key's name and line.
struct Origin {
  std::string key;
  int line = 0;
  std::string what;  // what it put there (a link's target, a value's data)
};

class Checker {
 public:
  Checker(std::string file, std::string bytes, fs::path folder, const Layout& layout,
          const DryRunResult& run)
      : file_(std::move(file)), bytes_(std::move(bytes)), folder_(std::move(folder)),
        layout_(layout), run_(run) {
    os_.AddFile(kIniPath, bytes_);
    folders_ = {run.installFolder, run.values.programFilesFolder, run.values.windowsFolder,
                run.values.systemFolder};
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
      if (entry.is_regular_file()) files_[UpperName(NameOf(entry.path().filename()))] = entry.path();
    }
    for (const Step& step : run.install) {
      if (step.kind == "file") installed_.insert(UpperName(step.path));
    }
  }

  std::vector<Finding> Run() {
    if (!Encoding()) return findings_;
    definition_.emplace(os_, kIniPath);
    Structure();
    InstallFolder();
    Title();
    Folders();
    Files();
    ShortCuts();
    Registry();
    DeleteRegistry();
    Readme();
    ExecuteFile();
    RunOutcome();
    return findings_;
  }

 private:
  void Add(int line, Severity severity, const std::string& text) {
    findings_.push_back({file_, line > 0 ? line : 1, severity, text});
  }
  void Error(int line, const std::string& text) { Add(line, Severity::Error, text); }
  void Warn(int line, const std::string& text) { Add(line, Severity::Warning, text); }

  const DefinitionFile& Definition() const { return *definition_; }
  std::string Get(const DefinitionKey& key, int n = 0, const std::string& fallback = "") const {
    return Definition().Get(key, n, fallback);
  }
  // The key's line; else the line of its section; else 0.
  int LineOf(const DefinitionKey& key, int n = 0) const {
    if (std::optional<DefinitionEntry> entry = Definition().Find(key, n)) return entry->line;
    for (const ProfileText::Section& section : Definition().text().sections()) {
      if (section.line && SameProfileName(section.name, key.section)) return section.line;
    }
    return 0;
  }
  void Note(const std::string& path, int line) { lineOfPath_[PathKey(path)] = line; }

  // The file's bytes as the program reads them. False when they are no
  // text it can read at all.
  bool Encoding() {
    TextVerdict verdict = JudgeText(bytes_);
    if (!verdict.Readable()) {
      int line = verdict.kind == TextVerdict::BadUtf8 || verdict.kind == TextVerdict::BadShiftJis ||
                         verdict.kind == TextVerdict::Utf8Unmarked
                     ? LineAt(verdict.offset)
                     : 1;
      Error(line, "the file " + verdict.Problem());
      if (verdict.kind != TextVerdict::BadUtf8 && verdict.kind != TextVerdict::BadShiftJis &&
          verdict.kind != TextVerdict::Utf8Unmarked) {
        return false;
      }
    }
    if (verdict.kind == TextVerdict::Utf16Marked) return true;
    for (size_t i = 0; i < bytes_.size(); ++i) {
      if (bytes_[i] == '\n' && (i == 0 || bytes_[i - 1] != '\r')) {
        Warn(LineAt(i), "line ends are LF only; Windows files end their lines with CR LF");
        break;
      }
    }
    return true;
  }
  // The line of a byte, counted as the profile reader counts lines.
  int LineAt(size_t offset) const {
    int line = 1;
    for (size_t i = 0; i < offset && i < bytes_.size(); ++i) {
      if (bytes_[i] == '\n' || (bytes_[i] == '\r' && (i + 1 == bytes_.size() || bytes_[i + 1] != '\n'))) {
        ++line;
      }
    }
    return line;
  }

  // Every line of the file against the table of keys: what is never read,
  // and why.
  void Structure() {
    const std::vector<ProfileText::Section>& sections = Definition().text().sections();
    for (const ProfileText::Entry& entry : sections[0].entries) {
      if (entry.name[0] == ';') continue;
      Warn(entry.line, Quote(entry.name) + " is outside any section; the program never reads it");
    }
    std::map<std::string, int> seen;
    for (size_t i = 1; i < sections.size(); ++i) {
      const ProfileText::Section& section = sections[i];
      if (!KnownSection(section.name)) {
        Warn(section.line, "section [" + section.name + "] is never read" +
                               DidYouMean(section.name, nullptr));
        continue;
      }
      auto [first, fresh] = seen.emplace(UpperName(section.name), section.line);
      if (!fresh) {
        Warn(section.line, "a second [" + section.name + "] section; the program reads only the "
                           "first one" + LineNote(first->second));
        continue;
      }
      SectionKeys(section);
    }
  }

  // The keys of a section the program reads: each read, within its limit,
  // once, with a value it reads as meant.
  void SectionKeys(const ProfileText::Section& section) {
    std::map<std::string, int> keys;
    for (const ProfileText::Entry& entry : section.entries) {
      const std::string where = "[" + section.name + "] " + entry.name;
      if (entry.name[0] == ';') continue;
      if (entry.name[0] == '[') {
        Warn(entry.line, "a section line without ']'; the line is ignored");
        continue;
      }
      if (!entry.value) {
        Warn(entry.line, Quote(entry.name) + " has no '='; the line is ignored");
        continue;
      }
      int number = 0;
      const DefinitionKey* key = FindDefinitionKey(section.name, entry.name, &number);
      if (!key) {
        Warn(entry.line, where + " is never read" + DidYouMean(entry.name, &section.name));
      } else if (number > key->limit && key->limit) {
        Warn(entry.line, where + " is beyond the limit of " + std::to_string(key->limit) +
                             " and is never read");
      } else if (auto [first, fresh] = keys.emplace(UpperName(entry.name), entry.line); !fresh) {
        Warn(entry.line, entry.name + " appears twice in [" + section.name +
                             "]; the program reads only the first one" + LineNote(first->second));
      } else {
        ReadValue(entry, *key, number);
      }
    }
  }

  // A value as the reader hands it out: its quotes, its length.
  void ReadValue(const ProfileText::Entry& entry, const DefinitionKey& key, int number) {
    const std::string& raw = *entry.value;
    const bool opened = !raw.empty() && (raw[0] == '"' || raw[0] == '\'');
    if ((opened && (raw.size() < 2 || raw.back() != raw[0])) ||
        std::count(raw.begin(), raw.end(), '"') % 2) {
      Warn(entry.line, entry.name + ": an unmatched quotation mark; the value is read with it, as " +
                           Quote(Get(key, number)));
    }
    const std::string whole = ProfileValueForBuffer(raw, 1 << 20);
    const std::string read = Get(key, number);
    if (read.size() < whole.size()) {
      Warn(entry.line, entry.name + " is " + std::to_string(Utf8Length(whole)) +
                           " characters long; the program reads only the first " +
                           std::to_string(Utf8Length(read)) + ", " +
                           Quote(read.substr(read.size() - std::min<size_t>(20, read.size()))) +
                           " is where it stops");
    }
  }
  static size_t Utf8Length(const std::string& text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++n) NextCodePoint(text, i);
    return n;
  }

  // Why Windows would not hold a path the definition leads to.
  void PathRules(int line, const std::string& key, const std::string& path) {
    std::string problem = PathProblem(path);
    if (!problem.empty()) Error(line, key + ": " + Quote(path) + ": " + problem);
  }

  // A folder-marker path: the first five characters select the folder.
  void FolderMarker(int line, const std::string& key, const std::string& value) {
    std::string marker = Head(value, 5);
    std::string resolved = ResolveMarkerPath(value, folders_, kCp);
    PathRules(line, key, resolved);
    if (OneOf(marker, kFolderMarkers)) return;
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

  // The proposed install folder must be the product's own: the record goes
  // into it, and the uninstall removes it.
  void InstallFolder() {
    std::optional<DefinitionEntry> entry = Definition().Find(keys::kDefaultFolder);
    const std::string value = entry ? entry->value : "(Prg)\\";
    const int line = LineOf(keys::kDefaultFolder);
    const std::string marker = Head(value, 5);
    const std::string proposed = ResolveDefaultFolder(value, folders_, kCp);
    if (marker == markers::kApp) {
      Warn(line, "(App) means nothing in [DefaultFolder]; the proposed folder is " + Quote(proposed));
    } else if (std::optional<std::string> right = CaseVariant(marker, kDefaultFolderMarkers)) {
      Error(line, "Folder: the marker " + Quote(marker) + " is not recognised (letter case "
                  "counts); write " + Quote(*right) + ". The proposed folder is " + Quote(proposed));
    } else if (OneOf(marker, kDefaultFolderMarkers) && value.size() > 5 && value[5] != '\\') {
      Warn(line, "Folder: the rest is joined without a backslash, giving " + Quote(proposed) +
                     "; start it with '\\'");
    }
    PathRules(line, "Folder", proposed);
    const std::string upper = PathKey(proposed);
    const std::string boot = ParentFolder(folders_.windowsFolder, kCp);
    bool shared = upper.size() <= 2 || upper == PathKey(boot);
    for (const std::string* folder : {&folders_.programFilesFolder, &folders_.windowsFolder,
                                      &folders_.systemFolder}) {
      shared |= upper == PathKey(*folder);
    }
    if (!shared) return;
    Error(line, std::string(entry ? "Folder" : "no [DefaultFolder] Folder") + ": the install "
                "folder is " + Quote(proposed) + " itself; the record goes there, and the "
                "uninstall removes that folder when it is empty. Name the product's own folder, "
                "such as (Prg)\\Acme");
  }

  // The product's name in the list of installed programs.
  void Title() {
    const Titles titles = ReadTitles(Definition());
    const std::string name = ReadUnSetupKey(Definition(), titles.unSetup);
    int line = LineOf(keys::kUnSetupKey);
    if (std::optional<DefinitionEntry> key = Definition().Find(keys::kUnSetupKey);
        key && key->value.empty()) {
      Warn(line, "UnSetupKey is empty, so the product is registered as " + Quote(name) +
                     " (the uninstall title); give the name or leave the key out");
    }
    if (name == kProductName) {
      Error(line, "the product is registered as " + Quote(name) + ", the program's own name, as "
                  "every product without a [Title] is: one such product's entry in the list of "
                  "installed programs replaces another's. Give [Title] UnSetupKey");
    } else if (kCp.FindFirstOf(name, "\\") != std::string::npos) {
      Error(line, "the registration's name " + Quote(name) + " holds '\\': it goes a key deeper, "
                  "where the list of installed programs does not look");
    }
  }

  void Folders() {
    for (const DefinitionEntry& folder : Definition().List(keys::kMakeFolder)) {
      FolderMarker(folder.line, KeyName(keys::kMakeFolder, folder.number), folder.value);
      Note(ResolveMarkerPath(folder.value, folders_, kCp), folder.line);
    }
  }

  void Files() {
    std::map<std::string, Origin> destinations;
    for (const DefinitionEntry& file : Definition().List(keys::kCopyFile)) {
      const std::string key = KeyName(keys::kCopyFile, file.number);
      CopyFileValue entry = SplitCopyFileValue(file.value);
      FolderMarker(file.line, key, entry.path);
      std::string destination = ResolveMarkerPath(entry.path, folders_, kCp);
      Note(destination, file.line);
      if (!entry.flag.empty() && !OneOf(entry.flag, kFileFlags)) {
        Error(file.line, key + ": the flag " + Quote(entry.flag) + " is none of ,/F ,/C ,/L; a "
                         "comma always starts the flag, so a path cannot hold one");
      }
      std::string name = FileNamePart(entry.path, kCp);
      auto found = files_.find(UpperName(name));
      if (found == files_.end()) {
        Error(file.line, key + ": the source file " + Quote(name) + " is not beside SETUP.INI; "
                         "the program skips the entry without a word");
        continue;
      }
      if (std::optional<std::string> expanded =
              CopiedSource(file.line, key, destination, ReadBytes(found->second))) {
        destination = *expanded;
      }
      auto [first, fresh] = destinations.emplace(PathKey(destination), Origin{key, file.line, ""});
      if (!fresh) {
        Error(file.line, key + ": " + Quote(destination) + " is installed by " + first->second.key +
                             LineNote(first->second.line) + " already. The window asks whether "
                             "to replace it; under /S the second copy keeps it and counts as a "
                             "failed step (exit code 1)");
      }
    }
  }

  // What the run does with the source of a [CopyFile] entry: compressed or
  // not, by its name and by its contents. The path the file is installed
  // under when it is expanded.
  std::optional<std::string> CopiedSource(int line, const std::string& key,
                                          const std::string& destination,
                                          const std::string& bytes) {
    const std::string name = FileNamePart(destination, kCp);
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
      return std::nullopt;
    }
    if (kind == qs::SzddKind::NotCompressed) {
      Error(line, key + ": " + Quote(name) + " ends in '_' but is not an SZDD file; it is "
                  "installed unchanged under the name " + Quote(name));
      return std::nullopt;
    }
    // The run reports a failed copy under the name the file expands to.
    std::string expanded = FolderPart(destination, kCp) +
                           UpperName(qs::SzddExpandedName(name, header.missingChar, kCp));
    Note(expanded, line);
    if (kind == qs::SzddKind::UnknownMode) {
      Error(line, key + ": " + Quote(name) + " is an SZDD file of an unknown mode; it cannot "
                  "be expanded and is not installed");
    } else if (std::optional<std::string> data = qs::SzddExpand(bytes);
               !data || data->size() != header.length) {
      Error(line, key + ": " + Quote(name) + " is a damaged SZDD stream: its header says " +
                  std::to_string(header.length) + " bytes, it expands to " +
                  std::to_string(data ? data->size() : 0));
    } else if (header.missingChar == 0) {
      Warn(line, key + ": the header of " + Quote(name) + " keeps no last character; it is "
                 "installed as " + Quote(FileNamePart(expanded, kCp)));
    }
    return expanded;
  }

  void ShortCuts() {
    std::map<std::string, Origin> links;
    for (const DefinitionEntry& name : Definition().List(keys::kShortCutName)) {
      if (Definition().Get(keys::kShortCutMake, name.number).empty() && name.value != "Default") {
        Warn(name.line, KeyName(keys::kShortCutName, name.number) + " is never used: " +
                            KeyName(keys::kShortCutMake, name.number) + " is missing");
      }
    }
    for (const DefinitionEntry& make : Definition().List(keys::kShortCutMake)) {
      const std::string makeKey = KeyName(keys::kShortCutMake, make.number);
      const std::string nameKey = KeyName(keys::kShortCutName, make.number);
      FolderMarker(make.line, makeKey, make.value);
      std::string target = ResolveMarkerPath(make.value, folders_, kCp);
      if (!run_.stopped && !installed_.count(UpperName(target))) {
        Warn(make.line, makeKey + ": the target " + Quote(target) + " is not installed by this "
                        "package");
      }
      std::string name = Get(keys::kShortCutName, make.number, "Default");
      const int nameLine = Definition().Find(keys::kShortCutName, make.number)
                               ? LineOf(keys::kShortCutName, make.number)
                               : make.line;
      if (name == "Default") name = FileNamePart(target, kCp);
      std::string placed = ShortCutNameWithPlace(name);
      std::string marker = Head(placed, 5);
      std::string linkName = Tail(placed, 5);
      if (std::optional<std::string> right = CaseVariant(marker, kPlaceMarkers)) {
        Error(nameLine, nameKey + ": the place marker " + Quote(marker) + " is not recognised "
                        "(letter case counts); write " + Quote(*right) + ". As it is, the link " +
                        Quote(linkName) + " goes to the programs folder");
      } else if (!OneOf(marker, kPlaceMarkers)) {
        Warn(nameLine, nameKey + ": " + Quote(marker) + " is no place marker ((Dsk), (Sta), "
                       "(Sup), (Sen)); the link " + Quote(linkName) + " goes to the programs folder");
      }
      std::string link = JoinPath(layout_.specialFolders.count(CsidlOfPlace(marker))
                                      ? layout_.specialFolders.at(CsidlOfPlace(marker))
                                      : std::string(),
                                  linkName, kCp) + ".lnk";
      if (FileNamePart(link, kCp) == ".lnk") {
        Error(nameLine, nameKey + ": the link has no name; the program makes " + Quote(link));
        continue;
      }
      if (std::string problem = PathProblem(linkName, false); !problem.empty()) {
        Error(nameLine, nameKey + ": " + Quote(linkName) + ": " + problem + "; no usable link is made");
        continue;
      }
      Note(link, nameLine);
      Note(FolderPart(link, kCp), nameLine);
      auto [first, fresh] = links.emplace(PathKey(link), Origin{nameKey, nameLine, target});
      if (fresh) continue;
      if (UpperName(first->second.what) == UpperName(target)) {
        Warn(nameLine, nameKey + ": the link " + Quote(link) + " is made by " + first->second.key +
                           LineNote(first->second.line) + " already");
      } else {
        Error(nameLine, nameKey + ": the link " + Quote(link) + " is made by " + first->second.key +
                            LineNote(first->second.line) + " already, to " +
                            Quote(first->second.what) + "; this one replaces it with a link to " +
                            Quote(target));
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
    return DelBackslash(DelBackslash(ParseRegistryKey(value).path, PathEnd::Leading, kCp),
                        PathEnd::Trailing, kCp);
  }

  // Each [Registry] entry as the program writes it.
  void Registry() {
    for (int n = 1; n <= keys::kRegistryKey.limit; ++n) {
      const std::string num = std::to_string(n);
      std::string key = Get(keys::kRegistryKey, n);
      std::string name = Get(keys::kRegistryName, n);
      std::string value = Get(keys::kRegistryValue, n);
      int line = LineOf(keys::kRegistryKey, n);
      if (key.empty()) {
        if (!name.empty() || !value.empty()) {
          int other = Definition().Find(keys::kRegistryName, n) ? LineOf(keys::kRegistryName, n)
                                                                : LineOf(keys::kRegistryValue, n);
          Warn(other, "Name" + num + " and Value" + num + " are never used: Key" + num +
                          " is missing");
        }
        continue;
      }
      RootMarker(line, "Key" + num, key, kWrittenAsIs);
      if (KeyPath(key).empty()) Error(line, "Key" + num + ": no key path after the root marker");
      Note(RegistryName(ParseRegistryKey(key).root, KeyPath(key)), line);
      if (name.empty()) {
        Warn(line, "Key" + num + " has no Name" + num + "; the program drops the entry");
        continue;
      }
      ValueType(n, value);
      SameValue(n, key, name, value);
    }
  }
  static std::string RegistryName(RegRoot root, const std::string& path) {
    return std::string(fake::RegRootName(root)) + "\\" + path;
  }

  // A value's type marker, spelt as the program knows it; a number that
  // reads as one; markers the program never expands there.
  void ValueType(int n, const std::string& value) {
    const std::string key = KeyName(keys::kRegistryValue, n);
    int line = LineOf(keys::kRegistryValue, n);
    std::string marker = Head(value, 5);
    if (std::optional<std::string> right = CaseVariant(marker, kTypeMarkers)) {
      Error(line, key + ": the type marker " + Quote(marker) + " is not recognised (letter case "
                  "counts); write " + Quote(*right) + ". As it is, the string " + Quote(value) +
                  " is written");
      return;
    }
    if (marker == markers::kInt && ParseIntValue(Tail(value, 5)) == 0 &&
        !IsZeroText(Tail(value, 5))) {
      Error(line, key + ": " + Quote(Tail(value, 5)) + " is not a 32-bit number (decimal digits, "
                  "or '$' and hexadecimal digits); 0 is written");
    }
    if (!value.empty() && !OneOf(marker, kTypeMarkers)) {
      Warn(line, key + ": no type marker ((Str) or (Int)); the whole value " + Quote(value) +
                     " is written as a string");
    }
    for (const char* folder : kFolderMarkers) {
      if (ContainsMarker(value, folder)) {
        Warn(line, key + ": " + Quote(folder) + " is not expanded in a registry value; the text " +
                       Quote(ParseRegistryValue(value).text) + " is written as it is");
        break;
      }
    }
  }

  // The same value of the same key written twice.
  void SameValue(int n, const std::string& key, const std::string& name, const std::string& value) {
    const RegistryKeyRef ref = ParseRegistryKey(key);
    const std::string where = UpperName(RegistryName(ref.root, KeyPath(key))) + "|" + UpperName(name);
    const RegValue data = ParseRegistryValue(value);
    const std::string written = data.kind == RegValue::Kind::Dword ? "(Int)" + std::to_string(data.number)
                                                                    : "(Str)" + data.text;
    const std::string valueKey = KeyName(keys::kRegistryName, n);
    const int line = LineOf(keys::kRegistryName, n);
    auto [first, fresh] = values_.emplace(where, Origin{valueKey, line, written});
    if (fresh) return;
    if (first->second.what == written) {
      Warn(line, valueKey + ": the value " + Quote(name) + " is written by entry " +
                     first->second.key.substr(4) + LineNote(first->second.line) + " already");
    } else {
      Error(line, valueKey + ": the value " + Quote(name) + " is written by entry " +
                      first->second.key.substr(4) + LineNote(first->second.line) +
                      " already; the second write replaces the first");
    }
  }

  // The keys the uninstaller removes, read as it reads them; what it keeps
  // is what the dry run's uninstall listed.
  void DeleteRegistry() {
    for (const DefinitionEntry& entry : Definition().List(keys::kDeleteRegistry)) {
      std::string key = KeyName(keys::kDeleteRegistry, entry.number);
      RootMarker(entry.line, key, entry.value, kRemovedAsIs);
      RegistryKeyRef removed = ParseRemovalKey(entry.value);
      std::string path =
          DelBackslash(DelBackslash(removed.path, PathEnd::Leading, kCp), PathEnd::Trailing, kCp);
      if (path.empty()) {
        Error(entry.line, key + ": no key path after the root marker");
      } else if (run_.uninstallFailureList.find(text::kTagRegistry + entry.value + "\r\n") !=
                 std::string::npos) {
        Warn(entry.line, key + ": " + Quote(RegistryName(removed.root, path)) +
                             " is kept by the uninstaller, which lists it as failed: it is one of "
                             "the system's keys, or a first-level key the installation does not "
                             "make; name the product's own key");
      }
    }
  }

  // The readme the program shows: where the definition says, in a form it
  // reads.
  void Readme() {
    std::string file = Get(keys::kReadmeFile);
    if (file.empty()) return;
    int line = LineOf(keys::kReadmeFile);
    if (std::string problem = PathProblem(file, false); !problem.empty()) {
      Error(line, "File: " + Quote(file) + ": " + problem);
    }
    std::optional<fs::path> path = FindInProduct(folder_, file);
    if (!path) {
      Warn(line, "the readme " + Quote(file) + " is missing; no readme is shown");
      return;
    }
    TextVerdict verdict = JudgeText(ReadBytes(*path));
    if (!verdict.Readable()) Error(line, "the readme " + Quote(file) + " " + verdict.Problem());
  }

  void ExecuteFile() {
    std::string value = Get(keys::kExecuteFile);
    if (value.empty()) return;
    int line = LineOf(keys::kExecuteFile);
    FolderMarker(line, "File", value);
    std::string path = ResolveMarkerPath(value, folders_, kCp);
    if (!run_.stopped && !installed_.count(UpperName(path))) {
      Warn(line, "File: " + Quote(path) + " is not installed by this package; if it is not "
                 "there, nothing is opened and nothing is said");
    }
  }

  // The line of the entry that led to a path the run used; 0 when none did.
  int LineOfPath(const std::string& path) const {
    auto at = lineOfPath_.find(PathKey(path));
    return at == lineOfPath_.end() ? 0 : at->second;
  }

  // What the dry run met: failed steps, an error that ends the run, paths
  // the record cannot hold, each at the line of the entry behind it.
  void RunOutcome() {
    const int folderLine = LineOf(keys::kDefaultFolder);
    if (run_.stopped) {
      Error(folderLine, "the install folder " + Quote(run_.installFolder) + " cannot be made: the "
                        "program creates its last level only, and the folder above it is not "
                        "there on a fresh Windows");
    }
    if (!run_.runError.empty()) {
      const Step* last = run_.install.empty() ? nullptr : &run_.install.back();
      std::string at = last ? " at the step: " + last->kind + " " + last->path +
                                  (last->detail.empty() ? "" : " [" + last->detail + "]")
                            : "";
      Error(last ? LineOfPath(last->path) : 0,
            "the install run ends early with the error report " + Quote(run_.runError) + at);
    }
    for (const std::string& failed : NonEmptyLines(run_.failureList)) {
      size_t tag = failed.find("> ");
      Error(tag == std::string::npos ? 0 : LineOfPath(failed.substr(tag + 2)),
            "the install would fail a step: " + failed);
    }
  }

  std::string file_;
  std::string bytes_;
  fs::path folder_;
  const Layout& layout_;
  const DryRunResult& run_;
  fake::FakePlatform os_;
  std::optional<DefinitionFile> definition_;
  MarkerFolders folders_;
  std::map<std::string, fs::path> files_;  // by upper-case name
  std::set<std::string> installed_;
  std::map<std::string, int> lineOfPath_;  // by PathKey: the entry that led to it
  std::map<std::string, Origin> values_;   // registry values by key and name
  std::vector<Finding> findings_;
};

}  // namespace

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

int CheckReport::Errors() const {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [](const Finding& f) { return f.severity == Severity::Error; }));
}
int CheckReport::Warnings() const { return static_cast<int>(findings.size()) - Errors(); }
int CheckReport::ExitCode() const {
  if (!unreadable.empty()) return kKitUnreadable;
  return findings.empty() ? kKitClean : kKitFindings;
}

CheckReport CheckProduct(const fs::path& target, const Layout& layout, const Choices& choices) {
  CheckReport report;
  fs::path folder = target, ini;
  if (fs::is_directory(target)) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(target, ec)) {
      if (entry.is_regular_file() && UpperName(NameOf(entry.path().filename())) == "SETUP.INI") {
        ini = entry.path();
      }
    }
    if (ini.empty()) {
      report.unreadable = NameOf(target) + ": no SETUP.INI in the folder; the program shows its "
                          "start-up error";
      return report;
    }
  } else if (fs::is_regular_file(target)) {
    ini = target;
    folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  } else {
    report.unreadable = NameOf(target) + ": no such file or folder";
    return report;
  }
  std::string name = NameOf(fs::is_directory(target) ? target / ini.filename() : target);
  DryRunResult run = DryRun(folder, layout, choices, ini);
  report.findings = Checker(name, ReadBytes(ini), folder, layout, run).Run();
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return report;
}

std::string FormatText(const CheckReport& report) {
  std::string out;
  for (const Finding& f : report.findings) {
    out += f.file + ":" + std::to_string(f.line) + ":" +
           (f.column ? std::to_string(f.column) + ":" : std::string()) + " " +
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
           (f.column ? ", \"column\": " + std::to_string(f.column) : std::string()) +
           ", \"severity\": \"" + (f.severity == Severity::Error ? "error" : "warning") +
           "\", \"message\": " + JsonString(f.text) + "}";
  }
  out += report.findings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"errors\": " + std::to_string(report.Errors()) + ",\n  \"warnings\": " +
         std::to_string(report.Warnings()) + "\n}\n";
  return out;
}

}  // namespace qs::kit
