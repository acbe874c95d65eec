#include "data/UninstallRecord.h"

#include <iterator>
#include <optional>

#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Sha256.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "data/RegistryView.h"
#include "platform/ProfileText.h"

namespace qs {
namespace {

constexpr const char* kUninstallRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Key(const char* prefix, size_t n) { return prefix + std::to_string(n); }

std::vector<std::string> ReadList(Platform& platform, const std::string& file,
                                  const record::ListSection& list) {
  return ReadNumberedKeys(platform, file, list.section, list.prefix, static_cast<int>(list.limit));
}

// The list read from its highest number down: what was recorded last comes
// first.
std::vector<std::string> ReadListDownwards(Platform& platform, const std::string& file,
                                           const record::ListSection& list) {
  std::vector<std::string> values;
  for (size_t n = list.limit; n >= 1; --n) {
    std::string value = ReadIniString(platform, list.section, Key(list.prefix, n), "", file);
    if (!value.empty()) values.push_back(value);
  }
  return values;
}

// The record's bytes as profile writes, key by key, would leave a new file.
class RecordBytes {
 public:
  explicit RecordBytes(Platform& platform) : platform_(platform) {}
  void Write(const char* section, const std::string& key, const std::string& value) {
    bytes_ = ProfileUpdate(platform_, bytes_, section, key, value);
  }
  // Entry i goes under number i + 1.
  void WriteList(const record::ListSection& list, std::span<const std::string> entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
      if (!entries[i].empty()) Write(list.section, Key(list.prefix, i + 1), entries[i]);
    }
  }
  const std::string& bytes() const { return *bytes_; }

 private:
  Platform& platform_;
  std::optional<std::string> bytes_;
};

// The bytes as a new file at path, replacing what is there; a file that
// could not be written whole goes again.
bool WriteNewFile(Platform& platform, const std::string& path, const std::string& bytes) {
  if (FileExists(platform, path)) platform.Delete(path);
  std::unique_ptr<FileWriter> writer = platform.CreateNew(path);
  if (!writer) return false;
  bool written = writer->Write(bytes.data(), bytes.size());
  written = writer->Close() && written;
  writer.reset();
  if (!written) platform.Delete(path);
  return written;
}

void Append(DeleteList& list, const std::string& value) {
  if (list.entries.size() < list.limit) list.entries.push_back(value);
}

// The record lists itself once.
void ListRecordItself(Platform& platform, DeleteList& files, const std::string& recordPath,
                      CodePage cp) {
  for (const std::string& entry : files.entries) {
    if (MapUpperCase(platform, FileNamePart(entry, cp)) == kUnSetupIni) return;
  }
  Append(files, recordPath);
}

void SetRegistrationValue(Platform& platform, RunWatcher& watcher, const std::string& keyPath,
                          const char* name, const RegValue& value) {
  const bool written = platform.SetRegistryValue(RegRoot::LocalMachine, keyPath, name, value);
  if (!Tell(watcher, "registration", RootName(RegRoot::LocalMachine) + keyPath, written,
            name + (" = " + DescribeValue(value)))) {
    throw SetupError(WithValue(text::kValueWriteFailed, name));
  }
}

// The registration's values, as laid out in the header: a text that is
// empty is not written.
void Register(Platform& platform, RunWatcher& watcher, const std::string& keyPath,
              const RecordSetting& setting, const std::string& digest, CodePage cp) {
  if (!platform.CreateRegistryKey(RegRoot::LocalMachine, keyPath)) {
    throw SetupError(WithValue(text::kKeyCreateFailed, keyPath));
  }
  // The command line: the uninstaller in the Windows folder, a blank, the
  // record in quotes. The uninstaller is the icon too.
  const std::string icon = UninstallerPath(setting.windowsFolder, cp);
  const std::string command = icon + " \"" + setting.recordPath + "\"";
  const std::string quiet = command + " /S";
  const std::string* const texts[] = {&setting.unSetupKey, &command,          &quiet,
                                      &icon,               &setting.installFolder,
                                      &setting.version,    &setting.publisher, &setting.installDate,
                                      &digest};
  static const char* const kTextNames[] = {
      record::kDisplayName, record::kUninstallString, "QuietUninstallString",
      "DisplayIcon",        "InstallLocation",        "DisplayVersion",
      "Publisher",          "InstallDate",            record::kDigest};
  for (size_t i = 0; i < std::size(texts); ++i) {
    if (texts[i]->empty()) continue;
    SetRegistrationValue(platform, watcher, keyPath, kTextNames[i],
                         {RegValue::Kind::String, *texts[i], 0});
  }
  const uint64_t kib = (setting.installedBytes + 1023) / 1024;
  const uint32_t numbers[] = {kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kib), 1, 1};
  static const char* const kNumberNames[] = {"EstimatedSize", "NoModify", "NoRepair"};
  for (size_t i = 0; i < std::size(numbers); ++i) {
    SetRegistrationValue(platform, watcher, keyPath, kNumberNames[i],
                         {RegValue::Kind::Dword, "", numbers[i]});
  }
}

}  // namespace

void AddToDeleteList(Platform& platform, DeleteList& list, const std::string& value) {
  const std::string wanted = MapUpperCase(platform, value);
  if (wanted.empty()) return;
  for (const std::string& entry : list.entries) {
    if (MapUpperCase(platform, entry) == wanted) return;
  }
  Append(list, value);
}

RecordedFile SplitRecordedFile(const std::string& value) {
  if (value.size() >= 3) {
    const std::string tail = value.substr(value.size() - 3);
    for (const char* flag : kFileFlags) {
      if (tail == flag) return {value.substr(0, value.size() - 3), tail};
    }
  }
  return {value, std::string()};
}

void RecordInstalledFile(Platform& platform, DeleteList& files, const std::string& path,
                         const std::string& flag) {
  const std::string wanted = MapUpperCase(platform, path);
  const std::string value = path + SplitRecordedFile(flag).flag;
  for (std::string& entry : files.entries) {
    if (MapUpperCase(platform, SplitRecordedFile(entry).path) == wanted) {
      entry = value;
      return;
    }
  }
  Append(files, value);
}

// No existence test first: a missing record reads as empty lists anyway,
// and an existing one whose attributes cannot be read must still be merged,
// or its entries would be lost when the new record replaces it.
void MergeEarlierRecord(Platform& platform, const std::string& recordPath, DeleteLists& lists) {
  const std::pair<const record::ListSection&, DeleteList&> loads[] = {
      {record::kFolders, lists.folders},
      {record::kFiles, lists.files},
      {record::kShortCuts, lists.shortCuts},
      {record::kRegistryKeys, lists.registry},
      {record::kCreatedKeys, lists.created},
      {record::kCreatedLevels, lists.levels},
  };
  for (const auto& [section, list] : loads) {
    for (const std::string& value : ReadList(platform, recordPath, section)) {
      AddToDeleteList(platform, list, value);
    }
  }
}

std::string RecordPath(const std::string& installFolder, CodePage cp) {
  return JoinPath(installFolder, kUnSetupIni, cp);
}

std::string UninstallerPath(const std::string& windowsFolder, CodePage cp) {
  return JoinPath(windowsFolder, kUninstallerName, cp);
}

std::string UninstallKeyPath(const std::string& keyName) { return kUninstallRoot + keyName; }

void WriteUninstallRecord(Platform& platform, const RecordSetting& setting, DeleteLists& lists,
                          CodePage cp, RunWatcher* watcher) {
  RunWatcher unwatched;
  RunWatcher& tell = watcher ? *watcher : unwatched;
  const std::string& file = setting.recordPath;
  RecordBytes record(platform);
  record.Write(record::kInformation, "Message1", text::kRecordWarning1);
  record.Write(record::kInformation, "Message2", text::kRecordWarning2);
  record.Write(record::kInformation, "Message3", text::kRecordWarning3);
  record.Write(record::kTitle, record::kUnSetup, setting.unSetupTitle);
  record.Write(record::kSetupFolder, record::kFolder, setting.installFolder);
  record.WriteList(record::kFolders, lists.folders.entries);
  ListRecordItself(platform, lists.files, file, cp);
  record.WriteList(record::kFiles, lists.files.entries);
  record.WriteList(record::kShortCuts, lists.shortCuts.entries);
  for (const std::string& key : lists.setupRegistry.entries) {
    AddToDeleteList(platform, lists.registry, key);
  }
  record.WriteList(record::kRegistryKeys, lists.registry.entries);
  const std::string keyPath = UninstallKeyPath(setting.unSetupKey);
  record.Write(record::kUnSetupRegistryKey, record::kKey, keyPath);
  record.WriteList(record::kCreatedKeys, lists.created.entries);
  record.WriteList(record::kCreatedLevels, lists.levels.entries);
  const bool written = Tell(tell, "record", file, WriteNewFile(platform, file, record.bytes()));
  // Without a name of its own the registration would land in the list of
  // installed programs itself.
  if (KeyComponentCount(setting.unSetupKey, cp) != 0) {
    Register(platform, tell, keyPath, setting, DigestText(record.bytes()), cp);
  }
  if (!written) throw SetupError(WithValue(text::kValueWriteFailed, file));
}

UninstallRecord ReadUninstallRecord(Platform& platform, const std::string& recordPath) {
  UninstallRecord result;
  result.folders = ReadListDownwards(platform, recordPath, record::kFolders);
  for (const std::string& value : ReadList(platform, recordPath, record::kFiles)) {
    result.files.push_back(SplitRecordedFile(value));
  }
  result.shortCuts = ReadList(platform, recordPath, record::kShortCuts);
  result.registryKeys = ReadListDownwards(platform, recordPath, record::kRegistryKeys);
  result.createdKeys = ReadList(platform, recordPath, record::kCreatedKeys);
  result.createdLevels = ReadListDownwards(platform, recordPath, record::kCreatedLevels);
  auto read = [&](const char* section, const char* key) {
    return ReadIniString(platform, section, key, "", recordPath);
  };
  result.setupFolder = read(record::kSetupFolder, record::kFolder);
  result.registrationKey = read(record::kUnSetupRegistryKey, record::kKey);
  return result;
}

std::string DigestText(const std::string& bytes) {
  std::string text;
  for (uint8_t byte : Sha256Of(bytes.data(), bytes.size())) {
    text += "0123456789abcdef"[byte >> 4];
    text += "0123456789abcdef"[byte & 0xF];
  }
  return text;
}

namespace {

// The record's path in a registration's command: between its first two
// double quotes.
std::string QuotedPath(const std::string& command) {
  size_t open = command.find('"');
  size_t close = open == std::string::npos ? open : command.find('"', open + 1);
  return close == std::string::npos ? std::string() : command.substr(open + 1, close - open - 1);
}

}  // namespace

RecordCheck CheckRecord(Platform& platform, const std::string& registrationKey,
                        const std::string& recordPath, const std::string& copyPath) {
  RecordCheck check;
  auto value = [&](const char* name) {
    std::optional<RegValue> found =
        platform.GetRegistryValue(RegRoot::LocalMachine, registrationKey, name);
    return found && found->kind == RegValue::Kind::String ? std::optional(found->text)
                                                          : std::nullopt;
  };
  std::optional<std::string> command = value(record::kUninstallString);
  check.registered = command && !recordPath.empty() &&
                     SamePath(platform, QuotedPath(*command), recordPath);
  if (!check.registered) return check;
  std::optional<std::string> digest = value(record::kDigest);
  if (!digest) {
    check.trust = RecordTrust::Unsigned;
  } else if (std::optional<std::string> bytes = ReadAll(platform.OpenForRead(copyPath, false))) {
    check.trust = DigestText(*bytes) == *digest ? RecordTrust::Verified : RecordTrust::Changed;
  }
  return check;
}

RegistryKeyRef ParseRemovalKey(const std::string& entry) {
  RegistryKeyRef key{RegRoot::CurrentUser, entry};
  if (std::optional<RegRoot> root = RootOfMarker(entry)) key = {*root, entry.substr(7)};
  if (!key.path.empty() && key.path[0] == '\\') key.path.erase(0, 1);
  return key;
}

}  // namespace qs
