#include "install/InstallRun.h"

#include <gtest/gtest.h>

#include "core/Expand.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Szdd.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeRunWindow.h"
#include "core/SzddFiles.h"
#include "data/UninstallRecord.h"

namespace qs {
namespace {

constexpr const char* kApp = "C:\\Program Files\\Acme";
constexpr const char* kRecord = "C:\\Program Files\\Acme\\UNSETUP.INI";

class InstallRunTest : public ::testing::Test {
 protected:
  InstallRunTest() {
    values.sourceFolder = "C:\\CD\\";
    values.tempFolder = "C:\\TEMP\\";
    values.infoFile = "C:\\CD\\SETUP.INI";
    values.setupTitle = values.unSetupTitle = "Acme";
    values.windowsFolder = "C:\\WINDOWS";
    values.systemFolder = "C:\\WINDOWS\\SYSTEM32";
    values.programFilesFolder = "C:\\Program Files";
    window.options.installFolder = std::string(kApp) + "\\";
    os.AddFolder("C:\\TEMP");
    os.AddFolder("C:\\WINDOWS\\SYSTEM32");
    os.AddFolder(kApp);
    os.AddFile("C:\\CD\\SETUP.EXE", "MZ program");
    os.specialFolders[kCsidlDesktop] = "C:\\Desktop";
    os.specialFolders[kCsidlPrograms] = "C:\\Programs";
    os.AddFolder("C:\\Desktop");
    os.AddFolder("C:\\Programs");
  }
  void Ini(const std::string& text) { os.AddFile(values.infoFile, text); }
  InstallRun MakeRun() { return InstallRun(os, window, plan, values, kCp932); }
  std::string Recorded(const char* section, const std::string& key) {
    return ReadIniString(os, section, key, "<missing>", kRecord);
  }
  std::optional<RegValue> Registered(const char* name) {
    return os.GetRegistryValue(RegRoot::LocalMachine, UninstallKeyPath("Acme"), name);
  }

  test::FakePlatform os;
  test::FakeRunWindow window;
  InstallPlan plan;
  ProgramValues values;
};

TEST_F(InstallRunTest, GatheringFollowsTheDefinitionAndTheOptions) {
  Ini("[CopyFile]\r\nFile1=(App)\\bin\\TOOL.EXE,/C\r\nFile2=(App)\\MISSING.EXE\r\n"
      "File4=(App)\\README.TXT,\r\n"
      "[ShortCut]\r\nMake1=(App)\\A.EXE\r\nName1=(Dsk)A\r\nMake2=(App)\\B.EXE\r\nName2=(Sta)B\r\n"
      "Make3=(App)\\C.EXE\r\nName3=(Sta)(Dsk)C\r\nMake5=(App)\\D.EXE\r\n"
      "[Registry]\r\nKey1=(Local)Software\\Acme\r\nKey2=Software\\Acme\r\nName2=Path\r\n"
      "Value2=(Str)x\r\n[DeleteRegistry]\r\nKey3=(Cuser)Software\\Acme\r\n");
  os.AddFile("C:\\CD\\TOOL.EXE", std::string(100, 't'));
  os.AddFile("C:\\CD\\README.TXT", std::string(50, 'r'));
  window.options.shortCutOnDesktop = false;
  InstallRun run = MakeRun();
  run.Start();
  run.GatherInstallPlan();
  ASSERT_EQ(2u, plan.files.size());
  EXPECT_EQ("(App)\\bin\\TOOL.EXE", plan.files[0].path);
  EXPECT_EQ(",/C", plan.files[0].flag);
  EXPECT_EQ(",", plan.files[1].flag);
  ASSERT_EQ(2u, plan.shortCuts.size());
  EXPECT_EQ("(Sta)B", plan.shortCuts[0].name);
  EXPECT_EQ("Default", plan.shortCuts[1].name);
  ASSERT_EQ(1u, plan.registry.size());
  EXPECT_EQ("Software\\Acme", plan.registry[0].key);
  EXPECT_EQ("Path", plan.registry[0].name);

  // The two planned sources make the progress total (100 + 50 bytes), and
  // the [DeleteRegistry] keys go to the record.
  ASSERT_TRUE(run.PrepareInstallFolder());
  run.CreatePlannedFolders();
  run.CopyPlannedFiles();
  EXPECT_EQ((std::vector<std::string>{"progress shown", "progress 66%", "progress 100%",
                                      "progress hidden"}),
            window.Lines("progress"));
  run.WriteUninstallRecord();
  EXPECT_EQ("(Cuser)Software\\Acme", Recorded("DeleteRegistry", "Key1"));
  EXPECT_EQ("<missing>", Recorded("DeleteRegistry", "Key2"));
}

// Every combination of the four place options: a shortcut is planned
// exactly when each place its name mentions is chosen, and the planned ones
// follow each other in the order of their keys.
TEST_F(InstallRunTest, EachPlaceOptionLeavesOutOnlyTheNamesThatMentionIt) {
  const char* const names[] = {"(Dsk)A", "(Sta)B", "(Sup)C", "(Sen)D", "(Sta)(Dsk)E", "F"};
  std::string ini = "[ShortCut]\r\n";
  for (int n = 1; n <= 6; ++n) {
    ini += "Make" + std::to_string(n) + "=(App)\\X.EXE\r\nName" + std::to_string(n) + "=" +
           names[n - 1] + "\r\n";
  }
  Ini(ini);
  for (int chosen = 0; chosen < 16; ++chosen) {
    const bool desktop = chosen & 1, startMenu = chosen & 2;
    const bool startUp = chosen & 4, sendTo = chosen & 8;
    window.options.shortCutOnDesktop = desktop;
    window.options.shortCutOnStartMenu = startMenu;
    window.options.shortCutOnStartUp = startUp;
    window.options.shortCutOnSendTo = sendTo;
    const bool kept[] = {desktop, startMenu, startUp, sendTo, desktop && startMenu, true};
    std::vector<std::string> expected;
    for (int n = 0; n < 6; ++n) {
      if (kept[n]) expected.push_back(names[n]);
    }
    plan = InstallPlan();
    InstallRun run = MakeRun();
    run.Start();
    run.GatherInstallPlan();
    std::vector<std::string> planned;
    for (const PlannedShortCut& shortCut : plan.shortCuts) planned.push_back(shortCut.name);
    EXPECT_EQ(expected, planned) << "options " << chosen;
  }
}

TEST_F(InstallRunTest, DecliningToCreateTheFolderStopsWithoutWriting) {
  Ini("[MakeFolder]\r\nFolder1=(App)\\doc\r\n");
  window.options.installFolder = "C:\\New\\";
  window.answers = {kIdNo};
  MakeRun().Run();
  ASSERT_EQ(2u, window.Lines("ask").size());
  EXPECT_EQ("ask[フォルダ作成,36]: C:\\New\\\r\rこのフォルダは存在しません．\r作成してもよろしいですか？",
            window.Lines("ask")[0]);
  EXPECT_EQ("ask[セットアップ中止,16]: セットアップを続行できませんでした．", window.Lines("ask")[1]);
  EXPECT_TRUE(window.ended);
  EXPECT_FALSE(FolderExists(os, "C:\\New"));
  EXPECT_TRUE(os.ListTree("C:\\WINDOWS").size() == 1);  // no uninstaller copied
}

TEST_F(InstallRunTest, AFolderThatCannotBeCreatedStopsTheRun) {
  Ini("");
  window.options.installFolder = "C:\\New\\Sub";
  window.answers = {kIdYes};
  MakeRun().Run();
  ASSERT_EQ(2u, window.Lines("ask").size());
  EXPECT_EQ("ask[致命的エラー,16]: C:\\New\\Sub\r\rフォルダの作成に失敗しました．\r\r"
            "セットアップを続行できませんでした．",
            window.Lines("ask")[1]);
  EXPECT_TRUE(window.ended);
}

TEST_F(InstallRunTest, AWholeRunInstallsRecordsAndRegisters) {
  Ini("[MakeFolder]\r\nFolder1=(App)\\A\\B\r\nFolder2=(App)\\A\r\n"
      "[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\nFile2=(App)\\A\\LIB.DL_,/F\r\nFile3=(App)\\THREE.TXT\r\n"
      "[ShortCut]\r\nMake1=(App)\\ONE.TXT\r\nName1=(Dsk)One\r\nMake2=(App)\\THREE.TXT\r\n"
      "[Registry]\r\nKey1=(Cuser)\\Software\\Acme\\\r\nName1=Count\r\nValue1=(Int)12x\r\n"
      "[DeleteRegistry]\r\nKey1=(Cuser)Software\\Acme\r\n");
  os.AddFile("C:\\CD\\ONE.TXT", std::string(100, '1'));
  std::string library(1000, 'L');
  os.AddFile("C:\\CD\\LIB.DL_", SzddCompress(library, 'l'));
  uint64_t packedSize = *os.FileSize("C:\\CD\\LIB.DL_");
  os.AddFile("C:\\CD\\THREE.TXT", std::string(1000 - 100 - packedSize, '3'));
  window.answers = {kIdYes};  // show the failure list
  MakeRun().Run();

  EXPECT_EQ(std::string(100, '1'), os.Contents("C:\\Program Files\\Acme\\ONE.TXT"));
  EXPECT_EQ(library, os.Contents("C:\\Program Files\\Acme\\A\\LIB.DLL"));
  EXPECT_FALSE(os.Contents("C:\\TEMP\\EXPAND.QST").has_value());
  EXPECT_EQ((std::vector<std::string>{"progress shown", "progress 10%",
                                      "progress " + std::to_string((100 + packedSize) / 10) + "%",
                                      "progress 100%", "progress hidden"}),
            window.Lines("progress"));
  EXPECT_EQ(std::vector<std::string>({"failure list[作成・コピー処理失敗　詳細表示]: "
                                      "<Folder> C:\\Program Files\\Acme\\A\\B\\\r\n"}),
            window.Lines("failure list"));
  EXPECT_EQ("C:\\Program Files\\Acme\\A\\B\\", Recorded("DeleteFolder", "Folder1"));
  EXPECT_EQ("C:\\Program Files\\Acme\\A\\", Recorded("DeleteFolder", "Folder2"));
  EXPECT_EQ("C:\\Program Files\\Acme\\A\\LIB.DLL,/F", Recorded("DeleteFile", "File2"));
  EXPECT_EQ(kRecord, Recorded("DeleteFile", "File4"));
  EXPECT_EQ("C:\\Desktop\\One.lnk", Recorded("DeleteShortCut", "File1"));
  EXPECT_EQ("C:\\Programs\\THREE.TXT.lnk", Recorded("DeleteShortCut", "File2"));
  EXPECT_EQ("(Cuser)Software\\Acme", Recorded("DeleteRegistry", "Key1"));
  std::optional<RegValue> count = os.GetRegistryValue(RegRoot::CurrentUser, "Software\\Acme", "Count");
  ASSERT_TRUE(count.has_value());
  EXPECT_EQ(0u, count->number);
  EXPECT_EQ("MZ program", os.Contents("C:\\WINDOWS\\APPUNSET.EXE"));
  EXPECT_EQ(kAttrReadOnly, os.Attributes("C:\\WINDOWS\\APPUNSET.EXE") & kAttrReadOnly);
  EXPECT_TRUE(os.GetRegistryValue(RegRoot::LocalMachine,
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme",
                                  "UninstallString").has_value());
  // The registration counts what the run installed, expanded, in KiB rounded
  // up, on the system's date.
  uint64_t installed = 0;
  for (const char* file : {"ONE.TXT", "A\\LIB.DLL", "THREE.TXT"}) {
    installed += *os.FileSize(std::string(kApp) + "\\" + file);
  }
  ASSERT_TRUE(Registered("EstimatedSize").has_value());
  EXPECT_EQ((installed + 1023) / 1024, Registered("EstimatedSize")->number);
  EXPECT_GT(installed, 1024u);
  EXPECT_EQ(os.localDate, Registered("InstallDate")->text);
  EXPECT_EQ(std::string(kApp) + "\\", Registered("InstallLocation")->text);
  EXPECT_EQ("ask[完了,64]: セットアップが完了しました．\r\rプログラムのアンセットアップ（アンインストール）は，\r"
            "「アプリケーションの追加と削除」から行ってください．",
            window.Lines("ask").back());
  EXPECT_TRUE(window.ended);
  EXPECT_EQ(std::vector<uint32_t>(7, 500), os.sleeps);  // 2 folders, 3 files, 2 shortcuts
}

TEST_F(InstallRunTest, DecliningAnOverwriteKeepsTheFileAndListsItOnce) {
  Ini("[CopyFile]\r\nFile1=(App)\\A.TXT,/L\r\n");
  os.AddFile("C:\\CD\\A.TXT", "new");
  os.AddFile("C:\\Program Files\\Acme\\A.TXT", "old");
  os.AddFile(kRecord, "[DeleteFile]\r\nFile1=C:\\PROGRAM FILES\\ACME\\A.TXT,/C\r\n");
  window.options.overwriteAll = false;
  window.answers = {kIdNo, kIdNo};
  MakeRun().Run();
  EXPECT_EQ("old", os.Contents("C:\\Program Files\\Acme\\A.TXT"));
  EXPECT_EQ("ask[上書き確認,36]: C:\\Program Files\\Acme\\A.TXT\r\r"
            "このファイルは既に存在します．\r上書きしてもよろしいですか？",
            window.Lines("ask")[0]);
  EXPECT_EQ("ask[警告,52]: フォルダの作成・ファイルのコピーで，一部の処理が失敗しました．\r詳細を表示しますか？",
            window.Lines("ask")[1]);
  EXPECT_TRUE(window.Lines("failure list").empty());
  EXPECT_EQ("C:\\Program Files\\Acme\\A.TXT,/L", Recorded("DeleteFile", "File1"));
  EXPECT_EQ(kRecord, Recorded("DeleteFile", "File2"));
  EXPECT_EQ("<missing>", Recorded("DeleteFile", "File3"));
  // A file kept is none the run installed.
  EXPECT_EQ(0u, Registered("EstimatedSize")->number);
}

// A compressed file that does not expand whole, or whose expansion cannot
// take the scratch name, installs nothing: an existing file stays, the list
// names it, the record does not claim it.
class DamagedCompressedFile : public InstallRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DamagedCompressedFile, IsAFailedCopy) {
  const bool lockedScratch = GetParam();
  const std::string text(5000, 'm');
  const std::string whole = SzddCompress(text, 'T');
  Ini("[CopyFile]\r\nFile1=(App)\\CUT.TX_\r\nFile2=(App)\\GOOD.TX_\r\n");
  os.AddFile("C:\\CD\\CUT.TX_", lockedScratch ? whole : whole.substr(0, whole.size() - 3));
  os.AddFile("C:\\CD\\GOOD.TX_", whole);
  os.AddFile("C:\\Program Files\\Acme\\CUT.TXT", "kept");
  if (lockedScratch) {
    os.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
    os.DenyWrite("C:\\TEMP\\EXPAND.QST");
  }
  window.answers = {kIdYes};
  MakeRun().Run();
  EXPECT_EQ("kept", os.Contents("C:\\Program Files\\Acme\\CUT.TXT"));
  ASSERT_EQ(1u, window.Lines("failure list").size());
  std::string list = window.Lines("failure list")[0];
  EXPECT_NE(std::string::npos, list.find("<File> C:\\Program Files\\Acme\\CUT.TXT\r\n")) << list;
  // The good file beside it installs, unless no expansion can be had at all.
  EXPECT_EQ(lockedScratch, list.find("GOOD.TXT") != std::string::npos) << list;
  if (!lockedScratch) {
    EXPECT_EQ(text, os.Contents("C:\\Program Files\\Acme\\GOOD.TXT"));
  }
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(std::string::npos, Recorded("DeleteFile", "File" + std::to_string(n)).find("CUT"));
  }
}

INSTANTIATE_TEST_SUITE_P(CutOrStaleScratch, DamagedCompressedFile, ::testing::Bool());

// A comma in the temporary folder's path (a user named "Smith, J.") does
// not move the split between the scratch file and the expanded name.
class TempFolderOfExpansion : public InstallRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TempFolderOfExpansion, InstallsTheExpandedFile) {
  const std::string temp = GetParam();
  os.AddFolder(DelBackslash(temp, PathEnd::Trailing, kCp932));
  values.tempFolder = temp;
  Ini("[CopyFile]\r\nFile1=(App)\\LIB.DL_\r\n");
  const std::string library(3000, 'L');
  os.AddFile("C:\\CD\\LIB.DL_", SzddCompress(library, 'l'));
  MakeRun().Run();
  EXPECT_EQ(library, os.Contents("C:\\Program Files\\Acme\\LIB.DLL"));
  EXPECT_EQ("C:\\Program Files\\Acme\\LIB.DLL", Recorded("DeleteFile", "File1"));
  EXPECT_FALSE(os.Contents(JoinPath(temp, kExpandScratch, kCp932)).has_value());
  EXPECT_TRUE(window.Lines("failure list").empty());
}

INSTANTIATE_TEST_SUITE_P(PlainOrWithComma, TempFolderOfExpansion,
                         ::testing::Values("C:\\TEMP\\", "C:\\Users\\Smith, J\\Temp"));

TEST_F(InstallRunTest, ARegistryValueThatCannotBeWrittenEndsTheRunBeforeTheRecord) {
  Ini("[Registry]\r\nKey1=(Local)Software\\Acme\r\nName1=Path\r\nValue1=x\r\n");
  os.DenyRegistry(RegRoot::LocalMachine);
  EXPECT_THROW(MakeRun().Run(), SetupError);
  EXPECT_FALSE(os.Contents(kRecord).has_value());
  EXPECT_FALSE(window.ended);
}

TEST_F(InstallRunTest, TheFileForAfterSetupIsOpenedWhenItExists) {
  Ini("[CopyFile]\r\nFile1=(App)\\README.TXT\r\n[ExecuteFile]\r\nFile=(App)\\README.TXT\r\n");
  os.AddFile("C:\\CD\\README.TXT", "read me");
  MakeRun().Run();
  EXPECT_EQ(std::vector<std::string>{"C:\\Program Files\\Acme\\README.TXT"}, os.opened);
  EXPECT_TRUE(window.Lines("ask[警告").empty());
}

TEST_F(InstallRunTest, ReadOnlyFilesFailWithoutAQuestionAndOddNamesGoToPrograms) {
  Ini("[CopyFile]\r\nFile1=(App)\\RO.TXT\r\n"
      "[ShortCut]\r\nMake1=(App)\\RO.TXT\r\nName1=abcd)xyz\r\nMake2=(App)\\RO.TXT\r\n"
      "Name2=Tools\\Viewer\r\n");
  os.AddFile("C:\\CD\\RO.TXT", "new");
  os.AddFile("C:\\Program Files\\Acme\\RO.TXT", "old");
  os.SetAttributes("C:\\Program Files\\Acme\\RO.TXT", kAttrReadOnly);
  window.answers = {kIdYes};
  MakeRun().Run();
  EXPECT_TRUE(window.Lines("ask[上書き確認").empty());
  EXPECT_EQ("old", os.Contents("C:\\Program Files\\Acme\\RO.TXT"));
  EXPECT_EQ(std::vector<std::string>({"failure list[作成・コピー処理失敗　詳細表示]: "
                                      "<File> C:\\Program Files\\Acme\\RO.TXT\r\n"}),
            window.Lines("failure list"));
  EXPECT_EQ("C:\\Programs\\xyz.lnk", Recorded("DeleteShortCut", "File1"));
  EXPECT_EQ("C:\\Programs\\Tools\\Viewer.lnk", Recorded("DeleteShortCut", "File2"));
  EXPECT_EQ(1u, window.Lines("status: ショートカットを作成しています．．．\rCreateTarget -> "
                             "C:\\Program Files\\Acme\\RO.TXT\rCreating -> Tools\\Viewer").size());
}

TEST_F(InstallRunTest, AnUninstallerSourceOfUnknownAgeIsListedNotSkipped) {
  // The program was started under another name: there is no SETUP.EXE to
  // date or copy, and the registration would name a missing uninstaller.
  Ini("[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
  os.AddFile("C:\\CD\\A.TXT", "a");
  os.Delete("C:\\CD\\SETUP.EXE");
  window.answers = {kIdYes};
  MakeRun().Run();
  EXPECT_EQ(std::vector<std::string>({"failure list[作成・コピー処理失敗　詳細表示]: "
                                      "<SetupFile> C:\\WINDOWS\\APPUNSET.EXE\r\n"}),
            window.Lines("failure list"));
  EXPECT_TRUE(window.ended);
}

// The uninstaller is SETUP.EXE as held since start-up: while held it can be
// neither replaced nor renamed away, and the copy is of the held bytes
// with their time, even when the name leads elsewhere by then.
TEST_F(InstallRunTest, TheUninstallerIsCopiedFromTheProgramAsHeldAtStartUp) {
  Ini("[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
  os.AddFile("C:\\CD\\A.TXT", "a");
  values.setupProgram = os.HoldFile("C:\\CD\\SETUP.EXE");
  ASSERT_TRUE(values.setupProgram);
  const std::optional<uint64_t> time = os.LastWriteTime("C:\\CD\\SETUP.EXE");
  EXPECT_FALSE(os.Delete("C:\\CD\\SETUP.EXE"));
  EXPECT_FALSE(os.Move("C:\\CD\\SETUP.EXE", "C:\\CD\\OLD.EXE"));
  EXPECT_FALSE(os.CreateForWrite("C:\\CD\\SETUP.EXE"));
  os.AddFolder("C:\\CD2");
  values.sourceFolder = "C:\\CD2\\";  // where a swapped program would be found by name
  os.AddFile("C:\\CD2\\SETUP.EXE", "MZ another");
  os.AddFile("C:\\CD2\\A.TXT", "a");
  MakeRun().Run();
  EXPECT_EQ("MZ program", os.Contents("C:\\WINDOWS\\APPUNSET.EXE"));
  EXPECT_EQ(time, os.LastWriteTime("C:\\WINDOWS\\APPUNSET.EXE"));
  EXPECT_TRUE(window.Lines("failure list").empty());
}

// A first-level key (in the system's view) that is not there before the
// product's [Registry] writes under it is the product's own: the record
// notes it, once, and keeps the note on a reinstall, when it is there
// already. The system's and those that were there are not noted.
TEST_F(InstallRunTest, TheRecordNotesTheFirstLevelKeysTheInstallMade) {
  os.CreateRegistryKey(RegRoot::ClassesRoot, ".txt");
  os.CreateRegistryKey(RegRoot::CurrentUser, "Software");
  os.CreateRegistryKey(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.there");
  Ini("[Title]\r\nUnSetupKey=Acme\r\n[Registry]\r\n"
      "Key1=(Class).acc\r\nName1=Content Type\r\nValue1=(Str)text/acc\r\n"
      "Key2=(Class)AccTest.Document\\shell\\open\\command\r\nName2=x\r\nValue2=(Str)x\r\n"
      "Key3=(Class).acc\\ShellNew\r\nName3=NullFile\r\nValue3=(Str)\r\n"
      "Key4=(Class).txt\\ShellNew\r\nName4=x\r\nValue4=(Str)x\r\n"
      "Key5=(Cuser)Software\\Acme\r\nName5=x\r\nValue5=(Str)x\r\n"
      "Key6=(Local)SOFTWARE\\WOW6432Node\\Classes\\.acc2\\shell\r\nName6=x\r\nValue6=(Str)x\r\n"
      "Key7=(Local)SOFTWARE\\Classes\\.there\\shell\r\nName7=x\r\nValue7=(Str)x\r\n"
      "Key8=(Users).DEFAULT\\Acme\r\nName8=x\r\nValue8=(Str)x\r\n");
  os.CreateRegistryKey(RegRoot::Users, ".DEFAULT");
  const std::vector<std::string> made = {"(Class).acc", "(Class)AccTest.Document",
                                         "(Local)SOFTWARE\\WOW6432Node\\Classes\\.acc2",
                                         "(Users).DEFAULT\\Acme"};
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run ? "reinstalled" : "installed");
    MakeRun().Run();
    ASSERT_TRUE(window.ended);
    std::vector<std::string> noted;
    for (int n = 1; n <= 20; ++n) {
      std::string key = Recorded("CreatedRegistry", "Key" + std::to_string(n));
      if (key != "<missing>") noted.push_back(key);
    }
    EXPECT_EQ(made, noted);
    window = test::FakeRunWindow();
    window.options.installFolder = std::string(kApp) + "\\";
    plan = InstallPlan();
  }
}

// The registration holds the SHA-256 of the record's bytes as written, and
// a reinstall that merges the earlier record writes both anew.
TEST_F(InstallRunTest, TheRegistrationHoldsTheDigestOfTheRecordAsWritten) {
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
  auto digest = [&] {
    return os.GetRegistryValue(RegRoot::LocalMachine, key, "UninstallRecordSHA256")
        .value_or(RegValue{}).text;
  };
  Ini("[Title]\r\nUnSetupKey=Acme\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
  os.AddFile("C:\\CD\\A.TXT", "a");
  MakeRun().Run();
  const std::string first = *os.Contents(kRecord);
  EXPECT_EQ(DigestText(first), digest());
  EXPECT_EQ(64u, digest().size());
  Ini("[Title]\r\nUnSetupKey=Acme\r\n[CopyFile]\r\nFile1=(App)\\B.TXT\r\n");
  os.AddFile("C:\\CD\\B.TXT", "b");
  window = test::FakeRunWindow();
  window.options.installFolder = std::string(kApp) + "\\";
  plan = InstallPlan();
  MakeRun().Run();
  const std::string merged = *os.Contents(kRecord);
  EXPECT_NE(std::string::npos, merged.find("A.TXT"));
  EXPECT_NE(std::string::npos, merged.find("B.TXT"));
  EXPECT_EQ(DigestText(merged), digest());
  EXPECT_NE(DigestText(first), digest());
}

}  // namespace
}  // namespace qs
