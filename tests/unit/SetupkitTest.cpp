// setupkit check and plan on crafted product folders: each finding from a
// file made to show it, and the dry run's steps against the record it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <map>
#include <set>

#include <unistd.h>

#include "core/Paths.h"
#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "data/Definition.h"
#include "data/UninstallRecord.h"
#include "platform/fake/FakePlatform.h"
#include "tools/setupkit/Check.h"
#include "tools/setupkit/DryRun.h"
#include "tools/setupkit/Plan.h"
#include "tools/setupkit/Text.h"

namespace qs::kit {
namespace {
namespace fs = std::filesystem;

// A product folder on disk, made afresh for one case.
fs::path MakeProduct(const std::string& name, const std::map<std::string, std::string>& files) {
  fs::path dir = fs::temp_directory_path() / ("setupkit-unit-" + std::to_string(::getpid())) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& [file, bytes] : files) {
    fs::create_directories((dir / file).parent_path());
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
  // The file as written: no [Title] and [DefaultFolder] added at its end
  // when it has none (a product needs both; most cases are about others).
  bool asWritten = false;
  bool silent = false;  // --silent: the dry run answers as /S does
};

CheckCase AsWritten(CheckCase c) {
  c.asWritten = true;
  return c;
}
CheckCase Silent(CheckCase c) {
  c.silent = true;
  return c;
}

// ASCII text as UTF-16LE bytes.
std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

// The case's file, completed at its end by what a product needs.
std::string Completed(const CheckCase& c) {
  if (c.asWritten) return c.ini;
  std::string upper = c.ini, ini = c.ini;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (upper.find("[TITLE]") == std::string::npos) ini += "[Title]\r\nSetup=Acme\r\n";
  if (upper.find("[DEFAULTFOLDER]") == std::string::npos) {
    ini += "[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n";
  }
  return ini;
}

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
      {"unknown key", "[Title]\r\nSetupTitle=Acme\r\n" + app, a,
       {{2, W, "SetupTitle is never read"}, {1, E, "the program's own name"}}},
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
       {{2, E, "damaged SZDD stream"}, {2, E, "<File> C:\\Program Files\\Acme\\M.TXT"}}},
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
      {"an empty UnSetupKey", "[Title]\r\nUnSetupKey=\r\n" + app, a,
       {{2, W, "registered as 'Quillo! Setup for Windows32'"}, {2, E, "the program's own name"}}},
      {"a missing readme", "[Readme]\r\nFile=README.TXT\r\n" + app, a, {{2, W, "is missing"}}},
      {"a readme in UTF-8", "[Readme]\r\nFile=README.TXT\r\n" + app,
       {{"A.TXT", "a"}, {"README.TXT", "\xE3\x81\x82\xE3\x81\x84\r\n"}}, {{2, E, "saved as UTF-8"}}},
      {"a file in UTF-8", "[Title]\r\nSetup=\xE3\x82\xA2\xE3\x82\xAF\xE3\x83\xA1\r\n" + app, a,
       {{2, E, "saved as UTF-8"}}},
      AsWritten({"a file in UTF-16 without its mark", Utf16("[Title]\r\nSetup=Acme\r\n" + app), a,
                 {{1, E, "UTF-16 without a byte-order mark"}}}),
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
       a, {{5, E, "ends early with the error report"}}},
      {"a planned folder whose parent comes later", app + "[MakeFolder]\r\nFolder1=(App)\\A\\B\r\n"
       "Folder2=(App)\\A\r\n", a, {{4, E, "<Folder> "}}},
      {"an install folder two levels deep", "[DefaultFolder]\r\nFolder=(Prg)\\Acme\\Tools\r\n" + app +
       "[ShortCut]\r\nMake1=(App)\\A.TXT\r\n", a, {{2, E, "creates its last level only"}}},
      {"a lower-case section name is read all the same", "[copyfile]\r\nfile1=(App)\\A.TXT\r\n", a, {}},
      // What a product needs.
      AsWritten({"an empty file", "", a,
                 {{1, E, "no [DefaultFolder] Folder: the install folder is 'C:\\Program Files\\' itself"},
                  {1, E, "registered as 'Quillo! Setup for Windows32', the program's own name"}}}),
      AsWritten({"no [DefaultFolder]", "[Title]\r\nSetup=Acme\r\n" + app, a,
                 {{1, E, "no [DefaultFolder] Folder: the install folder is 'C:\\Program Files\\'"}}}),
      {"the Windows folder as the install folder", "[DefaultFolder]\r\nFolder=(Win)\r\n" + app, a,
       {{2, E, "the install folder is 'C:\\WINDOWS\\' itself"}}},
      {"a registration name with a backslash", "[Title]\r\nUnSetupKey=Acme\\Viewer\r\n" + app, a,
       {{2, E, "goes a key deeper"}}},
      {"the registration's version and publisher",
       "[Title]\r\nSetup=Acme\r\nVersion=1.0\r\nPublisher=Acme Corp.\r\n" + app, a, {}},
      {"a misspelt key", "[CopyFile]\r\nFiel1=(App)\\A.TXT\r\n", a,
       {{2, W, "Fiel1 is never read; did you mean File1?"}}},
      // Paths Windows does not hold as written.
      {"a '..' step", "[CopyFile]\r\nFile1=(App)\\..\\A.TXT\r\n", a, {{2, E, "a '..' step"}}},
      {"a character no name holds, in a folder", app + "[MakeFolder]\r\nFolder1=(App)\\a|b\r\n", a,
       {{4, E, "cannot hold '|'"}, {4, E, "<Folder> C:\\Program Files\\Acme\\a|b\\"}}},
      {"a colon after the drive, in a file", "[CopyFile]\r\nFile1=(App)\\X:A.TXT\r\n", a,
       {{2, E, "cannot hold ':'"}}},
      {"a device name, in a file opened after setup", app + "[ExecuteFile]\r\nFile=(App)\\NUL.TXT\r\n",
       a, {{4, E, "'NUL.TXT' is the name of a device"}, {4, W, "not installed by this package"}}},
      {"a device name, in a link", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Dsk)COM1\r\n", a,
       {{5, E, "'COM1' is the name of a device"}}},
      // Twice, and without a name.
      {"the same file twice", app + "File2=(App)\\A.TXT,/L\r\n", a,
       {{3, E, "installed by File1 (line 2) already"}}},
      Silent({"the same file twice, under /S", app + "File2=(App)\\A.TXT\r\n", a,
              {{3, E, "installed by File1 (line 2) already"},
               {3, E, "the install would fail a step: <File> C:\\Program Files\\Acme\\A.TXT"}}}),
      {"the same link twice", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Dsk)A\r\n"
       "Make2=(App)\\A.TXT\r\nName2=(Dsk)A\r\n", a, {{7, W, "made by Name1 (line 5) already"}}},
      {"two links of one name to two targets", app + "File2=(App)\\B.TXT\r\n[ShortCut]\r\n"
       "Make1=(App)\\A.TXT\r\nName1=A\r\nMake2=(App)\\B.TXT\r\nName2=(Sta)a\r\n",
       {{"A.TXT", "a"}, {"B.TXT", "b"}}, {{8, E, "replaces it with a link to"}}},
      {"a link without a name", app + "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Dsk)\r\n", a,
       {{5, E, "the link has no name; the program makes 'C:\\WINDOWS\\Desktop\\.lnk'"}}},
      {"the same registry value twice",
       app + "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=N\r\nValue1=(Str)a\r\n"
             "Key2=(Cuser)SOFTWARE\\Acme\\\r\nName2=n\r\nValue2=(Str)b\r\n",
       a, {{8, E, "written by entry 1 (line 5) already; the second write replaces the first"}}},
      // Registry values as they are written.
      {"a value without a type marker",
       app + "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=N\r\nValue1=v\r\n", a,
       {{6, W, "no type marker ((Str) or (Int)); the whole value 'v' is written as a string"}}},
      {"a marker inside a value",
       app + "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=N\r\nValue1=(Str)(App)\\A.TXT\r\n", a,
       {{6, W, "'(App)' is not expanded in a registry value; the text '(App)\\A.TXT' is written"}}},
      {"an unmatched quotation mark", "[Title]\r\nSetup=\"Acme\r\n" + app, a,
       {{2, W, "an unmatched quotation mark; the value is read with it, as '\"Acme'"}}},
      // Texts in forms the program reads, and those it does not.
      AsWritten({"a file in UTF-16 after its mark",
                 "\xFF\xFE" + Utf16("[Title]\r\nSetup=Acme\r\n[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n" + app),
                 a, {}}),
      {"a compressed readme", "[Readme]\r\nFile=README.TX_\r\n" + app,
       {{"A.TXT", "a"}, {"README.TX_", SzddCompress("read me", 'T')}}, {{2, E, "is compressed (SZDD)"}}},
      {"a readme of random bytes", "[Readme]\r\nFile=README.TXT\r\n" + app,
       {{"A.TXT", "a"}, {"README.TXT", std::string("\x12\x9a\0\x07\xff\x01\xfe\0\0\x1b", 10)}},
       {{2, E, "neither Shift-JIS nor UTF-8"}}},
      {"a readme in a sub-folder", "[Readme]\r\nFile=docs\\README.TXT\r\n" + app,
       {{"A.TXT", "a"}, {"docs/README.TXT", "read me\r\n"}}, {}},
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
    files["SETUP.INI"] = Completed(c);
    fs::path dir = MakeProduct("check", files);
    Choices choices;
    choices.folder = c.folder;
    choices.silent = c.silent;
    CheckReport report = CheckProduct(dir, Layout(), choices);
    SCOPED_TRACE(std::string(c.name) + ":\n" + Describe(report.findings));
    for (const Finding& f : report.findings) EXPECT_GE(f.line, 1) << f.text;
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
    EXPECT_EQ(errors, report.Errors());
    EXPECT_EQ(c.findings.empty() ? 0 : 1, report.ExitCode());
  }
}

TEST(SetupkitCheck, ReportsNameTheFileAndLineAsCompilersDo) {
  fs::path dir = MakeProduct("format", {{"SETUP.INI", "[CopyFile]\r\nFile1=(App)\\\"B\".TXT\r\n"
                                                      "[Title]\r\nSetup=Acme\r\n"
                                                      "[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n"}});
  CheckReport report = CheckProduct(dir / "SETUP.INI", Layout(), Choices());
  ASSERT_EQ(2u, report.findings.size());  // the name, and the step that fails on it
  std::string text = FormatText(report);
  EXPECT_EQ(0u, text.find((dir / "SETUP.INI").string() + ":2: error: ")) << text;
  std::string json = FormatJson(report);
  EXPECT_NE(std::string::npos, json.find("\"line\": 2, \"severity\": \"error\"")) << json;
  EXPECT_NE(std::string::npos, json.find("'\\\"B\\\".TXT'")) << json;  // quotes escaped
  EXPECT_NE(std::string::npos, json.find("\"errors\": 2,\n  \"warnings\": 0")) << json;
}

// No product to read is no finding: it has an exit code of its own.
TEST(SetupkitCheck, AFolderWithoutDefinitionIsUnreadable) {
  fs::path dir = MakeProduct("empty", {{"A.TXT", "a"}});
  for (const fs::path& target : {dir, dir / "NONE"}) {
    CheckReport report = CheckProduct(target, Layout(), Choices());
    EXPECT_TRUE(report.findings.empty());
    EXPECT_NE(std::string::npos, report.unreadable.find(target.string())) << report.unreadable;
    EXPECT_EQ(3, report.ExitCode());
  }
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

// The plan says what the run does to a file, and makes no link out of a
// name no file holds: a "_" file that is no SZDD file is copied as it is,
// and a link named with a colon is not made.
TEST(SetupkitPlan, ThePlanNamesOnlyWhatIsExpandedOrMade) {
  fs::path dir = MakeProduct(
      "labels", {{"SETUP.INI", "[CopyFile]\r\nFile1=(App)\\M.TX_\r\nFile2=(App)\\Z.TX_\r\n"
                               "[ShortCut]\r\nMake1=(App)\\M.TX_\r\nName1=(Dsk)Bad:Name\r\n"
                               "Make2=(App)\\M.TX_\r\nName2=(Dsk)Good\r\n"},
                 {"M.TX_", "plain text"}, {"Z.TX_", SzddCompress(kManual, 'T')}});
  DryRunResult run = DryRun(dir, Layout(), Choices());
  std::map<std::string, std::string> steps;
  for (const Step& step : run.install) steps[step.kind + " " + step.path] = step.detail;
  const std::string plan = FormatPlan(run);
  EXPECT_EQ("from M.TX_, 10 bytes, not SZDD: copied as it is",
            steps["file C:\\Program Files\\M.TX_"]) << plan;
  EXPECT_EQ("from Z.TX_, 300 bytes, expanded", steps["file C:\\Program Files\\Z.TXT"]) << plan;
  EXPECT_EQ(0u, steps.count("shortcut C:\\WINDOWS\\Desktop\\Bad:Name.lnk")) << plan;
  EXPECT_NE(std::string::npos, steps["not-made C:\\WINDOWS\\Desktop\\Bad:Name.lnk"].find("':'")) << plan;
  EXPECT_EQ("to C:\\Program Files\\M.TX_", steps["shortcut C:\\WINDOWS\\Desktop\\Good.lnk"]) << plan;
}

// The plan is what the runs tell, not what they show: with every status
// text reworded the plan is the same, every kind told from the others as
// before.
TEST(SetupkitPlan, RewordedStatusTextsLeaveThePlanAsItWas) {
  class Reworded : public WatchedRunWindow {
   public:
    explicit Reworded(RunWindow& window) : WatchedRunWindow(window, unwatched_) {}
    void ShowStatus(const std::string& text) override {
      WatchedRunWindow::ShowStatus("(" + std::to_string(++shown_) + ") " + text + "…");
    }

   private:
    RunWatcher unwatched_;
    int shown_ = 0;
  };
  fs::path dir = MakeProduct(
      "reworded", {{"SETUP.INI", "[Title]\r\nSetup=Acme\r\nUnSetupKey=Acme Tools\r\n"
                                 "[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n"
                                 "[MakeFolder]\r\nFolder1=(App)\\doc\r\n"
                                 "[CopyFile]\r\nFile1=(App)\\A.TXT\r\n"
                                 "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Prg)Acme\\A\r\n"
                                 "[Registry]\r\nKey1=(Cuser)Software\\Acme\r\nName1=Count\r\n"
                                 "Value1=(Int)7\r\n[ExecuteFile]\r\nFile=(App)\\A.TXT\r\n"},
                  {"A.TXT", "a"}});
  const DryRunResult plain = DryRun(dir, Layout(), Choices());
  const DryRunResult reworded = DryRun(dir, Layout(), Choices(), {}, [](RunWindow& window) {
    return std::unique_ptr<RunWindow>(std::make_unique<Reworded>(window));
  });
  const std::string plan = FormatPlan(plain);
  EXPECT_EQ(plan, FormatPlan(reworded));
  std::string told;
  for (const Step& step : plain.install) told += step.kind + " [" + step.detail + "]\n";
  for (const char* expected :
       {"folder [the install folder]", "folder []", "folder [for a shortcut]",
        "file [from A.TXT, 1 bytes]", "shortcut [to C:\\Program Files\\Acme\\A.TXT]",
        "registry [Count = REG_DWORD 7]", "uninstaller [from SETUP.EXE]", "record []",
        "registration [DisplayName = REG_SZ \"Acme Tools\"]", "open []"}) {
    EXPECT_NE(std::string::npos, told.find(std::string(expected) + "\n")) << expected << "\n" << plan;
  }
}

// --silent: the runs SETUP.EXE /S makes. A file that is there stays and
// counts as failed, a file flagged ,/C stays at the uninstall, nothing is
// opened; in the window the same product replaces, removes and opens.
TEST(SetupkitPlan, SilentRunsAnswerAsSlashS) {
  fs::path dir = MakeProduct(
      "silent", {{"SETUP.INI", "[Title]\r\nSetup=Acme\r\n[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n"
                               "[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(Win)\\S.INI,/C\r\n"
                               "File3=(App)\\A.TXT\r\n[ExecuteFile]\r\nFile=(App)\\A.TXT\r\n"},
                 {"A.TXT", "a"}, {"S.INI", "s"}});
  for (bool silent : {false, true}) {
    Choices choices;
    choices.silent = silent;
    DryRunResult run = DryRun(dir, Layout(), choices);
    SCOPED_TRACE(FormatPlan(run));
    std::multiset<std::string> kinds;
    for (const Step& step : run.install) kinds.insert(step.kind);
    EXPECT_EQ(silent ? "<File> C:\\Program Files\\Acme\\A.TXT\r\n" : "", run.failureList);
    EXPECT_EQ(silent ? 0u : 1u, kinds.count("open"));
    EXPECT_EQ(silent ? 1u : 0u, kinds.count("not-opened"));
    bool removed = false;
    for (const Step& step : run.uninstall) {
      removed |= step.kind == "delete" && step.path == "C:\\WINDOWS\\S.INI" && step.detail.empty();
    }
    EXPECT_EQ(!silent, removed);
    EXPECT_EQ(0, PlanExitCode(run));  // the run completes, failed steps and all
  }
}

// --silent with a folder two levels below what is there: the plan makes
// both levels as /D= does, and the uninstall takes them back.
TEST(SetupkitPlan, SilentPlansMakeEveryMissingLevel) {
  fs::path dir = MakeProduct("levels", {{"SETUP.INI", "[Title]\r\nSetup=Acme\r\nUnSetupKey=Acme\r\n"
                                                      "[CopyFile]\r\nFile1=(App)\\A.TXT\r\n"},
                                        {"A.TXT", "a"}});
  Choices choices;
  choices.silent = true;
  choices.folder = "C:\\Tools\\Acme\\App";
  DryRunResult run = DryRun(dir, Layout(), choices);
  std::string install, uninstall;
  for (const Step& step : run.install) install += step.kind + " " + step.path + " [" + step.detail + "]\n";
  for (const Step& step : run.uninstall) uninstall += step.kind + " " + step.path + "\n";
  EXPECT_NE(std::string::npos, install.find("folder C:\\Tools\\ [above the install folder]\n"
                                            "folder C:\\Tools\\Acme\\ [above the install folder]\n"
                                            "folder C:\\Tools\\Acme\\App\\ [the install folder]\n"))
      << install;
  EXPECT_NE(std::string::npos, uninstall.find("remove-folder C:\\Tools\\Acme\\App\\\n"
                                              "remove-folder C:\\Tools\\Acme\\\n"
                                              "remove-folder C:\\Tools\\\n"))
      << uninstall;
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

// The definition files of the reference's examples and the install
// fuzzer's seeds (the seed's first byte is the fuzzer's script), each with
// the files beside it.
struct Source {
  std::string name;
  std::string ini;
  std::map<std::string, std::string> files;
};
std::vector<Source> ExamplesAndSeeds() {
  std::vector<Source> sources;
  const fs::path root = QS_SOURCE_DIR;
  for (const fs::directory_entry& example : fs::directory_iterator(root / "docs/examples")) {
    Source source{NameOf(example.path().filename()), "", {}};
    for (const fs::directory_entry& file : fs::recursive_directory_iterator(example.path())) {
      if (!file.is_regular_file()) continue;
      std::string relative = NameOf(file.path().lexically_relative(example.path()));
      (relative == "SETUP.INI" ? source.ini : source.files[relative]) = ReadBytes(file.path());
    }
    sources.push_back(source);
  }
  for (const fs::directory_entry& seed : fs::directory_iterator(root / "tests/fuzz/seeds/install")) {
    sources.push_back({NameOf(seed.path().filename()), ReadBytes(seed.path()).substr(1),
                       {{"A.TXT", "a"}, {"B.DL_", SzddCompress("library", 'l')}, {"E.TXT", ""}}});
  }
  return sources;
}

// check and plan read a definition file alike, because both read it with
// the program's reader: what check takes each key for is what the dry run's
// program did with it, as the file is and after a UTF-8 byte-order mark
// (the form of a file that names what Shift-JIS lacks), and check never
// calls a line that the program reads unread.
TEST(SetupkitAgreement, CheckAndPlanReadTheExamplesAndSeedsAlike) {
  std::vector<Source> sources = ExamplesAndSeeds();
  ASSERT_GE(sources.size(), 5u);
  int checkedFiles = 0;
  for (const Source& source : sources) {
    for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
      if (HasUtf8Bom(source.ini) && !mark.empty()) continue;
      std::map<std::string, std::string> files = source.files;
      files["SETUP.INI"] = mark + source.ini;
      fs::path dir = MakeProduct("agree-" + source.name, files);
      SCOPED_TRACE(source.name + (mark.empty() ? "" : " after a UTF-8 mark"));
      DryRunResult run = DryRun(dir, Layout(), Choices());
      CheckReport report = CheckProduct(dir, Layout(), Choices());
      fake::FakePlatform os;
      os.AddFile("C:\\SETUP.INI", files["SETUP.INI"]);
      DefinitionFile reading(os, "C:\\SETUP.INI");
      ++checkedFiles;

      // The lines the program reads are read lines to check.
      std::set<int> readLines;
      for (const DefinitionKey* key : kDefinitionKeys) {
        for (int n = key->limit ? 1 : 0; n <= key->limit; ++n) {
          if (std::optional<DefinitionEntry> entry = reading.Find(*key, n)) readLines.insert(entry->line);
        }
      }
      for (const Finding& f : report.findings) {
        bool unread = f.text.find("never read") != std::string::npos ||
                      f.text.find("outside any section") != std::string::npos ||
                      f.text.find("ignored") != std::string::npos;
        EXPECT_FALSE(unread && readLines.count(f.line)) << f.line << ": " << f.text;
      }

      // What the program did with the keys check read.
      const Titles titles = ReadTitles(reading);
      EXPECT_EQ(titles.setup, run.values.setupTitle);
      EXPECT_EQ(titles.unSetup, run.values.unSetupTitle);
      MarkerFolders folders{"", run.values.programFilesFolder, run.values.windowsFolder,
                            run.values.systemFolder};
      EXPECT_EQ(ResolveDefaultFolder(reading.Get(keys::kDefaultFolder, "(Prg)\\"), folders, kUtf8),
                run.installFolder);
      if (run.record.empty()) continue;
      folders.installFolder = run.installFolder;
      std::multiset<std::string> installed, written, registered;
      for (const Step& step : run.install) {
        if (step.kind == "file") installed.insert(UpperName(step.path));
        if (step.kind == "registry") written.insert(step.detail.substr(0, step.detail.find(" = ")));
        if (step.kind == "registration") registered.insert(step.path);
      }
      for (const DefinitionEntry& file : reading.List(keys::kCopyFile)) {
        std::string path = ResolveMarkerPath(SplitCopyFileValue(file.value).path, folders, kUtf8);
        if (!files.count(FileNamePart(path, kUtf8)) || path.back() == '_') continue;
        EXPECT_EQ(1u, installed.count(UpperName(path))) << path;
      }
      std::multiset<std::string> names;
      for (const DefinitionEntry& key : reading.List(keys::kRegistryKey)) {
        std::string name = reading.Get(keys::kRegistryName, key.number);
        if (!name.empty()) names.insert(name);
      }
      EXPECT_EQ(names, written);
      const std::string registration =
          "HKEY_LOCAL_MACHINE\\" + UninstallKeyPath(ReadUnSetupKey(reading, titles.unSetup));
      for (const std::string& path : registered) EXPECT_EQ(registration, path);
      EXPECT_FALSE(registered.empty());
    }
  }
  EXPECT_GE(checkedFiles, 2 * static_cast<int>(sources.size()) - 1);
}

}  // namespace
}  // namespace qs::kit
