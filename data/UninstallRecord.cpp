#include "data/UninstallRecord.h"

#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Texts.h"
#include "data/Definition.h"

namespace qs {
namespace {

constexpr const char* kUninstallRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Upper(Platform& platform, const std::string& text) {
  return MapUpperCase(platform, text, kLcmapUppercase);
}

std::string Key(const char* prefix, size_t n) { return prefix + std::to_string(n); }

template <size_t M>
void LoadSection(Platform& platform, const std::string& file, const char* section,
                 const char* prefix, std::array<std::string, M>& list) {
  for (const std::string& value :
       ReadNumberedKeys(platform, file, section, prefix, static_cast<int>(M - 1))) {
    AddToDeleteList(platform, list, value);
  }
}

// False when a value could not be written.
template <size_t M>
bool WriteSection(Platform& platform, const std::string& file, const char* section,
                  const char* prefix, const std::array<std::string, M>& list) {
  bool written = true;
  for (size_t n = 1; n < M; ++n) {
    if (!list[n].empty()) written &= WriteIniString(platform, section, Key(prefix, n), list[n], file);
  }
  return written;
}

// The record lists itself once, in the first empty slot.
void ListRecordItself(Platform& platform, Slots<kDeleteFiles>& files,
                      const std::string& recordPath, CodePage cp) {
  for (int n = 1; n <= kDeleteFiles; ++n) {
    if (Upper(platform, FileNamePart(files[n], cp)) == "UNSETUP.INI") return;
    if (files[n].empty()) {
      files[n] = recordPath;
      return;
    }
  }
}

void Register(Platform& platform, const std::string& keyPath, const std::string& displayName,
              const std::string& command) {
  if (!platform.CreateRegistryKey(RegRoot::LocalMachine, keyPath)) {
    throw SetupError(WithValue(text::kKeyCreateFailed, keyPath));
  }
  const std::pair<const char*, std::string> values[] = {{"DisplayName", displayName},
                                                        {"UninstallString", command}};
  for (const auto& [name, data] : values) {
    RegValue value{RegValue::Kind::String, data, 0};
    if (!platform.SetRegistryValue(RegRoot::LocalMachine, keyPath, name, value)) {
      throw SetupError(WithValue(text::kValueWriteFailed, name));
    }
  }
}

}  // namespace

namespace detail {

void AddToList(Platform& platform, std::string* slots, int count, const std::string& value) {
  const std::string wanted = Upper(platform, value);
  for (int i = 0; i < count; ++i) {
    if (Upper(platform, slots[i]) == wanted) return;
    if (slots[i].empty()) {
      slots[i] = value;
      return;
    }
  }
}

}  // namespace detail

void RecordInstalledFile(Platform& platform, Slots<kDeleteFiles>& files, const std::string& path,
                         const std::string& flag) {
  const std::string wanted = Upper(platform, path);
  for (int n = 1; n <= kDeleteFiles; ++n) {
    std::string recorded = files[n].substr(0, files[n].find(','));
    if (Upper(platform, recorded) == wanted || files[n].empty()) {
      files[n] = path + flag;
      return;
    }
  }
}

// No existence test first: a missing record reads as empty lists anyway,
// and an existing one whose attributes cannot be read must still be merged,
// or its entries would be lost when the new record replaces it.
void MergeEarlierRecord(Platform& platform, const std::string& recordPath, DeleteLists& lists) {
  LoadSection(platform, recordPath, "DeleteFolder", "Folder", lists.folders);
  LoadSection(platform, recordPath, "DeleteFile", "File", lists.files);
  LoadSection(platform, recordPath, "DeleteShortCut", "File", lists.shortCuts);
  LoadSection(platform, recordPath, "DeleteRegistry", "Key", lists.registry);
}

std::string UninstallKeyPath(const std::string& keyName) { return kUninstallRoot + keyName; }

std::string UninstallCommand(const std::string& windowsFolder, const std::string& recordPath,
                             CodePage cp) {
  return DelBackslash(windowsFolder, "B", cp) + "\\APPUNSET.EXE \"" + recordPath + "\"";
}

void WriteUninstallRecord(Platform& platform, const RecordSetting& setting, DeleteLists& lists,
                          CodePage cp) {
  const std::string& file = setting.recordPath;
  if (FileExists(platform, file)) platform.Delete(file);
  platform.FlushProfile(file);
  WriteIniString(platform, "Information", "Message1", text::kRecordWarning1, file);
  WriteIniString(platform, "Information", "Message2", text::kRecordWarning2, file);
  WriteIniString(platform, "Information", "Message3", text::kRecordWarning3, file);
  // What the uninstaller needs must all be there: every write is checked.
  bool complete = WriteIniString(platform, "Title", "UnSetup", setting.unSetupTitle, file);
  complete &= WriteIniString(platform, "SetupFolder", "Folder", setting.installFolder, file);
  complete &= WriteSection(platform, file, "DeleteFolder", "Folder", lists.folders);
  ListRecordItself(platform, lists.files, file, cp);
  complete &= WriteSection(platform, file, "DeleteFile", "File", lists.files);
  complete &= WriteSection(platform, file, "DeleteShortCut", "File", lists.shortCuts);
  for (int n = 1; n <= kDeleteRegistry; ++n) {
    if (!lists.setupRegistry[n].empty()) {
      AddToDeleteList(platform, lists.registry, lists.setupRegistry[n]);
    }
  }
  complete &= WriteSection(platform, file, "DeleteRegistry", "Key", lists.registry);
  const std::string keyPath = UninstallKeyPath(setting.unSetupKey);
  complete &= WriteIniString(platform, "UnSetupRegistryKey", "Key", keyPath, file);
  // Without a name of its own the registration would land in the list of
  // installed programs itself.
  if (KeyComponentCount(setting.unSetupKey, cp) != 0) {
    Register(platform, keyPath, setting.unSetupKey,
             UninstallCommand(setting.windowsFolder, file, cp));
  }
  if (!complete) throw SetupError(WithValue(text::kValueWriteFailed, file));
}

UninstallRecord ReadUninstallRecord(Platform& platform, const std::string& recordPath) {
  UninstallRecord record;
  auto read = [&](const char* section, const std::string& key) {
    return ReadIniString(platform, section, key, "", recordPath);
  };
  for (int n = kDeleteFolders; n >= 1; --n) {
    if (std::string v = read("DeleteFolder", Key("Folder", n)); !v.empty()) record.folders.push_back(v);
  }
  for (int n = 1; n <= kDeleteFiles; ++n) {
    std::string v = read("DeleteFile", Key("File", n));
    if (v.empty()) continue;
    CopyFileValue split = SplitCopyFileValue(v);
    record.files.push_back({split.path, split.flag, v.size() > split.path.size() + 3});
  }
  for (int n = 1; n <= kDeleteShortCuts; ++n) {
    if (std::string v = read("DeleteShortCut", Key("File", n)); !v.empty()) record.shortCuts.push_back(v);
  }
  for (int n = kDeleteRegistry; n >= 1; --n) {
    if (std::string v = read("DeleteRegistry", Key("Key", n)); !v.empty()) {
      record.registryKeys.push_back(v);
    }
  }
  record.setupFolder = read("SetupFolder", "Folder");
  record.registrationKey = read("UnSetupRegistryKey", "Key");
  return record;
}

}  // namespace qs
