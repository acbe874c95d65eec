// setupkit check and plan on crafted product folders: each finding from a
// file made to show it, and the dry run's steps against the record it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <unistd.h>

#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "tools/setupkit/Check.h"
#include "tools/setupkit/DryRun.h"
#include "tools/setupkit/Plan.h"

namespace qs::kit {
namespace {
namespace fs = std::filesystem;

// A product folder on disk, made afresh for one case.
fs::path MakeProduct(const std::string& name, const std::map<std::string, std::string>& files) {
  fs::path dir = fs::temp_directory_path() / ("setupkit-unit-" + std::to_string(::getpid())) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& [file, bytes] : files) {
    std::ofstream(dir / file, std::ios::binary) << bytes;
  }
  return dir;
}

struct Expected {
  int line;
  Severity severity;
  const char* text;  // a piece of the finding's text
};
constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

struct CheckCase {
  const char* name;
  std::string ini;
  std::map<std::string, std::string> files;  // besides SETUP.INI
  std::vector<Expected> findings;            // all of them, in any order
  std::string folder = "";                   // --folder
};

const std::string kManual(300, 'm');

std::vector<CheckCase> Cases() {
  const std::string app = "[CopyFile]\r\nFile1=(App)\\A.TXT\r\n";
  const std::map<std::string, std::string> a = {{"A.TXT", "a"}};
  std::string damaged = SzddCompress(kManual, 'T');
  damaged.resize(damaged.size() - 8);
  return {
      {"clean", "[Title]\r\nSetup=Acme\r\n" + app, a, {}},
      {"misspelt section", "[CopyFiles]\r\nFile1=(App)\\A.TXT\r\n", a,
       {{1, W, "did you mean [CopyFile]"}}},
      {"unknown key", "[Title]\r\nSetupTitle=Acme\r\n" + app, a, {{2, W, "SetupTitle is never read"}}},
      {"keys beyond the limits", app + "File100=(App)\\A.TXT\r\n[ShortCut]\r\nName21=(Dsk)X\r\n", a,
       {{3, W, "beyond the limit of 99"}, {5, W, "beyond the limit of 20"}}},
      {"a number with a leading zero", app + "File02=(App)\\A.TXT\r\n", a, {{3, W, "never read"}}},
      {"a second section of a name", app + "[CopyFile]\r\nFile2=(App)\\A.TXT\r\n", a,
       {{3, W, "reads only the first"}}},
      {"a key twice", app + "File1=(App)\\B.TXT\r\n", a, {{3, W, "appears twice"}}},
      {"a lower-case folder marker", "[CopyFile]\r\nFile1=(app)\\A.TXT\r\n", a,
       {{2, E, "write '(App)'"}, {2, E, "<File> (app)\\A.TXT"}}},
      {"no folder marker", "[CopyFile]\r\nFile1=C:\\Tools\\A.TXT\r\n", a,
       {{2, E, "giving 'C:\\To\\ols\\A.TXT'"}, {2, E, "<File> C:\\To\\ols\\A.TXT"}}},
      {"a missing source file", app + "File2=(App)\\B.TXT\r\n", a,
       {{3, E, "'B.TXT' is not beside SETUP.INI"}}},
      {"an unknown flag", "[CopyFile]\r\nFile1=(App)\\A.TXT,/X\r\n", a, {{2, E, "none of ,/F"}}},
      {"a '_' file that is not compressed", "[CopyFile]\r\nFile1=(App)\\M.TX_\r\n",
       {{"M.TX_", "plain text"}}, {{2, E, "not an SZDD file"}}},
      {"a damaged compressed file", "[CopyFile]\r\nFile1=(App)\\M.TX_\r\n", {{"M.TX_", damaged}},
       {{2, E, "damaged SZDD stream"}, {2, E, "<File> C:\\Program Files\\M.TXT"}}},
      {"a compressed file that keeps no character", "[CopyFile]\r\nFile1=(App)\\M.TX_\r\n",
       {{"M.TX_", SzddCompress(kManual, 0)}}, {{2, W, "installed as 'M.TX'"}}},
      {"a compressed file without '_'", "[CopyFile]\r\nFile1=(App)\\M.TXT\r\n",
       {{"M.TXT", SzddCompress(kManual, 'T')}}, {{2, W, "installed compressed"}}},
      {"a shortcut to a file not installed", app + "[ShortCut]\r\nMake1=(App)\\B.EXE\r\nName1=(Dsk)B\r\n",
       a, {{4, W, "is not installed by this package"}}},
      {"a lower-case place marker", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(dsk)A\r\n", a,
       {{5, E, "write '(Dsk)'"}}},
      {"an unknown place marker", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Xyz)A\r\n", a,
       {{5, W, "no place marker"}}},
      {"a character no file name holds", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Sta)A: B\r\n",
       a, {{5, E, "cannot hold ':'"}}},
      {"a name without its shortcut", app + "[ShortCut]\r\nName2=(Dsk)A\r\n", a,
       {{4, W, "Make2 is missing"}}},
      {"a lower-case root marker",
       app + "[Registry]\r\nKey1=(local)Software\\Acme\r\nName1=N\r\nValue1=(Str)v\r\n", a,
       {{4, E, "write '(Local)'"}}},
      {"an unknown root marker",
       app + "[Registry]\r\nKey1=(Cusr)Software\\Acme\r\nName1=N\r\nValue1=(Str)v\r\n", a,
       {{4, W, "no root marker"}}},
      {"a root marker alone", app + "[Registry]\r\nKey1=(Local)\r\nName1=N\r\nValue1=(Str)v\r\n", a,
       {{4, E, "no key path"}}},
      {"a number that is not one",
       app + "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=N\r\nValue1=(Int)12x\r\n"
             "Key2=(Cuser)Software\\Acme\r\nName2=Z\r\nValue2=(Int) -0\r\n",
       a, {{6, E, "'12x' is not a 32-bit number"}}},
      {"a lower-case type marker",
       app + "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=N\r\nValue1=(int)5\r\n", a,
       {{6, E, "the string '(int)5' is written"}}},
      {"a key without a name", app + "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\n", a,
       {{4, W, "drops the entry"}}},
      {"a name without a key", app + "[Registry]\r\nName3=N\r\n", a, {{4, W, "Key3 is missing"}}},
      {"a lower-case root marker of a key to remove",
       app + "[DeleteRegistry]\r\nKey1=(local)Software\\Acme\r\n", a,
       {{4, E, "looks under HKEY_CURRENT_USER for a key of that whole name"}}},
      {"removing a first-level key", app + "[DeleteRegistry]\r\nKey1=(Cuser)\\Software\\\r\n", a,
       {{4, W, "'HKEY_CURRENT_USER\\Software' is kept by the uninstaller"}}},
      {"removing a key of the system's", app + "[DeleteRegistry]\r\nKey1=(Local)SOFTWARE\\Microsoft\r\n",
       a, {{4, W, "'HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft' is kept by the uninstaller"}}},
      {"removing a first-level key the install did not make",
       app + "[DeleteRegistry]\r\nKey1=(Class).acc\r\n", a,
       {{4, W, "'HKEY_CLASSES_ROOT\\.acc' is kept by the uninstaller"}}},
      {"a document type of the product's own goes whole",
       app + "[Registry]\r\nKey1=(Class).acc\r\nName1=Content Type\r\nValue1=(Str)text/acc\r\n"
             "Key2=(Class)AccTest.Document\\shell\\open\\command\r\nName2=x\r\nValue2=(Str)x\r\n"
             "[DeleteRegistry]\r\nKey1=(Class).acc\r\nKey2=(Class)AccTest.Document\r\n",
       a, {}},
      {"an empty UnSetupKey", "[Title]\r\nUnSetupKey=\r\n" + app, a, {{2, W, "registered as 'Quillo! Setup for Windows32'"}}},
      {"a missing readme", "[Readme]\r\nFile=README.TXT\r\n" + app, a, {{2, W, "is missing"}}},
      {"a readme in UTF-8", "[Readme]\r\nFile=README.TXT\r\n" + app,
       {{"A.TXT", "a"}, {"README.TXT", "\xE3\x81\x82\xE3\x81\x84\r\n"}}, {{2, E, "saved as UTF-8"}}},
      {"a file in UTF-8", "[Title]\r\nSetup=\xE3\x82\xA2\xE3\x82\xAF\xE3\x83\xA1\r\n" + app, a,
       {{2, E, "saved as UTF-8"}}},
      {"a file in UTF-16", std::string("\xFF\xFE[\0T\0", 6), a, {{0, E, "UTF-16"}}},
      {"a file in UTF-8 after its mark", "\xEF\xBB\xBF[Title]\r\nSetup=𠮷野家\r\n" + app, a, {}},
      {"a file broken after its UTF-8 mark", "\xEF\xBB\xBF[Title]\r\nSetup=\xE3\x82\r\n" + app, a,
       {{2, E, "not UTF-8"}}},
      {"a readme in UTF-8 after its mark", "[Readme]\r\nFile=README.TXT\r\n" + app,
       {{"A.TXT", "a"}, {"README.TXT", "\xEF\xBB\xBF𠮷\r\n"}}, {}},
      {"bytes that are not Shift-JIS", "[Title]\r\nSetup=\x81\r\n" + app, a, {{2, E, "not Shift-JIS"}}},
      {"LF line ends", "[Title]\nSetup=Acme\n[CopyFile]\nFile1=(App)\\A.TXT\n", a,
       {{1, W, "LF only"}}},
      {"a value the reader cuts", "[Title]\r\nSetup=" + std::string(300, 'x') + "\r\n" + app, a,
       {{2, W, "300 characters long"}}},
      {"a comma in the install folder is no trouble", "[DefaultFolder]\r\nFolder=C:\\A,B\r\n" + app,
       a, {}},
      {"a shortcut two folders deep", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Sta)X\\Y\\A\r\n",
       a, {{0, E, "ends early with the error report"}}},
      {"a planned folder whose parent comes later", app + "[MakeFolder]\r\nFolder1=(App)\\A\\B\r\n"
       "Folder2=(App)\\A\r\n", a, {{4, E, "<Folder> "}}},
      {"an install folder two levels deep", "[DefaultFolder]\r\nFolder=(Prg)\\Acme\\Tools\r\n" + app +
       "[ShortCut]\r\nMake1=(App)\\A.TXT\r\n", a, {{2, E, "creates its last level only"}}},
      {"a lower-case section name is read all the same", "[copyfile]\r\nfile1=(App)\\A.TXT\r\n", a, {}},
  };
}

std::string Describe(const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) {
    out += std::to_string(f.line) + (f.severity == E ? " error: " : " warning: ") + f.text + "\n";
  }
  return out;
}

TEST(SetupkitCheck, EachMistakeIsFoundOnItsLine) {
  for (const CheckCase& c : Cases()) {
    std::map<std::string, std::string> files = c.files;
    files["SETUP.INI"] = c.ini;
    fs::path dir = MakeProduct("check", files);
    Choices choices;
    choices.folder = c.folder;
    CheckReport report = CheckProduct(dir, Layout(), choices);
    SCOPED_TRACE(std::string(c.name) + ":\n" + Describe(report.findings));
    EXPECT_EQ(c.findings.size(), report.findings.size());
    for (const Expected& want : c.findings) {
      bool found = false;
      for (const Finding& f : report.findings) {
        found |= f.line == want.line && f.severity == want.severity &&
                 f.text.find(want.text) != std::string::npos;
      }
      EXPECT_TRUE(found) << "missing: " << want.line << " " << want.text;
    }
    int errors = 0;
    for (const Expected& want : c.findings) errors += want.severity == E;
    EXPECT_EQ(errors ? 2 : c.findings.empty() ? 0 : 1, report.ExitCode());
  }
}

TEST(SetupkitCheck, ReportsNameTheFileAndLineAsCompilersDo) {
  fs::path dir = MakeProduct("format", {{"SETUP.INI", "[CopyFile]\r\nFile1=(App)\\\"B\".TXT\r\n"}});
  CheckReport report = CheckProduct(dir / "SETUP.INI", Layout(), Choices());
  ASSERT_EQ(1u, report.findings.size());
  std::string text = FormatText(report);
  EXPECT_EQ(0u, text.find((dir / "SETUP.INI").string() + ":2: error: ")) << text;
  std::string json = FormatJson(report);
  EXPECT_NE(std::string::npos, json.find("\"line\": 2, \"severity\": \"error\"")) << json;
  EXPECT_NE(std::string::npos, json.find("'\\\"B\\\".TXT'")) << json;  // quotes escaped
  EXPECT_NE(std::string::npos, json.find("\"errors\": 1,\n  \"warnings\": 0")) << json;
}

TEST(SetupkitCheck, AFolderWithoutDefinitionIsAnError) {
  fs::path dir = MakeProduct("empty", {{"A.TXT", "a"}});
  CheckReport report = CheckProduct(dir, Layout(), Choices());
  ASSERT_EQ(1u, report.findings.size());
  EXPECT_EQ(2, report.ExitCode());
}

// Names outside Shift-JIS, given in a definition file in UTF-8, come out
// of the plan exactly, in its steps and in the record (UTF-16 on disk).
TEST(SetupkitPlan, NamesOutsideShiftJisArePlannedExactly) {
  fs::path dir = MakeProduct(
      "plan-unicode", {{"SETUP.INI", "\xEF\xBB\xBF[DefaultFolder]\r\nFolder=(Prg)\\𠮷野家\r\n"
                                     "[CopyFile]\r\nFile1=(App)\\Jörg\\メニュー.TXT\r\n"
                                     "[MakeFolder]\r\nFolder1=(App)\\Jörg\r\n"},
                       {"メニュー.TXT", "menu"}, {"SETUP.EXE", "MZ"}});
  DryRunResult run = DryRun(dir, Layout(), Choices());
  const std::string file = "C:\\Program Files\\𠮷野家\\Jörg\\メニュー.TXT";
  const std::string plan = FormatPlan(run);
  EXPECT_NE(std::string::npos, plan.find(file + "  [from メニュー.TXT, 4 bytes]")) << plan;
  EXPECT_NE(std::string::npos, run.record.find("File1=" + file + "\r\n")) << run.record;
  EXPECT_TRUE(run.failureList.empty()) << run.failureList;
}

// The dry run: steps in the run's order, and every one of them in the
// record and undone by the uninstall from it.
TEST(SetupkitPlan, TheStepsAreTheRecordsAndTheUninstallUndoesThem) {
  fs::path dir = MakeProduct(
      "plan", {{"SETUP.INI",
                "[Title]\r\nSetup=Acme\r\nUnSetupKey=Acme Tools\r\n[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n"
                "[MakeFolder]\r\nFolder1=(App)\\doc\r\n"
                "[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\doc\\M.TX_\r\nFile3=(App)\\K.TXT,/L\r\n"
                "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Dsk)A\r\nMake2=(App)\\doc\\M.TXT\r\n"
                "Name2=(Sta)Acme\\Manual\r\n"
                "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=Count\r\nValue1=(Int)$10\r\n"
                "[DeleteRegistry]\r\nKey1=(Cuser)Software\\Acme\r\n"},
               {"A.TXT", "aaaa"}, {"K.TXT", "keep"}, {"M.TX_", SzddCompress(kManual, 'T')},
               {"SETUP.EXE", "MZ"}});
  Choices choices;
  DryRunResult run = DryRun(dir, Layout(), choices);
  std::vector<std::string> kinds;
  for (const Step& step : run.install) {
    if (kinds.empty() || kinds.back() != step.kind) kinds.push_back(step.kind);
  }
  EXPECT_EQ((std::vector<std::string>{"folder", "file", "shortcut", "folder", "shortcut", "registry",
                                      "uninstaller", "record", "registration"}),
            kinds)
      << FormatPlan(run);
  EXPECT_EQ("C:\\Program Files\\Acme\\", run.installFolder);
  const Step& manual = run.install[3];
  EXPECT_EQ("C:\\Program Files\\Acme\\doc\\M.TXT", manual.path);
  EXPECT_EQ("from M.TX_, 300 bytes, expanded", manual.detail);
  EXPECT_TRUE(run.failureList.empty());

  // Each file, folder and shortcut made is in the record and goes again,
  // except the file flagged to stay, which keeps the install folder too.
  std::set<std::string> removed;
  for (const Step& step : run.uninstall) {
    if (step.detail.empty()) removed.insert(step.path);
  }
  for (const Step& step : run.install) {
    if (step.kind != "file" && step.kind != "shortcut" && step.kind != "folder") continue;
    // The shortcut's own folder is not recorded; the uninstaller removes it
    // with its last link.
    if (step.detail != "for a shortcut") {
      EXPECT_NE(std::string::npos, run.record.find(step.path)) << step.path;
    }
    bool stays = step.path.find("K.TXT") != std::string::npos ||
                 step.path == "C:\\Program Files\\Acme\\";
    EXPECT_EQ(!stays, removed.count(step.path) == 1) << step.path << "\n" << FormatPlan(run);
  }
  EXPECT_TRUE(removed.count("HKEY_CURRENT_USER\\Software\\Acme"));
  EXPECT_TRUE(removed.count(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Tools"));
  EXPECT_NE(std::string::npos, run.uninstallFailureList.find("<SetupFolder> C:\\Program Files\\Acme\\"));
}

TEST(SetupkitPlan, TheUsersChoicesAreTheWindowsOptions) {
  fs::path dir = MakeProduct(
      "choices", {{"SETUP.INI", "[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[ShortCut]\r\nMake1=(App)\\A.TXT\r\n"
                                "Name1=(Dsk)A\r\nMake2=(App)\\A.TXT\r\nName2=(Sup)B\r\n"},
                  {"A.TXT", "a"}});
  Layout layout;
  layout.specialFolders[0] = "E:\\Desk";
  Choices choices;
  choices.folder = "C:\\Tools";
  choices.startUp = false;
  DryRunResult run = DryRun(dir, layout, choices);
  std::vector<std::string> links;
  for (const Step& step : run.install) {
    if (step.kind == "shortcut") links.push_back(step.path);
  }
  EXPECT_EQ(std::vector<std::string>{"E:\\Desk\\A.lnk"}, links) << FormatPlan(run);
  EXPECT_EQ("C:\\Tools", run.installFolder);
  EXPECT_NE(std::string::npos, run.record.find("File1=C:\\Tools\\A.TXT"));
}

}  // namespace
}  // namespace qs::kit
