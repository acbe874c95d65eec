// Deployment switches: the command line, the log, and whole install and
// uninstall runs without a window against the in-memory Windows.
#include "flow/Unattended.h"

#include <gtest/gtest.h>

#include "flow/ControlIds.h"
#include "flow/MainForm.h"
#include "core/SetupError.h"
#include "core/Texts.h"
#include "core/StringFile.h"
#include "data/UninstallRecord.h"
#include "core/Paths.h"
#include "core/ShortCut.h"
#include "tests/support/BundleImages.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/RunChecks.h"
#include "tests/support/FakeView.h"
#include "uninstall/UninstallRun.h"

namespace qs {
namespace {

// One line per field that differs from a plain command line.
std::string Describe(const CommandLine& line) {
  std::string out = "arg=" + line.argument;
  for (auto [set, name] : {std::pair{line.silent, "S"}, {line.usage, "?"},
                           {line.overwrite, "OVERWRITE"}, {line.open, "OPEN"},
                           {line.noDesktop, "NODESKTOP"}, {line.noStartMenu, "NOSTARTMENU"},
                           {line.noStartUp, "NOSTARTUP"}, {line.noSendTo, "NOSENDTO"}}) {
    if (set) out += std::string("|") + name;
  }
  if (line.folder) out += "|D=" + *line.folder;
  if (line.logFile) out += "|LOG=" + *line.logFile;
  if (!line.error.empty()) out += "|bad";
  return out;
}

TEST(CommandLineTest, SwitchesFollowTheFirstArgument) {
  struct Case {
    const char* line;
    const char* expected;
    bool switched;
  };
  const Case cases[] = {
      // Lines without a switch are read as they always were.
      {"SETUP.EXE", "arg=", false},
      {"\"C:\\Setup Disk\\SETUP.EXE\" \"C:\\My Apps\\UNSETUP.INI\"",
       "arg=C:\\My Apps\\UNSETUP.INI", false},
      {"SETUP.EXE anything /Q more", "arg=anything", false},
      {"SETUP.EXE \"\"C:\\A\\UNSETUP.INI", "arg=C:\\A\\UNSETUP.INI", false},
      // Switches, in any letter case, with or without the argument.
      {"SETUP.EXE /s", "arg=|S", true},
      {"SETUP.EXE /S /OverWrite /open /NODESKTOP /nostartmenu /NoStartUp /NOSENDTO",
       "arg=|S|OVERWRITE|OPEN|NODESKTOP|NOSTARTMENU|NOSTARTUP|NOSENDTO", true},
      {"APPUNSET.EXE \"C:\\My Apps\\UNSETUP.INI\" /S /LOG=\"C:\\Log Files\\u.log\"",
       "arg=C:\\My Apps\\UNSETUP.INI|S|LOG=C:\\Log Files\\u.log", true},
      {"SETUP.EXE /log=C:\\setup.log", "arg=|LOG=C:\\setup.log", true},
      {"SETUP.EXE /?", "arg=|?", true},
      {"SETUP.EXE /S /BOGUS /?", "arg=|S|?", true},
      // /D= takes the rest of the line, quoted or not.
      {"SETUP.EXE /S /D=C:\\My Apps\\Tool", "arg=|S|D=C:\\My Apps\\Tool", true},
      {"SETUP.EXE /S \"/D=C:\\My Apps\\Tool\"  ", "arg=|S|D=C:\\My Apps\\Tool", true},
      {"SETUP.EXE /S /d=\"C:\\My Apps\\Tool\"", "arg=|S|D=C:\\My Apps\\Tool", true},
      {"SETUP.EXE /S /D=C:\\A /OPEN", "arg=|S|D=C:\\A /OPEN", true},
      {"SETUP.EXE /S /D=C:\\\x95\x5C\\", "arg=|S|D=C:\\\x95\x5C\\", true},  // 表
      // Bad lines.
      {"SETUP.EXE /S /BOGUS", "arg=|S|bad", true},
      {"SETUP.EXE /S extra", "arg=|S|bad", true},
      {"SETUP.EXE /LOG=", "arg=|LOG=|bad", true},
      {"SETUP.EXE /S /D=  ", "arg=|S|D=|bad", true},
      {"SETUP.EXE /D=C:\\UNSETUP.INI /S", "arg=|D=C:\\UNSETUP.INI /S|bad", true},
      {"SETUP.EXE /OVERWRITE", "arg=|OVERWRITE|bad", true},
      {"SETUP.EXE /LOG=C:\\l.txt /NOSENDTO", "arg=|NOSENDTO|LOG=C:\\l.txt|bad", true},
      // /LOG= names a file by a full path: a service's current folder is
      // the system folder.
      {"SETUP.EXE /S /LOG=//server/logs/a.log", "arg=|S|LOG=//server/logs/a.log", true},
      {"SETUP.EXE /S /LOG=setup.log", "arg=|S|LOG=setup.log|bad", true},
      {"SETUP.EXE /S /LOG=C:setup.log", "arg=|S|LOG=C:setup.log|bad", true},
      {"SETUP.EXE /S /LOG=\\Logs\\setup.log", "arg=|S|LOG=\\Logs\\setup.log|bad", true},
      {"SETUP.EXE /S /LOG=..\\setup.log", "arg=|S|LOG=..\\setup.log|bad", true},
      // /D= must name a folder of its own by a full path.
      {"SETUP.EXE /S /D=\\\\server\\apps\\Tool", "arg=|S|D=\\\\server\\apps\\Tool", true},
      {"SETUP.EXE /S /D=C:\\Console\\NULL", "arg=|S|D=C:\\Console\\NULL", true},
      {"SETUP.EXE /S /D=C:\\Tool\\..\\", "arg=|S|D=C:\\Tool\\..\\|bad", true},
      {"SETUP.EXE /S /D=Tool", "arg=|S|D=Tool|bad", true},
      {"SETUP.EXE /S /D=C:Tool", "arg=|S|D=C:Tool|bad", true},
      {"SETUP.EXE /S /D=\\Tool", "arg=|S|D=\\Tool|bad", true},
      {"SETUP.EXE /S /D=C:\\", "arg=|S|D=C:\\|bad", true},
      {"SETUP.EXE /S /D=d:/", "arg=|S|D=d:/|bad", true},
      {"SETUP.EXE /S /D=\\\\server\\apps\\", "arg=|S|D=\\\\server\\apps\\|bad", true},
      {"SETUP.EXE /S /D=\\\\.\\C:\\Tool", "arg=|S|D=\\\\.\\C:\\Tool|bad", true},
      {"SETUP.EXE /S /D=\\\\?\\C:\\Tool", "arg=|S|D=\\\\?\\C:\\Tool|bad", true},
      {"SETUP.EXE /S /D=//./C:/Tool", "arg=|S|D=//./C:/Tool|bad", true},
      {"SETUP.EXE /S /D=CON", "arg=|S|D=CON|bad", true},
      {"SETUP.EXE /S /D=C:\\Apps\\nul.txt", "arg=|S|D=C:\\Apps\\nul.txt|bad", true},
      {"SETUP.EXE /S /D=C:\\Apps\\com1 \\Tool", "arg=|S|D=C:\\Apps\\com1 \\Tool|bad", true},
      {"SETUP.EXE /S /D=C:\\LPT9", "arg=|S|D=C:\\LPT9|bad", true},
  };
  for (const Case& c : cases) {
    CommandLine line = ParseCommandLine(c.line);
    EXPECT_EQ(c.expected, Describe(line)) << c.line;
    EXPECT_EQ(c.switched, line.switched) << c.line;
  }
}

TEST(RunLogTest, EveryTextLineIsALogLineWrittenAtOnce) {
  test::FakePlatform os;
  int tick = 0;
  RunLog log(os.CreateForWrite("C:\\RUN.LOG"),
             [&tick] { return "2026-12-07 10:00:0" + std::to_string(tick++); });
  log.Write("step", "フォルダを作成しています．．．\rCreating -> C:\\A\\");
  log.Write("failed", "<File> C:\\A\\X.TXT\r\n<Folder> C:\\A\\B\\\r\n");
  log.Write("end", "");
  EXPECT_EQ("\xef\xbb\xbf"  // UTF-8, marked as such
            "2026-12-07 10:00:00 step フォルダを作成しています．．．\r\n"
            "2026-12-07 10:00:00 step Creating -> C:\\A\\\r\n"
            "2026-12-07 10:00:01 failed <File> C:\\A\\X.TXT\r\n"
            "2026-12-07 10:00:01 failed <Folder> C:\\A\\B\\\r\n"
            "2026-12-07 10:00:02 end \r\n",
            os.Contents("C:\\RUN.LOG"));
  // A second run adds to the log through AppendTo, without a second mark.
  const std::string first = *os.Contents("C:\\RUN.LOG");
  {
    AppendFile again = os.AppendTo("C:\\RUN.LOG");
    ASSERT_TRUE(again.writer);
    RunLog(std::move(again.writer), [] { return std::string("T"); }, again.size == 0)
        .Write("start", "again");
  }
  EXPECT_EQ(first + "T start again\r\n", os.Contents("C:\\RUN.LOG"));
  // A log without a file writes nothing: it does not even read the clock.
  int readings = 0;
  RunLog(nullptr, [&readings] { return std::to_string(++readings); }).Write("step", "nowhere");
  EXPECT_EQ(0, readings);
}

// Each box the runs can show: the answer, and the exit code of a run that
// ends after it.
TEST(QuietRunWindowTest, EveryQuestionGetsTheAnswerThatKeepsData) {
  struct Case {
    const char* caption;
    uint32_t flags;
    int answer;
    int exitCode;
  };
  const uint32_t question = kMbYesNo | kMbIconQuestion;
  const Case cases[] = {
      {"フォルダ作成", question, kIdYes, kExitDone},        // the folder the run was told to use
      {"上書き確認", question, kIdNo, kExitDone},            // the existing file stays
      {"ファイル削除の確認", question, kIdNo, kExitDone},    // the flagged file stays
      {"警告", kMbYesNo | kMbIconWarning, kIdNo, kExitDone}, // the list is in the log
      {"完了", kMbOk | kMbIconInformation, kIdOk, kExitDone},
      {"警告", kMbOk | kMbIconWarning, kIdOk, kExitFailures},  // the file after setup
      {"致命的エラー", kMbOk | kMbIconError, kIdOk, kExitError},
  };
  for (const Case& c : cases) {
    QuietRunWindow window({});
    EXPECT_EQ(c.answer, window.Ask("text", c.caption, c.flags)) << c.caption;
    window.EndProgram();
    EXPECT_EQ(c.exitCode, window.ExitCode()) << c.caption;
  }
  QuietRunWindow unended({});
  EXPECT_EQ(kExitError, unended.ExitCode());
}

// A product on a CD in C:\CD, installed and removed with switches.
class UnattendedTest : public ::testing::Test {
 protected:
  static constexpr const char* kApp = "C:\\My Apps\\Tool";
  static constexpr const char* kRecord = "C:\\My Apps\\Tool\\UNSETUP.INI";

  UnattendedTest() {
    os.modulePath = "C:\\CD\\SETUP.EXE";
    os.AddFile("C:\\CD\\SETUP.EXE", "MZ", 1000);
    test::PrepareSystem(os, "C:");
    os.AddFolder("C:\\My Apps");
    os.AddFile("C:\\CD\\SETUP.INI",
               "[Title]\r\nSetup=Tool\r\nUnSetupKey=Tool\r\n"
               "[Readme]\r\nFile=README.TXT\r\n"
               "[MakeFolder]\r\nFolder1=(App)\\doc\r\n"
               "[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\doc\\B.TXT\r\n"
               "File3=(App)\\KEEP.DLL,/C\r\n"
               "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Dsk)Tool\r\n"
               "Make2=(App)\\A.TXT\r\nName2=(Sta)Tool\r\n"
               "[Registry]\r\nKey1=(Cuser)Software\\Tool\r\nName1=Edition\r\nValue1=(Str)x\r\n"
               "[ExecuteFile]\r\nFile=(App)\\A.TXT\r\n");
    os.AddFile("C:\\CD\\README.TXT", "read me");
    os.AddFile("C:\\CD\\A.TXT", "a");
    os.AddFile("C:\\CD\\B.TXT", "b");
    os.AddFile("C:\\CD\\KEEP.DLL", "dll");
  }

  // Runs the program with the line; the exit code. The log is in logText.
  int Run(const std::string& commandLine) {
    line = ParseCommandLine(commandLine.c_str());
    EXPECT_TRUE(line.error.empty()) << line.error;
    logText.clear();
    return RunUnattended(os, line, log);
  }
  // A whole line, or a step's line before the detail it adds ("  [...]").
  bool Logged(const std::string& text) const {
    const std::string line = "T " + text;
    for (size_t at = logText.find(line); at != std::string::npos; at = logText.find(line, at + 1)) {
      const std::string rest = logText.substr(at + line.size(), 3);
      if (rest.rfind("\r\n", 0) == 0 || rest == "  [") return true;
    }
    return false;
  }
  bool Exists(const std::string& path) { return os.Attributes(path) != kInvalidAttributes; }


  // The in-memory Windows as the switches change it, whose current folder
  // can be made unusable.
  class World : public SwitchedPlatform<test::FakePlatform> {
   public:
    using SwitchedPlatform::SwitchedPlatform;
    uint32_t SetCurrentFolder(const std::string& path) override {
      return currentFolderError ? currentFolderError : SwitchedPlatform::SetCurrentFolder(path);
    }
    uint32_t currentFolderError = 0;
  };

  CommandLine line;
  std::string logText;
  RunLog log{std::make_unique<StringWriter>(logText), [] { return std::string("T"); }};
  World os{line};
};

// A one-file SETUP.EXE, plain or signed, installs the product it holds,
// copies the SETUP.EXE inside it as the uninstaller and leaves nothing in
// TEMP; cut short, it installs nothing and says the file is damaged.
TEST_F(UnattendedTest, AOneFileSetupInstallsWhatItHoldsAndLeavesNothingInTemp) {
  const std::string inner = test::ProgramImage("the packager's own SETUP.EXE");
  const std::string bundle = test::BundleOf(
      {{"SETUP.EXE", inner},
       {"SETUP.INI", "[Title]\r\nSetup=Bundled\r\n[CopyFile]\r\nFile1=(App)\\INSIDE.TXT\r\n"},
       {"INSIDE.TXT", "inside"}},
      test::ProgramImage("the program part"));
  const struct {
    const char* what;
    std::string file;
    int exitCode;
  } cases[] = {{"plain", bundle, kExitDone},
               {"signed", test::Signed(bundle), kExitDone},
               {"cut short", bundle.substr(0, bundle.size() - 100), kExitError}};
  os.modulePath = "C:\\DL\\SETUP.EXE";
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    os.AddFile(os.modulePath, c.file);
    const std::string folder = "C:\\My Apps\\Bundle" + std::to_string(++n);
    EXPECT_EQ(c.exitCode, Run("SETUP.EXE /S /D=" + folder));
    const bool installs = c.exitCode == kExitDone;
    EXPECT_EQ(installs ? std::optional<std::string>("inside") : std::nullopt,
              os.Contents(folder + "\\INSIDE.TXT"));
    EXPECT_EQ(installs, Exists(folder));
    EXPECT_EQ(inner, os.Contents("C:\\WINDOWS\\APPUNSET.EXE").value_or(""));
    EXPECT_EQ(!installs, Logged("error セットアップファイルが壊れています．")) << logText;
    EXPECT_EQ(std::vector<std::string>{}, os.ListTree("C:\\TEMP"));
  }
}

TEST_F(UnattendedTest, SilentInstallUsesTheFolderOptionsAndNoPause) {
  os.firstArgument = "C:\\OLD\\UNSETUP.INI";  // only the parsed line counts
  EXPECT_EQ(kExitDone, Run("SETUP.EXE /S /NODESKTOP /D=C:\\My Apps\\Tool"));
  EXPECT_EQ("a", os.Contents(std::string(kApp) + "\\A.TXT"));
  EXPECT_EQ("b", os.Contents(std::string(kApp) + "\\doc\\B.TXT"));
  EXPECT_FALSE(Exists("C:\\Desktop\\Tool.lnk"));
  EXPECT_TRUE(Exists("C:\\Programs\\Tool.lnk"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::CurrentUser, "Software\\Tool"));
  EXPECT_EQ(kApp, ReadIniString(os, "SetupFolder", "Folder", "", kRecord));
  EXPECT_TRUE(os.sleeps.empty());
  EXPECT_TRUE(os.opened.empty());
  EXPECT_TRUE(Logged("install C:\\My Apps\\Tool"));
  EXPECT_TRUE(Logged("options overwrite no, desktop no, start menu yes, startup yes, send to yes"));
  EXPECT_TRUE(Logged("ask [フォルダ作成] C:\\My Apps\\Tool"));
  EXPECT_TRUE(Logged("answer Yes"));
  EXPECT_TRUE(Logged("step Copying -> C:\\My Apps\\Tool\\doc\\B.TXT"));
  // Each action as the run took it, with its outcome.
  EXPECT_TRUE(Logged("folder C:\\My Apps\\Tool")) << logText;
  EXPECT_TRUE(Logged("file C:\\My Apps\\Tool\\doc\\B.TXT")) << logText;
  EXPECT_TRUE(Logged("record C:\\My Apps\\Tool\\UNSETUP.INI")) << logText;
  EXPECT_TRUE(Logged("not-opened C:\\My Apps\\Tool\\A.TXT"));
  EXPECT_TRUE(Logged("end ")) << logText;
  // Progress: a line at every tenth of the copying, each once, in order,
  // however the files divide it.
  std::vector<std::string> progress;
  for (size_t at = logText.find(" progress "); at != std::string::npos;
       at = logText.find(" progress ", at + 1)) {
    progress.push_back(logText.substr(at + 10, logText.find('\r', at) - at - 10));
  }
  EXPECT_EQ((std::vector<std::string>{"10%", "20%", "30%", "40%", "50%", "60%", "70%", "80%",
                                      "90%", "100%"}),
            progress)
      << logText;
  EXPECT_EQ(std::string::npos, logText.find("failed")) << logText;
}

TEST_F(UnattendedTest, AnExistingFileStaysUnlessOverwriteIsGiven) {
  ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /D=C:\\My Apps\\Tool"));
  os.AddFile(std::string(kApp) + "\\A.TXT", "the user's");
  EXPECT_EQ(kExitFailures, Run("SETUP.EXE /S /D=C:\\My Apps\\Tool"));
  EXPECT_EQ("the user's", os.Contents(std::string(kApp) + "\\A.TXT"));
  EXPECT_TRUE(Logged("answer No"));
  EXPECT_TRUE(Logged("failed <File> C:\\My Apps\\Tool\\A.TXT")) << logText;
  EXPECT_TRUE(Logged("file-failed C:\\My Apps\\Tool\\A.TXT")) << logText;
  // The record was still written, listing the file once.
  EXPECT_EQ(std::string(kApp) + "\\A.TXT", ReadIniString(os, "DeleteFile", "File1", "", kRecord));

  EXPECT_EQ(kExitDone, Run("SETUP.EXE /S /OVERWRITE /OPEN /D=C:\\My Apps\\Tool"));
  EXPECT_EQ("a", os.Contents(std::string(kApp) + "\\A.TXT"));
  EXPECT_EQ(std::vector<std::string>{std::string(kApp) + "\\A.TXT"}, os.opened);
}

// /OPEN opens the file as the user who ran the program; under SYSTEM the
// file, perhaps in a folder users may change, is never opened.
TEST_F(UnattendedTest, OpenIsIgnoredUnderSystem) {
  os.AddFolder("C:\\WINDOWS\\TEMP");  // the elevated runs' work folders' parent
  for (Rights rights : {Rights::User, Rights::Administrator, Rights::System}) {
    os.rights = rights;
    os.opened.clear();
    const bool system = rights == Rights::System;
    SCOPED_TRACE(static_cast<int>(rights));
    EXPECT_EQ(kExitDone, Run("SETUP.EXE /S /OVERWRITE /OPEN /D=C:\\My Apps\\Tool"));
    EXPECT_EQ(system, os.opened.empty());
    EXPECT_EQ(system, Logged("not-opened C:\\My Apps\\Tool\\A.TXT")) << logText;
  }
}

// Without /D= the proposed folder; a start-up warning (no working folder
// in TEMP) is logged, not shown.
TEST_F(UnattendedTest, TheProposedFolderServesWithoutD) {
  os.privateFolderFails = true;
  EXPECT_EQ(kExitDone, Run("SETUP.EXE /S"));
  EXPECT_TRUE(Exists("C:\\Program Files\\UNSETUP.INI"));
  EXPECT_EQ(0u, logText.find("T message [警告] ")) << logText;
}

// With more than a user's rights the work folder is made only in the
// administrators' temporary folder, never in the user's TEMP; where it
// cannot be made, nothing runs (no fallback to TEMP): exit 2, the start-up
// error in the log, and the record untouched.
TEST_F(UnattendedTest, AnElevatedRunWorksOnlyInTheAdministratorsTemp) {
  os.AddFolder("C:\\WINDOWS\\TEMP");
  ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /D=C:\\My Apps\\Tool"));
  struct Case {
    Rights rights;
    bool folderFails;
    const char* adminTemp;
    int install, uninstall;
  } cases[] = {
      {Rights::Administrator, false, "C:\\WINDOWS\\TEMP\\", kExitDone, kExitFailures},
      {Rights::System, false, "C:\\WINDOWS\\TEMP\\", kExitDone, kExitFailures},
      {Rights::Administrator, true, "C:\\WINDOWS\\TEMP\\", kExitError, kExitError},
      {Rights::System, false, "", kExitError, kExitError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.rights)) + (c.folderFails ? " fails " : " ") +
                 c.adminTemp);
    os.rights = c.rights;
    os.privateFolderFails = c.folderFails;
    os.adminTempFolder = c.adminTemp;
    os.privateFolderRestricted.clear();
    const std::string record = *os.Contents(kRecord);
    EXPECT_EQ(c.install, Run("SETUP.EXE /S /OVERWRITE /D=C:\\My Apps\\Tool"));
    EXPECT_EQ(c.uninstall, Run("APPUNSET.EXE \"C:\\My Apps\\Tool\\UNSETUP.INI\" /S"));
    for (const auto& [folder, restricted] : os.privateFolderRestricted) {
      EXPECT_EQ(0u, folder.find("C:\\WINDOWS\\TEMP\\QS")) << folder;
      EXPECT_TRUE(restricted) << folder;
    }
    EXPECT_TRUE(os.ListTree("C:\\TEMP").empty());
    if (c.install == kExitError) {
      EXPECT_TRUE(Logged(std::string("error ") + text::kNoAdminWorkFolder)) << logText;
      EXPECT_EQ(std::string::npos, logText.find("[警告]")) << logText;
      EXPECT_EQ(record, os.Contents(kRecord));
    } else {
      EXPECT_EQ(2u, os.privateFolderRestricted.size());
      os.privateFolderFails = false;
      os.rights = Rights::User;
      ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /OVERWRITE /D=C:\\My Apps\\Tool"));
    }
  }
}

TEST_F(UnattendedTest, UninstallKeepsFlaggedFilesAndLogsEveryRemoval) {
  ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /D=C:\\My Apps\\Tool"));
  os.AddFile("C:\\TEMP\\UNSETUP.INI", "a stale copy");
  EXPECT_EQ(kExitFailures, Run("APPUNSET.EXE \"C:\\My Apps\\Tool\\UNSETUP.INI\" /s"));
  EXPECT_FALSE(Exists(std::string(kApp) + "\\A.TXT"));
  EXPECT_FALSE(Exists(std::string(kApp) + "\\doc"));
  EXPECT_TRUE(Exists(std::string(kApp) + "\\KEEP.DLL"));  // ",/C": asked, kept
  EXPECT_FALSE(Exists("C:\\Programs\\Tool.lnk"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::LocalMachine, UninstallKeyPath("Tool")));
  // The run read its own copy, which went with the working folder; an old
  // one in TEMP is nobody's business here.
  EXPECT_EQ("a stale copy", os.Contents("C:\\TEMP\\UNSETUP.INI"));
  EXPECT_EQ(std::vector<std::string>{"C:\\TEMP\\UNSETUP.INI"}, os.ListTree("C:\\TEMP"));
  EXPECT_TRUE(Logged("uninstall "));
  EXPECT_TRUE(Logged("delete C:\\My Apps\\Tool\\A.TXT")) << logText;
  EXPECT_TRUE(Logged("delete C:\\Programs\\Tool.lnk")) << logText;
  EXPECT_TRUE(Logged("remove-folder C:\\My Apps\\Tool\\doc\\")) << logText;
  EXPECT_TRUE(Logged("delete-key HKLM\\" + UninstallKeyPath("Tool"))) << logText;
  EXPECT_TRUE(Logged("remove-folder-failed C:\\My Apps\\Tool")) << logText;
  EXPECT_TRUE(Logged("failed <File> C:\\My Apps\\Tool\\KEEP.DLL")) << logText;
  EXPECT_TRUE(Logged("failed <SetupFolder> C:\\My Apps\\Tool")) << logText;
  EXPECT_TRUE(os.sleeps.empty());
}

// /D= makes every missing level (the window makes the last one only), and
// the uninstall takes back those that are empty by then, deepest first,
// by a record whose digest is registered. A level that holds something
// else by now stays, without counting as a failure; so does every level
// when the record was changed.
TEST_F(UnattendedTest, EveryMissingLevelIsMadeAndGoesAgainWhenEmpty) {
  os.AddFile("C:\\CD\\SETUP.INI",
             "[Title]\r\nSetup=Tool\r\nUnSetupKey=Tool\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
  const struct {
    const char* top;
    bool usersFile;
    bool recordChanged;
  } cases[] = {{"C:\\Deep", false, false}, {"C:\\Filled", true, false}, {"C:\\Changed", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.top);
    const std::string top = c.top, app = top + "\\er\\Tool", record = app + "\\UNSETUP.INI";
    ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /D=" + app)) << logText;
    EXPECT_TRUE(Logged("folder " + top + "  [above the install folder]")) << logText;
    EXPECT_TRUE(Logged("folder " + top + "\\er  [above the install folder]")) << logText;
    EXPECT_EQ("a", os.Contents(app + "\\A.TXT"));
    EXPECT_EQ(top + "\\", ReadIniString(os, "CreatedFolder", "Folder1", "", record));
    EXPECT_EQ(top + "\\er\\", ReadIniString(os, "CreatedFolder", "Folder2", "", record));
    if (c.usersFile) os.AddFile(top + "\\er\\MINE.TXT", "mine");
    if (c.recordChanged) os.WriteProfile("Title", "UnSetup", "changed", record);
    EXPECT_EQ(c.recordChanged ? kExitFailures : kExitDone,
              Run("APPUNSET.EXE \"" + record + "\" /S")) << logText;
    EXPECT_FALSE(Exists(app)) << logText;
    EXPECT_EQ(c.usersFile || c.recordChanged, Exists(top + "\\er")) << logText;
    EXPECT_EQ(c.usersFile || c.recordChanged, Exists(top)) << logText;
    EXPECT_EQ(c.usersFile, Logged("remove-folder-failed " + top + "\\er\\  [fails]")) << logText;
  }
}

// An install folder with a comma in its name is emptied by the uninstall
// like any other; a product's own document type goes whole, with no failure;
// the system's keys it names stay, and the run says so.
TEST_F(UnattendedTest, ACommaFolderAndTheProductsOwnDocumentTypeGoWhole) {
  const std::string app = "C:\\acc comma, inc";
  os.CreateRegistryKey(RegRoot::ClassesRoot, ".txt");
  os.CreateRegistryKey(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows");
  const std::string definition =
      "[Title]\r\nSetup=Acc\r\nUnSetupKey=Acc Test\r\n"
      "[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\doc\\B.TXT,/F\r\n"
      "[MakeFolder]\r\nFolder1=(App)\\doc\r\n"
      "[Registry]\r\nKey1=(Class).acc\r\nName1=Content Type\r\nValue1=(Str)text/acc\r\n"
      "Key2=(Class)AccTest.Document\\shell\\open\\command\r\nName2=x\r\nValue2=(Str)x\r\n"
      "[DeleteRegistry]\r\nKey1=(Class).acc\r\nKey2=(Class)AccTest.Document\r\n";
  for (bool systemKeys : {false, true}) {
    SCOPED_TRACE(systemKeys ? "listing the system's keys too" : "its own keys");
    os.AddFile("C:\\CD\\SETUP.INI", definition + (systemKeys ? "Key3=(Class).txt\r\n"
                                                               "Key4=(Local)SOFTWARE\\Microsoft\r\n"
                                                             : ""));
    EXPECT_EQ(kExitDone, Run("SETUP.EXE /S /D=" + app));
    EXPECT_TRUE(os.RegistryKeyExists(RegRoot::ClassesRoot, "AccTest.Document\\shell"));
    EXPECT_EQ(systemKeys ? kExitFailures : kExitDone,
              Run("APPUNSET.EXE \"" + app + "\\UNSETUP.INI\" /S"));
    EXPECT_FALSE(Exists(app)) << logText;  // the files, the record and the folder
    EXPECT_FALSE(os.RegistryKeyExists(RegRoot::ClassesRoot, ".acc"));
    EXPECT_FALSE(os.RegistryKeyExists(RegRoot::ClassesRoot, "AccTest.Document"));
    EXPECT_TRUE(os.RegistryKeyExists(RegRoot::ClassesRoot, ".txt"));
    EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows"));
    EXPECT_EQ(systemKeys, Logged("failed <Registry> (Class).txt")) << logText;
    EXPECT_EQ(systemKeys, Logged("failed <Registry> (Local)SOFTWARE\\Microsoft")) << logText;
  }
}

// A record changed after installation: the log says so, the run ends with
// 1, and nothing outside the install folder goes.
TEST_F(UnattendedTest, AChangedRecordIsSaidToBeSoAndReachesOnlyItsFolder) {
  ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /D=C:\\My Apps\\Tool"));
  os.AddFile("C:\\WINDOWS\\WIN.INI", "the system's");
  os.CreateRegistryKey(RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet");
  os.WriteProfile("DeleteFile", "File90", "C:\\WINDOWS\\WIN.INI,/F", kRecord);
  os.WriteProfile("DeleteRegistry", "Key20", "(Local)SYSTEM\\CurrentControlSet", kRecord);
  EXPECT_EQ(kExitFailures, Run("APPUNSET.EXE \"C:\\My Apps\\Tool\\UNSETUP.INI\" /S"));
  EXPECT_TRUE(Logged(std::string("message [警告] ") +
                     std::string(text::kRecordChanged).substr(0, std::string(text::kRecordChanged).find('\r'))))
      << logText;
  EXPECT_EQ("the system's", os.Contents("C:\\WINDOWS\\WIN.INI"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet"));
  EXPECT_FALSE(Exists(std::string(kApp) + "\\A.TXT"));
  EXPECT_FALSE(Exists("C:\\Programs\\Tool.lnk"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::LocalMachine, UninstallKeyPath("Tool")));
  EXPECT_TRUE(Logged("failed <File> C:\\WINDOWS\\WIN.INI")) << logText;
  EXPECT_TRUE(Logged("failed <Registry> (Local)SYSTEM\\CurrentControlSet")) << logText;
}

// /D= naming the Windows or system folder, however spelt, ends the run
// with 5 before anything is written, and the log says why.
TEST_F(UnattendedTest, TheWindowsFolderIsNoInstallFolder) {
  for (const char* folder : {"C:\\WINDOWS", "c:\\windows\\", "C:\\Apps\\..\\Windows",
                             "C:\\WINDOWS\\system32"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(kExitBadCommandLine, Run(std::string("SETUP.EXE /S /D=") + folder));
    EXPECT_TRUE(Logged("error bad command line: /D= names the Windows folder")) << logText;
    EXPECT_FALSE(Exists("C:\\WINDOWS\\A.TXT"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\SYSTEM32\\A.TXT"));
  }
  EXPECT_EQ(kExitDone, Run("SETUP.EXE /S /D=C:\\WINDOWS\\Tool"));
}

TEST_F(UnattendedTest, MissingDefinitionOrRecordEndsWithFour) {
  os.AddFile("C:\\TEMP\\UNSETUP.INI", "[SetupFolder]\r\nFolder=C:\\My Apps\r\n");
  EXPECT_EQ(kExitNoDefinition, Run("SETUP.EXE \"C:\\Gone\\UNSETUP.INI\" /S"));
  EXPECT_TRUE(Logged("error セットアップ・アンセットアップ情報ファイルが見つかりません． "
                     "C:\\Gone\\UNSETUP.INI"))
      << logText;
  // The stale copy is neither used nor removed; the run's own folder is gone.
  EXPECT_EQ(std::vector<std::string>{"C:\\TEMP\\UNSETUP.INI"}, os.ListTree("C:\\TEMP"));
  EXPECT_TRUE(Exists("C:\\My Apps"));
  // Nor when TEMP itself has to serve: the copy that was never made there
  // is another product's.
  os.privateFolderFails = true;
  EXPECT_EQ(kExitNoDefinition, Run("SETUP.EXE \"C:\\Gone\\UNSETUP.INI\" /S"));
  EXPECT_EQ("[SetupFolder]\r\nFolder=C:\\My Apps\r\n", os.Contents("C:\\TEMP\\UNSETUP.INI"));
  os.privateFolderFails = false;

  os.Delete("C:\\CD\\SETUP.INI");
  EXPECT_EQ(kExitNoDefinition, Run("SETUP.EXE /S"));
  EXPECT_TRUE(Logged("error セットアップ・アンセットアップ情報ファイルが見つかりません． "
                     "C:\\CD\\SETUP.INI"));
}

TEST_F(UnattendedTest, ErrorsThatEndTheRunEndWithTwo) {
  // The uninstall stops before removing anything; its record copy goes.
  ASSERT_EQ(kExitDone, Run("SETUP.EXE /S /D=C:\\My Apps"));
  os.currentFolderError = kErrAccessDenied;
  EXPECT_EQ(kExitError, Run("SETUP.EXE \"C:\\My Apps\\UNSETUP.INI\" /S"));
  EXPECT_TRUE(Logged("error ﾌｧｲﾙへのｱｸｾｽが拒否されました.")) << logText;
  EXPECT_TRUE(Exists("C:\\My Apps\\A.TXT"));
  EXPECT_TRUE(os.ListTree("C:\\TEMP").empty());

  os.DenyRegistry(RegRoot::CurrentUser);
  EXPECT_EQ(kExitError, Run("SETUP.EXE /S /D=C:\\My Apps\\Tool"));
  EXPECT_TRUE(Logged("error ｷｰ Software\\Tool の作成に失敗しました.")) << logText;
  EXPECT_FALSE(Exists(kRecord));

  // A level that cannot be made (a file has its name): the install folder
  // cannot be made either.
  os.AddFile("C:\\No", "a file");
  EXPECT_EQ(kExitError, Run("SETUP.EXE /S /D=C:\\No\\Such"));
  EXPECT_TRUE(Logged("message [致命的エラー] C:\\No\\Such")) << logText;

  os.windowsFolder = "";
  EXPECT_EQ(kExitError, Run("SETUP.EXE /S"));
  EXPECT_TRUE(Logged("error Windowsフォルダの取得に失敗しました．")) << logText;
}

// With /LOG= and the window, the form hands its runs a logging seam: the
// failed steps reach the log even when the user does not look at them, an
// error is logged before the window reports it, and the pauses stay.
TEST_F(UnattendedTest, TheWindowLogsThroughTheSameSeam) {
  os.AddFolder(kApp);
  os.AddFile(std::string(kApp) + "\\A.TXT", "the user's");
  for (bool denied : {false, true}) {
    if (denied) os.DenyRegistry(RegRoot::CurrentUser);
    test::FakeView view;
    view.answers = {kIdNo, kIdNo};  // no overwrite; no failure list
    InstallPlan plan;
    MainForm form(os, view, plan);
    LoggingRunWindow logged(form.viewWindow(), log);
    form.SetRunWindow(logged);
    form.FormActivate();
    form.btnContinueClick();
    view.At(ids::kTxtFolder).text = kApp;
    view.At(ids::kChkOverWrite).checked = false;
    logText.clear();
    os.sleeps.clear();
    if (denied) {
      EXPECT_THROW(form.btnSetupClick(), SetupError);
      EXPECT_TRUE(Logged("error ｷｰ Software\\Tool の作成に失敗しました.")) << logText;
    } else {
      form.btnSetupClick();
      EXPECT_TRUE(Logged("failed <File> C:\\My Apps\\Tool\\A.TXT")) << logText;
      EXPECT_TRUE(Logged("end ")) << logText;
    }
    EXPECT_EQ(6u, os.sleeps.size());  // a folder, three files, two shortcuts
  }
}

}  // namespace
}  // namespace qs
