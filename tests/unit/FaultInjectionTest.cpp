// Fault injection over the platform seam: a whole install of a rich product
// (every section used, files already in the destination, a reinstall over an
// earlier record, a user's file in the temporary folder under an expanded
// name) and a whole uninstall run against the fake, with the k-th platform
// call failing in each way the real call can fail. After every run the
// invariants below are checked, not a transcript.
//
// Every call is tried with every kind it can give (a few seconds); a
// sampled sweep tries every n-th call only:
//   QS_FAULT_STRIDE=7 build/native/unit_tests --gtest_filter='FaultInjection*'
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "core/SzddFiles.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Szdd.h"
#include "core/Texts.h"
#include "install/InstallRun.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeRunWindow.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/RunChecks.h"
#include "uninstall/UninstallRun.h"

namespace qs {
namespace {

using test::FakePlatform;
using test::FaultKind;
using test::FaultyPlatform;

const std::string kApp = "C:\\Program Files\\Acme";
const std::string kRecord = kApp + "\\UNSETUP.INI";
const std::string kTempRecord = "C:\\TEMP\\UNSETUP.INI";
const std::string kDesktop = "C:\\Users\\u\\Desktop";
const std::string kPrograms = "C:\\Users\\u\\Programs";
const std::string kRegistration = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Product";
const std::string kTool = "MZ the tool " + std::string(3000, 't');
const std::string kLibrary = "the library " + std::string(5000, 'l');

// The files the install is to make: the definition's entry, the installed
// path and its contents.
struct PlannedFile {
  std::string entry, path, contents;
};
const PlannedFile kPlannedFiles[] = {
    {"(App)\\TOOL.EX_", kApp + "\\TOOL.EXE", kTool},
    {"(App)\\ONE.TXT", kApp + "\\ONE.TXT", "new one"},
    {"(App)\\DATA\\LIB.DL_", kApp + "\\DATA\\LIB.DLL", kLibrary},
    {"(App)\\DATA\\SUB\\NOTE.TXT", kApp + "\\DATA\\SUB\\NOTE.TXT", "note"},
    {"(App)\\KEEP.TXT", kApp + "\\KEEP.TXT", "keep"},
    {"(Win)\\ACMEWIN.DLL", "C:\\WINDOWS\\ACMEWIN.DLL", "the library in Windows"},
    {"(Sys)\\ACMESYS.OCX", "C:\\WINDOWS\\SYSTEM32\\ACMESYS.OCX", "the control in the system folder"},
    {"(Boo)\\ACME.TXT", "C:\\ACME.TXT", "at the boot drive's root"},
    {"", "C:\\WINDOWS\\APPUNSET.EXE", "MZ new setup"},
};
const char* const kPlannedFolders[] = {"\\DATA\\", "\\DATA\\SUB\\"};
// Scratch files of the expansion: a left-over EXPAND.QST may be replaced
// or removed.
const std::set<std::string> kScratch = {"C:\\TEMP\\EXPAND.QST", "C:\\TEMP\\ZZZZZZZZ.ZZZ"};

std::string Upper(const std::string& text) { return UpperAscii(text, kCp932); }

bool IsPlanned(const std::string& upperPath) {
  for (const PlannedFile& file : kPlannedFiles) {
    if (Upper(file.path) == upperPath) return true;
  }
  return false;
}

using test::Snapshot;
using test::Take;

ProgramValues Values() { return test::WorldValues("C:\\CD\\SETUP.INI", "Acme"); }

// The world before the install: the product on its medium, an earlier
// installation with its record, the user's own files and keys around it.
void Prepare(FakePlatform& os) {
  os.specialFolders = {{kCsidlDesktop, kDesktop},
                       {kCsidlPrograms, kPrograms},
                       {kCsidlStartup, kPrograms + "\\Startup"},
                       {kCsidlSendTo, "C:\\Users\\u\\SendTo"}};
  for (const auto& [csidl, folder] : os.specialFolders) os.AddFolder(folder);
  os.AddFolder("C:\\WINDOWS\\SYSTEM32");
  for (RegRoot root : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine}) {
    os.CreateRegistryKey(root, "");  // every Windows has its roots
  }
  os.AddFile("C:\\CD\\SETUP.INI",
             "[Title]\r\nSetup=Acme\r\nUnSetupKey=Acme Product\r\n"
             "[MakeFolder]\r\nFolder1=(App)\\DATA\r\nFolder2=(App)\\DATA\\SUB\r\n"
             "[CopyFile]\r\nFile1=(App)\\TOOL.EX_\r\nFile2=(App)\\ONE.TXT\r\n"
             "File3=(App)\\DATA\\LIB.DL_,/F\r\n"
             "File4=(App)\\DATA\\SUB\\NOTE.TXT,/C\r\nFile5=(App)\\KEEP.TXT,/L\r\n"
             "File6=(Win)\\ACMEWIN.DLL,/F\r\nFile7=(Sys)\\ACMESYS.OCX,/F\r\nFile8=(Boo)\\ACME.TXT\r\n"
             "[ShortCut]\r\nMake1=(App)\\ONE.TXT\r\nName1=(Dsk)One\r\n"
             "Make2=(App)\\TOOL.EXE\r\nName2=Acme\\Tool\r\nMake3=(App)\\ONE.TXT\r\nName3=(Sup)One\r\n"
             "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=Path\r\n"
             "Value1=(Str)C:\\Program Files\\Acme\r\nKey2=(Local)SOFTWARE\\Acme\r\n"
             "Name2=Count\r\nValue2=(Int)12\r\n"
             "Key3=(Class).acme\\shell\\open\\command\r\nName3=Program\r\nValue3=(Str)TOOL.EXE\r\n"
             "[DeleteRegistry]\r\nKey1=(Cuser)Software\\Acme\r\nKey2=(Local)SOFTWARE\\Acme\r\n"
             "Key3=(Class).acme\r\n"
             "[ExecuteFile]\r\nFile=(App)\\ONE.TXT\r\n");
  os.AddFile("C:\\WINDOWS\\APPUNSET.EXE", "MZ old setup", 1);
  os.SetAttributes("C:\\WINDOWS\\APPUNSET.EXE", kAttrReadOnly | kAttrArchive);
  os.AddFile("C:\\CD\\SETUP.EXE", "MZ new setup");
  os.AddFile("C:\\CD\\ONE.TXT", "new one");
  os.AddFile("C:\\CD\\LIB.DL_", SzddCompress(kLibrary, 'l'));
  os.AddFile("C:\\CD\\NOTE.TXT", "note");
  os.AddFile("C:\\CD\\KEEP.TXT", "keep");
  os.AddFile("C:\\CD\\ACMEWIN.DLL", "the library in Windows");
  os.AddFile("C:\\CD\\ACMESYS.OCX", "the control in the system folder");
  os.AddFile("C:\\CD\\ACME.TXT", "at the boot drive's root");
  os.AddFile("C:\\CD\\TOOL.EX_", SzddCompress(kTool, 'e'));
  // The earlier installation and the user's own files beside it.
  os.AddFile(kApp + "\\ONE.TXT", "old one");
  os.AddFile(kApp + "\\OLD.TXT", "from the earlier version");
  os.AddFile(kApp + "\\USER.DAT", "the user's data");
  os.AddFolder(kApp + "\\OLDDIR");
  os.AddFile(kDesktop + "\\Old.lnk", "old link");
  os.AddFile(kRecord,
             "[SetupFolder]\r\nFolder=" + kApp + "\\\r\n"
             "[DeleteFolder]\r\nFolder1=" + kApp + "\\OLDDIR\\\r\n"
             "[DeleteFile]\r\nFile1=" + kApp + "\\OLD.TXT\r\nFile2=" + kApp + "\\ONE.TXT\r\n"
             "File3=" + kRecord + "\r\n"
             "[DeleteShortCut]\r\nFile1=" + kDesktop + "\\Old.lnk\r\n"
             "[DeleteRegistry]\r\nKey1=(Cuser)Software\\Acme\\Old\r\n");
  os.CreateRegistryKey(RegRoot::CurrentUser, "Software\\Acme\\Old");
  // Left-overs and a user's file in the temporary folder under the name a
  // compressed file expands to.
  os.AddFile("C:\\TEMP\\EXPAND.QST", "stale scratch");
  os.AddFile("C:\\TEMP\\TOOL.EXE", "the user's own tool");
  os.AddFile("C:\\TEMP\\LIB.DLL", "the user's own library");
  os.AddFile("C:\\TEMP\\NOTES.TMP", "notes");
  os.AddFile(kDesktop + "\\Other.lnk", "someone else's link");
  os.CreateRegistryKey(RegRoot::CurrentUser, "Software\\Other");
  os.SetRegistryValue(RegRoot::CurrentUser, "Software\\Other", "Name", {RegValue::Kind::String, "x", 0});
  os.CreateRegistryKey(RegRoot::LocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other");
}

struct Outcome {
  bool ended = false;
  bool completed = false;        // the completion message was shown
  std::set<std::string> planned;  // the definition's file entries that were gathered
  std::string fault;              // the call that was made to fail
  std::string report;  // the standard error report's text, when raised
  std::string failures;
  std::vector<std::string> problems;
  bool uninstalled = false;  // an install whose uninstall half ran
};

template <typename Run>
Outcome Drive(test::FakeRunWindow& window, Run run) {
  Outcome outcome;
  try {
    run();
  } catch (const SetupError& error) {
    outcome.report = error.what();
  } catch (const test::RunawayRun& error) {
    outcome.problems.push_back(error.what());
  } catch (const std::exception& error) {
    outcome.problems.push_back(std::string("crash: ") + error.what());
  }
  outcome.ended = window.ended;
  outcome.completed = !window.Lines(std::string("ask[") + text::kCompleteCaption).empty();
  if (outcome.ended && !outcome.completed) {
    // Ended early: only after an error message that says so.
    outcome.ended = !window.Lines("ask[").empty() &&
                    window.Lines("ask[").back().find(",16]") != std::string::npos;
  }
  for (const std::string& line : window.Lines("failure list")) outcome.failures += line;
  if (outcome.problems.empty() && outcome.ended == !outcome.report.empty()) {
    outcome.problems.push_back(outcome.ended ? "ended after an error report"
                                             : "neither ended nor reported an error");
  }
  return outcome;
}

bool Listed(const Outcome& outcome, const char* tag, const std::string& path) {
  return Upper(outcome.failures).find(Upper(tag + path + "\r\n")) != std::string::npos;
}

// Shows every failure list; answers Yes to the overwrite and the ",/C"
// questions, or No when the user declines them.
class AnsweringWindow : public test::FakeRunWindow {
 public:
  explicit AnsweringWindow(bool decline) : decline_(decline) {
    options.installFolder = kApp + "\\";
    options.overwriteAll = !decline;
  }
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override {
    test::FakeRunWindow::Ask(text, caption, flags);
    bool question = caption == text::kOverwriteCaption || caption == text::kUnSetupConfirmCaption;
    return decline_ && question ? kIdNo : kIdYes;
  }

 private:
  bool decline_;
};

Outcome Install(Platform& platform, InstallPlan& plan, bool decline = false) {
  AnsweringWindow window(decline);
  ProgramValues values = Values();
  Outcome outcome =
      Drive(window, [&] { InstallRun(platform, window, plan, values, kCp932).Run(); });
  for (const PlannedCopy& file : plan.files) outcome.planned.insert(file.path);
  return outcome;
}

Outcome Uninstall(Platform& platform, bool decline = false) {
  AnsweringWindow window(decline);
  ProgramValues values = Values();
  values.infoFile = kTempRecord;
  values.recordFile = kRecord;
  return Drive(window, [&] { UninstallRun(platform, window, values, kCp932).Run(); });
}

void Expect(Outcome& outcome, bool holds, const std::string& problem) {
  if (!holds) outcome.problems.push_back(problem);
}

// The install's invariants, given the world before it and the plan it made.
void CheckInstall(FakePlatform& os, const Snapshot& before, Outcome& outcome) {
  Snapshot after = Take(os);
  const bool normal = outcome.ended;
  // Files outside the plan are untouched; a file moved aside during an
  // expansion is back, or kept under the scratch name.
  for (const auto& [path, data] : before.files) {
    if (kScratch.count(path) || IsPlanned(path) || path == Upper(kRecord)) continue;
    bool kept = after.files.count(path) && after.files[path] == data;
    bool aside = !after.files.count(path) && after.files["C:\\TEMP\\ZZZZZZZZ.ZZZ"] == data;
    Expect(outcome, kept || aside, "changed or lost: " + path);
  }
  // A planned file holds its old or its correct new contents; when the run
  // completed, a gathered one that does not hold the new contents is listed.
  for (const PlannedFile& file : kPlannedFiles) {
    std::string key = Upper(file.path);
    bool now = after.files.count(key), was = before.files.count(key);
    bool fresh = now && after.files[key] == file.contents;
    bool old = now == was && (!now || after.files[key] == before.files.at(key));
    Expect(outcome, fresh || old, "wrong contents: " + file.path);
    // A compressed file whose expanded name cannot be read is installed
    // under its own name, after a beep.
    bool ownName = false;
    if (os.beeps > 0 && !file.entry.empty() && file.entry.back() == '_') {
      std::string own = Upper(FolderPart(file.path, kCp932) + FileNamePart(file.entry, kCp932));
      ownName = after.files.count(own) && after.files[own] == file.contents;
    }
    bool gathered = file.entry.empty() || outcome.planned.count(file.entry);
    const char* tag = file.entry.empty() ? "<SetupFile> " : "<File> ";
    if (outcome.completed && gathered) {
      Expect(outcome, fresh || ownName || Listed(outcome, tag, file.path),
             "not copied, not listed: " + file.path);
    }
  }
  if (outcome.completed) {
    for (const char* folder : kPlannedFolders) {
      std::string path = kApp + folder;
      Expect(outcome, FolderExists(os, path) || Listed(outcome, "<Folder> ", path),
             "folder not made, not listed: " + path);
    }
  }
  // The record, when written, names only what the run made or found, and
  // keeps what the earlier record named.
  bool written = !after.files.count(Upper(kRecord)) ||
                 after.files[Upper(kRecord)] != before.files.at(Upper(kRecord));
  if (!written) return;
  Expect(outcome, normal || !outcome.report.empty(), "record written by a run that did not end");
  std::set<std::string> entries = test::NamedByRecord(os, kRecord, outcome.problems).entries;
  std::set<std::string> earlier = {Upper(kApp + "\\OLD.TXT"), Upper(kApp + "\\ONE.TXT"),
                                   Upper(kRecord), Upper(kApp + "\\OLDDIR\\"),
                                   Upper(kDesktop + "\\Old.lnk"), "(CUSER)SOFTWARE\\ACME\\OLD"};
  for (const std::string& entry : earlier) {
    Expect(outcome, entries.count(entry) || !outcome.report.empty(),
           "earlier record entry lost: " + entry);
  }
  for (const std::string& entry : entries) {
    // A link whose save failed is recorded all the same: the save is quiet.
    bool quietLink = outcome.fault.rfind("Save ", 0) == 0 && entry.ends_with(".LNK");
    bool found = quietLink || after.files.count(entry) || after.folders.count(entry) ||
                 after.folders.count(entry.substr(0, entry.size() - 1)) ||
                 before.files.count(entry) || entry.rfind("(", 0) == 0 ||
                 Listed(outcome, "<File> ", entry) || Listed(outcome, "<Folder> ", entry);
    Expect(outcome, found, "record names what was neither made nor found: " + entry);
  }
  if (outcome.completed) {
    for (const PlannedFile& file : kPlannedFiles) {
      bool installed = os.Contents(file.path) == std::optional<std::string>(file.contents);
      if (!file.entry.empty() && outcome.planned.count(file.entry) && installed) {
        Expect(outcome, entries.count(Upper(file.path)), "installed but not recorded: " + file.path);
      }
    }
  }
}

// The uninstall's invariants: it removes only what its record names and
// nothing outside the places, never a root, system or unmade first-level
// registry key or a special folder itself, and every file or link it could
// not remove is listed.
void CheckUninstall(FakePlatform& os, const Snapshot& before, const test::RecordNames& named,
                    const test::Places& places, Outcome& outcome) {
  test::CheckRemovedOnlyWhatIsNamed(os, before, named, places, kTempRecord, outcome.problems);
  if (!outcome.ended) return;
  Snapshot after = Take(os);
  for (const std::string& entry : named.entries) {
    if (before.files.count(entry) && after.files.count(entry) && entry != Upper(kApp + "\\KEEP.TXT")) {
      bool link = entry.size() > 4 && entry.compare(entry.size() - 4, 4, ".LNK") == 0;
      Expect(outcome, Listed(outcome, link ? "<ShortCut> " : "<File> ", entry),
             "not deleted, not listed: " + entry);
    }
  }
}

// A world with the product installed (no faults) and its record copied to
// the temporary folder, as the uninstaller starts.
void Installed(FakePlatform& os) {
  Prepare(os);
  InstallPlan plan;
  Outcome outcome = Install(os, plan);
  ASSERT_TRUE(outcome.problems.empty()) << outcome.problems[0];
  ASSERT_TRUE(outcome.ended);
  os.AddFile(kTempRecord, *os.Contents(kRecord));
}

int Stride() {
  const char* stride = std::getenv("QS_FAULT_STRIDE");
  int n = stride ? std::atoi(stride) : 1;
  return n > 0 ? n : 1;
}

// What a sweep did: its runs, the faults that fired, the runs that ended
// normally and the installs whose uninstall half ran.
struct Tally {
  long runs = 0, faults = 0, ended = 0, uninstalled = 0;
  std::vector<std::string> problems;

  void Add(const std::string& fired, const Outcome& outcome) {
    ++runs;
    if (!fired.empty()) ++faults;
    ended += outcome.ended;
    uninstalled += outcome.uninstalled;
    if (outcome.problems.empty()) return;
    if (problems.size() < 20) problems.push_back(fired + ": " + outcome.problems[0]);
  }
};

// Sweeps faults over the calls of a clean run; prepare builds a fresh world,
// run runs and checks it. Every armed call must be made and fail, as the
// clean run made it: a sweep whose faults never fire checks nothing.
template <typename PrepareWorld, typename RunAndCheck>
Tally Sweep(const char* what, PrepareWorld prepare, RunAndCheck runAndCheck) {
  std::vector<test::PlatformCall> calls;
  {
    FakePlatform os;
    prepare(os);
    FaultyPlatform faulty(os);
    Outcome clean = runAndCheck(os, faulty);
    if (!clean.problems.empty() || !clean.ended) {
      ADD_FAILURE() << what << ": the clean run: "
                    << (clean.problems.empty() ? "ended early" : clean.problems[0]);
      return Tally{};
    }
    calls = faulty.calls();
  }
  // The rich product's runs each make hundreds of calls; a run that did not
  // go through the failing platform makes none.
  EXPECT_GT(calls.size(), 100u) << what << ": calls seen in a clean run";
  Tally tally;
  for (size_t k = 1; k <= calls.size(); k += Stride()) {
    for (FaultKind kind : calls[k - 1].kinds) {
      FakePlatform os;
      prepare(os);
      FaultyPlatform faulty(os, static_cast<long>(calls.size()) * 20);
      faulty.Arm(static_cast<long>(k), kind);
      Outcome outcome = runAndCheck(os, faulty);
      std::string armed = calls[k - 1].what + " (" + test::FaultKindName(kind) + ")";
      Expect(outcome, faulty.fired() == armed, "armed " + armed + ", fired " + faulty.fired());
      tally.Add(faulty.fired(), outcome);
    }
  }
  std::printf("fault injection, %s: %zu calls in a clean run, %ld runs, %ld faults fired, "
              "%ld ended normally, %ld uninstalled, %zu problems\n",
              what, calls.size(), tally.runs, tally.faults, tally.ended, tally.uninstalled,
              tally.problems.size());
  for (const std::string& problem : tally.problems) ADD_FAILURE() << problem;
  EXPECT_GT(tally.runs, 0) << what;
  EXPECT_EQ(tally.runs, tally.faults) << what << ": one fault per armed run";
  return tally;
}

// One install with the fault armed, its invariants, then an uninstall from
// the record it wrote (no fault): the world is as before, apart from what
// stays (the uninstaller, the file flagged to stay and the install folder
// holding it, the scratch files).
Outcome InstallAndCheck(FakePlatform& os, FaultyPlatform& faulty, bool decline) {
  Snapshot before = Take(os);
  InstallPlan plan;
  Outcome outcome = Install(faulty, plan, decline);
  outcome.fault = faulty.fired();
  CheckInstall(os, before, outcome);
  if (!outcome.problems.empty() || !os.Contents(kRecord)) return outcome;
  if (outcome.completed) {
    outcome.uninstalled = true;
    os.AddFile(kTempRecord, *os.Contents(kRecord));
    Outcome removal = Uninstall(os);
    Snapshot after = Take(os);
    for (const auto& [path, data] : after.files) {
      bool stays = path == Upper(kApp + "\\KEEP.TXT") || kScratch.count(path) ||
                   path == "C:\\WINDOWS\\APPUNSET.EXE";
      Expect(outcome, stays || before.files.count(path), "left after the uninstall: " + path);
    }
    for (const std::string& folder : after.folders) {
      Expect(outcome, folder == Upper(kApp) || before.folders.count(folder),
             "folder left after the uninstall: " + folder);
    }
    const std::set<std::string> earlier = {Upper(kApp + "\\OLD.TXT"), Upper(kRecord),
                                           Upper(kDesktop + "\\Old.lnk")};
    for (const auto& [path, data] : before.files) {
      if (kScratch.count(path) || IsPlanned(path) || earlier.count(path)) continue;
      bool kept = after.files.count(path) && after.files[path] == data;
      bool aside = !after.files.count(path) && after.files["C:\\TEMP\\ZZZZZZZZ.ZZZ"] == data;
      Expect(outcome, kept || aside, "lost by the uninstall: " + path);
    }
    // The first-level key the product made goes too, unless the install
    // could not tell it made it: then it stays, and the uninstall says so.
    const bool madeKeyListed =
        removal.failures.find("<Registry> (Class).acme\r\n") != std::string::npos;
    for (const std::string& key : after.keys) {
      bool listed = madeKeyListed && key.rfind("HKEY_CLASSES_ROOT\\.ACME", 0) == 0;
      Expect(outcome, before.keys.count(key) || listed, "key left after the uninstall: " + key);
    }
    for (const std::string& key : before.keys) {
      bool product = key.rfind("HKEY_CURRENT_USER\\SOFTWARE\\ACME", 0) == 0;
      Expect(outcome, after.keys.count(key) || product, "key lost by the uninstall: " + key);
    }
    Expect(outcome, removal.problems.empty(), "the uninstall: " + 
           (removal.problems.empty() ? std::string() : removal.problems[0]));
  }
  return outcome;
}

// Both halves of the install sweeps are reached: some faults end an install
// before it can be uninstalled, most leave it complete.
void ExpectBothHalves(const Tally& tally) {
  EXPECT_GT(tally.uninstalled, tally.runs / 2) << "installs that reached the uninstall";
  EXPECT_LT(tally.uninstalled, tally.runs) << "no fault ended an install early";
}

TEST(FaultInjection, InstallKeepsEveryFileAndReportsEveryFailure) {
  ExpectBothHalves(Sweep(
      "install", [](FakePlatform& os) { Prepare(os); },
      [](FakePlatform& os, FaultyPlatform& faulty) { return InstallAndCheck(os, faulty, false); }));
}

TEST(FaultInjection, AReinstallDecliningEveryOverwriteKeepsTheOldFiles) {
  ExpectBothHalves(Sweep(
      "install declining overwrites", [](FakePlatform& os) { Prepare(os); },
      [](FakePlatform& os, FaultyPlatform& faulty) { return InstallAndCheck(os, faulty, true); }));
}

// An uninstall that ends normally goes on to check that every file it
// could not remove is listed; one that a fault ended early checks less.
Outcome UninstallAndCheck(FakePlatform& os, FaultyPlatform& faulty, bool decline) {
  Snapshot before = Take(os);
  std::vector<std::string> misread;
  test::RecordNames named = test::NamedByRecord(os, kTempRecord, misread);
  ProgramValues values = Values();
  values.recordFile = kRecord;
  const test::Places places =
      test::PlacesOf(os, values, test::TrustOf(os, kTempRecord, kRegistration, kRecord));
  if (places.trust != test::Trust::Signed) misread.push_back("the installed record is not signed");
  Outcome outcome = Uninstall(faulty, decline);
  outcome.problems.insert(outcome.problems.end(), misread.begin(), misread.end());
  CheckUninstall(os, before, named, places, outcome);
  return outcome;
}

void ExpectEndedAndEarly(const Tally& tally) {
  EXPECT_GT(tally.ended, tally.runs / 2) << "uninstalls that ended normally";
  EXPECT_LT(tally.ended, tally.runs) << "no fault ended an uninstall early";
}

TEST(FaultInjection, UninstallRemovesOnlyWhatItsRecordNames) {
  ExpectEndedAndEarly(Sweep(
      "uninstall", [](FakePlatform& os) { Installed(os); },
      [](FakePlatform& os, FaultyPlatform& faulty) { return UninstallAndCheck(os, faulty, false); }));
}

TEST(FaultInjection, AnUninstallDecliningTheQuestionKeepsThatFile) {
  ExpectEndedAndEarly(Sweep(
      "uninstall declining ,/C", [](FakePlatform& os) { Installed(os); },
      [](FakePlatform& os, FaultyPlatform& faulty) {
        Outcome outcome = UninstallAndCheck(os, faulty, true);
        Expect(outcome, os.Contents(kApp + "\\DATA\\SUB\\NOTE.TXT").has_value(), "deleted after No");
        return outcome;
      }));
}

}  // namespace
}  // namespace qs
