#include "app/StartUp.h"

#include "app/ControlIds.h"
#include "app/ViewRunWindow.h"
#include "core/Expand.h"
#include "core/Paths.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "data/UninstallRecord.h"
#include "platform/ProfileText.h"

namespace qs {
namespace {

constexpr const char* kSetupIni = "SETUP.INI";

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
  SettleFolders();
  // Only the exact record name on the command line means uninstalling.
  if (FileNamePart(argument, cp_) == kUnSetupIni) {
    mode_ = Mode::Uninstall;
    CopyRecord(argument);
  } else {
    // The uninstaller is copied from this file as it is now.
    values_.setupProgram = platform_.HoldFile(JoinPath(values_.sourceFolder, "SETUP.EXE", cp_));
  }
  if (DefinitionMissing()) {
    Continue();
    return;
  }
  Titles titles = ReadTitles(platform_, values_.infoFile);
  values_.setupTitle = titles.setup;
  values_.unSetupTitle = titles.unSetup;
  const std::string& title = mode_ == Mode::Uninstall ? values_.unSetupTitle : values_.setupTitle;
  view_.SetBackTitle(title);
  view_.SetCaption(title);
  if (mode_ == Mode::Uninstall || !ShowReadme()) Continue();
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

bool StartUp::DefinitionMissing() const {
  return recordCopyFailed_ || !FileExists(platform_, values_.infoFile);
}

void StartUp::DropRecordCopy() {
  if (mode_ == Mode::Uninstall && !recordCopyFailed_) platform_.Delete(values_.infoFile);
}

// Shows the readme when the definition file names an existing one.
bool StartUp::ShowReadme() {
  std::string file = ReadIniString(platform_, ini::kReadme, "File", "", values_.infoFile);
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
  view_.SetText(ids::kFraReadme,
                ReadIniString(platform_, ini::kReadme, "Title", "", values_.infoFile));
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
  } else if (DefinitionMissing()) {
    errors += std::string(text::kInfoFileMissing) + "\r";
  }
  values_.windowsFolder = platform_.WindowsFolder();
  if (values_.windowsFolder.empty()) errors += std::string(text::kWindowsFolderFailed) + "\r";
  values_.systemFolder = platform_.SystemFolder();
  if (values_.systemFolder.empty()) errors += std::string(text::kSystemFolderFailed) + "\r";
  values_.programFilesFolder =
      JoinPath(ParentFolder(values_.windowsFolder, cp_), "Program Files", cp_);
  std::string proposed = ProposedFolder();
  plan_.Reset();
  if (mode_ == Mode::Install) OfferShortCutPlaces();
  view_.SetText(ids::kTxtFolder, proposed);
  EnterReadyState(errors);
}

std::string StartUp::ProposedFolder() {
  std::string value =
      ReadIniString(platform_, ini::kDefaultFolder, "Folder", "(Prg)\\", values_.infoFile);
  MarkerFolders folders{"", values_.programFilesFolder, values_.windowsFolder,
                        values_.systemFolder};
  return ResolveDefaultFolder(value, folders, cp_);
}

void StartUp::OfferShortCutPlaces() {
  ShortCutPlaces places = ReadShortCutPlaces(platform_, values_.infoFile);
  if (places.desktop) view_.SetEnabled(ids::kChkSCutDesktop, true);
  if (places.startMenu) view_.SetEnabled(ids::kChkSCutStartMenu, true);
  if (places.startUp) view_.SetEnabled(ids::kChkSCutStartUp, true);
  if (places.sendTo) view_.SetEnabled(ids::kChkSCutSendTo, true);
}

// The message and the buttons of Start-up error, Ready to uninstall or Ready
// to install.
void StartUp::EnterReadyState(const std::string& errors) {
  values_.messageText.clear();
  if (!errors.empty()) {
    values_.messageText = errors;
    view_.SetText(ids::kBtnEnd, text::kBtnEndError);
    view_.SetEnabled(ids::kBtnEnd, true);
  } else if (mode_ == Mode::Uninstall) {
    ShowReadyToUninstall();
  } else {
    ShowReadyToInstall();
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

void StartUp::ShowReadyToInstall() {
  values_.messageText = ReadTopMessage(platform_, values_.infoFile);
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
