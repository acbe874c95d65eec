#include "uninstall/UninstallRun.h"

#include <algorithm>
#include <utility>

#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "data/RegistryView.h"
#include "data/UninstallRecord.h"

namespace qs {
namespace {

// Folders whose links are left without removing the folder, however empty:
// the startup folder (by its half-width name, letter case as is) and the
// send-to folder (compared in upper case).
constexpr const char* kStartUpFolderName = "\\ｽﾀｰﾄｱｯﾌﾟ\\";
constexpr const char* kSendToFolderName = "\\SENDTO\\";

}  // namespace

UninstallRun::UninstallRun(Platform& platform, RunWindow& window, const ProgramValues& values,
                           CodePage cp)
    : platform_(platform), window_(window), values_(values), cp_(cp) {}

void UninstallRun::Run() {
  window_.FreezeForUninstall();
  window_.ShowStatus(text::kUnSetupRunning);
  ReadRecord();
  EnterTempFolder();
  failures_.Clear();
  JudgeRecord();
  DeleteFiles();
  DeleteShortCuts();
  RemoveFolders();
  DeleteRegistryKeys();
  DeleteRegistration();
  RemoveInstallFolder();
  RemoveLevelsAbove();
  DeleteRecordCopy();
  OfferFailureList();
  AnnounceCompletion();
  window_.EndProgram();
}

namespace {

// True the first time key comes; the record's lists are short (101 at most).
bool FirstTime(std::vector<std::string>& seen, std::string key) {
  if (std::find(seen.begin(), seen.end(), key) != seen.end()) return false;
  seen.push_back(std::move(key));
  return true;
}

}  // namespace

// The record's lists, each entry once (compared in upper case), in the order
// the record gives them: folders and registry keys from the highest number
// down, files and shortcuts from 1 up.
void UninstallRun::ReadRecord() {
  record_ = ReadUninstallRecord(platform_, values_.infoFile);
  auto keepDistinct = [this](std::vector<std::string>& values) {
    std::vector<std::string> seen;
    std::erase_if(values, [&](const std::string& value) {
      return !FirstTime(seen, MapUpperCase(platform_, value));
    });
  };
  keepDistinct(record_.folders);
  KeepDistinctFiles();
  keepDistinct(record_.shortCuts);
  keepDistinct(record_.registryKeys);
}

// The recorded files, each once, as the system resolves their paths. The
// library rule comes before the duplicate test, so a library left out does
// not hide a later ",/F".
void UninstallRun::KeepDistinctFiles() {
  std::vector<std::string> seen;
  std::erase_if(record_.files, [&](const RecordedFile& file) {
    const std::string path = platform_.FullPath(file.path);
    bool named = file.flag == markers::kForce || file.flag == markers::kConfirm;
    if (!named && IsSystemLibrary(path)) return true;
    return !FirstTime(seen, MapUpperCase(platform_, path));
  });
}

// A .DLL or .OCX anywhere in the path, and the Windows or system folder
// anywhere in it too. Plain byte searches: a match that starts on a trail
// byte only ever keeps a file, never deletes one.
bool UninstallRun::IsSystemLibrary(const std::string& path) {
  std::string upper = MapUpperCase(platform_, path);
  bool library = upper.find(".OCX") != std::string::npos || upper.find(".DLL") != std::string::npos;
  if (!library) return false;
  return upper.find(MapUpperCase(platform_, values_.windowsFolder)) != std::string::npos ||
         upper.find(MapUpperCase(platform_, values_.systemFolder)) != std::string::npos;
}

// The run works from the temporary folder, so that no folder it removes is
// the current one.
void UninstallRun::EnterTempFolder() {
  if (uint32_t code = platform_.SetCurrentFolder(values_.tempFolder)) {
    throw SetupError(IoErrorText(code));
  }
}

// A record whose bytes are not those the installation registered is told
// of before anything goes; from then on only the install folder's tree, the
// links and the registration are removed.
void UninstallRun::JudgeRecord() {
  check_ = CheckRecord(platform_, record_.registrationKey, values_.recordFile, values_.infoFile);
  const bool changed = check_.trust == RecordTrust::Changed;
  limits_.emplace(platform_, values_, !changed);
  if (changed) {
    window_.Ask(text::kRecordChanged, text::kWarningCaption, kMbOk | kMbIconWarning);
  }
}

void UninstallRun::DeleteFiles() {
  for (const RecordedFile& file : record_.files) {
    if (!DeleteListedFile(file)) failures_.Add(text::kTagFile, file.path);
  }
}

// True when the entry is done with: deleted, or left on purpose (",/L").
// Nothing is asked about a file outside the places.
bool UninstallRun::DeleteListedFile(const RecordedFile& file) {
  if (file.flag == markers::kLeave) return true;
  if (!limits_->File(file.path)) return false;
  if (file.flag == markers::kConfirm) {
    std::string question = file.path + text::kUnSetupConfirmText;
    int answer = window_.Ask(question, text::kUnSetupConfirmCaption, kMbYesNo | kMbIconQuestion);
    if (answer != kIdYes) return false;
  }
  const std::string path = platform_.FullPath(file.path);
  return Tell(window_, "delete", path, platform_.RemoveInPlace(path, false));
}

// Each link goes, then the folder that held it when that is now empty (a
// sub-folder the installation made); its removal is not checked. A link
// outside the places is no link this product made: neither goes.
void UninstallRun::DeleteShortCuts() {
  for (const std::string& link : record_.shortCuts) {
    const std::string path = platform_.FullPath(link);
    const bool mine = limits_->Link(path);
    bool deleted = mine && Tell(window_, "delete", path, platform_.RemoveInPlace(path, false));
    std::string folder = FolderPart(path, cp_);
    if (mine && limits_->placesKnown() && MayRemoveLinkFolder(path, folder)) {
      Tell(window_, "remove-folder", folder, platform_.RemoveInPlace(folder, true));
    }
    if (!deleted) failures_.Add(text::kTagShortCut, link);
  }
}

// The four places themselves stay (the installation only ever made folders
// below them, and an empty desktop is still the user's desktop): known by
// where the system keeps them, and the startup and send-to folders also by
// their names.
bool UninstallRun::MayRemoveLinkFolder(const std::string& link, const std::string& folder) {
  if (folder.empty()) return false;
  if (link.find(kStartUpFolderName) != std::string::npos) return false;
  if (MapUpperCase(platform_, link).find(kSendToFolderName) != std::string::npos) return false;
  return !limits_->Place(folder);
}

// A record naming one of the places as a folder it made is wrong: the place
// stays, and the list says so.
void UninstallRun::RemoveFolders() {
  for (const std::string& folder : record_.folders) {
    if (!RemoveRecordedFolder(folder)) failures_.Add(text::kTagFolder, folder);
  }
}

bool UninstallRun::RemoveRecordedFolder(const std::string& folder) {
  if (limits_->Place(folder) || !limits_->Folder(folder)) return false;
  const std::string path = platform_.FullPath(folder);
  return Tell(window_, "remove-folder", path, platform_.RemoveInPlace(path, true));
}

// Results are not examined: a key that is already gone is no failure. A key
// the run may not delete stays, and the list says so.
void UninstallRun::DeleteRegistryKeys() {
  for (const std::string& entry : record_.registryKeys) {
    RegistryKeyRef key = ParseRemovalKey(entry);
    if (!MayDeleteKey(key)) {
      failures_.Add(text::kTagRegistry, entry);
      continue;
    }
    DeleteKeyTree(key.root, key.path);
  }
}

// Never from a changed record, never one of the system's keys, and a
// first-level key (in the system's view: it holds every program's settings
// of its kind) only when the record says the installation made it.
bool UninstallRun::MayDeleteKey(const RegistryKeyRef& key) {
  const KeyView view = ViewOf(key.root, key.path);
  if (check_.trust == RecordTrust::Changed || IsSystemKey(view)) return false;
  if (view.steps.size() > 1) return true;
  if (check_.trust != RecordTrust::Verified) return false;
  for (const std::string& note : record_.createdKeys) {
    RegistryKeyRef made = ParseRemovalKey(note);
    KeyView madeView = ViewOf(made.root, made.path);
    if (madeView.root == view.root && madeView.steps == view.steps) return true;
  }
  return false;
}

// The registration is always a key of its own below the system's list of
// installed programs, and one that names this record; anything else in the
// record (the list itself, a key outside it, another product's) is left
// alone. The result is not examined.
void UninstallRun::DeleteRegistration() {
  if (!check_.registered) return;
  const std::string list = MapUpperCase(platform_, UninstallKeyPath(""));
  const std::string key = MapUpperCase(platform_, record_.registrationKey);
  if (key.compare(0, list.size(), list) != 0 || KeyComponentCount(key.substr(list.size()), cp_) == 0) {
    return;
  }
  DeleteKeyTree(RegRoot::LocalMachine, record_.registrationKey);
}

// A key that could not be deleted is most often one that is gone already.
void UninstallRun::DeleteKeyTree(RegRoot root, const std::string& path) {
  const bool deleted = platform_.DeleteRegistryTree(root, path);
  Tell(window_, RunStep{"delete-key", RootName(root) + path, deleted, "", "not there"});
}

void UninstallRun::RemoveInstallFolder() {
  if (!RemoveRecordedFolder(record_.setupFolder)) {
    failures_.Add(text::kTagSetupFolder, record_.setupFolder);
  }
}

// The levels above the install folder that the installation made, the
// deepest first, each when it is empty by now; only by a record whose
// digest the registration holds. Results are not examined: a level that
// holds something else by now stays, and that is no failure.
void UninstallRun::RemoveLevelsAbove() {
  if (check_.trust != RecordTrust::Verified) return;
  for (const std::string& level : record_.createdLevels) {
    if (!limits_->Level(level)) continue;
    const std::string path = platform_.FullPath(level);
    Tell(window_, "remove-folder", path, platform_.RemoveInPlace(path, true));
  }
}

void UninstallRun::DeleteRecordCopy() {
  if (!Tell(window_, "delete", values_.infoFile, platform_.Delete(values_.infoFile))) {
    failures_.Add(text::kTagFile, values_.infoFile);
  }
}

void UninstallRun::OfferFailureList() {
  failures_.Offer(window_, text::kUnSetupFailureQuestion, text::kUnSetupFailureListCaption);
}

void UninstallRun::AnnounceCompletion() {
  window_.ShowStatus(text::kUnSetupDone);
  window_.Ask(text::kUnSetupDone, text::kCompleteCaption, kMbOk | kMbIconInformation);
}

}  // namespace qs
