// Whole install and uninstall runs of the real program under Wine, checked on
// the real disk and registry: every root, type and place marker, the user's
// answers, files that cannot be replaced, a reinstall over an earlier record,
// the uninstaller copy in each of its states, and a prefix that an install
// and an uninstall leave as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {

constexpr int kDay = 24 * 60 * 60;

bool ReadOnly(const fs::path& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

std::string Windows(const fs::path& unixPath, const ShellFolders& folders) {
  // A path inside the prefix's drive C as the program sees it.
  std::string drive = fs::path(folders.windows).parent_path().string();
  std::string rest = unixPath.string().substr(drive.size());
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  return "C:" + rest;
}

// Install then uninstall through the registered command: afterwards the
// prefix (every file and folder of drive C, the whole registry) differs from
// before only by what is meant to stay: the shared uninstaller, the file
// flagged to stay, the library in the system folder, the shared file the
// user chose to keep, and the install folder that still holds them.
TEST(Runs, InstallThenUninstallLeavesOnlyWhatIsMeantToStay) {
  const ShellFolders folders = UserFolders();
  const fs::path installed = fs::path(folders.windows).parent_path() / "Program Files/Quillo Runs";
  const fs::path appunset = fs::path(folders.windows) / "APPUNSET.EXE";
  const fs::path library = fs::path(folders.system) / "QRUNS.DLL";
  const fs::path forced = fs::path(folders.windows) / "QRUNF.DLL";
  const std::string clsid = "CLSID\\{6D1A3F00-51A7-4C2B-9E3D-0A1B2C3D4E5F}";
  // What an earlier run of this test left.
  fs::remove_all(installed);
  for (const fs::path& file : {appunset, library, forced}) RemoveFile(file.string());
  for (const std::string& key : {"HKCR\\" + clsid, std::string("HKCU\\Software\\Quillo Runs"),
                                 std::string("HKLM\\SOFTWARE\\Quillo Runs"),
                                 std::string("HKU\\.DEFAULT\\Software\\Quillo Runs"),
                                 std::string(kUninstallKey) + "Quillo Runs Whole"}) {
    RegDelete(key);
  }

  Product product("runs-whole");
  product.WriteSjis("SETUP.INI", Crlf(
      "[Title]\nSetup=Quillo 実行\nUnSetupKey=Quillo Runs Whole\n"
      "[DefaultFolder]\nFolder=(Prg)\\Quillo Runs\n"
      "[MakeFolder]\nFolder1=(App)\\data\nFolder2=(App)\\data\\sub\n"
      "[CopyFile]\nFile1=(App)\\APP.TXT\nFile2=(App)\\data\\sub\\MANUAL.TX_\n"
      "File3=(App)\\KEEP.TXT,/L\nFile4=(Sys)\\QRUNS.DLL\nFile5=(Win)\\QRUNF.DLL,/F\n"
      "File6=(App)\\ASK1.TXT,/C\nFile7=(App)\\ASK2.TXT,/C\nFile8=(App)\\data\\EMPTY.TXT\n"
      "[ShortCut]\n"
      "Make1=(App)\\APP.TXT\nName1=(Dsk)Quillo Runs\n"
      "Make2=(App)\\APP.TXT\nName2=(Sta)Quillo Runs\\Viewer\n"
      "Make3=(App)\\data\\sub\\MANUAL.TXT\nName3=(Sup)Quillo Runs Start\n"
      "Make4=(App)\\APP.TXT\nName4=(Sen)Quillo Runs Send\n"
      "Make5=(App)\\APP.TXT\nName5=(Prg)Quillo Runs Programs\n"
      "[Registry]\n"
      "Key1=(Class)" + clsid + "\nName1=Kind\nValue1=(Str)Quillo 文書\n"
      "Key2=(Cuser)Software\\Quillo Runs\nName2=Count\nValue2=(Int)$0000000FF\n"
      "Key3=(Local)SOFTWARE\\Quillo Runs\\\nName3=Path\nValue3=C:\\plain\n"
      "Key4=(Users).DEFAULT\\Software\\Quillo Runs\nName4=Level\nValue4=(Int)-7\n"
      "Key5=Software\\Quillo Runs\\Plain\nName5=Text\nValue5=(Str)無印\n"
      "[DeleteRegistry]\nKey1=(Class)" + clsid + "\nKey2=(Cuser)Software\\Quillo Runs\n"
      "Key3=(Local)SOFTWARE\\Quillo Runs\nKey4=(Users).DEFAULT\\Software\\Quillo Runs\n"
      "[ExecuteFile]\nFile=(App)\\NOTHERE.TXT\n"));
  const std::string manual = ReadFile(QS_SOURCE_DIR "/examples/sample/files/MANUAL.TXT");
  product.WriteBytes("APP.TXT", "application\r\n");
  product.WriteBytes("MANUAL.TX_", ReadFile(QS_BINARY_DIR "/sample/MANUAL.TX_"));
  for (const char* name : {"KEEP.TXT", "QRUNS.DLL", "QRUNF.DLL", "ASK1.TXT", "ASK2.TXT"}) {
    product.WriteBytes(name, std::string(name) + " bytes");
  }
  product.WriteBytes("EMPTY.TXT", "");

  const PrefixState before = CapturePrefix();
  ASSERT_FALSE(before.files.empty());
  ASSERT_GT(before.registry.size(), 1000u);

  StartInstall(product, "");
  std::optional<std::string> create = AnswerBox("フォルダ作成", kIdYes);
  ASSERT_TRUE(create.has_value()) << Drive({"windows"}).out;
  EXPECT_EQ("C:\\Program Files\\Quillo Runs\\\r\rこのフォルダは存在しません．\r作成してもよろしいですか？",
            *create);
  // No failure question: the completion message comes straight away.
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;

  // Everything is in place while the completion message is up.
  const std::string winInstalled = "C:\\Program Files\\Quillo Runs";
  EXPECT_EQ("application\r\n", ReadFile(installed / "APP.TXT"));
  EXPECT_EQ(manual, ReadFile(installed / "data/sub/MANUAL.TXT"));
  EXPECT_FALSE(fs::exists(installed / "data/sub/MANUAL.TX_"));
  EXPECT_EQ("QRUNS.DLL bytes", ReadFile(library));
  EXPECT_EQ("QRUNF.DLL bytes", ReadFile(forced));
  EXPECT_TRUE(fs::exists(installed / "data/EMPTY.TXT"));
  EXPECT_FALSE(fs::exists(fs::path(folders.temp) / "EXPAND.QST"));
  const fs::path links[] = {fs::path(folders.desktop) / "Quillo Runs.lnk",
                            fs::path(folders.programs) / "Quillo Runs/Viewer.lnk",
                            fs::path(folders.startup) / "Quillo Runs Start.lnk",
                            fs::path(folders.sendTo) / "Quillo Runs Send.lnk",
                            fs::path(folders.programs) / "Quillo Runs Programs.lnk"};
  std::vector<std::string> recordedLinks;
  for (const fs::path& link : links) {
    EXPECT_TRUE(fs::exists(link)) << link;
    recordedLinks.push_back(Windows(link, folders));
  }
  EXPECT_EQ("REG_SZ Quillo 文書", RegData("HKCR\\" + clsid, "Kind"));
  EXPECT_EQ("REG_DWORD 0xff", RegData("HKCU\\Software\\Quillo Runs", "Count"));
  EXPECT_EQ("REG_SZ C:\\plain", RegData("HKLM\\SOFTWARE\\Quillo Runs", "Path"));
  EXPECT_EQ("REG_DWORD 0xfffffff9", RegData("HKU\\.DEFAULT\\Software\\Quillo Runs", "Level"));
  EXPECT_EQ("REG_SZ 無印", RegData("HKCU\\Software\\Quillo Runs\\Plain", "Text"));
  EXPECT_TRUE(fs::exists(appunset));
  EXPECT_TRUE(ReadOnly(appunset));
  const std::string record = ReadText(installed / "UNSETUP.INI");
  EXPECT_EQ((std::vector<std::string>{winInstalled + "\\data\\", winInstalled + "\\data\\sub\\"}),
            IniValues(record, "DeleteFolder"));
  EXPECT_EQ((std::vector<std::string>{
                winInstalled + "\\APP.TXT", winInstalled + "\\data\\sub\\MANUAL.TXT",
                winInstalled + "\\KEEP.TXT,/L", "C:\\windows\\system32\\QRUNS.DLL",
                "C:\\windows\\QRUNF.DLL,/F", winInstalled + "\\ASK1.TXT,/C",
                winInstalled + "\\ASK2.TXT,/C", winInstalled + "\\data\\EMPTY.TXT",
                winInstalled + "\\UNSETUP.INI"}),
            IniValues(record, "DeleteFile"));
  EXPECT_EQ(recordedLinks, IniValues(record, "DeleteShortCut"));
  EXPECT_EQ((std::vector<std::string>{"(Class)" + clsid, "(Cuser)Software\\Quillo Runs",
                                      "(Local)SOFTWARE\\Quillo Runs",
                                      "(Users).DEFAULT\\Software\\Quillo Runs"}),
            IniValues(record, "DeleteRegistry"));
  EXPECT_EQ("REG_SZ C:\\windows\\APPUNSET.EXE \"" + winInstalled + "\\UNSETUP.INI\"",
            RegData(std::string(kUninstallKey) + "Quillo Runs Whole", "UninstallString"));
  // The file to open after setup is missing: the program simply ends.
  ASSERT_TRUE(ConfirmCompletion(product));

  // The registered command: the shared uninstaller with the record.
  Product remover("runs-whole-remove");
  remover.Launch({winInstalled + "\\UNSETUP.INI"}, appunset.string());
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnUnSetup));
  Click(ids::kBtnUnSetup);
  std::optional<std::string> ask1 = AnswerBox("ファイル削除の確認", kIdYes);
  ASSERT_TRUE(ask1.has_value()) << Drive({"windows"}).out;
  EXPECT_EQ(winInstalled + "\\ASK1.TXT\r\rこのファイルを削除してもよろしいですか？\r\r"
            "<<　注意　>>\rDLL・OCXなどは他のプログラムでも使用される可能性があります．\r"
            "確実に使用されないことがわかっている場合のみ削除してください．",
            *ask1);
  std::optional<std::string> ask2 = AnswerBox("ファイル削除の確認", kIdNo);
  ASSERT_TRUE(ask2.has_value()) << Drive({"windows"}).out;
  EXPECT_EQ(0u, ask2->find(winInstalled + "\\ASK2.TXT\r\r")) << *ask2;
  EXPECT_EQ("<File> " + winInstalled + "\\ASK2.TXT\r\n<SetupFolder> " + winInstalled + "\\\r\n",
            ReadFailureList());
  ASSERT_TRUE(ConfirmCompletion(remover));

  const PrefixState after = CapturePrefix();
  const std::string base = "Program Files/Quillo Runs";
  std::vector<std::string> expected = {
      "+ " + base, "+ " + base + "/ASK2.TXT", "+ " + base + "/KEEP.TXT",
      "+ windows/APPUNSET.EXE", "+ windows/system32/QRUNS.DLL"};
  std::vector<std::string> differences = Differences(before, after);
  std::sort(differences.begin(), differences.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, differences);
  EXPECT_EQ("KEEP.TXT bytes", ReadFile(installed / "KEEP.TXT"));
}

// A product that registers its own document type, installed into a folder
// with a comma in its name, and uninstalled without a window: the type's
// two first-level keys, which the install made, go with the rest, and the
// run ends with 0. Listing the system's keys as well (the text files'
// type, HKLM\SOFTWARE\Microsoft) keeps them and names them as failed.
// Either way the prefix is afterwards as it was, but for the uninstaller.
TEST(Runs, AProductsOwnDocumentTypeGoesAndTheSystemsKeysStay) {
  const ShellFolders folders = UserFolders();
  const fs::path appunset = fs::path(folders.windows) / "APPUNSET.EXE";
  RemoveFile(appunset.string());
  for (const char* key : {"HKCR\\.acc", "HKCR\\AccTest.Document"}) RegDelete(key);
  RegDelete(std::string(kUninstallKey) + "Quillo Acc");
  Product product("runs-association");
  product.WriteBytes("A.TXT", "a\r\n");
  const std::string folder = product.WinPath("acc comma, inc");
  const PrefixState before = CapturePrefix();
  for (bool systemKeys : {false, true}) {
    SCOPED_TRACE(systemKeys ? "the system's keys listed too" : "its own keys");
    product.WriteSjis("SETUP.INI", Crlf(
        "[Title]\nSetup=Quillo Acc\nUnSetupKey=Quillo Acc\n"
        "[CopyFile]\nFile1=(App)\\A.TXT\n"
        "[Registry]\nKey1=(Class).acc\nName1=Content Type\nValue1=(Str)text/acc\n"
        "Key2=(Class)AccTest.Document\\shell\\open\\command\nName2=Program\n"
        "Value2=(Str)notepad.exe\n"
        "[DeleteRegistry]\nKey1=(Class).acc\nKey2=(Class)AccTest.Document\n" +
        std::string(systemKeys ? "Key3=(Class).txt\nKey4=(Local)SOFTWARE\\Microsoft\n" : "")));
    ASSERT_EQ(0, product.RunAgain({"/S", "/D=" + folder}, 60000));
    EXPECT_EQ("REG_SZ text/acc", RegData("HKCR\\.acc", "Content Type"));
    EXPECT_EQ("REG_SZ notepad.exe",
              RegData("HKCR\\AccTest.Document\\shell\\open\\command", "Program"));
    EXPECT_EQ(systemKeys ? 1 : 0,
              product.RunAgain({folder + "\\UNSETUP.INI", "/S",
                                "/LOG=" + product.WinPath(systemKeys ? "system.log" : "own.log")},
                               60000));
    const std::string log = ReadFile(fs::path(product.folder()) / (systemKeys ? "system.log" : "own.log"));
    EXPECT_EQ(systemKeys, log.find("failed <Registry> (Class).txt\r\n") != std::string::npos) << log;
    EXPECT_EQ(systemKeys, log.find("failed <Registry> (Local)SOFTWARE\\Microsoft\r\n") !=
                              std::string::npos) << log;
    EXPECT_EQ(std::nullopt, RegData("HKCR\\.acc", "Content Type"));
    EXPECT_EQ(std::nullopt, RegData("HKCR\\AccTest.Document\\shell\\open\\command", "Program"));
    EXPECT_FALSE(fs::exists(fs::path(product.folder()) / "acc comma, inc"));
  }
  std::vector<std::string> differences = Differences(before, CapturePrefix());
  EXPECT_EQ(std::vector<std::string>{"+ windows/APPUNSET.EXE"}, differences);
}

// A reinstall over an earlier record, with the overwrite question asked and
// answered both ways, a destination that cannot be replaced, a damaged
// compressed file, two place boxes off, a colon in a shortcut name, an
// uninstaller copy that cannot be replaced and a file to open that the shell
// cannot open.
TEST(Runs, AReinstallMergesTheEarlierRecordAndListsWhatFailed) {
  const ShellFolders folders = UserFolders();
  const fs::path appunset = fs::path(folders.windows) / "APPUNSET.EXE";
  RemoveFile(appunset.string());
  RegDelete("HKCU\\Software\\Quillo Reinstall");
  RegDelete(std::string(kUninstallKey) + "Quillo Reinstall");
  Product product("runs-reinstall");
  const std::string app = product.WinPath("app");
  const fs::path dir = fs::path(product.folder()) / "app";
  product.WriteSjis("SETUP.INI", Crlf(
      "[Title]\nSetup=Quillo Reinstall\n"
      "[MakeFolder]\nFolder1=(App)\\data\n"
      "[CopyFile]\nFile1=(App)\\YES.TXT,/F\nFile2=(App)\\NO.TXT\nFile3=(App)\\LOCKED.TXT\n"
      "File4=(App)\\BROKEN.TX_\nFile5=(App)\\data\\NEW.QZX\n"
      "[ShortCut]\n"
      "Make1=(App)\\YES.TXT\nName1=(Dsk)Quillo Reinstall\n"
      "Make2=(App)\\YES.TXT\nName2=(Sen)Quillo Reinstall\n"
      "Make3=(App)\\YES.TXT\nName3=(Sta)Acme: Manual\n"
      "Make4=(App)\\YES.TXT\nName4=(Sup)Quillo Reinstall\n"
      "[Registry]\nKey1=(Cuser)Software\\Quillo Reinstall\nName1=Version\nValue1=(Str)2\n"
      "[DeleteRegistry]\nKey1=(Cuser)Software\\Quillo Reinstall\n"
      "[ExecuteFile]\nFile=(App)\\data\\NEW.QZX\n"));
  for (const char* name : {"YES.TXT", "NO.TXT", "LOCKED.TXT", "NEW.QZX"}) {
    product.WriteBytes(name, std::string("new ") + name);
  }
  const std::string compressed = ReadFile(QS_BINARY_DIR "/sample/MANUAL.TX_");
  product.WriteBytes("BROKEN.TX_", compressed.substr(0, compressed.size() / 2));
  // The earlier installation: its record and files.
  product.WriteSjis("app/UNSETUP.INI", Crlf(
      "[SetupFolder]\nFolder=" + app + "\n[DeleteFolder]\nFolder1=" + app + "\\old\\\n"
      "[DeleteFile]\nFile1=" + app + "\\OLD.TXT,/L\nFile2=" + app + "\\YES.TXT,/C\n"
      "File3=" + app + "\\UNSETUP.INI\n"
      "[DeleteShortCut]\nFile1=C:\\Quillo\\Old.lnk\n"
      "[DeleteRegistry]\nKey1=(Cuser)Software\\Quillo Old\n"));
  for (const char* name : {"YES.TXT", "NO.TXT", "LOCKED.TXT", "BROKEN.TXT"}) {
    product.WriteBytes(std::string("app/") + name, std::string("old ") + name);
  }
  Immutable locked((dir / "LOCKED.TXT").string());
  product.WriteBytes("uninstaller", "older uninstaller");
  fs::copy_file(fs::path(product.folder()) / "uninstaller", appunset);
  SetAge(appunset.string(), -kDay);
  Immutable lockedUninstaller(appunset.string());

  StartInstall(product, app, {ids::kChkOverWrite, ids::kChkSCutDesktop, ids::kChkSCutSendTo});
  for (const auto& [name, answer] : std::vector<std::pair<std::string, int>>{
           {"YES.TXT", kIdYes}, {"NO.TXT", kIdNo}, {"LOCKED.TXT", kIdYes}}) {
    std::optional<std::string> question = AnswerBox("上書き確認", answer);
    ASSERT_TRUE(question.has_value()) << name << "\n" << Drive({"windows"}).out;
    EXPECT_EQ(app + "\\" + name + "\r\rこのファイルは既に存在します．\r上書きしてもよろしいですか？",
              *question);
  }
  EXPECT_EQ("<File> " + app + "\\NO.TXT\r\n<File> " + app + "\\LOCKED.TXT\r\n<File> " + app +
                "\\BROKEN.TXT\r\n<SetupFile> C:\\windows\\APPUNSET.EXE\r\n",
            ReadFailureList());
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(AnswerBox("完了", kIdOk).has_value());
  // The shell cannot open a file of an unknown kind: a warning, then the end.
  std::optional<std::string> warning = AnswerBox("警告", kIdOk, 20000);
  ASSERT_TRUE(warning.has_value()) << Drive({"windows"}).out;
  EXPECT_EQ("終了後プログラムの起動に失敗しました．\riniファイルの記述ミスの可能性があります．\r"
            "プログラム提供者へご報告ください．",
            *warning);
  std::optional<int> code = product.WaitExit(20000);
  ASSERT_TRUE(code.has_value()) << "the installer did not end";
  EXPECT_EQ(0, *code);

  EXPECT_EQ("new YES.TXT", ReadFile(dir / "YES.TXT"));
  EXPECT_EQ("old NO.TXT", ReadFile(dir / "NO.TXT"));
  EXPECT_EQ("old LOCKED.TXT", ReadFile(dir / "LOCKED.TXT"));
  EXPECT_EQ("old BROKEN.TXT", ReadFile(dir / "BROKEN.TXT"));
  EXPECT_EQ("new NEW.QZX", ReadFile(dir / "data/NEW.QZX"));
  EXPECT_EQ("older uninstaller", ReadFile(appunset));
  EXPECT_FALSE(fs::exists(fs::path(folders.desktop) / "Quillo Reinstall.lnk"));
  EXPECT_FALSE(fs::exists(fs::path(folders.sendTo) / "Quillo Reinstall.lnk"));
  const fs::path startLink = fs::path(folders.startup) / "Quillo Reinstall.lnk";
  EXPECT_TRUE(fs::exists(startLink));
  // The colon did not end the run: the registry, the record and the
  // registration all followed.
  EXPECT_EQ("REG_SZ 2", RegData("HKCU\\Software\\Quillo Reinstall", "Version"));
  EXPECT_EQ("REG_SZ C:\\windows\\APPUNSET.EXE \"" + app + "\\UNSETUP.INI\"",
            RegData(std::string(kUninstallKey) + "Quillo Reinstall", "UninstallString"));
  const std::string record = ReadText(dir / "UNSETUP.INI");
  EXPECT_EQ((std::vector<std::string>{app + "\\old\\", app + "\\data\\"}),
            IniValues(record, "DeleteFolder"));
  // Both installations, each file once, the new flag for a file both made;
  // not the damaged file, which was never installed.
  EXPECT_EQ((std::vector<std::string>{app + "\\OLD.TXT,/L", app + "\\YES.TXT,/F",
                                      app + "\\UNSETUP.INI", app + "\\NO.TXT",
                                      app + "\\LOCKED.TXT", app + "\\data\\NEW.QZX"}),
            IniValues(record, "DeleteFile"));
  std::vector<std::string> links = IniValues(record, "DeleteShortCut");
  ASSERT_EQ(3u, links.size()) << record;
  EXPECT_EQ("C:\\Quillo\\Old.lnk", links[0]);
  EXPECT_NE(std::string::npos, links[1].find("\\Acme: Manual.lnk")) << links[1];
  EXPECT_EQ(Windows(startLink, folders), links[2]);
  EXPECT_EQ((std::vector<std::string>{"(Cuser)Software\\Quillo Old", "(Cuser)Software\\Quillo Reinstall"}),
            IniValues(record, "DeleteRegistry"));

  fs::remove(startLink);
  RegDelete("HKCU\\Software\\Quillo Reinstall");
  RegDelete(std::string(kUninstallKey) + "Quillo Reinstall");
}

// The uninstaller copy: an older read-only one is replaced and read-only
// again; a newer one is left alone. Empty files alone bring the progress to
// 100%, shown while the overwrite question of the last one waits.
TEST(Runs, TheUninstallerCopyIsRefreshedOnlyWhenOlder) {
  const ShellFolders folders = UserFolders();
  const fs::path appunset = fs::path(folders.windows) / "APPUNSET.EXE";
  Product product("runs-uninstaller");
  product.WriteSjis("SETUP.INI", Crlf("[Title]\nSetup=Quillo Copy\n"
                                      "[CopyFile]\nFile1=(App)\\EMPTY1.TXT\nFile2=(App)\\EMPTY2.TXT\n"));
  product.WriteBytes("EMPTY1.TXT", "");
  product.WriteBytes("EMPTY2.TXT", "");
  product.WriteBytes("app/EMPTY2.TXT", "");
  const std::string program = ReadFile(fs::path(product.folder()) / "SETUP.EXE");

  RemoveFile(appunset.string());
  product.WriteBytes("uninstaller", "older uninstaller");
  fs::copy_file(fs::path(product.folder()) / "uninstaller", appunset);
  fs::permissions(appunset, fs::perms::all, fs::perm_options::remove);
  fs::permissions(appunset, fs::perms::owner_read, fs::perm_options::add);
  SetAge(appunset.string(), -kDay);
  ASSERT_TRUE(ReadOnly(appunset));

  StartInstall(product, product.WinPath("app"), {ids::kChkOverWrite});
  ASSERT_TRUE(Drive({"wait", "上書き確認", "-t", "30000"}).code == 0) << Drive({"windows"}).out;
  std::optional<Dump> progress = DumpWindow(kMain);
  ASSERT_TRUE(progress.has_value());
  Screenshot("progress");
  EXPECT_TRUE(progress->ById(ids::kFraStatus).visible());
  EXPECT_EQ("100%", progress->ById(ids::kLblStatus).text());
  EXPECT_EQ(100, progress->ById(ids::kPrgStatus).Int("pos"));
  ASSERT_TRUE(AnswerBox("上書き確認", kIdYes).has_value());
  ASSERT_TRUE(ConfirmCompletion(product));
  EXPECT_EQ(program, ReadFile(appunset));
  EXPECT_TRUE(ReadOnly(appunset));

  // Reinstalling with a newer uninstaller in place leaves it as it is.
  RemoveFile(appunset.string());
  product.WriteBytes("uninstaller", "newer uninstaller");
  fs::copy_file(fs::path(product.folder()) / "uninstaller", appunset);
  SetAge(appunset.string(), kDay);
  const auto newer = fs::last_write_time(appunset);
  StartInstall(product, product.WinPath("app"));
  ASSERT_TRUE(ConfirmCompletion(product));
  EXPECT_EQ("newer uninstaller", ReadFile(appunset));
  EXPECT_EQ(newer, fs::last_write_time(appunset));
  RemoveFile(appunset.string());
  RegDelete(std::string(kUninstallKey) + "Quillo Copy");
}

}  // namespace
}  // namespace qs::e2e
