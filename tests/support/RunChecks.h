// Invariants of the runs over the fake world, shared by the fault-injection
// tests and the fuzz targets: what the disk and the registry held before a
// run, and what an uninstall may have removed.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "data/ProgramValues.h"
#include "core/ShortCut.h"
#include "data/UninstallRecord.h"
#include "core/Sha256.h"
#include "platform/ProfileText.h"
#include "tests/support/FakePlatform.h"

namespace qs::test {

// The program's values for a test world: the product on C:\CD, the
// temporary folder C:\TEMP, Windows in C:\WINDOWS; uninstalling, the record
// named on the command line.
inline ProgramValues WorldValues(const std::string& infoFile, const std::string& title,
                                 const std::string& recordFile = "") {
  ProgramValues values;
  values.sourceFolder = "C:\\CD\\";
  values.tempFolder = "C:\\TEMP\\";
  values.infoFile = infoFile;
  values.recordFile = recordFile;
  values.setupTitle = values.unSetupTitle = title;
  values.windowsFolder = "C:\\WINDOWS";
  values.systemFolder = "C:\\WINDOWS\\SYSTEM32";
  values.programFilesFolder = "C:\\Program Files";
  return values;
}

// A system for a run: TEMP, the system folder, and the desktop and
// programs folders below folder.
inline void PrepareSystem(FakePlatform& os, const std::string& folder) {
  os.AddFolder("C:\\TEMP");
  os.AddFolder("C:\\WINDOWS\\SYSTEM32");
  os.specialFolders[kCsidlDesktop] = folder + "\\Desktop";
  os.specialFolders[kCsidlPrograms] = folder + "\\Programs";
  os.AddFolder(folder + "\\Desktop");
  os.AddFolder(folder + "\\Programs");
}

// What an uninstall record names, in the terms the checks compare: paths
// upper-cased with "/" read as "\", a file's flag cut off its end,
// registry keys with their root marker, the install folder; and the
// registration's key path as written.
struct RecordNames {
  std::set<std::string> entries;
  std::string registration;
  std::set<std::string> created;  // [CreatedRegistry], upper case, marker included
};

namespace detail {

inline std::string RecordPath(const std::string& entry) {
  return fake::UpperText(fake::NormalPath(entry, kUtf8));
}

// The record read from its text by the checks themselves, not by the
// program's reader: the sections, numbered keys and their limits are the
// layout data/UninstallRecord.h documents, spelt out here again. The profile
// file's own rules (names in any letter case, the first section or key of a
// name, blanks trimmed, a pair of quotes dropped, each value read through the
// program's 255-byte buffer) are the system's, as the in-memory Windows
// models them.
inline RecordNames ReadRecordText(FakePlatform& os, const std::string& record) {
  const ProfileText text(DecodeText(os, os.Contents(record).value_or("")).text);
  auto value = [&](const std::string& section, const std::string& key) {
    return ProfileValueForBuffer(text.Find(section, key).value_or(""), 255);
  };
  struct List {
    const char* section;
    const char* key;
    int count;
    bool paths, flagged;
  };
  const List lists[] = {{"DeleteFolder", "Folder", 20, true, false},
                        {"DeleteFile", "File", 101, true, true},
                        {"DeleteShortCut", "File", 20, true, false},
                        {"DeleteRegistry", "Key", 20, false, false}};
  RecordNames names;
  for (int n = 1; n <= 20; ++n) {
    std::string key = value("CreatedRegistry", "Key" + std::to_string(n));
    if (!key.empty()) names.created.insert(fake::UpperText(key));
  }
  for (const List& list : lists) {
    for (int n = 1; n <= list.count; ++n) {
      std::string entry = value(list.section, list.key + std::to_string(n));
      if (entry.empty()) continue;
      // A flag is one of the three, at the very end; any other comma is
      // part of the path.
      const bool flag = entry.size() >= 3 && (entry.ends_with(",/F") || entry.ends_with(",/C") ||
                                              entry.ends_with(",/L"));
      if (list.flagged && flag) entry.resize(entry.size() - 3);
      names.entries.insert(list.paths ? RecordPath(entry) : fake::UpperText(entry));
    }
  }
  if (std::string folder = value("SetupFolder", "Folder"); !folder.empty()) {
    names.entries.insert(RecordPath(folder));
  }
  names.registration = value("UnSetupRegistryKey", "Key");
  return names;
}

// The same, as the uninstaller reads it with the program's own reader.
inline RecordNames ReadRecordAsTheProgram(Platform& os, const std::string& record) {
  RecordNames names;
  UninstallRecord read = ReadUninstallRecord(os, record);
  for (const RecordedFile& file : read.files) names.entries.insert(RecordPath(file.path));
  for (const auto* list : {&read.folders, &read.shortCuts}) {
    for (const std::string& entry : *list) names.entries.insert(RecordPath(entry));
  }
  for (const std::string& key : read.registryKeys) names.entries.insert(fake::UpperText(key));
  if (!read.setupFolder.empty()) names.entries.insert(RecordPath(read.setupFolder));
  names.registration = read.registrationKey;
  for (const std::string& key : read.createdKeys) names.created.insert(fake::UpperText(key));
  return names;
}

}  // namespace detail

// What the record names, by the checks' own reading of it, which decides
// what an uninstall may remove. Where the program's reader reads it
// otherwise, a line goes to problems: a reader that names more than the
// record would otherwise approve its own removals.
inline RecordNames NamedByRecord(FakePlatform& os, const std::string& record,
                                 std::vector<std::string>& problems) {
  RecordNames own = detail::ReadRecordText(os, record);
  RecordNames program = detail::ReadRecordAsTheProgram(os, record);
  for (const std::string& entry : program.entries) {
    if (!own.entries.count(entry)) problems.push_back("the reader names what the record does not: " + entry);
  }
  for (const std::string& entry : own.entries) {
    if (!program.entries.count(entry)) problems.push_back("the reader misses a record entry: " + entry);
  }
  if (program.registration != own.registration) {
    problems.push_back("the reader's registration " + program.registration + ", the record's " +
                       own.registration);
  }
  if (program.created != own.created) problems.push_back("the reader reads other created keys");
  return own;
}

// The disk and the registry: every file's contents by upper-cased path,
// every folder (no trailing backslash), every key ("HKEY_...\PATH", upper case).
struct Snapshot {
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::set<std::string> keys;
};

inline Snapshot Take(const FakePlatform& os) {
  Snapshot shot;
  for (const std::string& path : os.ListTree("C:\\")) {
    if (std::optional<std::string> data = os.Contents(path)) {
      shot.files[fake::UpperText(path)] = *data;
    } else {
      std::string folder = fake::UpperText(path);
      while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
      shot.folders.insert(folder);
    }
  }
  for (const std::string& key : os.RegistryKeys()) shot.keys.insert(key);
  return shot;
}

// How far the world lets an uninstall trust its record, by the checks' own
// reading: the registration names the record (its path between the
// command's quotes) and holds the SHA-256 of the copy's bytes.
// NotOwn: the registration the record names belongs to another record (or
// is missing): it must stay too.
enum class Trust { Signed, Unsigned, Changed, NotOwn };

inline Trust TrustOf(FakePlatform& os, const std::string& copy, const std::string& registration,
                     const std::string& recordFile) {
  auto text = [&](const char* name) {
    std::optional<RegValue> value = os.GetRegistryValue(RegRoot::LocalMachine, registration, name);
    return value ? value->text : std::string();
  };
  const std::string command = text("UninstallString");
  const size_t open = command.find('"'), close = command.find('"', open + 1);
  const std::string named = close == std::string::npos ? "" : command.substr(open + 1, close - open - 1);
  if (recordFile.empty() || detail::RecordPath(named) != detail::RecordPath(recordFile)) {
    return Trust::NotOwn;
  }
  const std::string digest = text("UninstallRecordSHA256");
  if (digest.empty()) return Trust::Unsigned;
  const std::string bytes = os.Contents(copy).value_or("");
  std::string hex;
  for (uint8_t byte : Sha256Of(bytes.data(), bytes.size())) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 15];
  }
  return hex == digest ? Trust::Signed : Trust::Changed;
}

// Where an uninstall may touch anything, spelt out by the checks: files in
// the install folder's tree (the folder of the record named on the command
// line, unless a drive root or one that holds Windows), below Program
// Files, directly in the Windows or system folder or the boot drive's root;
// folders in the install tree or below Program Files or below a shell place
// (the folders of links); links below the four shell places. A changed
// record: the install tree and the links only, and no registry key but the
// registration.
struct Places {
  std::string install, programFiles, windows, system, boot;
  std::vector<std::string> shell;
  Trust trust = Trust::Changed;
};

inline std::string PlaceKey(const std::string& path) {
  std::string key = detail::RecordPath(path);
  while (key.size() > 3 && key.back() == '\\') key.pop_back();
  return key;
}

inline Places PlacesOf(const FakePlatform& os, const ProgramValues& values, Trust trust) {
  Places places;
  places.windows = PlaceKey(values.windowsFolder);
  places.system = PlaceKey(values.systemFolder);
  places.programFiles = PlaceKey(values.programFilesFolder);
  places.boot = places.windows.substr(0, 3);
  for (const auto& [csidl, folder] : os.specialFolders) places.shell.push_back(PlaceKey(folder));
  std::string install = PlaceKey(values.recordFile);
  install = install.substr(0, install.rfind('\\'));
  bool holdsWindows = (places.windows + "\\").rfind(install + "\\", 0) == 0;
  if (install.size() > 3 && !holdsWindows) places.install = install;
  places.trust = trust;
  return places;
}

namespace detail {

inline bool Under(const std::string& path, const std::string& tree) {
  return !tree.empty() && path.rfind(tree + "\\", 0) == 0;
}

inline std::string ParentOf(const std::string& path) {
  size_t sep = path.rfind('\\');
  return sep == std::string::npos ? std::string() : path.substr(0, sep == 2 ? 3 : sep);
}

// A key as its view: the machine's and the user's Software\Classes are the
// classes root, the 32-bit view is the machine's SOFTWARE.
inline std::string Viewed(std::string key) {
  const std::pair<const char*, const char*> views[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE", "HKEY_LOCAL_MACHINE\\SOFTWARE"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES", "HKEY_CLASSES_ROOT"},
      {"HKEY_CURRENT_USER\\SOFTWARE\\CLASSES", "HKEY_CLASSES_ROOT"}};
  for (const auto& [view, as] : views) {
    if (key == view || Under(key, view)) key = as + key.substr(std::string(view).size());
  }
  return key;
}

// The registry's own keys, which no uninstall may delete, in their view.
inline bool SystemKey(const std::string& viewed) {
  const std::string& key = viewed;
  static const char* const kKeys[] = {
      "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT",
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\POLICIES", "HKEY_LOCAL_MACHINE\\SYSTEM",
      "HKEY_CURRENT_USER\\SOFTWARE\\MICROSOFT", "HKEY_CURRENT_USER\\CONTROL PANEL",
      "HKEY_CURRENT_USER\\ENVIRONMENT"};
  static const char* const kClasses[] = {"CLSID", "INTERFACE", "TYPELIB", "APPID", "*",
                                         "DIRECTORY", "DRIVE", "FOLDER", "ALLFILESYSTEMOBJECTS",
                                         "EXEFILE", "LNKFILE", ".EXE", ".DLL", ".TXT"};
  for (const char* system : kKeys) {
    if (key == system) return true;
  }
  for (const char* name : kClasses) {
    if (key == std::string("HKEY_CLASSES_ROOT\\") + name) return true;
  }
  return Under(key, "HKEY_LOCAL_MACHINE\\SYSTEM");
}

}  // namespace detail

// Adds a line to problems for each removal outside the places.
inline void CheckNothingOutsideThePlaces(const Snapshot& before, const Snapshot& after,
                                         const Places& places, const std::string& recordCopy,
                                         std::vector<std::string>& problems) {
  using detail::Under;
  const bool trusted = places.trust == Trust::Signed || places.trust == Trust::Unsigned;
  auto inShell = [&](const std::string& path) {
    for (const std::string& place : places.shell) {
      if (Under(path, place)) return true;
    }
    return false;
  };
  for (const auto& [path, data] : before.files) {
    if (after.files.count(path) || path == fake::UpperText(recordCopy)) continue;
    const std::string parent = detail::ParentOf(path);
    bool allowed = Under(path, places.install) || (path.ends_with(".LNK") && inShell(path)) ||
                   (trusted && (Under(path, places.programFiles) || parent == places.windows ||
                                parent == places.system || parent == places.boot));
    if (!allowed) problems.push_back("deleted outside the places: " + path);
  }
  for (const std::string& folder : before.folders) {
    if (after.folders.count(folder)) continue;
    bool allowed = folder == places.install || Under(folder, places.install) || inShell(folder) ||
                   (trusted && Under(folder, places.programFiles));
    if (!allowed) problems.push_back("folder removed outside the places: " + folder);
  }
}

// What an uninstall may remove, by its record's entries (upper case, flags
// cut off; registry entries with their root marker), the registration key
// path and the places. Adds a line to problems for anything else it removed
// or changed, a root key, one of the system's keys or a first-level key the
// record does not say the installation made (or says so unsigned), any key
// from a changed record, a special folder, or anything outside the places.
inline void CheckRemovedOnlyWhatIsNamed(const FakePlatform& os, const Snapshot& before,
                                        const RecordNames& record, const Places& places,
                                        const std::string& recordCopy,
                                        std::vector<std::string>& problems) {
  const std::set<std::string>& named = record.entries;
  Snapshot after = Take(os);
  auto expect = [&](bool holds, const std::string& problem) {
    if (!holds) problems.push_back(problem);
  };
  CheckNothingOutsideThePlaces(before, after, places, recordCopy, problems);
  for (const auto& [path, data] : before.files) {
    auto now = after.files.find(path);
    if (now == after.files.end()) {
      expect(named.count(path) || path == fake::UpperText(recordCopy),
             "deleted, not in the record: " + path);
    } else {
      expect(now->second == data, "changed: " + path);
    }
  }
  for (const std::string& folder : before.folders) {
    if (after.folders.count(folder)) continue;
    bool named_ = named.count(folder + "\\") || named.count(folder);
    for (const std::string& entry : named) named_ |= entry.rfind(folder + "\\", 0) == 0;
    expect(named_, "folder removed, not in the record: " + folder);
  }
  for (const auto& [csidl, folder] : os.specialFolders) {
    const std::string upper = fake::UpperText(folder);
    expect(after.folders.count(upper) > 0 || !before.folders.count(upper),
           "special folder removed: " + folder);
  }
  // A key path without its leading and trailing backslashes: both spellings
  // name the same key.
  auto bare = [](std::string path) {
    while (!path.empty() && path[0] == '\\') path.erase(0, 1);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
  };
  const std::string registrationKey = bare(fake::UpperText(record.registration));
  static const char* const kRoots[][2] = {{"HKEY_CLASSES_ROOT\\", "(Class)"},
                                          {"HKEY_CURRENT_USER\\", "(Cuser)"},
                                          {"HKEY_LOCAL_MACHINE\\", "(Local)"},
                                          {"HKEY_USERS\\", "(Users)"}};
  // The keys the record says the installation made, as full upper-case paths.
  std::set<std::string> made;
  for (const std::string& note : record.created) {
    for (const auto& [rootName, marker] : kRoots) {
      if (note.rfind(fake::UpperText(marker), 0) == 0) {
        made.insert(detail::Viewed(rootName + bare(note.substr(7))));
      }
    }
  }
  for (const std::string& key : before.keys) {
    if (after.keys.count(key)) continue;
    size_t sep = key.find('\\');
    if (sep == std::string::npos) {
      problems.push_back("root key deleted: " + key);
      continue;
    }
    std::string root = key.substr(0, sep + 1), below = key.substr(sep + 1);
    bool allowed = false;
    for (const auto& [rootName, marker] : kRoots) {
      if (root != rootName) continue;
      for (const std::string& entry : named) {
        const bool marked = entry.rfind(fake::UpperText(marker), 0) == 0;
        std::string path = bare(marked ? entry.substr(7) : entry);
        if (path.empty()) continue;
        bool covers = (below + "\\").rfind(path + "\\", 0) == 0;
        allowed |= covers;
      }
    }
    const bool registration = root == "HKEY_LOCAL_MACHINE\\" && !registrationKey.empty() &&
                              (below + "\\").rfind(registrationKey + "\\", 0) == 0;
    expect(allowed || registration, "key deleted, not in the record: " + key);
    if (registration) {
      expect(places.trust != Trust::NotOwn, "another record's registration deleted: " + key);
      continue;
    }
    const std::string viewed = detail::Viewed(key);
    const std::string viewedBelow = viewed.substr(viewed.find('\\') + 1);
    expect(!detail::SystemKey(viewed), "system key deleted: " + key);
    expect(places.trust == Trust::Signed || places.trust == Trust::Unsigned,
           "key deleted by a changed record: " + key);
    const bool firstLevel = viewedBelow.find('\\') == std::string::npos;
    expect(!firstLevel || (places.trust == Trust::Signed && made.count(viewed)),
           "first-level key deleted that the installation did not make: " + key);
  }
}

}  // namespace qs::test
