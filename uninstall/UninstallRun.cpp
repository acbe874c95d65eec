#include "uninstall/UninstallRun.h"

#include <set>
#include <utility>

#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "data/UninstallRecord.h"

namespace qs {
namespace {

constexpr const char* kFlagForce = ",/F";
constexpr const char* kFlagConfirm = ",/C";
constexpr const char* kFlagLeave = ",/L";

// Folders whose links are left without removing the folder, however empty:
// the startup folder (by its half-width name, letter case as is) and the
// send-to folder (compared in upper case).
constexpr const char* kStartUpFolderName = "\\ｽﾀｰﾄｱｯﾌﾟ\\";
constexpr const char* kSendToFolderName = "\\SENDTO\\";

// A [DeleteRegistry] entry: the first seven characters select the root when
// they are one of these markers, exactly; anything else is a key path under
// HKEY_CURRENT_USER as a whole.
struct RemovalKey {
  RegRoot root;
  std::string path;
};

RemovalKey ParseRemovalKey(const std::string& entry) {
  static const std::pair<const char*, RegRoot> kRoots[] = {
      {"(Class)", RegRoot::ClassesRoot},
      {"(Cuser)", RegRoot::CurrentUser},
      {"(Local)", RegRoot::LocalMachine},
      {"(Users)", RegRoot::Users},
  };
  RemovalKey key{RegRoot::CurrentUser, entry};
  for (const auto& [marker, root] : kRoots) {
    if (entry.compare(0, 7, marker) == 0) key = {root, entry.substr(7)};
  }
  // \SOFTWARE\Acme and SOFTWARE\Acme name the same key.
  if (!key.path.empty() && key.path[0] == '\\') key.path.erase(0, 1);
  return key;
}

}  // namespace

UninstallRun::UninstallRun(Platform& platform, RunWindow& window, const ProgramValues& values,
                           CodePage cp)
    : platform_(platform), window_(window), values_(values), cp_(cp) {}

void UninstallRun::Run() {
  window_.FreezeForUninstall();
  window_.ShowStatus(text::kUnSetupRunning);
  ReadRecord();
  EnterTempFolder();
  failureLog_.clear();
  failureCount_ = 0;
  DeleteFiles();
  DeleteShortCuts();
  RemoveFolders();
  DeleteRegistryKeys();
  DeleteRegistration();
  RemoveInstallFolder();
  DeleteRecordCopy();
  OfferFailureList();
  AnnounceCompletion();
  window_.EndProgram();
}

std::string UninstallRun::Upper(const std::string& text) {
  return MapUpperCase(platform_, text, kLcmapUppercase);
}

// The record's lists, each entry once (compared in upper case), in the order
// the record gives them: folders and registry keys from the highest number
// down, files and shortcuts from 1 up.
void UninstallRun::ReadRecord() {
  UninstallRecord record = ReadUninstallRecord(platform_, values_.infoFile);
  auto distinct = [this](const std::vector<std::string>& values) {
    std::vector<std::string> list;
    std::set<std::string> seen;
    for (const std::string& value : values) {
      if (seen.insert(Upper(value)).second) list.push_back(value);
    }
    return list;
  };
  folders_ = distinct(record.folders);
  ReadFiles(record.files);
  shortCuts_ = distinct(record.shortCuts);
  registryKeys_ = distinct(record.registryKeys);
  setupFolder_ = record.setupFolder;
  registrationKey_ = record.registrationKey;
}

// The recorded files, each once. A value cut at a comma inside its path
// names only a piece of a path, which is not a file this product installed.
// The library rule comes before the duplicate test, so a library left out
// does not hide a later ",/F".
void UninstallRun::ReadFiles(const std::vector<RecordedFile>& recorded) {
  std::set<std::string> seen;
  for (const RecordedFile& file : recorded) {
    bool named = file.flag == kFlagForce || file.flag == kFlagConfirm;
    if (!named && IsSystemLibrary(file.path)) continue;
    // A cut entry is never deleted, so it must not hide a real one.
    if (!file.cutInPath && !seen.insert(Upper(file.path)).second) continue;
    files_.push_back(file);
  }
}

// A .DLL or .OCX anywhere in the path, and the Windows or system folder
// anywhere in it too. Plain byte searches: a match that starts on a trail
// byte only ever keeps a file, never deletes one.
bool UninstallRun::IsSystemLibrary(const std::string& path) {
  std::string upper = Upper(path);
  bool library = upper.find(".OCX") != std::string::npos || upper.find(".DLL") != std::string::npos;
  if (!library) return false;
  return upper.find(Upper(values_.windowsFolder)) != std::string::npos ||
         upper.find(Upper(values_.systemFolder)) != std::string::npos;
}

// The run works from the temporary folder, so that no folder it removes is
// the current one.
void UninstallRun::EnterTempFolder() {
  if (uint32_t code = platform_.SetCurrentFolder(values_.tempFolder)) {
    throw SetupError(IoErrorText(code));
  }
}

void UninstallRun::DeleteFiles() {
  for (const RecordedFile& file : files_) {
    if (!DeleteListedFile(file)) Fail(text::kTagFile, file.path);
  }
}

// True when the entry is done with: deleted, or left on purpose (",/L").
bool UninstallRun::DeleteListedFile(const RecordedFile& file) {
  if (file.flag == kFlagLeave) return true;
  if (file.cutInPath) return false;
  if (file.flag == kFlagConfirm) {
    std::string question = file.path + text::kUnSetupConfirmText;
    int answer = window_.Ask(question, text::kUnSetupConfirmCaption, kMbYesNo | kMbIconQuestion);
    if (answer != kIdYes) return false;
  }
  return platform_.Delete(file.path);
}

// Each link goes, then the folder that held it when that is now empty (a
// sub-folder the installation made); its removal is not checked.
void UninstallRun::DeleteShortCuts() {
  for (const std::string& link : shortCuts_) {
    bool deleted = platform_.Delete(link);
    std::string folder = FolderPart(link, cp_);
    if (MayRemoveLinkFolder(link, folder)) platform_.RemoveFolder(folder);
    if (!deleted) Fail(text::kTagShortCut, link);
  }
}

// The four places themselves stay (the installation only ever made folders
// below them, and an empty desktop is still the user's desktop): known by
// where the system keeps them, and the startup and send-to folders also by
// their names.
bool UninstallRun::MayRemoveLinkFolder(const std::string& link, const std::string& folder) {
  if (folder.empty()) return false;
  if (link.find(kStartUpFolderName) != std::string::npos) return false;
  if (Upper(link).find(kSendToFolderName) != std::string::npos) return false;
  for (int csidl : {kCsidlDesktop, kCsidlPrograms, kCsidlStartup, kCsidlSendTo}) {
    std::string place = platform_.SpecialFolder(csidl);
    if (!place.empty() &&
        SamePath(platform_, DelBackslash(place, "B", cp_), DelBackslash(folder, "B", cp_))) {
      return false;
    }
  }
  return true;
}

void UninstallRun::RemoveFolders() {
  for (const std::string& folder : folders_) {
    if (!platform_.RemoveFolder(folder)) Fail(text::kTagFolder, folder);
  }
}

// Results are not examined: a key that is already gone is no failure. A key
// right below its root (SOFTWARE, or the root itself) holds every program's
// settings and is never deleted; the list says so.
void UninstallRun::DeleteRegistryKeys() {
  for (const std::string& entry : registryKeys_) {
    RemovalKey key = ParseRemovalKey(entry);
    if (KeyComponentCount(key.path, cp_) < 2) {
      Fail(text::kTagRegistry, entry);
      continue;
    }
    platform_.DeleteRegistryTree(key.root, key.path);
  }
}

// The registration is always a key of its own below the system's list of
// installed programs; anything else in the record (the list itself, or a
// key outside it) is left alone. The result is not examined.
void UninstallRun::DeleteRegistration() {
  const std::string list = Upper(UninstallKeyPath(""));
  const std::string key = Upper(registrationKey_);
  if (key.compare(0, list.size(), list) != 0 || KeyComponentCount(key.substr(list.size()), cp_) == 0) {
    return;
  }
  platform_.DeleteRegistryTree(RegRoot::LocalMachine, registrationKey_);
}

void UninstallRun::RemoveInstallFolder() {
  if (!platform_.RemoveFolder(setupFolder_)) Fail(text::kTagSetupFolder, setupFolder_);
}

void UninstallRun::DeleteRecordCopy() {
  if (!platform_.Delete(values_.infoFile)) Fail(text::kTagFile, values_.infoFile);
}

void UninstallRun::OfferFailureList() {
  if (failureCount_ == 0) return;
  window_.ShowStatus(text::kSomeStepsFailed);
  int answer = window_.Ask(text::kUnSetupFailureQuestion, text::kWarningCaption,
                           kMbYesNo | kMbIconWarning);
  if (answer == kIdYes) window_.ShowFailureList(text::kUnSetupFailureListCaption, failureLog_);
}

void UninstallRun::AnnounceCompletion() {
  window_.ShowStatus(text::kUnSetupDone);
  window_.Ask(text::kUnSetupDone, text::kCompleteCaption, kMbOk | kMbIconInformation);
}

void UninstallRun::Fail(const char* tag, const std::string& path) {
  failureLog_ += tag + path + "\r\n";
  ++failureCount_;
}

}  // namespace qs
