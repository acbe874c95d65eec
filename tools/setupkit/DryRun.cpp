#include "tools/setupkit/DryRun.h"

#include <algorithm>
#include <ctime>
#include <optional>

#include "flow/ControlIds.h"
#include "flow/MainForm.h"
#include "flow/MainLayout.h"
#include "flow/MemoryView.h"
#include "flow/RunLog.h"
#include "flow/Unattended.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Texts.h"
#include "data/RegistryView.h"
#include "data/UninstallRecord.h"
#include "install/InstallPlan.h"
#include "platform/ProfileText.h"
#include "platform/Unicode.h"
#include "platform/fake/FakePlatform.h"
#include "tools/setupkit/PathRules.h"
#include "tools/setupkit/Text.h"

namespace qs::kit {
namespace fs = std::filesystem;
namespace {

constexpr CodePage kCp = kUtf8;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// What the runs tell as they go, written down as the plan's steps: paths
// of folders with their trailing backslash, keys by their roots' full names.
// What the runs do in their own working folder in the temporary folder
// (the record's copy) is left out.
class StepCollector : public RunWatcher {
 public:
  explicit StepCollector(const std::string& tempFolder)
      : temp_(UpperAscii(AddBackslash(tempFolder, PathEnd::Trailing, kCp), kCp)) {}

  void NoteStep(const RunStep& step) override {
    if (StartsWith(UpperAscii(step.subject, kCp), temp_)) return;
    const bool folder = step.kind == "folder" || step.kind == "remove-folder";
    steps->push_back({step.kind,
                      folder ? AddBackslash(step.subject, PathEnd::Trailing, kCp)
                             : FullKeyName(step.subject),
                      StepDetail(step)});
  }
  void NoteFailures(const std::string& list) override { failureList += list; }
  void NoteError(const std::string& report) override { error = report; }

  std::vector<Step>* steps = nullptr;
  std::string failureList;
  std::string error;

 private:
  std::string temp_;

  static std::string FullKeyName(const std::string& subject) {
    for (RegRoot root : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine,
                         RegRoot::Users}) {
      const std::string brief = RootName(root);
      if (StartsWith(subject, brief)) {
        return fake::RegRootName(root) + ("\\" + subject.substr(brief.size()));
      }
    }
    return subject;
  }
};

// The main window as the user would work it: message boxes answered from
// the choices, the failure list closed as soon as it shows.
class ScriptedView : public MemoryView {
 public:
  explicit ScriptedView(const Choices& choices) : choices_(choices) {
    SetChecked(ids::kChkOverWrite, choices.overwrite);
    SetChecked(ids::kChkSCutDesktop, choices.desktop);
    SetChecked(ids::kChkSCutStartMenu, choices.startMenu);
    SetChecked(ids::kChkSCutStartUp, choices.startUp);
    SetChecked(ids::kChkSCutSendTo, choices.sendTo);
  }
  bool ProcessMessages() override {
    if (Visible(ids::kBtnCloseErrorLog)) SetVisible(ids::kBtnCloseErrorLog, false);
    return true;
  }
  int MessageBox(const std::string&, const std::string& caption, uint32_t) override {
    if (caption == text::kCreateFolderCaption || caption == text::kWarningCaption) return kIdYes;
    if (caption == text::kOverwriteCaption) return choices_.overwrite ? kIdYes : kIdNo;
    if (caption == text::kUnSetupConfirmCaption) return choices_.removeShared ? kIdYes : kIdNo;
    return kIdOk;
  }

 private:
  const Choices& choices_;
};

// Today where setupkit runs: the date the real installation registers.
std::string Today() {
  std::time_t now = std::time(nullptr);
  char date[16] = {};
  if (const std::tm* local = std::localtime(&now)) std::strftime(date, sizeof date, "%Y%m%d", local);
  return date;
}

void SetUpWindows(fake::FakePlatform& os, const Layout& layout) {
  os.localDate = Today();
  os.windowsFolder = layout.windowsFolder;
  os.systemFolder = layout.systemFolder;
  os.tempFolder = layout.tempFolder;
  os.specialFolders = layout.specialFolders;
  os.AddFolder(layout.windowsFolder);
  os.AddFolder(layout.systemFolder);
  os.AddFolder(layout.tempFolder);
  os.AddFolder(JoinPath(ParentFolder(layout.windowsFolder, kCp), "Program Files", kCp));
  for (const auto& [csidl, folder] : layout.specialFolders) os.AddFolder(folder);
  os.AddFolder(layout.sourceFolder);
  os.modulePath = JoinPath(layout.sourceFolder, "SETUP.EXE", kCp);
  // First-level keys every Windows has: the product's own ones are told
  // from these as on a real system (the uninstaller removes only those the
  // installation made).
  const std::pair<RegRoot, const char*> keys[] = {
      {RegRoot::CurrentUser, "Software"},     {RegRoot::CurrentUser, "Control Panel"},
      {RegRoot::CurrentUser, "Environment"},  {RegRoot::LocalMachine, "SOFTWARE"},
      {RegRoot::LocalMachine, "SYSTEM"},      {RegRoot::LocalMachine, "HARDWARE"},
      {RegRoot::Users, ".DEFAULT"},           {RegRoot::ClassesRoot, "CLSID"},
      {RegRoot::ClassesRoot, "Interface"},    {RegRoot::ClassesRoot, "TypeLib"},
      {RegRoot::ClassesRoot, "AppID"},        {RegRoot::ClassesRoot, "*"},
      {RegRoot::ClassesRoot, "Directory"},    {RegRoot::ClassesRoot, "Folder"},
      {RegRoot::ClassesRoot, ".exe"},         {RegRoot::ClassesRoot, ".dll"},
      {RegRoot::ClassesRoot, ".txt"},         {RegRoot::ClassesRoot, ".ini"},
      {RegRoot::ClassesRoot, ".lnk"},         {RegRoot::ClassesRoot, "exefile"},
      {RegRoot::ClassesRoot, "txtfile"},      {RegRoot::ClassesRoot, "lnkfile"},
  };
  for (const auto& [root, key] : keys) os.CreateRegistryKey(root, key);
}

// The product's files beside the program, and those of its sub-folders
// where they are on the medium.
void LoadProduct(fake::FakePlatform& os, const fs::path& folder, const Layout& layout) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = NameOf(entry.path().lexically_relative(folder));
    std::replace(relative.begin(), relative.end(), '/', '\\');
    os.AddFile(JoinPath(layout.sourceFolder, relative, kCp), ReadBytes(entry.path()));
  }
  // The program runs from this folder, so it is there even in a package that
  // does not ship it yet.
  if (!FileExists(os, os.modulePath)) os.AddFile(os.modulePath, "MZ");
}

// SETUP.EXE /S with the command line given: the program's own windowless
// run, its steps told to the collector.
void RunQuietly(fake::FakePlatform& os, StepCollector& collector, const CommandLine& line) {
  RunLog log(nullptr, [] { return std::string(); });
  RunUnattended(os, line, log, &collector);
}

// The runs' window in the main window: the form's own, or the one a caller
// puts between, watched by the collector.
struct WatchedForm {
  WatchedForm(MainForm& form, StepCollector& collector, const WindowBetween& between)
      : shown(between ? between(form.viewWindow()) : nullptr),
        watched(shown ? *shown : form.viewWindow(), collector) {
    form.SetRunWindow(watched);
  }
  std::unique_ptr<RunWindow> shown;
  WatchedRunWindow watched;
};

CommandLine QuietLine(const Choices& choices) {
  CommandLine line;
  line.switched = line.silent = true;
  if (!choices.folder.empty()) line.folder = choices.folder;
  line.noDesktop = !choices.desktop;
  line.noStartMenu = !choices.startMenu;
  line.noStartUp = !choices.startUp;
  line.noSendTo = !choices.sendTo;
  return line;
}

// Setting up and installing, as the user does it in the main window or as
// /S does it; the steps go to result.install. False when the run ends
// before the record.
bool DryInstall(fake::FakePlatform& os, StepCollector& collector, const Choices& choices,
                const WindowBetween& between, DryRunResult& result) {
  collector.steps = &result.install;
  InstallPlan plan;
  ScriptedView view(choices);
  std::optional<MainForm> form(std::in_place, os, view, plan);
  form->FormActivate();
  // With a readme the window waits for the continue button; without one
  // the continue action has run already.
  if (view.Visible(ids::kBtnContinue) && view.Enabled(ids::kBtnContinue)) form->btnContinueClick();
  result.values = form->values();
  result.values.setupProgram.reset();  // held in the run's own Windows, which the result outlives
  result.definitionFound = FileExists(os, result.values.infoFile);
  if (!result.definitionFound) return false;
  if (!choices.folder.empty()) {
    // A folder the user chose: its parent is there (the window itself
    // creates one level only). /S makes every missing level, so under
    // --silent the levels are as the layout has them, on its own drives; on
    // any other drive (one the layout knows nothing of) the parent is
    // taken to be there.
    const bool layoutDrive = choices.folder.size() > 2 && choices.folder[1] == ':' &&
                             FolderExists(os, choices.folder.substr(0, 3));
    if (!choices.silent || !layoutDrive) os.AddFolder(ParentFolder(choices.folder, kCp));
    view.SetText(ids::kTxtFolder, choices.folder);
  }
  result.installFolder = view.Text(ids::kTxtFolder);
  result.recordPath = RecordPath(result.installFolder, kCp);
  if (choices.silent) {
    form.reset();
    RunQuietly(os, collector, QuietLine(choices));
  } else {
    WatchedForm watched(*form, collector, between);
    try {
      form->btnSetupClick();
    } catch (const SetupError&) {
      // The collector has the report.
    }
  }
  result.runError = collector.error;
  result.failureList = collector.failureList;
  // A link the run meant to make that gives no usable link.
  for (Step& step : result.install) {
    if (step.kind != "shortcut") continue;
    std::string problem = PathProblem(step.path.substr(kCp.FindLastOf(step.path, "\\") + 1), false);
    if (problem.empty() && !os.Contents(step.path)) problem = "the file cannot be written";
    if (!problem.empty()) step = {"not-made", step.path, problem};
  }
  std::optional<std::string> record = os.Contents(result.recordPath);
  result.stopped = !record && result.runError.empty();
  if (!record) return false;
  result.record = DecodeText(os, *record).text;
  return true;
}

// The registration's command line, the uninstaller with the record; the
// steps go to result.uninstall.
void DryUninstall(fake::FakePlatform& os, StepCollector& collector, const Layout& layout,
                  const Choices& choices, const WindowBetween& between, DryRunResult& result) {
  collector.steps = &result.uninstall;
  collector.failureList.clear();
  collector.error.clear();
  os.modulePath = UninstallerPath(layout.windowsFolder, kCp);
  os.firstArgument = result.recordPath;
  if (choices.silent) {
    CommandLine line;
    line.switched = line.silent = true;
    line.argument = result.recordPath;
    RunQuietly(os, collector, line);
  } else {
    InstallPlan unusedPlan;
    ScriptedView remover(choices);
    MainForm uninstaller(os, remover, unusedPlan);
    WatchedForm watched(uninstaller, collector, between);
    uninstaller.FormActivate();
    try {
      uninstaller.btnUnSetupClick();
    } catch (const SetupError&) {
      // The collector has the report.
    }
  }
  result.uninstallFailureList = collector.error.empty() ? collector.failureList : collector.error;
}

}  // namespace

DryRunResult DryRun(const fs::path& folder, const Layout& layout, const Choices& choices,
                    const fs::path& definition, const WindowBetween& between) {
  DryRunResult result;
  StepCollector collector(layout.tempFolder);
  fake::FakePlatform os;
  SetUpWindows(os, layout);
  LoadProduct(os, folder, layout);
  if (!definition.empty()) {
    os.AddFile(JoinPath(layout.sourceFolder, "SETUP.INI", kCp), ReadBytes(definition));
  }
  if (DryInstall(os, collector, choices, between, result)) {
    DryUninstall(os, collector, layout, choices, between, result);
  }
  return result;
}

}  // namespace qs::kit
