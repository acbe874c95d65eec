// Names outside Shift-JIS end to end on the in-memory Windows, and the
// record's two forms: Shift-JIS byte for byte while everything fits, UTF-16
// once something does not, merged either way round on a reinstall.
#include <gtest/gtest.h>

#include "core/Paths.h"
#include "data/UninstallRecord.h"
#include "install/InstallRun.h"
#include "platform/Unicode.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeRunWindow.h"
#include "tests/support/RunChecks.h"
#include "uninstall/UninstallRun.h"

namespace qs {
namespace {

const std::string kUtf16Mark("\xff\xfe", 2);

class UnicodeProduct : public ::testing::Test {
 protected:
  UnicodeProduct() {
    test::PrepareSystem(os, "C:\\Users\\Jörg");
    os.AddFolder("C:\\Program Files");
    os.AddFile("C:\\CD\\SETUP.EXE", "MZ");
  }
  // A definition file in UTF-8 after its byte-order mark.
  void Definition(const std::string& text) { os.AddFile("C:\\CD\\SETUP.INI", "\xef\xbb\xbf" + text); }
  void Install() {
    test::FakeRunWindow window;
    window.options.installFolder = app + "\\";
    ProgramValues values = test::WorldValues("C:\\CD\\SETUP.INI", FileNamePart(app, kUtf8));
    InstallPlan plan;
    InstallRun(os, window, plan, values, kUtf8).Run();
    ASSERT_TRUE(window.ended);
    ASSERT_TRUE(window.Lines("failure list").empty()) << window.Lines("failure list")[0];
  }
  void Uninstall() {
    os.AddFile("C:\\TEMP\\UNSETUP.INI", *os.Contents(Record()));
    test::FakeRunWindow window;
    ProgramValues values =
        test::WorldValues("C:\\TEMP\\UNSETUP.INI", FileNamePart(app, kUtf8), Record());
    UninstallRun(os, window, values, kUtf8).Run();
    ASSERT_TRUE(window.Lines("failure list").empty()) << window.Lines("failure list")[0];
  }
  std::string Record() const { return app + "\\UNSETUP.INI"; }
  bool RecordIsUtf16() { return os.Contents(Record()).value_or("").rfind(kUtf16Mark, 0) == 0; }

  test::FakePlatform os;
  std::string app = "C:\\Program Files\\𠮷野家";
};

TEST_F(UnicodeProduct, NamesOutsideShiftJisInstallAndUninstall) {
  os.AddFile("C:\\CD\\メニュー.TXT", "menu");
  Definition("[Title]\r\nSetup=𠮷野家\r\nUnSetupKey=𠮷野家 Jörg\r\n"
             "[MakeFolder]\r\nFolder1=(App)\\𠮷野家\r\n"
             "[CopyFile]\r\nFile1=(App)\\𠮷野家\\メニュー.TXT\r\n"
             "[ShortCut]\r\nMake1=(App)\\𠮷野家\\メニュー.TXT\r\nName1=(Dsk)Nguyễn\r\n"
             "[Registry]\r\nKey1=(Cuser)Software\\𠮷野家\r\nName1=Menü\r\n"
             "Value1=(Str)(App)\\𠮷野家\r\n[DeleteRegistry]\r\nKey1=(Cuser)Software\\𠮷野家\r\n");
  const test::Snapshot before = test::Take(os);
  Install();
  EXPECT_EQ("menu", os.Contents(app + "\\𠮷野家\\メニュー.TXT"));
  EXPECT_TRUE(FileExists(os, "C:\\Users\\Jörg\\Desktop\\Nguyễn.lnk"));
  EXPECT_EQ("(App)\\𠮷野家", os.GetRegistryValue(RegRoot::CurrentUser, "Software\\𠮷野家", "Menü")->text);
  EXPECT_TRUE(RecordIsUtf16());
  UninstallRecord record = ReadUninstallRecord(os, Record());
  ASSERT_EQ(2u, record.files.size());
  EXPECT_EQ(app + "\\𠮷野家\\メニュー.TXT", record.files[0].path);
  EXPECT_EQ(UninstallKeyPath("𠮷野家 Jörg"), record.registrationKey);
  Uninstall();
  // Only the uninstaller stays; of the registry, only the levels above the
  // product's keys that the system made on the way.
  test::Snapshot after = test::Take(os);
  after.files.erase("C:\\WINDOWS\\APPUNSET.EXE");
  EXPECT_EQ(before.files, after.files);
  EXPECT_EQ(before.folders, after.folders);
  for (const std::string& key : after.keys) EXPECT_EQ(std::string::npos, key.find("𠮷")) << key;
}

// A reinstall reads the earlier record in whatever form it has and writes
// one that holds both installations, in the form their entries need.
TEST_F(UnicodeProduct, AReinstallMergesRecordsOfBothForms) {
  app = "C:\\Program Files\\Acme";
  os.AddFile("C:\\CD\\A.TXT", "a");
  os.AddFile("C:\\CD\\Ö.TXT", "o");
  const struct {
    const char* first;
    const char* second;
  } runs[] = {{"A.TXT", "Ö.TXT"}, {"Ö.TXT", "A.TXT"}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.first);
    os.Delete(Record());
    for (const char* file : {run.first, run.second}) {
      Definition(std::string("[CopyFile]\r\nFile1=(App)\\") + file + "\r\n");
      os.AddFolder(app);
      Install();
      EXPECT_EQ(std::string(file) != "A.TXT" || std::string(run.first) != "A.TXT", RecordIsUtf16())
          << file;
    }
    std::vector<std::string> problems;
    test::RecordNames named = test::NamedByRecord(os, Record(), problems);
    EXPECT_TRUE(problems.empty()) << problems[0];
    for (const char* file : {"A.TXT", "Ö.TXT"}) {
      EXPECT_TRUE(named.entries.count(fake::UpperText(app + "\\" + file))) << file;
    }
  }
}

// Where every value fits, the record is the Shift-JIS file the program has
// always written, byte for byte.
TEST(UnicodeRecord, AFittingRecordIsShiftJisByteForByte) {
  test::FakePlatform os;
  const std::string record = "C:\\Program Files\\Tools\\UNSETUP.INI";
  os.AddFolder("C:\\Program Files\\Tools");
  DeleteLists lists;
  AddToDeleteList(os, lists.folders, "C:\\Program Files\\Tools\\表\\");
  RecordInstalledFile(os, lists.files, "C:\\Program Files\\Tools\\表\\ソ.TXT", ",/C");
  AddToDeleteList(os, lists.shortCuts, "C:\\Desktop\\ツール.lnk");
  AddToDeleteList(os, lists.registry, "(Cuser)Software\\Acme");
  WriteUninstallRecord(os, {record, "C:\\Program Files\\Tools\\", "ツール削除", "Acme Tools", "C:\\WINDOWS", "", "", ""},
                       lists, kUtf8);
  EXPECT_EQ(
      "[Information]\r\n"
      "Message1=\x81I\x81I\x81I\x81@\x8cx\x8d\x90\x81@\x81I\x81I\x81I\r\n"
      "Message2=\x82\xb1\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x83G\x83" "f\x83" "B\x83^\x82\xc8\x82\xc7\x82\xc5\x8f\x91\x82\xab\x8a\xb7\x82\xa6\x82\xbd\x82\xe8\x81" "C\x8d\xed\x8f\x9c\x82\xb5\x82\xc8\x82\xa2\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81" "D\r\n"
      "Message3=\x8f\x91\x82\xab\x8a\xb7\x82\xa6\x82\xbd\x8f\xea\x8d\x87\x81" "C\x83" "A\x83\x93\x83Z\x83" "b\x83g\x83" "A\x83" "b\x83v\x93\xae\x8d\xec\x82\xcc\x95\xdb\x8f\xd8\x82\xcd\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x81" "D\r\n"
      "\r\n"
      "[Title]\r\n"
      "UnSetup=\x83" "c\x81[\x83\x8b\x8d\xed\x8f\x9c\r\n"
      "\r\n"
      "[SetupFolder]\r\n"
      "Folder=C:\\Program Files\\Tools\\\r\n"
      "\r\n"
      "[DeleteFolder]\r\n"
      "Folder1=C:\\Program Files\\Tools\\\x95\\\\\r\n"
      "\r\n"
      "[DeleteFile]\r\n"
      "File1=C:\\Program Files\\Tools\\\x95\\\\\x83\\.TXT,/C\r\n"
      "File2=C:\\Program Files\\Tools\\UNSETUP.INI\r\n"
      "\r\n"
      "[DeleteShortCut]\r\n"
      "File1=C:\\Desktop\\\x83" "c\x81[\x83\x8b.lnk\r\n"
      "\r\n"
      "[DeleteRegistry]\r\n"
      "Key1=(Cuser)Software\\Acme\r\n"
      "\r\n"
      "[UnSetupRegistryKey]\r\n"
      "Key=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Tools\r\n",
      os.Contents(record));
}

// A U+FFFD in the text (what a line that is no Shift-JIS reads as) is one
// character to every conversion, as any other: a record that holds one is
// written again to the same bytes, where each rewrite used to triple it
// until the installer spent its memory on the record.
TEST(UnicodeRecord, AReplacementCharacterIsOneCharacter) {
  for (const std::string text : {"\xEF\xBF\xBD", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b", "\xF0\xA0\xAE\xB7\xEF\xBF\xBD"}) {
    EXPECT_EQ(text, Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes(text)));
    size_t at = text.find("\xEF\xBF\xBD");
    EXPECT_EQ(0xFFFDu, NextCodePoint(text, at));
    EXPECT_EQ(text.find("\xEF\xBF\xBD") + 3, at);
  }
  // A byte that is no UTF-8 is one U+FFFD.
  EXPECT_EQ("a\xEF\xBF\xBD" "b", Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes("a\xFF" "b")));

  test::FakePlatform os;
  os.AddFolder("C:\\Tools");
  const std::string file = "C:\\Tools\\UNSETUP.INI";
  const std::string title = "\xEF\xBF\xBD\xEF\xBF\xBD 1.0";
  WriteIniString(os, "Title", "UnSetup", title, file);
  const std::string once = *os.Contents(file);
  EXPECT_EQ(kUtf16Mark, once.substr(0, 2));  // no Shift-JIS form
  for (int i = 0; i < 3; ++i) WriteIniString(os, "Title", "UnSetup", title, file);
  EXPECT_EQ(once, os.Contents(file));
  EXPECT_EQ(title, ReadIniString(os, "Title", "UnSetup", "", file));
}

}  // namespace
}  // namespace qs
