#include "install/InstallRun.h"

#include "core/Expand.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Texts.h"

namespace qs {
namespace {

constexpr uint32_t kStepPause = 500;
constexpr uint32_t kQuestion = kMbYesNo | kMbIconQuestion;

// Last-write times are compared at two-second resolution.
constexpr uint64_t kTwoSeconds = 20000000;

}  // namespace

InstallRun::InstallRun(Platform& platform, RunWindow& window, InstallPlan& plan,
                       const ProgramValues& values, CodePage cp)
    : platform_(platform), window_(window), plan_(plan), values_(values), cp_(cp) {}

void InstallRun::Run() {
  Start();
  GatherInstallPlan();
  if (!PrepareInstallFolder()) {
    window_.EndProgram();
    return;
  }
  MergeEarlierRecord();
  CreatePlannedFolders();
  CopyPlannedFiles();
  CreatePlannedShortCuts();
  WritePlannedRegistry();
  InstallUninstaller();
  ShowFailureLog();
  WriteUninstallRecord();
  ShowCompletion();
  RunExecuteFile();
  window_.EndProgram();
}

void InstallRun::Start() {
  options_ = window_.FreezeForInstall();
  window_.ShowStatus(text::kGatheringPlan);
}

std::string InstallRun::Read(const char* section, const std::string& key,
                             const std::string& fallback) {
  return ReadIniString(platform_, section, key, fallback, values_.infoFile);
}

std::string InstallRun::SourcePath(const std::string& fileName) const {
  return DelBackslash(values_.sourceFolder, "B", cp_) + "\\" + fileName;
}

MarkerFolders InstallRun::Folders() const {
  return {installFolder_, values_.programFilesFolder, values_.windowsFolder, values_.systemFolder};
}

void InstallRun::Fail(const char* tag, const std::string& path) {
  failureLog_ += tag + path + "\r\n";
  ++failureCount_;
}

void InstallRun::GatherInstallPlan() {
  const std::string& file = values_.infoFile;
  for (const std::string& folder :
       ReadNumberedKeys(platform_, file, ini::kMakeFolder, "Folder", kMaxFolders)) {
    plan_.AppendFolder(folder);
  }
  for (const std::string& entry :
       ReadNumberedKeys(platform_, file, ini::kCopyFile, "File", kMaxFiles)) {
    CopyFileValue value = SplitCopyFileValue(entry);
    std::string source = SourcePath(FileNamePart(value.path, cp_));
    if (!FileExists(platform_, source)) continue;
    plan_.AppendFile(value.path, value.flag);
    std::optional<uint64_t> size = platform_.FileSize(source);
    if (size) {
      totalBytes_ += *size;
    } else {
      showProgress_ = false;
    }
  }
  for (int n = 1; n <= kMaxShortCuts; ++n) {
    std::string target = Read(ini::kShortCut, "Make" + std::to_string(n));
    if (target.empty()) continue;
    std::string name = Read(ini::kShortCut, "Name" + std::to_string(n), "Default");
    plan_.AppendShortCut(target, name);
    if ((ContainsMarker(name, "(Dsk)") && !options_.shortCutOnDesktop) ||
        (ContainsMarker(name, "(Sta)") && !options_.shortCutOnStartMenu) ||
        (ContainsMarker(name, "(Sup)") && !options_.shortCutOnStartUp) ||
        (ContainsMarker(name, "(Sen)") && !options_.shortCutOnSendTo)) {
      plan_.DropLastShortCut();
    }
  }
  for (int n = 1; n <= kMaxRegistry; ++n) {
    std::string key = Read(ini::kRegistry, "Key" + std::to_string(n));
    if (key.empty()) continue;
    plan_.AppendRegistry(key, "", "");
    std::string name = Read(ini::kRegistry, "Name" + std::to_string(n));
    if (name.empty()) {
      plan_.DropLastRegistry();
      continue;
    }
    plan_.registryNames[plan_.registryCount] = name;
    plan_.registryValues[plan_.registryCount] = Read(ini::kRegistry, "Value" + std::to_string(n));
  }
  for (const std::string& key :
       ReadNumberedKeys(platform_, file, ini::kDeleteRegistry, "Key", kMaxDeleteRegistry)) {
    lists_.setupRegistry[++setupRegistryCount_] = key;
  }
}

bool InstallRun::PrepareInstallFolder() {
  failureCount_ = 0;
  failureLog_.clear();
  window_.ShowStatus(text::kCheckingFolder);
  installFolder_ = options_.installFolder;
  recordPath_ = DelBackslash(installFolder_, "B", cp_) + "\\UNSETUP.INI";
  if (FolderExists(platform_, installFolder_)) return true;
  std::string question = installFolder_ + "\r\r" + text::kFolderMissing + "\r" +
                         text::kCreateFolderQuestion;
  if (window_.Ask(question, text::kCreateFolderCaption, kQuestion) == kIdNo) {
    window_.Ask(text::kCannotContinue, text::kSetupStoppedCaption, kMbOk | kMbIconError);
    return false;
  }
  if (platform_.MakeFolder(installFolder_) == 0) return true;
  window_.Ask(installFolder_ + "\r\r" + text::kFolderCreateFailed + "\r\r" + text::kCannotContinue,
              text::kFatalErrorCaption, kMbOk | kMbIconError);
  return false;
}

void InstallRun::MergeEarlierRecord() { qs::MergeEarlierRecord(platform_, recordPath_, lists_); }

void InstallRun::CreatePlannedFolders() {
  for (int k = 1; k <= plan_.folderCount; ++k) {
    std::string path = AddBackslash(ResolveMarkerPath(plan_.folders[k], Folders(), cp_), "B", cp_);
    AddToDeleteList(platform_, lists_.folders, path);
    window_.ShowStatus(std::string(text::kCreatingFolders) + "\r" + text::kCreatingArrow + path);
    uint32_t error = platform_.MakeFolder(path);
    if (error != 0 && error != kErrAlreadyExists) Fail(text::kTagFolder, path);
    platform_.Sleep(kStepPause);
  }
  if (showProgress_) window_.ShowProgress(true);
}

void InstallRun::CopyPlannedFiles() {
  for (int k = 1; k <= plan_.fileCount; ++k) CopyOneFile(k);
  window_.ShowProgress(false);
}

void InstallRun::CopyOneFile(int k) {
  std::string destination = ResolveMarkerPath(plan_.files[k], Folders(), cp_);
  std::string source = SourcePath(FileNamePart(destination, cp_));
  // A name ending in "_" (a whole character, not the trail byte of a
  // double-byte one) is a compressed file.
  size_t last = cp_.LastCharStart(destination);
  bool compressed = last != std::string::npos && last + 1 == destination.size() &&
                    destination[last] == '_';
  bool expanded = true;
  if (compressed) {
    std::string result = ExpandCompressedFile(platform_, source, values_.tempFolder, cp_, &expanded);
    size_t comma = result.find(',');
    source = result.substr(0, comma);
    destination = DelBackslash(FolderPart(destination, cp_), "B", cp_) + "\\" +
                  MapUpperCase(platform_, result.substr(comma + 1), kLcmapUppercase);
  }
  window_.ShowStatus(text::kCopyingArrow + destination);
  if (!expanded) {
    // A damaged or cut-off compressed file installs nothing: whatever is at
    // the destination stays, and the record does not claim it.
    if (showProgress_) AdvanceProgress(SourcePath(FileNamePart(plan_.files[k], cp_)));
    Fail(text::kTagFile, destination);
    return;
  }
  bool overwrite = true;
  if (FileExists(platform_, destination) && !options_.overwriteAll) {
    std::string question = destination + "\r\r" + text::kFileExists + "\r" + text::kOverwriteQuestion;
    overwrite = window_.Ask(question, text::kOverwriteCaption, kQuestion) != kIdNo;
  }
  RecordInstalledFile(platform_, lists_.files, destination, plan_.fileFlags[k]);
  bool copied = platform_.Copy(source, destination, !overwrite);
  if (compressed) {
    platform_.Delete(source);
    source = SourcePath(FileNamePart(plan_.files[k], cp_));
  }
  if (showProgress_) AdvanceProgress(source);
  if (!copied) Fail(text::kTagFile, destination);
}

void InstallRun::AdvanceProgress(const std::string& source) {
  if (std::optional<uint64_t> size = platform_.FileSize(source)) copiedBytes_ += *size;
  // Planned files that are all empty count as done at once.
  int percent = totalBytes_ == 0 ? 100 : static_cast<int>(copiedBytes_ * 100 / totalBytes_);
  window_.SetProgress(percent);
  platform_.Sleep(kStepPause);
}

void InstallRun::CreatePlannedShortCuts() {
  for (int k = 1; k <= plan_.shortCutCount; ++k) {
    std::string target = ResolveMarkerPath(plan_.shortCutTargets[k], Folders(), cp_);
    std::string name = plan_.shortCutNames[k];
    if (name == "Default") name = FileNamePart(target, cp_);
    name = ShortCutNameWithPlace(name);
    std::string marker = name.substr(0, 5);
    std::string linkName = name.size() > 5 ? name.substr(5) : std::string();
    window_.ShowStatus(std::string(text::kCreatingShortCuts) + "\r" + text::kCreateTargetArrow +
                       target + "\r" + text::kCreatingArrow + DelBackslash(linkName, "T", cp_));
    std::string link = MakeShortCut(platform_, target, linkName, CsidlOfPlace(marker), cp_);
    platform_.Sleep(kStepPause);
    AddToDeleteList(platform_, lists_.shortCuts, link);
  }
}

void InstallRun::WritePlannedRegistry() {
  for (int k = 1; k <= plan_.registryCount; ++k) {
    window_.ShowStatus(text::kWritingRegistry);
    RegistryKeyRef key = ParseRegistryKey(plan_.registryKeys[k]);
    std::string path = DelBackslash(DelBackslash(key.path, "T", cp_), "B", cp_);
    if (!platform_.CreateRegistryKey(key.root, path)) {
      throw SetupError(WithValue(text::kKeyCreateFailed, path));
    }
    RegValue value = ParseRegistryValue(plan_.registryValues[k]);
    if (!platform_.SetRegistryValue(key.root, path, plan_.registryNames[k], value)) {
      throw SetupError(WithValue(text::kValueWriteFailed, plan_.registryNames[k]));
    }
  }
}

void InstallRun::InstallUninstaller() {
  window_.ShowStatus(text::kCopyingUninstaller);
  std::string source = SourcePath("SETUP.EXE");
  std::string destination = DelBackslash(values_.windowsFolder, "B", cp_) + "\\APPUNSET.EXE";
  std::optional<uint64_t> sourceTime = platform_.LastWriteTime(source);
  if (!sourceTime) {
    // Whether the copy is older cannot be told: it is not refreshed, and
    // the user is told so.
    Fail(text::kTagSetupFile, destination);
    return;
  }
  std::optional<uint64_t> destinationTime = platform_.LastWriteTime(destination);
  bool newer = !destinationTime || *sourceTime / kTwoSeconds > *destinationTime / kTwoSeconds;
  if (!newer) return;
  platform_.SetAttributes(destination, kAttrArchive);
  bool copied = platform_.Copy(source, destination, false);
  platform_.SetAttributes(destination, kAttrReadOnly | kAttrArchive);
  if (!copied) Fail(text::kTagSetupFile, destination);
}

void InstallRun::ShowFailureLog() {
  if (failureCount_ == 0) return;
  window_.NoteFailures(failureLog_);
  window_.ShowStatus(text::kSomeStepsFailed);
  if (window_.Ask(text::kShowFailuresQuestion, text::kWarningCaption,
                  kMbYesNo | kMbIconWarning) == kIdYes) {
    window_.ShowFailureList(text::kFailureListCaption, failureLog_);
  }
}

void InstallRun::WriteUninstallRecord() {
  window_.ShowStatus(text::kWritingRecord);
  RecordSetting setting{recordPath_, installFolder_, values_.unSetupTitle,
                        ReadUnSetupKey(platform_, values_.infoFile, values_.unSetupTitle),
                        values_.windowsFolder};
  qs::WriteUninstallRecord(platform_, setting, lists_, cp_);
}

void InstallRun::ShowCompletion() {
  window_.ShowStatus(text::kSetupComplete);
  window_.Ask(text::kSetupCompleteMessage, text::kCompleteCaption, kMbOk | kMbIconInformation);
}

void InstallRun::RunExecuteFile() {
  std::string value = ReadExecuteFile(platform_, values_.infoFile);
  if (value.empty()) return;
  std::string path = ResolveMarkerPath(value, Folders(), cp_);
  if (!FileExists(platform_, path)) return;
  if (!platform_.ShellOpen(path)) {
    window_.Ask(text::kExecuteFailed, text::kWarningCaption, kMbOk | kMbIconWarning);
  }
}

}  // namespace qs
