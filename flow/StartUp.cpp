#include "flow/StartUp.h"

#include "flow/ControlIds.h"
#include "flow/ViewRunWindow.h"
#include "core/BundleReader.h"
#include "core/Expand.h"
#include "core/Paths.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "data/UninstallRecord.h"
#include "platform/ProfileText.h"

namespace qs {
namespace {

constexpr const char* kSetupIni = "SETUP.INI";
// The product of a one-file SETUP.EXE, inside the work folder.
constexpr const char* kUnpackFolder = "SOURCE";
// Unpacking shows its progress once it has taken this long.
constexpr uint64_t kQuietUnpacking = 1000;

// The progress frame while a one-file SETUP.EXE unpacks, once that has
// taken about a second; hidden again when unpacking ends.
class UnpackProgress : public BundleProgress {
 public:
  UnpackProgress(Platform& platform, MainView& view)
      : platform_(platform), view_(view), start_(platform.Milliseconds()) {}
  ~UnpackProgress() override {
    if (shown_) view_.SetVisible(ids::kFraStatus, false);
  }
  void Unpacked(uint32_t done, uint32_t total) override {
    if (!shown_ && platform_.Milliseconds() - start_ < kQuietUnpacking) return;
    if (!shown_) {
      shown_ = true;
      view_.SetText(ids::kLblMessage, text::kUnpacking);
      view_.SetVisible(ids::kFraStatus, true);
    }
    int percent = total == 0 ? 100 : static_cast<int>(uint64_t{done} * 100 / total);
    view_.SetText(ids::kLblStatus, std::to_string(percent) + "%");
    view_.SetProgress(percent);
    view_.ProcessMessages();
  }

 private:
  Platform& platform_;
  MainView& view_;
  uint64_t start_;
  bool shown_ = false;
};

}  // namespace

std::string ToEditLineEnds(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

StartUp::StartUp(Platform& platform, MainView& view, InstallPlan& plan)
    : platform_(platform), view_(view), plan_(plan), cp_(kUtf8) {}

void StartUp::Activate() {
  view_.DisableCloseCommand();
  std::string argument = platform_.FirstArgument();
  // Only the exact record name on the command line means uninstalling.
  if (FileNamePart(argument, cp_) == kUnSetupIni) mode_ = Mode::Uninstall;
  SettleFolders();
  if (mode_ == Mode::Uninstall) {
    CopyRecord(argument);
  } else {
    UnpackProduct();
    // The uninstaller is copied from this file as it is now (a one-file
    // SETUP.EXE's: the one it held).
    values_.setupProgram = platform_.HoldFile(JoinPath(values_.sourceFolder, "SETUP.EXE", cp_));
  }
  if (DefinitionMissing()) {
    Continue();
    return;
  }
  DefinitionFile definition(platform_, values_.infoFile);
  Titles titles = ReadTitles(definition);
  values_.setupTitle = titles.setup;
  values_.unSetupTitle = titles.unSetup;
  const std::string& title = mode_ == Mode::Uninstall ? values_.unSetupTitle : values_.setupTitle;
  view_.SetBackTitle(title);
  view_.SetCaption(title);
  if (mode_ == Mode::Uninstall || !ShowReadme(definition)) Continue();
}

// SourceFolder, TempFolder and the definition file beside the program.
// With more than a user's rights the work folder's parent is one that only
// administrators can change and that no user's environment names: a user
// could otherwise swap the path above the folder between two steps.
void StartUp::SettleFolders() {
  values_.sourceFolder = FolderPart(platform_.ModulePath(), cp_);
  if (platform_.ProcessRights() != Rights::User) {
    const std::string parent = platform_.AdminTempFolder();
    if (!parent.empty()) MakeWorkFolder(parent);
    noWorkFolder_ = !workFolder_ || !workFolder_->made();
    values_.tempFolder = noWorkFolder_ ? std::string() : workFolder_->path();
  } else {
    std::string systemTemp = platform_.TempFolder();
    if (systemTemp.empty()) systemTemp = values_.sourceFolder;
    MakeWorkFolder(systemTemp);
    if (!workFolder_->made()) {
      view_.MessageBox(text::kWorkFolderFailed, text::kWarningCaption, kMbOk | kMbIconWarning);
      values_.tempFolder = systemTemp;
    }
  }
  values_.infoFile = JoinPath(values_.sourceFolder, kSetupIni, cp_);
}

// The record copy and the scratch files live in a folder of the program's
// own inside TEMP. Where none can be made, a user's run uses TEMP itself,
// after saying so.
void StartUp::MakeWorkFolder(const std::string& parent) {
  workFolder_ = std::make_unique<WorkFolder>(
      platform_, parent, std::vector<std::string>{kUnSetupIni, kExpandScratch, kAsideScratch},
      cp_);
  values_.tempFolder = workFolder_->path();
}

// A one-file SETUP.EXE unpacks the product it holds into the work folder,
// which then stands as the program's folder; it goes with the work folder.
// A plain SETUP.EXE runs from its own folder. Without a work folder of its
// own a bundle is not unpacked at all (TEMP itself is anyone's); a program
// that cannot see its own file runs as a plain one.
void StartUp::UnpackProduct() {
  const std::string program = platform_.ModulePath();
  if (!FileExists(platform_, program)) return;
  const std::string folder =
      workFolder_ && workFolder_->made() ? JoinPath(workFolder_->path(), kUnpackFolder, cp_)
                                          : std::string();
  BundleResult unpacked;
  {
    UnpackProgress progress(platform_, view_);
    unpacked = UnpackBundle(platform_, program, folder, &progress);
  }
  switch (unpacked.status) {
    case BundleStatus::NotABundle:
      return;
    case BundleStatus::Damaged:
    case BundleStatus::Refused:
      unpackError_ = text::kBundleDamaged;
      return;
    case BundleStatus::Failed:
      unpackError_ = text::kBundleFailed;
      return;
    case BundleStatus::Ok:
      break;
  }
  UnpackedTree tree = TreeBelow(kUnpackFolder, unpacked.entries, cp_);
  workFolder_->AddTree(std::move(tree.files), std::move(tree.folders));
  values_.sourceFolder = AddBackslash(folder, PathEnd::Trailing, cp_);
  values_.infoFile = JoinPath(values_.sourceFolder, kSetupIni, cp_);
}

// The uninstall reads a copy of the record in the work folder. When the copy
// fails, whatever is there already belongs to another product: it is neither
// read nor removed.
void StartUp::CopyRecord(const std::string& record) {
  values_.recordFile = record;
  values_.infoFile = JoinPath(values_.tempFolder, kUnSetupIni, cp_);
  if (noWorkFolder_) {
    recordCopyFailed_ = true;
    return;
  }
  recordCopyFailed_ =
      IsLink(platform_, values_.infoFile) || !platform_.Copy(record, values_.infoFile, false);
}

// A damaged one-file SETUP.EXE installs nothing, whatever lies beside it.
bool StartUp::DefinitionMissing() const {
  return recordCopyFailed_ || !unpackError_.empty() || !FileExists(platform_, values_.infoFile);
}

void StartUp::DropRecordCopy() {
  if (mode_ == Mode::Uninstall && !recordCopyFailed_) platform_.Delete(values_.infoFile);
}

// Shows the readme when the definition file names an existing one.
bool StartUp::ShowReadme(const DefinitionFile& definition) {
  std::string file = definition.Get(keys::kReadmeFile);
  if (file.empty()) return false;
  std::string path = JoinPath(values_.sourceFolder, file, cp_);
  if (!FileExists(platform_, path)) return false;
  view_.SetEnabled(ids::kBtnContinue, true);
  view_.SetVisible(ids::kBtnContinue, true);
  view_.SetEnabled(ids::kBtnEnd, true);
  view_.SetVisible(ids::kFraReadme, true);
  // A readme that cannot be read shows an empty frame.
  std::string bytes = ReadAll(platform_.OpenForRead(path, false)).value_or("");
  // Shift-JIS, or UTF-8 or UTF-16 after a byte-order mark, like the
  // definition file.
  view_.SetText(ids::kTxtReadme, ToEditLineEnds(DecodeText(platform_, bytes).text));
  view_.SetText(ids::kFraReadme, definition.Get(keys::kReadmeTitle));
  return true;
}

void StartUp::Continue() {
  view_.SetEnabled(ids::kBtnContinue, false);
  view_.SetVisible(ids::kBtnContinue, false);
  view_.SetEnabled(ids::kBtnEnd, false);
  view_.SetVisible(ids::kFraReadme, false);
  std::string errors;
  ShowStatusOn(view_, text::kInitializing);
  if (noWorkFolder_) {
    errors += std::string(text::kNoAdminWorkFolder) + "\r";
  } else if (!unpackError_.empty()) {
    errors += unpackError_ + "\r";
  } else if (DefinitionMissing()) {
    errors += std::string(text::kInfoFileMissing) + "\r";
  }
  values_.windowsFolder = platform_.WindowsFolder();
  if (values_.windowsFolder.empty()) errors += std::string(text::kWindowsFolderFailed) + "\r";
  values_.systemFolder = platform_.SystemFolder();
  if (values_.systemFolder.empty()) errors += std::string(text::kSystemFolderFailed) + "\r";
  values_.programFilesFolder =
      JoinPath(ParentFolder(values_.windowsFolder, cp_), "Program Files", cp_);
  DefinitionFile definition(platform_, values_.infoFile);
  std::string proposed = ProposedFolder(definition);
  plan_.Reset();
  if (mode_ == Mode::Install) OfferShortCutPlaces(definition);
  view_.SetText(ids::kTxtFolder, proposed);
  EnterReadyState(errors, definition);
}

std::string StartUp::ProposedFolder(const DefinitionFile& definition) {
  std::string value = definition.Get(keys::kDefaultFolder, "(Prg)\\");
  MarkerFolders folders{"", values_.programFilesFolder, values_.windowsFolder,
                        values_.systemFolder};
  return ResolveDefaultFolder(value, folders, cp_);
}

void StartUp::OfferShortCutPlaces(const DefinitionFile& definition) {
  ShortCutPlaces places = ReadShortCutPlaces(definition);
  if (places.desktop) view_.SetEnabled(ids::kChkSCutDesktop, true);
  if (places.startMenu) view_.SetEnabled(ids::kChkSCutStartMenu, true);
  if (places.startUp) view_.SetEnabled(ids::kChkSCutStartUp, true);
  if (places.sendTo) view_.SetEnabled(ids::kChkSCutSendTo, true);
}

// The message and the buttons of Start-up error, Ready to uninstall or Ready
// to install.
void StartUp::EnterReadyState(const std::string& errors, const DefinitionFile& definition) {
  values_.messageText.clear();
  if (!errors.empty()) {
    values_.messageText = errors;
    view_.SetText(ids::kBtnEnd, text::kBtnEndError);
    view_.SetEnabled(ids::kBtnEnd, true);
  } else if (mode_ == Mode::Uninstall) {
    ShowReadyToUninstall();
  } else {
    ShowReadyToInstall(definition);
  }
  view_.SetText(ids::kLblMessage, values_.messageText);
  view_.FocusWindow();
}

void StartUp::ShowReadyToUninstall() {
  values_.messageText = text::kUnSetupMessage;
  view_.SetVisible(ids::kBtnUnSetup, true);
  view_.SetEnabled(ids::kBtnUnSetup, true);
  view_.SetVisible(ids::kBtnSetup, false);
  view_.SetText(ids::kBtnEnd, text::kBtnEndUnSetup);
  view_.SetEnabled(ids::kBtnEnd, true);
}

void StartUp::ShowReadyToInstall(const DefinitionFile& definition) {
  values_.messageText = ReadTopMessage(definition);
  view_.SetVisible(ids::kBtnSetup, true);
  view_.SetEnabled(ids::kBtnSetup, true);
  view_.SetVisible(ids::kBtnUnSetup, false);
  view_.SetText(ids::kBtnEnd, text::kBtnEndSetup);
  view_.SetEnabled(ids::kBtnEnd, true);
  view_.SetEnabled(ids::kTxtFolder, true);
  view_.SetEnabled(ids::kBtnRefer, true);
  view_.SetEnabled(ids::kChkOverWrite, true);
}

}  // namespace qs
