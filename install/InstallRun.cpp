#include "install/InstallRun.h"

#include "core/Expand.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Texts.h"
#include "data/RegistryView.h"

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

// Read once, when the plan is gathered: the later phases see the same file.
// One that is there but cannot be read ends the run: an empty plan would
// install nothing and say nothing.
const DefinitionFile& InstallRun::Definition() {
  if (!definition_) definition_.emplace(platform_, values_.infoFile);
  if (!definition_->readable()) throw SetupError(text::kInfoFileMissing);
  return *definition_;
}

std::string InstallRun::SourcePath(const std::string& fileName) const {
  return JoinPath(values_.sourceFolder, fileName, cp_);
}

MarkerFolders InstallRun::Folders() const {
  return {installFolder_, values_.programFilesFolder, values_.windowsFolder, values_.systemFolder};
}

void InstallRun::GatherInstallPlan() {
  for (const DefinitionEntry& folder : Definition().List(keys::kMakeFolder)) {
    plan_.folders.push_back(folder.value);
  }
  GatherFiles();
  GatherShortCuts();
  GatherRegistryValues();
  for (const DefinitionEntry& key : Definition().List(keys::kDeleteRegistry)) {
    lists_.setupRegistry.entries.push_back(key.value);
  }
}

// Only files whose source is there; their sizes make the progress total.
void InstallRun::GatherFiles() {
  for (const DefinitionEntry& entry : Definition().List(keys::kCopyFile)) {
    CopyFileValue value = SplitCopyFileValue(entry.value);
    std::string source = SourcePath(FileNamePart(value.path, cp_));
    if (!FileExists(platform_, source)) continue;
    plan_.files.push_back({value.path, value.flag});
    // Progress counts the source's bytes, compressed or not: what is read
    // from the medium is what takes the time, and the sizes are known now.
    std::optional<uint64_t> size = platform_.FileSize(source);
    if (size) {
      totalBytes_ += *size;
    } else {
      showProgress_ = false;
    }
  }
}

void InstallRun::GatherShortCuts() {
  for (const DefinitionEntry& target : Definition().List(keys::kShortCutMake)) {
    std::string name = Definition().Get(keys::kShortCutName, target.number, "Default");
    if (ShortCutChosen(name)) plan_.shortCuts.push_back({target.value, name});
  }
}

// An entry needs a key and a value name; the value itself may be empty.
void InstallRun::GatherRegistryValues() {
  for (const DefinitionEntry& key : Definition().List(keys::kRegistryKey)) {
    std::string name = Definition().Get(keys::kRegistryName, key.number);
    if (name.empty()) continue;
    plan_.registry.push_back({key.value, name, Definition().Get(keys::kRegistryValue, key.number)});
  }
}

// A name that mentions a place whose option is off makes no shortcut; a
// name without any place marker (such as "Default") always does.
bool InstallRun::ShortCutChosen(const std::string& name) const {
  for (const PlaceMarker& place : kPlaceMarkers) {
    if (ContainsMarker(name, place.marker) && !(options_.*place.chosen)) return false;
  }
  return true;
}

bool InstallRun::PrepareInstallFolder() {
  failures_.Clear();
  window_.ShowStatus(text::kCheckingFolder);
  installFolder_ = options_.installFolder;
  recordPath_ = RecordPath(installFolder_, cp_);
  if (FolderExists(platform_, installFolder_)) return true;
  std::string question = installFolder_ + "\r\r" + text::kFolderMissing + "\r" +
                         text::kCreateFolderQuestion;
  if (window_.Ask(question, text::kCreateFolderCaption, kQuestion) == kIdNo) {
    window_.Ask(text::kCannotContinue, text::kSetupStoppedCaption, kMbOk | kMbIconError);
    return false;
  }
  if (options_.makeEveryLevel) {
    MakeLevel(ParentFolder(DelBackslash(installFolder_, PathEnd::Trailing, cp_), cp_));
  }
  if (Tell(window_, FolderStep(installFolder_, platform_.MakeFolder(installFolder_),
                               "the install folder"))) {
    return true;
  }
  window_.Ask(installFolder_ + "\r\r" + text::kFolderCreateFailed + "\r\r" + text::kCannotContinue,
              text::kFatalErrorCaption, kMbOk | kMbIconError);
  return false;
}

// Makes level when it is missing, the missing levels above it first; each
// one made goes into the record, so that the uninstall can remove it again
// when empty. False when a level is not there and cannot be made: the
// install folder's own step then fails with the system's reason.
bool InstallRun::MakeLevel(const std::string& level) {
  if (IsRootPath(level) || FolderExists(platform_, level)) return true;
  const std::string parent = ParentFolder(level, cp_);
  if (parent.size() >= level.size() || !MakeLevel(parent)) return false;
  const uint32_t error = platform_.MakeFolder(level);
  Tell(window_, FolderStep(level, error, "above the install folder"));
  if (error != 0) return false;  // not made here: not the product's to remove
  AddToDeleteList(platform_, lists_.levels, AddBackslash(level, PathEnd::Trailing, cp_));
  return true;
}

void InstallRun::MergeEarlierRecord() { qs::MergeEarlierRecord(platform_, recordPath_, lists_); }

void InstallRun::CreatePlannedFolders() {
  for (const std::string& folder : plan_.folders) {
    std::string path =
        AddBackslash(ResolveMarkerPath(folder, Folders(), cp_), PathEnd::Trailing, cp_);
    AddToDeleteList(platform_, lists_.folders, path);
    window_.ShowStatus(std::string(text::kCreatingFolders) + "\r" + text::kCreatingArrow + path);
    if (!Tell(window_, FolderStep(path, platform_.MakeFolder(path)))) {
      failures_.Add(text::kTagFolder, path);
    }
    platform_.Sleep(kStepPause);
  }
  if (showProgress_) window_.ShowProgress(true);
}

void InstallRun::CopyPlannedFiles() {
  for (const PlannedCopy& file : plan_.files) CopyOneFile(file);
  window_.ShowProgress(false);
}

void InstallRun::CopyOneFile(const PlannedCopy& file) {
  std::string destination = ResolveMarkerPath(file.path, Folders(), cp_);
  std::string source = SourcePath(FileNamePart(destination, cp_));
  // A name ending in "_" (a whole character, not the trail byte of a
  // double-byte one) is a compressed file.
  size_t last = cp_.LastCharStart(destination);
  bool compressed = last != std::string::npos && last + 1 == destination.size() &&
                    destination[last] == '_';
  RunStep step{"file", destination, false, "from " + FileNamePart(source, cp_)};
  bool expanded = true;
  bool szdd = false;
  if (compressed) {
    ExpandResult result = ExpandCompressedFile(platform_, source, values_.tempFolder, cp_);
    expanded = result.complete;
    szdd = result.expanded;
    source = result.scratch;
    destination = JoinPath(FolderPart(destination, cp_), MapUpperCase(platform_, result.name), cp_);
  }
  window_.ShowStatus(text::kCopyingArrow + destination);
  if (!expanded) {
    // A damaged or cut-off compressed file installs nothing: whatever is at
    // the destination stays, and the record does not claim it.
    if (showProgress_) AdvanceProgress(SourcePath(FileNamePart(file.path, cp_)));
    step.subject = destination;
    Tell(window_, step);
    failures_.Add(text::kTagFile, destination);
    return;
  }
  bool overwrite = true;
  if (FileExists(platform_, destination) && !options_.overwriteAll) {
    std::string question = destination + "\r\r" + text::kFileExists + "\r" + text::kOverwriteQuestion;
    overwrite = window_.Ask(question, text::kOverwriteCaption, kQuestion) != kIdNo;
  }
  RecordInstalledFile(platform_, lists_.files, destination, file.flag);
  step.subject = destination;
  step.done = platform_.Copy(source, destination, !overwrite);
  if (std::optional<uint64_t> size = platform_.FileSize(step.done ? destination : source)) {
    step.detail += ", " + DecimalText(*size) + " bytes";
    if (step.done) installedBytes_ += *size;
  }
  if (compressed) {
    step.detail += szdd ? ", expanded" : ", not SZDD: copied as it is";
    platform_.Delete(source);
    source = SourcePath(FileNamePart(file.path, cp_));
  }
  if (showProgress_) AdvanceProgress(source);
  if (!Tell(window_, step)) failures_.Add(text::kTagFile, destination);
}

void InstallRun::AdvanceProgress(const std::string& source) {
  if (std::optional<uint64_t> size = platform_.FileSize(source)) copiedBytes_ += *size;
  // Planned files that are all empty count as done at once.
  int percent = totalBytes_ == 0 ? 100 : static_cast<int>(copiedBytes_ * 100 / totalBytes_);
  window_.SetProgress(percent);
  platform_.Sleep(kStepPause);
}

void InstallRun::CreatePlannedShortCuts() {
  for (const PlannedShortCut& shortCut : plan_.shortCuts) {
    std::string target = ResolveMarkerPath(shortCut.target, Folders(), cp_);
    std::string name = shortCut.name;
    if (name == "Default") name = FileNamePart(target, cp_);
    name = ShortCutNameWithPlace(name);
    std::string marker = name.substr(0, 5);
    std::string linkName = name.size() > 5 ? name.substr(5) : std::string();
    window_.ShowStatus(std::string(text::kCreatingShortCuts) + "\r" + text::kCreateTargetArrow +
                       target + "\r" + text::kCreatingArrow +
                       DelBackslash(linkName, PathEnd::Leading, cp_));
    std::string link =
        MakeShortCut(platform_, window_, target, linkName, CsidlOfPlace(marker), cp_);
    Tell(window_, "shortcut", link, !link.empty(), "to " + target);
    platform_.Sleep(kStepPause);
    AddToDeleteList(platform_, lists_.shortCuts, link);
  }
}

// A first-level key (in the system's view) that is not there before the
// first value goes under it is the product's own: the record says so, and
// the uninstaller may then remove it.
void InstallRun::WritePlannedRegistry() {
  for (const PlannedValue& planned : plan_.registry) {
    window_.ShowStatus(text::kWritingRegistry);
    RegistryKeyRef key = ParseRegistryKey(planned.key);
    std::string path =
        DelBackslash(DelBackslash(key.path, PathEnd::Leading, cp_), PathEnd::Trailing, cp_);
    const std::string first = ViewOf(key.root, path).firstLevel;
    if (!first.empty() && !platform_.RegistryKeyExists(key.root, first)) {
      AddToDeleteList(platform_, lists_.created, MarkerOfRoot(key.root) + first);
    }
    if (!platform_.CreateRegistryKey(key.root, path)) {
      throw SetupError(WithValue(text::kKeyCreateFailed, path));
    }
    RegValue value = ParseRegistryValue(planned.value);
    if (!Tell(window_, "registry", RootName(key.root) + path,
              platform_.SetRegistryValue(key.root, path, planned.name, value),
              planned.name + " = " + DescribeValue(value))) {
      throw SetupError(WithValue(text::kValueWriteFailed, planned.name));
    }
  }
}

// The copy is made from SETUP.EXE as held since start-up (or, without a
// start-up, since now): media users may change cannot swap it meanwhile.
void InstallRun::InstallUninstaller() {
  window_.ShowStatus(text::kCopyingUninstaller);
  std::shared_ptr<HeldFile> source = values_.setupProgram;
  if (!source) source = platform_.HoldFile(SourcePath("SETUP.EXE"));
  std::string destination = UninstallerPath(values_.windowsFolder, cp_);
  std::optional<uint64_t> sourceTime = source ? source->LastWriteTime() : std::nullopt;
  if (!sourceTime) {
    // Whether the copy is older cannot be told: it is not refreshed, and
    // the user is told so.
    failures_.Add(text::kTagSetupFile, destination);
    return;
  }
  std::optional<uint64_t> destinationTime = platform_.LastWriteTime(destination);
  bool newer = !destinationTime || *sourceTime / kTwoSeconds > *destinationTime / kTwoSeconds;
  if (!newer) return;
  platform_.SetAttributes(destination, kAttrArchive);
  bool copied = source->CopyTo(destination);
  platform_.SetAttributes(destination, kAttrReadOnly | kAttrArchive);
  if (!Tell(window_, "uninstaller", destination, copied, "from SETUP.EXE")) {
    failures_.Add(text::kTagSetupFile, destination);
  }
}

void InstallRun::ShowFailureLog() {
  failures_.Offer(window_, text::kShowFailuresQuestion, text::kFailureListCaption);
}

void InstallRun::WriteUninstallRecord() {
  window_.ShowStatus(text::kWritingRecord);
  RecordSetting setting{recordPath_,
                        installFolder_,
                        values_.unSetupTitle,
                        ReadUnSetupKey(Definition(), values_.unSetupTitle),
                        values_.windowsFolder,
                        Definition().Get(keys::kVersion),
                        Definition().Get(keys::kPublisher),
                        platform_.LocalDate(),
                        installedBytes_};
  qs::WriteUninstallRecord(platform_, setting, lists_, cp_, &window_);
}

void InstallRun::ShowCompletion() {
  window_.ShowStatus(text::kSetupComplete);
  window_.Ask(text::kSetupCompleteMessage, text::kCompleteCaption, kMbOk | kMbIconInformation);
}

void InstallRun::RunExecuteFile() {
  std::string value = Definition().Get(keys::kExecuteFile);
  if (value.empty()) return;
  std::string path = ResolveMarkerPath(value, Folders(), cp_);
  if (!FileExists(platform_, path)) return;
  // Under SYSTEM (a deployment tool) the file, perhaps in a folder users may
  // change, is never opened: it would run with the system's rights.
  if (!options_.openAfterSetup || platform_.ProcessRights() == Rights::System) {
    Tell(window_, "not-opened", path, true);
    return;
  }
  if (!Tell(window_, "open", path, platform_.ShellOpen(path))) {
    window_.Ask(text::kExecuteFailed, text::kWarningCaption, kMbOk | kMbIconWarning);
  }
}

}  // namespace qs
