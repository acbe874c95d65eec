#include "app/MainForm.h"

#include "app/ControlIds.h"
#include "core/Expand.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Texts.h"
#include "data/Definition.h"
#include "uninstall/UninstallRun.h"
#include "install/InstallRun.h"

namespace qs {
namespace {

constexpr const char* kSetupIni = "SETUP.INI";
constexpr uint32_t kCloseQuestionFlags = kMbYesNo | kMbIconQuestion;
constexpr uint32_t kFailureListPause = 200;

// Runs a run; a raised error is told to the window, then goes on to the
// window's dispatch, which reports it.
template <class Run>
void NotingErrors(RunWindow& window, Run run) {
  try {
    run();
  } catch (const SetupError& error) {
    window.NoteError(ErrorReportText(error.what()));
    throw;
  }
}

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

MainForm::MainForm(Platform& platform, MainView& view, InstallPlan& plan)
    : platform_(platform), view_(view), plan_(plan), cp_(platform.AnsiCodePage()) {}

std::string MainForm::InfoFileName() const { return FileNamePart(values_.infoFile, cp_); }

bool MainForm::UninstallMode() const { return InfoFileName() == kUnSetupIni; }

void MainForm::FormActivate() {
  view_.DisableCloseCommand();
  std::string argument = platform_.FirstArgument();
  SettleFolders();
  if (FileNamePart(argument, cp_) == kUnSetupIni) {
    values_.infoFile = DelBackslash(values_.tempFolder, "B", cp_) + "\\" + kUnSetupIni;
    // When the copy fails, whatever is there already belongs to another
    // product: it is neither read nor removed.
    recordCopyFailed_ =
        IsLink(platform_, values_.infoFile) || !platform_.Copy(argument, values_.infoFile, false);
  }
  if (recordCopyFailed_ || !FileExists(platform_, values_.infoFile)) {
    btnContinueClick();
    return;
  }
  Titles titles = ReadTitles(platform_, values_.infoFile);
  values_.setupTitle = titles.setup;
  values_.unSetupTitle = titles.unSetup;
  const std::string& title = UninstallMode() ? values_.unSetupTitle : values_.setupTitle;
  view_.SetBackTitle(title);
  view_.SetCaption(title);
  if (UninstallMode() || !ShowReadme()) btnContinueClick();
}

// SourceFolder, TempFolder and the definition file beside the program.
void MainForm::SettleFolders() {
  values_.sourceFolder = FolderPart(platform_.ModulePath(), cp_);
  std::string systemTemp = platform_.TempFolder();
  if (systemTemp.empty()) systemTemp = values_.sourceFolder;
  MakeWorkFolder(systemTemp);
  values_.infoFile = DelBackslash(values_.sourceFolder, "B", cp_) + "\\" + kSetupIni;
}

// The record copy and the scratch files live in a folder of the program's
// own inside TEMP. Where none can be made, TEMP itself serves, after saying so.
void MainForm::MakeWorkFolder(const std::string& systemTemp) {
  workFolder_ = std::make_unique<WorkFolder>(
      platform_, systemTemp, std::vector<std::string>{kUnSetupIni, kExpandScratch, kAsideScratch},
      cp_);
  values_.tempFolder = workFolder_->path();
  if (workFolder_->made()) return;
  view_.MessageBox(text::kWorkFolderFailed, text::kWarningCaption, kMbOk | kMbIconWarning);
  values_.tempFolder = systemTemp;
}

// Shows the readme when the definition file names an existing one.
bool MainForm::ShowReadme() {
  std::string file = ReadIniString(platform_, ini::kReadme, "File", "", values_.infoFile);
  if (file.empty()) return false;
  std::string path = DelBackslash(values_.sourceFolder, "B", cp_) + AddBackslash(file, "T", cp_);
  if (!FileExists(platform_, path)) return false;
  view_.SetEnabled(ids::kBtnContinue, true);
  view_.SetVisible(ids::kBtnContinue, true);
  view_.SetEnabled(ids::kBtnEnd, true);
  view_.SetVisible(ids::kFraReadme, true);
  // A readme that cannot be read shows an empty frame.
  std::string bytes;
  if (auto reader = platform_.OpenForRead(path, false)) {
    char buffer[16384];
    for (int64_t n; (n = reader->Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  }
  view_.SetText(ids::kTxtReadme, ToEditLineEnds(bytes));
  view_.SetText(ids::kFraReadme, ReadIniString(platform_, ini::kReadme, "Title", "", values_.infoFile));
  return true;
}

void MainForm::btnContinueClick() {
  view_.SetEnabled(ids::kBtnContinue, false);
  view_.SetVisible(ids::kBtnContinue, false);
  view_.SetEnabled(ids::kBtnEnd, false);
  view_.SetVisible(ids::kFraReadme, false);
  std::string errors;
  ShowStatus(text::kInitializing);
  if (recordCopyFailed_ || !FileExists(platform_, values_.infoFile)) {
    errors += std::string(text::kInfoFileMissing) + "\r";
  }
  values_.windowsFolder = platform_.WindowsFolder();
  if (values_.windowsFolder.empty()) errors += std::string(text::kWindowsFolderFailed) + "\r";
  values_.systemFolder = platform_.SystemFolder();
  if (values_.systemFolder.empty()) errors += std::string(text::kSystemFolderFailed) + "\r";
  values_.programFilesFolder =
      DelBackslash(ParentFolder(values_.windowsFolder, cp_), "B", cp_) + "\\Program Files";
  std::string proposed = ProposedFolder();
  plan_.Reset();
  if (InfoFileName() == kSetupIni) OfferShortCutPlaces();
  view_.SetText(ids::kTxtFolder, proposed);
  EnterReadyState(errors);
}

std::string MainForm::ProposedFolder() {
  std::string value =
      ReadIniString(platform_, ini::kDefaultFolder, "Folder", "(Prg)\\", values_.infoFile);
  MarkerFolders folders{"", values_.programFilesFolder, values_.windowsFolder,
                        values_.systemFolder};
  return ResolveDefaultFolder(value, folders, cp_);
}

void MainForm::OfferShortCutPlaces() {
  ShortCutPlaces places = ReadShortCutPlaces(platform_, values_.infoFile);
  if (places.desktop) view_.SetEnabled(ids::kChkSCutDesktop, true);
  if (places.startMenu) view_.SetEnabled(ids::kChkSCutStartMenu, true);
  if (places.startUp) view_.SetEnabled(ids::kChkSCutStartUp, true);
  if (places.sendTo) view_.SetEnabled(ids::kChkSCutSendTo, true);
}

// The message and the buttons of Start-up error, Ready to uninstall or Ready
// to install.
void MainForm::EnterReadyState(const std::string& errors) {
  values_.messageText.clear();
  if (!errors.empty()) {
    values_.messageText = errors;
    view_.SetText(ids::kBtnEnd, text::kBtnEndError);
    view_.SetEnabled(ids::kBtnEnd, true);
  } else if (UninstallMode()) {
    values_.messageText = text::kUnSetupMessage;
    view_.SetVisible(ids::kBtnUnSetup, true);
    view_.SetEnabled(ids::kBtnUnSetup, true);
    view_.SetVisible(ids::kBtnSetup, false);
    view_.SetText(ids::kBtnEnd, text::kBtnEndUnSetup);
    view_.SetEnabled(ids::kBtnEnd, true);
  } else {
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
  view_.SetText(ids::kLblMessage, values_.messageText);
  view_.FocusWindow();
}

void MainForm::btnReferClick() {
  std::optional<std::string> folder = view_.BrowseForFolder();
  if (!folder) return;
  std::string chosen = *folder;
  if (chosen.size() > 1) chosen = AddBackslash(chosen, "B", cp_);
  view_.SetText(ids::kTxtFolder, chosen);
}

namespace {
struct RunningFlag {
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  bool& flag_;
};
}  // namespace

void MainForm::btnSetupClick() {
  RunningFlag running(running_);
  NotingErrors(*runWindow_, [&] { InstallRun(platform_, *runWindow_, plan_, values_, cp_).Run(); });
}

void MainForm::btnEndClick() { view_.SetModalResult(1); }

bool MainForm::FormCloseQuery() {
  if (view_.BackEnabled()) return true;
  if (view_.MessageBox(text::kCloseQueryText, text::kCloseQueryCaption, kCloseQuestionFlags) !=
      kIdYes) {
    return false;
  }
  EndWithoutQuestion();
  return true;
}

void MainForm::EndWithoutQuestion() {
  if (view_.BackEnabled()) return;
  // The temporary copy of the record goes; a copy that was never made is
  // another product's and stays.
  if (UninstallMode() && !recordCopyFailed_) platform_.Delete(values_.infoFile);
  EndProgram();
}

void MainForm::btnCloseErrorLogClick() { view_.SetVisible(ids::kBtnCloseErrorLog, false); }

void MainForm::btnUnSetupClick() {
  RunningFlag running(running_);
  NotingErrors(*runWindow_, [&] { UninstallRun(platform_, *runWindow_, values_, cp_).Run(); });
}

void MainForm::AfterRunError() { view_.SetEnabled(ids::kBtnEnd, true); }

void MainForm::ShowStatus(const std::string& text) {
  view_.SetText(ids::kLblMessage, text);
  view_.ProcessMessages();
}

int MainForm::Ask(const std::string& text, const std::string& caption, uint32_t flags) {
  return view_.MessageBox(text, caption, flags);
}

void MainForm::ShowProgress(bool shown) { view_.SetVisible(ids::kFraStatus, shown); }

void MainForm::SetProgress(int percent) {
  view_.SetText(ids::kLblStatus, std::to_string(percent) + "%");
  view_.SetProgress(percent);
  view_.ProcessMessages();
}

void MainForm::ShowFailureList(const std::string& caption, const std::string& list) {
  view_.SetText(ids::kTxtReadme, "");
  view_.SetText(ids::kTxtReadme, list);
  view_.SetText(ids::kFraReadme, caption);
  view_.SetVisible(ids::kBtnCloseErrorLog, true);
  view_.SetVisible(ids::kFraReadme, true);
  do {
    platform_.Sleep(kFailureListPause);
  } while (view_.ProcessMessages() && view_.Visible(ids::kBtnCloseErrorLog));
  view_.SetVisible(ids::kFraReadme, false);
}

RunOptions MainForm::FreezeForInstall() {
  for (int id : {ids::kTxtFolder, ids::kBtnRefer, ids::kChkOverWrite, ids::kChkSCutDesktop,
                 ids::kChkSCutStartMenu, ids::kChkSCutStartUp, ids::kChkSCutSendTo,
                 ids::kBtnSetup, ids::kBtnEnd}) {
    view_.SetEnabled(id, false);
  }
  RunOptions options;
  options.installFolder = view_.Text(ids::kTxtFolder);
  options.overwriteAll = view_.Checked(ids::kChkOverWrite);
  options.shortCutOnDesktop = view_.Checked(ids::kChkSCutDesktop);
  options.shortCutOnStartMenu = view_.Checked(ids::kChkSCutStartMenu);
  options.shortCutOnStartUp = view_.Checked(ids::kChkSCutStartUp);
  options.shortCutOnSendTo = view_.Checked(ids::kChkSCutSendTo);
  return options;
}

void MainForm::FreezeForUninstall() {
  view_.SetEnabled(ids::kBtnUnSetup, false);
  view_.SetEnabled(ids::kBtnEnd, false);
}

void MainForm::EndProgram() {
  view_.EnableBack();
  view_.SetModalResult(1);
}

}  // namespace qs
