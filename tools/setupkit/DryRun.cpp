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
#include "core/Szdd.h"
#include "core/Texts.h"
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

// The journal both the window and the platform write to. phase is the
// status text the run showed last.
struct Journal {
  std::vector<Step>* steps = nullptr;
  std::string phase;
  std::string lastSource;  // the source file the expansion opened last
  std::string failureList;
};

std::string Describe(const RegValue& value) {
  if (value.kind == RegValue::Kind::Dword) {
    return "REG_DWORD " + std::to_string(value.number);
  }
  return "REG_SZ \"" + value.text + "\"";
}

// The in-memory Windows with every change the runs make written down. The
// temporary folder (the runs' own working folder and scratch files) is left
// out.
class RecordingPlatform : public fake::FakePlatform {
 public:
  explicit RecordingPlatform(Journal& journal) : journal_(journal) {}

  uint32_t MakeFolder(const std::string& path) override {
    uint32_t result = FakePlatform::MakeFolder(path);
    if (Scratch(path)) return result;
    std::string detail = result == 0                   ? ""
                         : result == kErrAlreadyExists ? "exists already"
                                                       : "fails: " + IoErrorText(result);
    if (journal_.phase == text::kCheckingFolder) detail = Join("the install folder", detail);
    if (StartsWith(journal_.phase, text::kCreatingShortCuts)) detail = Join("for a shortcut", detail);
    Add("folder", AddBackslash(path, "B", kCp), detail);
    return result;
  }
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override {
    bool copied = FakePlatform::Copy(from, to, failIfExists);
    if (Scratch(to)) return copied;
    if (journal_.phase == text::kCopyingUninstaller) {
      Add("uninstaller", to, "from " + FileNamePart(from, kCp) + (copied ? "" : "; fails"));
      return copied;
    }
    // A file whose name ends in "_" goes through the expansion's scratch
    // file whatever it holds; only an SZDD file is expanded on the way.
    const bool throughScratch = Scratch(from);
    std::string source = throughScratch ? journal_.lastSource : from;
    std::string detail = "from " + FileNamePart(source, kCp);
    if (std::optional<uint64_t> size = FileSize(copied ? to : from)) {
      detail += ", " + std::to_string(*size) + " bytes";
    }
    if (throughScratch) detail += Compressed(source) ? ", expanded" : ", not SZDD: copied as it is";
    if (!copied) detail += "; fails";
    Add("file", to, detail);
    return copied;
  }
  std::unique_ptr<FileReader> OpenForRead(const std::string& path, bool exclusive) override {
    if (exclusive && !Scratch(path)) journal_.lastSource = path;
    return FakePlatform::OpenForRead(path, exclusive);
  }
  // A link is the file its shell link object saves.
  std::unique_ptr<FileWriter> CreateForWrite(const std::string& path) override {
    std::unique_ptr<FileWriter> writer = FakePlatform::CreateForWrite(path);
    if (StartsWith(journal_.phase, text::kCreatingShortCuts) && !Scratch(path)) {
      std::string problem = PathProblem(path.substr(kCp.FindLastOf(path, "\\") + 1), false);
      if (!writer) problem = "the file cannot be written";
      Add(problem.empty() ? "shortcut" : "not-made", path, problem);
    }
    return writer;
  }
  bool SetRegistryValue(RegRoot root, const std::string& path, const std::string& name,
                        const RegValue& value) override {
    bool written = FakePlatform::SetRegistryValue(root, path, name, value);
    const char* kind = journal_.phase == text::kWritingRecord ? "registration" : "registry";
    Add(kind, std::string(fake::RegRootName(root)) + "\\" + path,
        name + " = " + Describe(value) + (written ? "" : "; fails"));
    return written;
  }
  std::unique_ptr<FileWriter> CreateNew(const std::string& path) override {
    if (journal_.phase == text::kWritingRecord) Add("record", path, "");
    return FakePlatform::CreateNew(path);
  }
  // Under /S the file is not opened; the run takes it as opened.
  bool ShellOpen(const std::string& path) override {
    Add(quiet ? "not-opened" : "open", path, "");
    return quiet || FakePlatform::ShellOpen(path);
  }
  bool Delete(const std::string& path) override {
    bool deleted = FakePlatform::Delete(path);
    // The install run only ever deletes an earlier record before writing it.
    if (!Scratch(path) && (deleted || uninstalling)) Add("delete", path, deleted ? "" : "fails");
    return deleted;
  }
  bool RemoveFolder(const std::string& path) override {
    bool removed = FakePlatform::RemoveFolder(path);
    if (Scratch(path)) return removed;
    Add("remove-folder", AddBackslash(path, "B", kCp), removed ? "" : "fails");
    return removed;
  }
  // The uninstall's own removals.
  bool RemoveInPlace(const std::string& path, bool folder) override {
    bool removed = FakePlatform::RemoveInPlace(path, folder);
    Add(folder ? "remove-folder" : "delete", folder ? AddBackslash(path, "B", kCp) : path,
        removed ? "" : "fails");
    return removed;
  }
  bool DeleteRegistryTree(RegRoot root, const std::string& path) override {
    bool deleted = FakePlatform::DeleteRegistryTree(root, path);
    Add("delete-key", std::string(fake::RegRootName(root)) + "\\" + path, deleted ? "" : "not there");
    return deleted;
  }

  bool uninstalling = false;
  bool quiet = false;  // the runs are /S runs

 private:
  bool Compressed(const std::string& path) const {
    std::optional<std::string> bytes = Contents(path);
    return bytes && ParseSzddHeader(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size(),
                                    nullptr) != SzddKind::NotCompressed;
  }
  static std::string Join(const std::string& a, const std::string& b) {
    return b.empty() ? a : a + "; " + b;
  }
  bool Scratch(const std::string& path) {
    std::string temp = MapUpperCase(*this, DelBackslash(tempFolder, "B", kCp));
    std::string upper = MapUpperCase(*this, path);
    return StartsWith(upper, temp + "\\");
  }
  void Add(const std::string& kind, const std::string& path, const std::string& detail) {
    journal_.steps->push_back({kind, path, detail});
  }

  Journal& journal_;
};

// The main window as the user would work it: message boxes answered from
// the choices, the failure list read and closed at once.
class ScriptedView : public MemoryView {
 public:
  ScriptedView(Journal& journal, const Choices& choices) : journal_(journal), choices_(choices) {
    SetChecked(ids::kChkOverWrite, choices.overwrite);
    SetChecked(ids::kChkSCutDesktop, choices.desktop);
    SetChecked(ids::kChkSCutStartMenu, choices.startMenu);
    SetChecked(ids::kChkSCutStartUp, choices.startUp);
    SetChecked(ids::kChkSCutSendTo, choices.sendTo);
  }
  void SetText(int id, const std::string& text) override {
    MemoryView::SetText(id, text);
    if (id == ids::kLblMessage) journal_.phase = text;
    if (id == ids::kTxtReadme && Visible(ids::kBtnCloseErrorLog)) journal_.failureList = text;
  }
  bool ProcessMessages() override {
    // The failure list is on show: the user reads it and goes on.
    if (Visible(ids::kBtnCloseErrorLog)) {
      journal_.failureList = Text(ids::kTxtReadme);
      SetVisible(ids::kBtnCloseErrorLog, false);
    }
    return true;
  }
  int MessageBox(const std::string&, const std::string& caption, uint32_t) override {
    if (caption == text::kCreateFolderCaption || caption == text::kWarningCaption) return kIdYes;
    if (caption == text::kOverwriteCaption) return choices_.overwrite ? kIdYes : kIdNo;
    if (caption == text::kUnSetupConfirmCaption) return choices_.removeShared ? kIdYes : kIdNo;
    return kIdOk;
  }

 private:
  Journal& journal_;
  const Choices& choices_;
};

// Today where setupkit runs: the date the real installation registers.
std::string Today() {
  std::time_t now = std::time(nullptr);
  char date[16] = {};
  if (const std::tm* local = std::localtime(&now)) std::strftime(date, sizeof date, "%Y%m%d", local);
  return date;
}

void SetUpWindows(RecordingPlatform& os, const Layout& layout) {
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
void LoadProduct(RecordingPlatform& os, const fs::path& folder, const Layout& layout) {
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

// The log of a /S run, read as it is written: the status text of a step is
// the phase the recording platform names its changes by; the failed steps
// and the error are the failure list and the error report.
class JournalLog : public FileWriter {
 public:
  JournalLog(Journal& journal, std::string& error) : journal_(journal), error_(error) {}
  // One call per log entry: " kind line" for each of its lines.
  bool Write(const void* data, size_t size) override {
    std::string entry(static_cast<const char*>(data), size);
    if (entry == kUtf8Bom) return true;
    size_t kindEnd = entry.find(' ', 1);
    if (entry.empty() || kindEnd == std::string::npos) return true;
    const std::string kind = entry.substr(1, kindEnd - 1);
    const std::string head = " " + kind + " ";
    std::string text;
    for (size_t at = 0; at < entry.size();) {
      size_t end = entry.find("\r\n", at);
      if (end == std::string::npos) end = entry.size();
      text += (text.empty() ? "" : "\r") + entry.substr(at + head.size(), end - at - head.size());
      at = end + 2;
    }
    if (kind == "step") journal_.phase = text.substr(0, text.find('\r'));
    if (kind == "failed") journal_.failureList += text + "\r\n";
    if (kind == "error") error_ = text;
    return true;
  }
  bool Close() override { return true; }

 private:
  Journal& journal_;
  std::string& error_;
};

// SETUP.EXE /S with the command line given: the program's own windowless
// run, its log read into the journal.
void RunQuietly(RecordingPlatform& os, Journal& journal, const CommandLine& line,
                std::string& error) {
  os.quiet = true;
  RunLog log(std::make_unique<JournalLog>(journal, error), [] { return std::string(); });
  RunUnattended(os, line, log);
}

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
bool DryInstall(RecordingPlatform& os, Journal& journal, const Choices& choices,
                DryRunResult& result) {
  journal.steps = &result.install;
  InstallPlan plan;
  ScriptedView view(journal, choices);
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
    // A folder the user chose: its parent is there (the program itself
    // creates one level only).
    os.AddFolder(ParentFolder(choices.folder, kCp));
    view.SetText(ids::kTxtFolder, choices.folder);
  }
  result.installFolder = view.Text(ids::kTxtFolder);
  result.recordPath = RecordPath(result.installFolder, kCp);
  if (choices.silent) {
    form.reset();
    RunQuietly(os, journal, QuietLine(choices), result.runError);
  } else {
    try {
      form->btnSetupClick();
    } catch (const SetupError& error) {
      result.runError = ErrorReportText(error.what());
    }
  }
  result.failureList = journal.failureList;
  // A link made on the in-memory Windows holds "target|working folder".
  for (Step& step : result.install) {
    std::optional<std::string> link = os.Contents(step.path);
    if (step.kind == "shortcut" && link) step.detail = "to " + link->substr(0, link->find('|'));
  }
  std::optional<std::string> record = os.Contents(result.recordPath);
  result.stopped = !record && result.runError.empty();
  if (!record) return false;
  result.record = DecodeText(os, *record).text;
  return true;
}

// The registration's command line, the uninstaller with the record; the
// steps go to result.uninstall.
void DryUninstall(RecordingPlatform& os, Journal& journal, const Layout& layout,
                  const Choices& choices, DryRunResult& result) {
  journal.steps = &result.uninstall;
  journal.failureList.clear();
  os.uninstalling = true;
  os.modulePath = UninstallerPath(layout.windowsFolder, kCp);
  os.firstArgument = result.recordPath;
  if (choices.silent) {
    CommandLine line;
    line.switched = line.silent = true;
    line.argument = result.recordPath;
    RunQuietly(os, journal, line, result.uninstallFailureList);
  } else {
    InstallPlan unusedPlan;
    ScriptedView remover(journal, choices);
    MainForm uninstaller(os, remover, unusedPlan);
    uninstaller.FormActivate();
    try {
      uninstaller.btnUnSetupClick();
    } catch (const SetupError& error) {
      result.uninstallFailureList = ErrorReportText(error.what());
    }
  }
  if (result.uninstallFailureList.empty()) result.uninstallFailureList = journal.failureList;
}

}  // namespace

DryRunResult DryRun(const fs::path& folder, const Layout& layout, const Choices& choices,
                    const fs::path& definition) {
  DryRunResult result;
  Journal journal;
  RecordingPlatform os(journal);
  SetUpWindows(os, layout);
  LoadProduct(os, folder, layout);
  if (!definition.empty()) {
    os.AddFile(JoinPath(layout.sourceFolder, "SETUP.INI", kCp), ReadBytes(definition));
  }
  if (DryInstall(os, journal, choices, result)) DryUninstall(os, journal, layout, choices, result);
  return result;
}

}  // namespace qs::kit
