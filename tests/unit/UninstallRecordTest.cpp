#include "data/UninstallRecord.h"

#include <gtest/gtest.h>

#include "core/Paths.h"
#include "core/SetupError.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FaultyPlatform.h"

namespace qs {
namespace {

constexpr const char* kRecord = "C:\\Program Files\\Tools\\UNSETUP.INI";

class UninstallRecordTest : public ::testing::Test {
 protected:
  UninstallRecordTest() { os.AddFolder("C:\\Program Files\\Tools"); }
  RecordSetting Setting() {
    return {kRecord, "C:\\Program Files\\Tools\\", "Tools remover", "Acme Tools", "C:\\WINDOWS", "", "", ""};
  }
  std::string Value(const char* section, const std::string& key) {
    return ReadIniString(os, section, key, "<missing>", kRecord);
  }

  test::FakePlatform os;
  DeleteLists lists;
};

TEST_F(UninstallRecordTest, ListsKeepOneEntryPerValueWhateverTheCase) {
  AddToDeleteList(os, lists.folders, "C:\\APP\\");
  AddToDeleteList(os, lists.folders, "c:\\app\\");
  AddToDeleteList(os, lists.folders, "");
  AddToDeleteList(os, lists.folders, "C:\\APP\\DATA\\");
  EXPECT_EQ((std::vector<std::string>{"C:\\APP\\", "C:\\APP\\DATA\\"}), lists.folders.entries);
  for (size_t n = 3; n <= kDeleteFolders; ++n) lists.folders.entries.push_back(std::to_string(n));
  AddToDeleteList(os, lists.folders, "C:\\NO ROOM\\");
  EXPECT_EQ(kDeleteFolders, lists.folders.entries.size());
  for (const std::string& entry : lists.folders.entries) EXPECT_NE("C:\\NO ROOM\\", entry);
}

TEST_F(UninstallRecordTest, AnInstalledFileKeepsOneEntryWithTheNewestFlag) {
  RecordInstalledFile(os, lists.files, "C:\\T\\A.EXE", ",/C");
  RecordInstalledFile(os, lists.files, "C:\\T\\B.DLL", "");
  RecordInstalledFile(os, lists.files, "c:\\t\\a.exe", ",/L");
  EXPECT_EQ((std::vector<std::string>{"c:\\t\\a.exe,/L", "C:\\T\\B.DLL"}), lists.files.entries);
}

TEST_F(UninstallRecordTest, WrittenInOrderAndReadBack) {
  AddToDeleteList(os, lists.folders, "C:\\Program Files\\Tools\\doc\\");
  AddToDeleteList(os, lists.folders, "C:\\Program Files\\Tools\\bin\\");
  RecordInstalledFile(os, lists.files, "C:\\Program Files\\Tools\\TOOL.EXE", ",/C");
  RecordInstalledFile(os, lists.files, "C:\\WINDOWS\\SYSTEM\\X.DLL", "");
  AddToDeleteList(os, lists.shortCuts, "C:\\Desktop\\Tool.lnk");
  AddToDeleteList(os, lists.registry, "(Local)Software\\Acme");
  AddToDeleteList(os, lists.setupRegistry, "(local)SOFTWARE\\ACME");
  AddToDeleteList(os, lists.setupRegistry, "(Cuser)Software\\Acme");
  WriteUninstallRecord(os, Setting(), lists, kCp932);

  EXPECT_EQ("！！！　警告　！！！", Value("Information", "Message1"));
  EXPECT_EQ("Tools remover", Value("Title", "UnSetup"));
  EXPECT_EQ("C:\\Program Files\\Tools\\", Value("SetupFolder", "Folder"));
  EXPECT_EQ(kRecord, Value("DeleteFile", "File3"));
  EXPECT_EQ("<missing>", Value("DeleteFile", "File4"));
  EXPECT_EQ("(Cuser)Software\\Acme", Value("DeleteRegistry", "Key2"));
  EXPECT_EQ("<missing>", Value("DeleteRegistry", "Key3"));
  std::string text = *os.Contents(kRecord);
  EXPECT_LT(text.find("[Information]"), text.find("[Title]"));
  EXPECT_LT(text.find("[DeleteFolder]"), text.find("[DeleteFile]"));
  EXPECT_LT(text.find("[DeleteRegistry]"), text.find("[UnSetupRegistryKey]"));

  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Tools";
  EXPECT_EQ(key, Value("UnSetupRegistryKey", "Key"));
  EXPECT_EQ("Acme Tools", os.GetRegistryValue(RegRoot::LocalMachine, key, "DisplayName")->text);
  EXPECT_EQ("C:\\WINDOWS\\APPUNSET.EXE \"C:\\Program Files\\Tools\\UNSETUP.INI\"",
            os.GetRegistryValue(RegRoot::LocalMachine, key, "UninstallString")->text);

  UninstallRecord record = ReadUninstallRecord(os, kRecord);
  EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\Tools\\bin\\",
                                      "C:\\Program Files\\Tools\\doc\\"}),
            record.folders);
  ASSERT_EQ(3u, record.files.size());
  EXPECT_EQ("C:\\Program Files\\Tools\\TOOL.EXE", record.files[0].path);
  EXPECT_EQ(",/C", record.files[0].flag);
  EXPECT_EQ("", record.files[1].flag);
  EXPECT_EQ((std::vector<std::string>{"(Cuser)Software\\Acme", "(Local)Software\\Acme"}),
            record.registryKeys);
  EXPECT_EQ((std::vector<std::string>{"C:\\Desktop\\Tool.lnk"}), record.shortCuts);
  EXPECT_EQ("C:\\Program Files\\Tools\\", record.setupFolder);
  EXPECT_EQ(key, record.registrationKey);
}

TEST_F(UninstallRecordTest, ReinstallingListsBothInstallationsAndItselfOnce) {
  RecordInstalledFile(os, lists.files, "C:\\Program Files\\Tools\\A.EXE", ",/C");
  RecordInstalledFile(os, lists.files, "C:\\Program Files\\Tools\\OLD.TXT", "");
  WriteUninstallRecord(os, Setting(), lists, kCp932);

  DeleteLists second;
  MergeEarlierRecord(os, kRecord, second);
  RecordInstalledFile(os, second.files, "C:\\Program Files\\Tools\\A.EXE", ",/L");
  RecordInstalledFile(os, second.files, "C:\\Program Files\\Tools\\NEW.TXT", "");
  WriteUninstallRecord(os, Setting(), second, kCp932);

  UninstallRecord record = ReadUninstallRecord(os, kRecord);
  std::vector<std::string> paths;
  for (const RecordedFile& f : record.files) paths.push_back(f.path + f.flag);
  EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\Tools\\A.EXE,/L",
                                      "C:\\Program Files\\Tools\\OLD.TXT", kRecord,
                                      "C:\\Program Files\\Tools\\NEW.TXT"}),
            paths);
}

TEST_F(UninstallRecordTest, AFullFileListDropsWhatFindsNoSlot) {
  for (int n = 1; n <= 99; ++n) {
    std::string path = "C:\\T\\F";
    path += std::to_string(n);
    RecordInstalledFile(os, lists.files, path, "");
  }
  os.AddFile("C:\\OLD\\UNSETUP.INI", "[DeleteFile]\r\nFile1=C:\\X\\1\r\nFile2=C:\\X\\2\r\n"
                                     "File3=C:\\X\\3\r\nFile4=C:\\X\\UNSETUP.INI\r\n");
  MergeEarlierRecord(os, "C:\\OLD\\UNSETUP.INI", lists);
  ASSERT_EQ(kDeleteFiles, lists.files.entries.size());
  EXPECT_EQ("C:\\X\\2", lists.files.entries.back());
  RecordSetting setting = Setting();
  setting.recordPath = "C:\\OLD\\UNSETUP.INI";
  WriteUninstallRecord(os, setting, lists, kCp932);
  UninstallRecord record = ReadUninstallRecord(os, setting.recordPath);
  EXPECT_EQ(101u, record.files.size());
  EXPECT_EQ("C:\\X\\2", record.files.back().path);  // no room for the record itself
}

// A value carries a flag only when it ends with one of the three: commas
// anywhere else belong to the path (an install folder "C:\Acme, Inc").
TEST(RecordedFileValue, TheFlagIsTakenOnlyFromTheEnd) {
  const std::pair<const char*, RecordedFile> cases[] = {
      {"C:\\Acme, Inc\\X.TXT", {"C:\\Acme, Inc\\X.TXT", ""}},
      {"C:\\Acme, Inc\\X.TXT,/C", {"C:\\Acme, Inc\\X.TXT", ",/C"}},
      {"C:\\A,/F\\X.TXT,/L", {"C:\\A,/F\\X.TXT", ",/L"}},
      {"C:\\T\\X.TXT,/F", {"C:\\T\\X.TXT", ",/F"}},
      {"C:\\T\\X.TXT,/f", {"C:\\T\\X.TXT,/f", ""}},  // letter case counts
      {"C:\\T\\X.TXT,/X", {"C:\\T\\X.TXT,/X", ""}},
      {"C:\\T\\X.TXT,", {"C:\\T\\X.TXT,", ""}},
      {",/L", {"", ",/L"}},
      {"/L", {"/L", ""}},
      {"", {"", ""}},
  };
  for (const auto& [value, expected] : cases) {
    RecordedFile split = SplitRecordedFile(value);
    EXPECT_EQ(expected.path, split.path) << value;
    EXPECT_EQ(expected.flag, split.flag) << value;
  }
}

// Written and read back in both of the record's forms (Shift-JIS, and
// UTF-16 once a path leaves Shift-JIS): the comma stays in the path, a
// reinstall finds the entry again, and text after a comma in the definition
// that is none of the flags is not recorded as one.
TEST_F(UninstallRecordTest, APathWithACommaIsReadWholeInEitherForm) {
  for (const std::string folder : {"C:\\Acme, Inc", "C:\\𠮷田, Inc"}) {
    SCOPED_TRACE(folder);
    DeleteLists files;
    RecordInstalledFile(os, files.files, folder + "\\a,b.txt", ",/F");
    RecordInstalledFile(os, files.files, folder + "\\C.TXT", ",/X");
    RecordInstalledFile(os, files.files, folder + "\\D.TXT", ",");
    RecordInstalledFile(os, files.files, folder + "\\A,B.TXT", ",/L");  // the same file again
    WriteUninstallRecord(os, Setting(), files, kCp932);
    UninstallRecord record = ReadUninstallRecord(os, kRecord);
    std::vector<std::string> read;
    for (const RecordedFile& file : record.files) read.push_back(file.path + "|" + file.flag);
    EXPECT_EQ((std::vector<std::string>{folder + "\\A,B.TXT|,/L", folder + "\\C.TXT|",
                                        folder + "\\D.TXT|", std::string(kRecord) + "|"}),
              read);
  }
}

TEST_F(UninstallRecordTest, AnEmptyRecordStillNamesTheFolderAndTheRegistration) {
  os.AddFile(kRecord, "[DeleteFile]\r\nFile7=C:\\STALE\r\n");
  WriteUninstallRecord(os, Setting(), lists, kCp932);
  UninstallRecord record = ReadUninstallRecord(os, kRecord);
  ASSERT_EQ(1u, record.files.size());
  EXPECT_EQ(kRecord, record.files[0].path);
  EXPECT_EQ("C:\\Program Files\\Tools\\", record.setupFolder);
  EXPECT_FALSE(record.registrationKey.empty());
}

TEST_F(UninstallRecordTest, NoRegistrationIsWrittenIntoTheListOfProgramsItself) {
  const std::string list = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  for (const char* key : {"", "\\", "\\\\"}) {
    RecordSetting setting = Setting();
    setting.unSetupKey = key;
    WriteUninstallRecord(os, setting, lists, kCp932);
    EXPECT_FALSE(os.GetRegistryValue(RegRoot::LocalMachine, list, "UninstallString")) << key;
    EXPECT_FALSE(os.GetRegistryValue(RegRoot::LocalMachine, list + "\\", "DisplayName")) << key;
  }
}

TEST_F(UninstallRecordTest, ARegistrationThatCannotBeWrittenEndsTheRun) {
  os.DenyRegistry(RegRoot::LocalMachine);
  try {
    WriteUninstallRecord(os, Setting(), lists, kCp932);
    FAIL() << "no error raised";
  } catch (const SetupError& error) {
    EXPECT_EQ("ｷｰ SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Tools "
              "の作成に失敗しました",
              std::string(error.what()));
  }
  EXPECT_EQ("Tools remover", Value("Title", "UnSetup"));  // the record is written by then
}

// What the list of installed programs shows: every value of the layout, a
// text left out when it is empty, the size in KiB rounded up (and held to
// what a DWORD holds).
TEST_F(UninstallRecordTest, TheRegistrationFillsTheListOfInstalledPrograms) {
  struct Case {
    const char* version;
    const char* publisher;
    const char* date;
    uint64_t bytes;
    uint32_t kib;
  };
  const Case cases[] = {{"1.0", "Acme Corp.", "20240102", 0, 0},
                        {"", "", "", 1, 1},
                        {"2.1 β", "", "19991231", 1024, 1},
                        {"", "アクメ", "", 1025, 2},
                        {"", "", "", (uint64_t{1} << 42) + 5, 0xFFFFFFFFu}};
  const std::string key = UninstallKeyPath("Acme Tools");
  const std::string command = "C:\\WINDOWS\\APPUNSET.EXE \"" + std::string(kRecord) + "\"";
  for (const Case& c : cases) {
    test::FakePlatform world;
    world.AddFolder("C:\\Program Files\\Tools");
    RecordSetting setting = Setting();
    setting.version = c.version;
    setting.publisher = c.publisher;
    setting.installDate = c.date;
    setting.installedBytes = c.bytes;
    DeleteLists none;
    WriteUninstallRecord(world, setting, none, kCp932);
    SCOPED_TRACE(std::to_string(c.bytes));
    auto text = [&](const char* name) {
      std::optional<RegValue> value = world.GetRegistryValue(RegRoot::LocalMachine, key, name);
      if (value && value->kind != RegValue::Kind::String) return std::string("<not a string>");
      return value ? value->text : std::string("<missing>");
    };
    auto number = [&](const char* name) {
      std::optional<RegValue> value = world.GetRegistryValue(RegRoot::LocalMachine, key, name);
      return value && value->kind == RegValue::Kind::Dword ? std::optional<uint32_t>(value->number)
                                                           : std::nullopt;
    };
    EXPECT_EQ("Acme Tools", text("DisplayName"));
    EXPECT_EQ(command, text("UninstallString"));
    EXPECT_EQ(command + " /S", text("QuietUninstallString"));
    EXPECT_EQ("C:\\WINDOWS\\APPUNSET.EXE", text("DisplayIcon"));
    EXPECT_EQ("C:\\Program Files\\Tools\\", text("InstallLocation"));
    const std::pair<const char*, std::string> optional[] = {
        {"DisplayVersion", c.version}, {"Publisher", c.publisher}, {"InstallDate", c.date}};
    for (const auto& [name, data] : optional) {
      EXPECT_EQ(data.empty() ? "<missing>" : data, text(name)) << name;
    }
    EXPECT_EQ(c.kib, number("EstimatedSize"));
    EXPECT_EQ(1u, number("NoModify"));
    EXPECT_EQ(1u, number("NoRepair"));
  }
}

// Each value of the registration that cannot be written ends the run with
// the report that names it, the record written by then.
TEST_F(UninstallRecordTest, EachRegistrationValueThatCannotBeWrittenIsNamed) {
  RecordSetting setting = Setting();
  setting.version = "1.0";
  setting.publisher = "Acme";
  setting.installDate = "20240102";
  std::vector<std::pair<long, std::string>> writes;  // call number, value name
  {
    test::FaultyPlatform counted(os);
    WriteUninstallRecord(counted, setting, lists, kCp932);
    const std::string prefix = "SetRegistryValue " + UninstallKeyPath("Acme Tools") + " ";
    for (size_t i = 0; i < counted.calls().size(); ++i) {
      const std::string& what = counted.calls()[i].what;
      if (what.rfind(prefix, 0) == 0) writes.push_back({static_cast<long>(i + 1), what.substr(prefix.size())});
    }
  }
  ASSERT_EQ(12u, writes.size());  // eight texts, the digest, three numbers
  for (const auto& [call, name] : writes) {
    test::FakePlatform world;
    world.AddFolder("C:\\Program Files\\Tools");
    test::FaultyPlatform faulty(world);
    faulty.Arm(call, test::FaultKind::AccessDenied);
    DeleteLists none;
    try {
      WriteUninstallRecord(faulty, setting, none, kCp932);
      ADD_FAILURE() << name << ": no error raised";
    } catch (const SetupError& error) {
      EXPECT_EQ("'" + name + "' の設定に失敗しました", std::string(error.what()));
    }
    EXPECT_TRUE(world.Contents(kRecord).has_value()) << name;
  }
}

TEST_F(UninstallRecordTest, AnEarlierRecordIsMergedEvenWhenItsAttributesCannotBeRead) {
  os.AddFile(kRecord, "[DeleteFile]\r\nFile1=C:\\Program Files\\Tools\\OLD.TXT\r\n"
                      "[DeleteRegistry]\r\nKey1=(Cuser)Software\\Tools\r\n");
  test::FaultyPlatform faulty(os);
  for (long call = 1; call <= 3; ++call) {
    DeleteLists merged;
    faulty.Arm(call, test::FaultKind::AccessDenied);
    MergeEarlierRecord(faulty, kRecord, merged);
    EXPECT_EQ((std::vector<std::string>{"C:\\Program Files\\Tools\\OLD.TXT"}), merged.files.entries)
        << faulty.fired();
    EXPECT_EQ((std::vector<std::string>{"(Cuser)Software\\Tools"}), merged.registry.entries)
        << faulty.fired();
  }
}

TEST_F(UninstallRecordTest, ARecordThatCannotBeWrittenWhollyEndsTheRunAfterTheRegistration) {
  // A read-only record from an earlier installation can be neither deleted
  // nor written: the uninstaller would find none of the new entries.
  os.AddFile(kRecord, "[Title]\r\nUnSetup=Old\r\n");
  os.SetAttributes(kRecord, kAttrReadOnly);
  AddToDeleteList(os, lists.folders, "C:\\Program Files\\Tools\\BIN\\");
  try {
    WriteUninstallRecord(os, Setting(), lists, kCp932);
    FAIL() << "no error raised";
  } catch (const SetupError& error) {
    EXPECT_EQ(std::string("'") + kRecord + "' の設定に失敗しました", std::string(error.what()));
  }
  EXPECT_TRUE(os.GetRegistryValue(RegRoot::LocalMachine, UninstallKeyPath("Acme Tools"),
                                  "UninstallString").has_value());
}

// A record that cannot be written whole is not left half written: what a
// failing write or close put there goes again, and the run ends with the
// error report after the registration.
TEST_F(UninstallRecordTest, ARecordNotWrittenWholeIsNotLeftHalfWritten) {
  os.AddFile(kRecord, "[Title]\r\nUnSetup=Old\r\n");
  RecordInstalledFile(os, lists.files, "C:\\Program Files\\Tools\\A.EXE", "");
  for (const char* call : {"Write ", "Close "}) {
    SCOPED_TRACE(call);
    test::FaultyPlatform probe(os);
    WriteUninstallRecord(probe, Setting(), lists, kCp932);
    long at = 0;
    for (size_t i = 0; i < probe.calls().size(); ++i) {
      if (probe.calls()[i].what == call + std::string(kRecord)) at = static_cast<long>(i) + 1;
    }
    ASSERT_NE(0, at);
    test::FaultyPlatform faulty(os);
    faulty.Arm(at, test::FaultKind::DiskFull);
    EXPECT_THROW(WriteUninstallRecord(faulty, Setting(), lists, kCp932), SetupError);
    EXPECT_FALSE(os.Contents(kRecord).has_value());
    EXPECT_TRUE(os.GetRegistryValue(RegRoot::LocalMachine, UninstallKeyPath("Acme Tools"),
                                    "UninstallRecordSHA256").has_value());
  }
}

// The one root-marker table read both ways: the install run writes where
// ParseRegistryKey points, the uninstaller removes where ParseRemovalKey
// does; only a value with one of the four exact markers reads alike.
TEST(RemovalKey, DiffersFromTheWritingReadOnlyWithoutAnExactMarker) {
  struct Case {
    const char* value;
    RegRoot writeRoot;
    const char* writePath;
    RegRoot removeRoot;
    const char* removePath;
  };
  const Case cases[] = {
      {"(Local)SOFTWARE\\Acme", RegRoot::LocalMachine, "SOFTWARE\\Acme", RegRoot::LocalMachine,
       "SOFTWARE\\Acme"},
      {"(Class)\\.acme", RegRoot::ClassesRoot, "\\.acme", RegRoot::ClassesRoot, ".acme"},
      {"(Users).DEFAULT", RegRoot::Users, ".DEFAULT", RegRoot::Users, ".DEFAULT"},
      {"(Cuser)Software\\Acme", RegRoot::CurrentUser, "Software\\Acme", RegRoot::CurrentUser,
       "Software\\Acme"},
      {"(local)SOFTWARE\\Acme", RegRoot::CurrentUser, "SOFTWARE\\Acme", RegRoot::CurrentUser,
       "(local)SOFTWARE\\Acme"},
      {"Soft(x)Acme\\Tool", RegRoot::CurrentUser, "Acme\\Tool", RegRoot::CurrentUser,
       "Soft(x)Acme\\Tool"},
      {"\\Software\\Acme", RegRoot::CurrentUser, "\\Software\\Acme", RegRoot::CurrentUser,
       "Software\\Acme"},
  };
  for (const Case& c : cases) {
    RegistryKeyRef written = ParseRegistryKey(c.value);
    RegistryKeyRef removed = ParseRemovalKey(c.value);
    EXPECT_EQ(c.writeRoot, written.root) << c.value;
    EXPECT_EQ(c.writePath, written.path) << c.value;
    EXPECT_EQ(c.removeRoot, removed.root) << c.value;
    EXPECT_EQ(c.removePath, removed.path) << c.value;
  }
}

}  // namespace
}  // namespace qs
