#include "uninstall/UninstallRun.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <span>

#include "core/SetupError.h"
#include "core/Texts.h"
#include "core/ShortCut.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeRunWindow.h"

namespace qs {
namespace {

constexpr const char* kCopy = "C:\\TEMP\\UNSETUP.INI";
// The record named on the command line, in the install folder C:\App.
constexpr const char* kRecord = "C:\\App\\UNSETUP.INI";
constexpr const char* kPrograms = "C:\\WINDOWS\\Start Menu\\Programs";
// Where later systems keep the startup folder, under a name of their own.
constexpr const char* kStartUp = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\";
constexpr const char* kRegistration =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
constexpr const char* kDone = "ask[完了,64]: アンセットアップを完了しました．";

class UninstallRunTest : public ::testing::Test {
 protected:
  UninstallRunTest() { Prepare(); }
  // A fresh world: the record copy, the install folder C:\App, the places.
  void Prepare() {
    os = test::FakePlatform();
    values = ProgramValues();
    window = test::FakeRunWindow();
    values.tempFolder = "C:\\TEMP\\";
    values.infoFile = kCopy;
    values.recordFile = kRecord;
    values.windowsFolder = "C:\\WINDOWS";
    values.systemFolder = "C:\\WINDOWS\\SYSTEM";
    values.programFilesFolder = "C:\\Program Files";
    os.AddFolder("C:\\TEMP");
    os.AddFolder("C:\\App");
    os.specialFolders[kCsidlDesktop] = "C:\\WINDOWS\\Desktop\\";
    os.specialFolders[kCsidlPrograms] = kPrograms;
    os.specialFolders[kCsidlStartup] = kStartUp;
    os.specialFolders[kCsidlSendTo] = "C:\\WINDOWS\\SendTo";
    Set("SetupFolder", "Folder", "C:\\App\\");
    Set("UnSetupRegistryKey", "Key", kRegistration);
    // A registration from before digests: the record is honoured within
    // the places (Sign() makes it one that holds the record's digest).
    os.CreateRegistryKey(RegRoot::LocalMachine, kRegistration);
    os.SetRegistryValue(RegRoot::LocalMachine, kRegistration, "UninstallString",
                        {RegValue::Kind::String, "C:\\WINDOWS\\APPUNSET.EXE \"" +
                                                     std::string(kRecord) + "\"", 0});
  }
  // The registration holds the digest of the record copy as it is now.
  void Sign() {
    os.SetRegistryValue(RegRoot::LocalMachine, kRegistration, "UninstallRecordSHA256",
                        {RegValue::Kind::String, DigestText(*os.Contents(kCopy)), 0});
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
                           "C:\\App\\X.DLL"}) {
    os.AddFile(path, "");
  }
  Files({"C:\\WINDOWS\\SYSTEM\\X.DLL", "C:\\WINDOWS\\SYSTEM\\Y.DLL",
         "c:\\windows\\system\\y.dll,/F",  // the unflagged entry was dropped, not listed
         "c:\\windows\\system32\\z.ocx", "C:\\WINDOWS\\X.DLLS\\README.TXT", "C:\\App\\X.DLL"});
  Run();
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\X.DLL"));
  EXPECT_FALSE(Exists("C:\\WINDOWS\\SYSTEM\\Y.DLL"));
  EXPECT_TRUE(Exists("c:\\windows\\system32\\z.ocx"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\X.DLLS\\README.TXT"));
  EXPECT_FALSE(Exists("C:\\App\\X.DLL"));
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

// Every path is resolved as the system resolves it before any rule; a file
// or folder goes only in a place a definition can name, a link only below
// a shell place, and nothing through a link or junction. Even a record
// with its digest gets no further: each row is removed, or kept and listed.
TEST_F(UninstallRunTest, OnlyThePlacesADefinitionCanNameAreTouched) {
  os.AddFolder("C:\\WINDOWS\\SYSTEM\\DRIVERS");
  os.AddFolder("C:\\WINDOWS\\Empty");
  os.AddFolder("C:\\App\\Sub");
  os.AddFolder("C:\\WINDOWS\\Desktop");
  os.AddLink("C:\\App\\Junction", "C:\\WINDOWS\\SYSTEM", true);
  os.AddFile("C:\\Data\\VICTIM.DAT", "the user's");
  os.AddLink("C:\\App\\LINK.TXT", "C:\\Data\\VICTIM.DAT", false);
  struct Row {
    const char* section;
    const char* entry;  // as recorded; its flag, if any, comes off for the list
    const char* path;   // where it is; empty: the entry's own path (a link made above)
    bool removed;
  };
  const Row rows[] = {
      {"DeleteFile", "C:\\App\\A.TXT", "C:\\App\\A.TXT", true},
      {"DeleteFile", "C:/App/./B.TXT", "C:\\App\\B.TXT", true},
      {"DeleteFile", "C:\\Program Files\\Acme\\C.EXE", "C:\\Program Files\\Acme\\C.EXE", true},
      {"DeleteFile", "C:\\WINDOWS\\ACME.INI,/F", "C:\\WINDOWS\\ACME.INI", true},
      {"DeleteFile", "C:\\WINDOWS\\SYSTEM\\ACME.SYS,/F", "C:\\WINDOWS\\SYSTEM\\ACME.SYS", true},
      {"DeleteFile", "C:\\BOOT.TXT", "C:\\BOOT.TXT", true},
      {"DeleteFile", "C:\\App\\LINK.TXT", "", true},  // the link itself
      {"DeleteFile", "C:\\WINDOWS\\SYSTEM\\DRIVERS\\X.SYS,/F", "C:\\WINDOWS\\SYSTEM\\DRIVERS\\X.SYS", false},
      {"DeleteFile", "C:\\App\\..\\WINDOWS\\SYSTEM\\DRIVERS\\Y.SYS", "C:\\WINDOWS\\SYSTEM\\DRIVERS\\Y.SYS", false},
      {"DeleteFile", "C:\\App\\Junction\\Z.SYS,/F", "C:\\WINDOWS\\SYSTEM\\Z.SYS", false},
      {"DeleteFile", "C:\\WINDOWS\\Fonts\\ACME.TTF,/F", "C:\\WINDOWS\\Fonts\\ACME.TTF", false},
      {"DeleteFile", "C:\\Data\\USER.DAT", "C:\\Data\\USER.DAT", false},
      {"DeleteFile", "D:\\Tools\\X.DLL", "D:\\Tools\\X.DLL", false},
      {"DeleteFile", "C:\\Program Files\\..\\Data\\OTHER.DAT", "C:\\Data\\OTHER.DAT", false},
      {"DeleteFile", "\\\\?\\C:\\WINDOWS\\SYSTEM\\W.SYS", "C:\\WINDOWS\\SYSTEM\\W.SYS", false},
      {"DeleteShortCut", "C:\\WINDOWS\\Desktop\\Acme.lnk", "C:\\WINDOWS\\Desktop\\Acme.lnk", true},
      {"DeleteShortCut", "C:\\WINDOWS\\Desktop\\Notes.txt", "C:\\WINDOWS\\Desktop\\Notes.txt", false},
      {"DeleteShortCut", "C:\\Data\\Acme.lnk", "C:\\Data\\Acme.lnk", false},
      {"DeleteShortCut", "C:\\WINDOWS\\Desktop\\..\\..\\Data\\Up.lnk", "C:\\Data\\Up.lnk", false},
      {"DeleteFolder", "C:\\App\\Sub\\", "", true},
      {"DeleteFolder", "C:\\Program Files\\Acme\\", "", true},
      {"DeleteFolder", "C:\\App\\Junction\\", "", true},  // the junction itself
      {"DeleteFolder", "C:\\WINDOWS\\Empty\\", "", false},
  };
  std::map<std::string, int> numbers;
  for (const Row& row : rows) {
    if (*row.path && !std::string(row.section).starts_with("DeleteFolder")) os.AddFile(row.path, "x");
    const char* prefix = std::string(row.section) == "DeleteFolder" ? "Folder" : row.section[6] == 'R' ? "Key" : "File";
    Set(row.section, prefix + std::to_string(++numbers[row.section]), row.entry);
  }
  Sign();
  window.answers = {kIdYes};
  Run();
  const std::string list = FailureList();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    const std::string path = *row.path ? row.path : row.entry;
    EXPECT_EQ(!row.removed, Exists(path));
    const std::string recorded = SplitRecordedFile(row.entry).path;
    const char* tag = std::string(row.section) == "DeleteFile"       ? "<File> "
                      : std::string(row.section) == "DeleteShortCut" ? "<ShortCut> "
                                                                     : "<Folder> ";
    EXPECT_EQ(!row.removed, list.find(tag + recorded + "\r\n") != std::string::npos) << list;
  }
  // What the links and the junction pointed at is untouched.
  EXPECT_EQ("the user's", os.Contents("C:\\Data\\VICTIM.DAT"));
  EXPECT_EQ("x", os.Contents("C:\\WINDOWS\\SYSTEM\\Z.SYS"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\SYSTEM\\DRIVERS"));
  EXPECT_FALSE(Exists("C:\\App"));
}

// A record that no longer has the bytes the installation registered (or
// that no registration names) is said to be so before anything goes; then
// only the install folder's tree, the links below the places and its own
// registration are removed, and everything else is listed.
TEST_F(UninstallRunTest, ARecordChangedAfterInstallationReachesOnlyItsFolder) {
  for (const char* change : {"edited", "another product's registration"}) {
    SCOPED_TRACE(change);
    Prepare();
    os.AddFile("C:\\App\\A.TXT", "ours");
    os.AddFile("C:\\App\\Sub\\B.TXT", "ours");
    os.AddFile("C:\\WINDOWS\\WIN.INI", "the system's");
    os.AddFile("C:\\Program Files\\Acme\\C.EXE", "another product's");
    os.AddFile("C:\\WINDOWS\\Desktop\\Acme.lnk", "link");
    os.CreateRegistryKey(RegRoot::CurrentUser, "Software\\Acme");
    Files({"C:\\App\\A.TXT", "C:\\App\\Sub\\B.TXT", "C:\\Program Files\\Acme\\C.EXE"});
    Set("DeleteFolder", "Folder1", "C:\\App\\Sub\\");
    Set("DeleteFolder", "Folder2", "C:\\Program Files\\Acme\\");
    Set("DeleteShortCut", "File1", "C:\\WINDOWS\\Desktop\\Acme.lnk");
    Set("DeleteRegistry", "Key1", "(Cuser)Software\\Acme");
    Sign();
    const bool edited = std::string(change) == "edited";
    if (edited) {
      Set("DeleteFile", "File9", "C:\\WINDOWS\\WIN.INI,/F");
    } else {
      os.SetRegistryValue(RegRoot::LocalMachine, kRegistration, "UninstallString",
                          {RegValue::Kind::String, "APPUNSET.EXE \"C:\\Other\\UNSETUP.INI\"", 0});
    }
    window.answers = {kIdOk, kIdYes};
    Run();
    const auto asked = window.Lines("ask");
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(std::string("ask[警告,48]: ") + text::kRecordChanged, asked[0]);
    EXPECT_FALSE(Exists("C:\\App"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Desktop\\Acme.lnk"));
    EXPECT_EQ("the system's", os.Contents("C:\\WINDOWS\\WIN.INI"));
    EXPECT_EQ("another product's", os.Contents("C:\\Program Files\\Acme\\C.EXE"));
    EXPECT_TRUE(os.RegistryKeyExists(RegRoot::CurrentUser, "Software\\Acme"));
    // Its own registration goes; another product's stays.
    EXPECT_EQ(!edited, os.RegistryKeyExists(RegRoot::LocalMachine, kRegistration));
    std::string expected = "<File> C:\\Program Files\\Acme\\C.EXE\r\n";
    if (edited) expected += "<File> C:\\WINDOWS\\WIN.INI\r\n";
    expected += "<Folder> C:\\Program Files\\Acme\\\r\n<Registry> (Cuser)Software\\Acme\r\n";
    EXPECT_EQ(expected, FailureList());
    EXPECT_TRUE(window.ended);
  }
}

// The registry's own structure never goes, however a record spells it; a
// first-level key (in the system's view) goes only when the record, signed
// by its registration, says the installation made it. Each row: the entry,
// whether the record notes it as made, and whether it goes.
TEST_F(UninstallRunTest, SystemKeysStayAndFirstLevelKeysGoOnlyWhenTheInstallMadeThem) {
  struct Row {
    const char* entry;
    RegRoot root;
    const char* key;
    bool noted, removed;
  };
  const Row rows[] = {
      {"(Class).acc", RegRoot::ClassesRoot, ".acc", true, true},
      {"(Class)AccTest.Document", RegRoot::ClassesRoot, "AccTest.Document", true, true},
      {"(Class)NotMine", RegRoot::ClassesRoot, "NotMine", false, false},
      {"(Class).txt", RegRoot::ClassesRoot, ".txt", true, false},
      {"(Class)CLSID", RegRoot::ClassesRoot, "CLSID", true, false},
      {"(Class)CLSID\\{6D1A3F00-0000-0000-0000-000000000001}", RegRoot::ClassesRoot,
       "CLSID\\{6D1A3F00-0000-0000-0000-000000000001}", false, true},
      {"(Class)lnkfile\\shell", RegRoot::ClassesRoot, "lnkfile\\shell", false, false},
      {"(Class)*\\shellex\\ContextMenuHandlers\\Acme", RegRoot::ClassesRoot,
       "*\\shellex\\ContextMenuHandlers\\Acme", false, true},
      {"(Local)SOFTWARE\\Microsoft", RegRoot::LocalMachine, "SOFTWARE\\Microsoft", true, false},
      {"(Local)SYSTEM\\CurrentControlSet", RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet", false, false},
      {"(Local)SOFTWARE\\WOW6432Node\\Microsoft", RegRoot::LocalMachine,
       "SOFTWARE\\WOW6432Node\\Microsoft", false, false},
      {"(Local)SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", RegRoot::LocalMachine,
       "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", false, false},
      {"(Local)SOFTWARE\\Classes\\.exe", RegRoot::LocalMachine, "SOFTWARE\\Classes\\.exe", false, false},
      {"(Local)SOFTWARE\\Classes\\.other", RegRoot::LocalMachine, "SOFTWARE\\Classes\\.other", false, false},
      {"(Local)SOFTWARE\\Classes\\.made", RegRoot::LocalMachine, "SOFTWARE\\Classes\\.made", true, true},
      {"(Local)SOFTWARE\\Acme", RegRoot::LocalMachine, "SOFTWARE\\Acme", false, true},
      {"(Cuser)Control Panel\\Desktop", RegRoot::CurrentUser, "Control Panel\\Desktop", false, false},
      {"(Cuser)Environment", RegRoot::CurrentUser, "Environment", true, false},
      {"(Cuser)Software\\Microsoft", RegRoot::CurrentUser, "Software\\Microsoft", false, false},
      {"(Cuser)Software\\Classes\\*", RegRoot::CurrentUser, "Software\\Classes\\*", false, false},
      {"(Cuser)Software\\Acme", RegRoot::CurrentUser, "Software\\Acme", false, true},
      {"(Users).DEFAULT", RegRoot::Users, ".DEFAULT", true, false},
      {"(Users).DEFAULT\\Control Panel", RegRoot::Users, ".DEFAULT\\Control Panel", false, false},
      {"(Users).DEFAULT\\Software\\Acme", RegRoot::Users, ".DEFAULT\\Software\\Acme", false, true},
  };
  // A record lists at most 20 keys: the rows go in two records.
  const size_t half = std::size(rows) / 2;
  for (auto [signedRecord, first] : {std::pair{true, size_t{0}}, {true, half}, {false, size_t{0}},
                                     {false, half}}) {
    SCOPED_TRACE(signedRecord ? "signed" : "from before digests");
    const std::span<const Row> part(rows + first, first ? std::size(rows) - half : half);
    Prepare();
    int n = 0, made = 0;
    for (const Row& row : part) {
      os.CreateRegistryKey(row.root, std::string(row.key) + "\\Sub");
      Set("DeleteRegistry", "Key" + std::to_string(++n), row.entry);
      if (row.noted) Set("CreatedRegistry", "Key" + std::to_string(++made), row.entry);
    }
    if (signedRecord) Sign();
    window.answers = {kIdYes};
    Run();
    const std::string list = FailureList();
    for (const Row& row : part) {
      SCOPED_TRACE(row.entry);
      // A first-level key goes only from a signed record.
      const bool removed = row.removed && (signedRecord || !row.noted);
      EXPECT_EQ(!removed, os.RegistryKeyExists(row.root, std::string(row.key) + "\\Sub"));
      EXPECT_EQ(!removed, list.find(std::string("<Registry> ") + row.entry + "\r\n") != std::string::npos);
    }
  }
}

// A registry link is deleted itself and never followed: what it points at
// stays, and a key through it is not deleted.
TEST_F(UninstallRunTest, ARegistryLinkIsNeverFollowed) {
  os.CreateRegistryKey(RegRoot::LocalMachine, "SYSTEM\\Victim\\Sub");
  os.CreateRegistryKey(RegRoot::CurrentUser, "Software\\Acme");
  os.AddRegistryLink(RegRoot::CurrentUser, "Software\\Acme\\Link", RegRoot::LocalMachine,
                     "SYSTEM\\Victim");
  os.AddRegistryLink(RegRoot::CurrentUser, "Software\\Other", RegRoot::LocalMachine,
                     "SYSTEM\\Victim");
  Set("DeleteRegistry", "Key1", "(Cuser)Software\\Other\\Sub");
  Set("DeleteRegistry", "Key2", "(Cuser)Software\\Acme");
  Sign();
  Run();
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::LocalMachine, "SYSTEM\\Victim\\Sub"));
  EXPECT_FALSE(os.RegistryKeyExists(RegRoot::CurrentUser, "Software\\Acme"));
  EXPECT_TRUE(os.RegistryKeyExists(RegRoot::CurrentUser, "Software\\Other\\Sub"));
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
