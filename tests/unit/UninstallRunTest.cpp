#include "uninstall/UninstallRun.h"

#include <gtest/gtest.h>

#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeRunWindow.h"

namespace qs {
namespace {

constexpr const char* kCopy = "C:\\TEMP\\UNSETUP.INI";
constexpr const char* kPrograms = "C:\\WINDOWS\\Start Menu\\Programs";
// Where later systems keep the startup folder, under a name of their own.
constexpr const char* kStartUp = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\";
constexpr const char* kRegistration =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
constexpr const char* kDone = "ask[完了,64]: アンセットアップを完了しました．";

class UninstallRunTest : public ::testing::Test {
 protected:
  UninstallRunTest() {
    values.tempFolder = "C:\\TEMP\\";
    values.infoFile = kCopy;
    values.windowsFolder = "C:\\WINDOWS";
    values.systemFolder = "C:\\WINDOWS\\SYSTEM32";
    os.AddFolder("C:\\TEMP");
    os.AddFolder("C:\\App");
    os.specialFolders[kCsidlDesktop] = "C:\\WINDOWS\\Desktop\\";
    os.specialFolders[kCsidlPrograms] = kPrograms;
    os.specialFolders[kCsidlStartup] = kStartUp;
    Set("SetupFolder", "Folder", "C:\\App\\");
    Set("UnSetupRegistryKey", "Key", kRegistration);
    os.CreateRegistryKey(RegRoot::LocalMachine, kRegistration);
  }
  void Set(const char* section, const std::string& key, const std::string& value) {
    os.WriteProfile(section, key, value, kCopy);
  }
  void Files(std::initializer_list<std::string> values) {
    int n = 0;
    for (const std::string& value : values) Set("DeleteFile", "File" + std::to_string(++n), value);
  }
  void Run() { UninstallRun(os, window, values, kCp932).Run(); }
  bool Exists(const std::string& path) { return os.Attributes(path) != kInvalidAttributes; }
  std::string FailureList() {
    auto lines = window.Lines("failure list[削除処理失敗　詳細表示]: ");
    return lines.size() == 1 ? lines[0].substr(lines[0].find("]: ") + 3) : "<not shown>";
  }

  test::FakePlatform os;
  test::FakeRunWindow window;
  ProgramValues values;
};

TEST_F(UninstallRunTest, ACleanRunRemovesEverythingAndOnlyAnnouncesTheEnd) {
  os.AddFile("C:\\App\\Sub\\Deep\\TOOL.EXE", "x");
  os.AddFile("C:\\App\\UNSETUP.INI", "record");
  os.AddFile(std::string(kPrograms) + "\\Tools\\Tool.lnk", "link");
  Files({"C:\\App\\Sub\\Deep\\TOOL.EXE", "C:\\App\\UNSETUP.INI"});
  Set("DeleteShortCut", "File1", std::string(kPrograms) + "\\Tools\\Tool.lnk");
  Set("DeleteFolder", "Folder1", "C:\\App\\Sub\\");
  Set("DeleteFolder", "Folder3", "C:\\App\\Sub\\Deep\\");  // gaps do not end a list
  Set("DeleteFolder", "Folder4", "c:\\app\\sub\\deep\\");  // listed once
  os.AddFile("C:\\WINDOWS\\APPUNSET.EXE", "me");
  Run();
  EXPECT_FALSE(Exists("C:\\App"));
  EXPECT_FALSE(Exists(std::string(kPrograms) + "\\Tools"));
  EXPECT_TRUE(Exists(kPrograms));
  EXPECT_FALSE(Exists(kCopy));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\APPUNSET.EXE"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::LocalMachine, kRegistration));
  EXPECT_EQ("C:\\TEMP\\", os.currentFolder);
  EXPECT_EQ((std::vector<std::string>{
                "frozen for uninstall",
                "status: アンセットアップ（アンインストール）を行っています．．．",
                "status: アンセットアップを完了しました．", kDone, "end"}),
            window.transcript);
}

TEST_F(UninstallRunTest, LibrariesInTheSystemFoldersStayUnlessFlagged) {
  for (const char* path : {"C:\\WINDOWS\\SYSTEM\\X.DLL", "C:\\WINDOWS\\SYSTEM\\Y.DLL",
                           "c:\\windows\\system32\\z.ocx", "C:\\WINDOWS\\X.DLLS\\README.TXT",
                           "D:\\Tools\\X.DLL"}) {
    os.AddFile(path, "");
  }
  Files({"C:\\WINDOWS\\SYSTEM\\X.DLL", "C:\\WINDOWS\\SYSTEM\\Y.DLL",
         "c:\\windows\\system\\y.dll,/F",  // the unflagged entry was dropped, not listed
         "c:\\windows\\system32\\z.ocx", "C:\\WINDOWS\\X.DLLS\\README.TXT", "D:\\Tools\\X.DLL"});
  Run();
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\X.DLL"));
  EXPECT_FALSE(Exists("C:\\WINDOWS\\SYSTEM\\Y.DLL"));
  EXPECT_TRUE(Exists("c:\\windows\\system32\\z.ocx"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\X.DLLS\\README.TXT"));
  EXPECT_FALSE(Exists("D:\\Tools\\X.DLL"));
  EXPECT_EQ((std::vector<std::string>{kDone}), window.Lines("ask"));
}

TEST_F(UninstallRunTest, FlagsAskLeaveOrDeleteAndTheFirstListingCounts) {
  for (const char* name : {"A.DLL", "B.DLL", "C.TXT", "D.TXT", "E.TXT"}) {
    os.AddFile(std::string("C:\\WINDOWS\\SYSTEM\\") + name, "");
  }
  Files({"C:\\WINDOWS\\SYSTEM\\A.DLL,/C", "C:\\WINDOWS\\SYSTEM\\B.DLL,/C",
         "c:\\windows\\system\\b.dll,/F", "C:\\WINDOWS\\SYSTEM\\C.TXT,/L",
         "C:\\WINDOWS\\SYSTEM\\D.TXT,/X", "C:\\WINDOWS\\SYSTEM\\E.TXT,"});
  window.answers = {kIdYes, kIdNo, kIdNo};
  Run();
  EXPECT_FALSE(Exists("C:\\WINDOWS\\SYSTEM\\A.DLL"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\B.DLL"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\C.TXT"));
  // Text after a comma that is none of the flags is part of the path: those
  // values name other files, which are not there.
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\D.TXT"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\E.TXT"));
  auto asked = window.Lines("ask[ファイル削除の確認,36]: ");
  ASSERT_EQ(2u, asked.size());
  EXPECT_EQ("ask[ファイル削除の確認,36]: C:\\WINDOWS\\SYSTEM\\B.DLL\r\r"
            "このファイルを削除してもよろしいですか？\r\r<<　注意　>>\r"
            "DLL・OCXなどは他のプログラムでも使用される可能性があります．\r"
            "確実に使用されないことがわかっている場合のみ削除してください．",
            asked[1]);
  EXPECT_EQ(1u, window.Lines("ask[警告,52]").size());
}

TEST_F(UninstallRunTest, FilesThatCannotGoAreListed) {
  os.AddFile("C:\\App\\RO.TXT", "");
  os.SetAttributes("C:\\App\\RO.TXT", kAttrReadOnly);
  os.AddFile("C:\\A", "someone else's file");
  os.AddFile("C:\\App\\A", "ours");
  os.AddFile("C:\\App\\Acme, Inc\\X,Y.TXT", "ours");
  Files({"C:\\App\\RO.TXT", "C:\\App\\GONE.TXT", "C:\\A,B\\X.TXT,/F", "C:\\App\\A,B.TXT",
         "C:\\App\\A", "C:\\App\\Acme, Inc\\X,Y.TXT,/F"});
  window.answers = {kIdYes};
  Run();
  EXPECT_TRUE(Exists("C:\\App\\RO.TXT"));
  // A comma belongs to the path: the text before it is not ours to delete,
  // and a path with commas in it is deleted whole.
  EXPECT_EQ("someone else's file", os.Contents("C:\\A"));
  EXPECT_FALSE(Exists("C:\\App\\A"));
  EXPECT_FALSE(Exists("C:\\App\\Acme, Inc\\X,Y.TXT"));
  EXPECT_EQ("<File> C:\\App\\RO.TXT\r\n<File> C:\\App\\GONE.TXT\r\n<File> C:\\A,B\\X.TXT\r\n"
            "<File> C:\\App\\A,B.TXT\r\n<SetupFolder> C:\\App\\\r\n",
            FailureList());
}

TEST_F(UninstallRunTest, LinkFoldersGoOnlyBelowThePlaces) {
  const std::string tools = std::string(kPrograms) + "\\Tools\\";
  const std::vector<std::string> links = {
      tools + "Gone.lnk", "C:\\WINDOWS\\Desktop\\Tool.lnk", std::string(kPrograms) + "\\Tool.lnk",
      "C:\\WINDOWS\\Start Menu\\Programs\\ｽﾀｰﾄｱｯﾌﾟ\\Tool.lnk", "C:\\WINDOWS\\sendto\\Tool.lnk",
      std::string(kStartUp) + "Tool.lnk",
      // The desktop spelt another way is still the desktop.
      "C:/WINDOWS/Desktop/Slash.lnk", "C:\\WINDOWS\\Tools\\..\\Desktop\\.\\Dots.lnk"};
  os.AddFolder(tools);
  for (size_t i = 1; i < links.size(); ++i) os.AddFile(links[i], "link");
  for (size_t i = 0; i < links.size(); ++i) {
    Set("DeleteShortCut", "File" + std::to_string(i + 1), links[i]);
  }
  window.answers = {kIdNo};  // the missing link fails; its list is declined
  Run();
  for (const std::string& link : links) EXPECT_FALSE(Exists(link)) << link;
  EXPECT_FALSE(Exists(tools));
  for (const char* folder : {"C:\\WINDOWS\\Desktop", kPrograms, "C:\\WINDOWS\\sendto",
                             "C:\\WINDOWS\\Start Menu\\Programs\\ｽﾀｰﾄｱｯﾌﾟ", kStartUp}) {
    EXPECT_TRUE(Exists(folder)) << folder;
  }
  EXPECT_EQ(1u, window.Lines("ask[警告,52]").size());
  EXPECT_EQ("<not shown>", FailureList());
  EXPECT_TRUE(window.ended);
}

// A record naming a place itself as a folder the installation made (as no
// installation of ours writes it) leaves the place, however it is spelt,
// and lists it.
TEST_F(UninstallRunTest, APlaceNamedAsAFolderStays) {
  os.AddFolder("C:\\WINDOWS\\Desktop");
  os.AddFolder(kPrograms);
  Set("DeleteFolder", "Folder1", "C:/WINDOWS/Desktop/");
  Set("SetupFolder", "Folder", std::string(kPrograms) + "\\Tools\\..\\");
  window.answers = {kIdYes};
  Run();
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Desktop"));
  EXPECT_TRUE(Exists(kPrograms));
  EXPECT_EQ("<Folder> C:/WINDOWS/Desktop/\r\n<SetupFolder> " + std::string(kPrograms) +
                "\\Tools\\..\\\r\n",
            FailureList());
}

// Keys right below a root hold every program's settings: they stay, and
// the failure list names them.
TEST_F(UninstallRunTest, RegistryKeysByTheirExactMarkerAndNeverAFirstLevelKey) {
  for (const char* key :
       {"SOFTWARE\\Acme\\Tool\\Deep", "SOFTWARE\\Acme\\Keep", "SOFTWARE\\Other"}) {
    os.CreateRegistryKey(RegRoot::LocalMachine, key);
  }
  for (const char* key : {"SOFTWARE\\Acme", "(local)SOFTWARE\\Other", "SOFTWARE\\Stay"}) {
    os.CreateRegistryKey(RegRoot::CurrentUser, key);
  }
  os.CreateRegistryKey(RegRoot::ClassesRoot, ".acme");
  os.CreateRegistryKey(RegRoot::Users, "S-1");
  os.CreateRegistryKey(RegRoot::CurrentUser, "ソフト\\Acme");  // ソ is 83 5C
  const std::vector<std::string> firstLevel = {
      "(Class)\\.acme", "(Users)", "(Users)\\", "(Users)\\\\", "(Cuser)", "(Local)SOFTWARE",
      "(Cuser)Software\\", "\\SOFTWARE\\", "(Cuser)ソフト"};
  int n = 0;
  for (const char* entry : {"(Local)SOFTWARE\\Acme\\Tool", "SOFTWARE\\Acme",
                            "(local)SOFTWARE\\Other"}) {
    Set("DeleteRegistry", "Key" + std::to_string(++n), entry);
  }
  std::string failures;
  for (const std::string& entry : firstLevel) {
    Set("DeleteRegistry", "Key" + std::to_string(++n), entry);
    failures = "<Registry> " + entry + "\r\n" + failures;  // read from the highest number down
  }
  window.answers = {kIdYes};
  Run();
  EXPECT_EQ(failures, FailureList());
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::CurrentUser, "ソフト\\Acme"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Keep"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Tool"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Keep"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SOFTWARE\\Other"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::CurrentUser, "SOFTWARE\\Acme"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::CurrentUser, "(local)SOFTWARE\\Other"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::CurrentUser, "SOFTWARE\\Stay"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::ClassesRoot, ".acme"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::Users, "S-1"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::LocalMachine, kRegistration));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SOFTWARE\\Microsoft"));
}

TEST_F(UninstallRunTest, ARegistrationWithoutAProductNameLeavesTheListOfPrograms) {
  const std::string list = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  os.CreateRegistryKey(RegRoot::LocalMachine, list + "Other Product");
  for (const std::string& key : {list, list.substr(0, list.size() - 1), std::string("SOFTWARE")}) {
    Set("UnSetupRegistryKey", "Key", key);
    Run();
    EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, list + "Other Product")) << key;
  }
}

TEST_F(UninstallRunTest, FailuresAreOfferedInStepOrderBeforeTheEnd) {
  os.AddFile("C:\\App\\Data\\KEEP.DAT", "user data");
  os.AddFile("C:\\App\\Sub\\KEEP.DAT", "user data");
  Files({"C:\\App\\MISSING.EXE"});
  Set("DeleteShortCut", "File1", "C:\\WINDOWS\\Desktop\\Gone.lnk");
  Set("DeleteFolder", "Folder1", "C:\\App\\Data\\");
  Set("DeleteFolder", "Folder2", "C:\\App\\Sub\\");
  os.DenyWrite(kCopy);
  window.answers = {kIdYes};
  Run();
  EXPECT_EQ("<File> C:\\App\\MISSING.EXE\r\n<ShortCut> C:\\WINDOWS\\Desktop\\Gone.lnk\r\n"
            "<Folder> C:\\App\\Sub\\\r\n<Folder> C:\\App\\Data\\\r\n<SetupFolder> C:\\App\\\r\n"
            "<File> C:\\TEMP\\UNSETUP.INI\r\n",
            FailureList());
  EXPECT_EQ("user data", os.Contents("C:\\App\\Sub\\KEEP.DAT"));
  const auto& t = window.transcript;
  ASSERT_EQ(8u, t.size());
  EXPECT_EQ("status: 一部の処理に失敗しました．", t[2]);
  EXPECT_EQ("ask[警告,52]: アンセットアップ（アンインストール）の過程で，"
            "一部の処理が失敗しました．\r詳細を表示しますか？",
            t[3]);
  EXPECT_EQ(kDone, t[6]);
  EXPECT_EQ("end", t[7]);
}

TEST_F(UninstallRunTest, AnUnusableTempFolderStopsTheRunBeforeAnyRemoval) {
  os.AddFile("C:\\App\\TOOL.EXE", "x");
  Files({"C:\\App\\TOOL.EXE"});
  values.tempFolder = "C:\\NOWHERE\\";
  try {
    Run();
    FAIL() << "no error raised";
  } catch (const SetupError& error) {
    EXPECT_STREQ("ﾌｧｲﾙが見つかりません", error.what());
  }
  EXPECT_TRUE(Exists("C:\\App\\TOOL.EXE"));
  EXPECT_TRUE(Exists(kCopy));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, kRegistration));
  EXPECT_FALSE(window.ended);
  EXPECT_EQ("frozen for uninstall", window.transcript.front());
}

}  // namespace
}  // namespace qs
