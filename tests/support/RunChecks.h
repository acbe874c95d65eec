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
#include "data/UninstallRecord.h"
#include "platform/ProfileText.h"
#include "tests/support/FakePlatform.h"

namespace qs::test {

// The program's values for a test world: the product on C:\CD, the
// temporary folder C:\TEMP, Windows in C:\WINDOWS.
inline ProgramValues WorldValues(const std::string& infoFile, const std::string& title) {
  ProgramValues values;
  values.sourceFolder = "C:\\CD\\";
  values.tempFolder = "C:\\TEMP\\";
  values.infoFile = infoFile;
  values.setupTitle = values.unSetupTitle = title;
  values.windowsFolder = "C:\\WINDOWS";
  values.systemFolder = "C:\\WINDOWS\\SYSTEM32";
  values.programFilesFolder = "C:\\Program Files";
  return values;
}

// What an uninstall record names, in the terms the checks compare: paths
// upper-cased with "/" read as "\", a file's flag cut off its end,
// registry keys with their root marker, the install folder; and the
// registration's key path as written.
struct RecordNames {
  std::set<std::string> entries;
  std::string registration;
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

// What an uninstall may remove, by its record's entries (upper case, flags
// cut off; registry entries with their root marker) and the registration key
// path. Adds a line to problems for anything else it removed or changed, a
// root or first-level key removed, or a special folder removed.
inline void CheckRemovedOnlyWhatIsNamed(const FakePlatform& os, const Snapshot& before,
                                        const std::set<std::string>& named,
                                        const std::string& registration,
                                        const std::string& recordCopy,
                                        std::vector<std::string>& problems) {
  Snapshot after = Take(os);
  auto expect = [&](bool holds, const std::string& problem) {
    if (!holds) problems.push_back(problem);
  };
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
  const std::string registrationKey = bare(fake::UpperText(registration));
  static const char* const kRoots[][2] = {{"HKEY_CLASSES_ROOT\\", "(Class)"},
                                          {"HKEY_CURRENT_USER\\", "(Cuser)"},
                                          {"HKEY_LOCAL_MACHINE\\", "(Local)"},
                                          {"HKEY_USERS\\", "(Users)"}};
  for (const std::string& key : before.keys) {
    if (after.keys.count(key)) continue;
    size_t sep = key.find('\\');
    if (sep == std::string::npos) {
      problems.push_back("root key deleted: " + key);
      continue;
    }
    std::string root = key.substr(0, sep + 1), below = key.substr(sep + 1);
    bool shallow = below.find('\\') == std::string::npos;
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
    if (root == "HKEY_LOCAL_MACHINE\\") {
      allowed |= !registrationKey.empty() &&
                 (below + "\\").rfind(registrationKey + "\\", 0) == 0;
    }
    expect(allowed, "key deleted, not in the record: " + key);
    expect(!shallow, "first-level key deleted: " + key);
  }
}

}  // namespace qs::test
