// A whole installation of the sample product and its removal, on the real
// program under Wine: the screen, the disk and the registry.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {

TEST(Install, TheSampleProductInstallsAndUninstalls) {
  ClearWorkFolders();
  Product product("install-sample");
  ShipSample(product);
  const fs::path installed = fs::path(product.folder()) / "installed";
  const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
  ForgetSampleInstalls();
  // Files of the scratch names planted in TEMP by someone else: the runs
  // work in a folder of their own and never touch these.
  const fs::path temp = WineTemp();
  const std::map<std::string, std::string> planted = {
      {"EXPAND.QST", "planted expansion"},
      {"ZZZZZZZZ.ZZZ", "planted aside"},
      {"MANUAL.TXT", "planted under the expanded name"},
      {"UNSETUP.INI", "[DeleteFile]\r\nFile1=C:\\windows\\win.ini,/F\r\n"}};
  fs::create_directories(temp);
  for (const auto& [name, bytes] : planted) std::ofstream(temp / name, std::ios::binary) << bytes;

  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  Click(ids::kBtnContinue);
  ASSERT_TRUE(WaitEnabled(ids::kBtnSetup));
  SetText(ids::kTxtFolder, product.WinPath("installed") + "\\");
  Click(ids::kBtnSetup);
  std::optional<std::string> create = AnswerBox("フォルダ作成", kIdYes);
  ASSERT_TRUE(create.has_value()) << Drive({"windows"}).out;
  EXPECT_NE(std::string::npos, create->find("このフォルダは存在しません．"));
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  Screenshot("installed");
  ASSERT_TRUE(ConfirmCompletion(product));

  const std::string manual = ReadFile(fs::path(QS_SOURCE_DIR) / "examples/sample/files/MANUAL.TXT");
  EXPECT_EQ(manual, ReadFile(installed / "doc/MANUAL.TXT"));
  EXPECT_TRUE(fs::exists(installed / "SAMPLE.TXT"));
  EXPECT_TRUE(fs::exists(installed / "README.TXT"));
  std::string record = ReadText(installed / "UNSETUP.INI");
  EXPECT_NE(std::string::npos, record.find("[DeleteShortCut]")) << record;
  EXPECT_NE(std::string::npos, record.find("MANUAL.TXT")) << record;
  EXPECT_TRUE(fs::exists(appunset));
  const std::string registration = std::string(kUninstallKey) + "Quillo Sample Product";
  EXPECT_EQ("REG_SZ Sample", RegData("HKCU\\Software\\Quillo\\Sample", "Edition"));
  EXPECT_EQ("REG_SZ C:\\windows\\APPUNSET.EXE \"" + product.WinPath("installed") + "\\UNSETUP.INI\"",
            RegData(registration, "UninstallString"));
  // Wine's own list of installed programs names the product.
  CommandResult listed = RunInSession({"wine", "uninstaller", "--list"});
  EXPECT_EQ(0, listed.code) << listed.out;
  EXPECT_NE(std::string::npos, listed.out.find("|||Quillo Sample Product")) << listed.out;

  // The registration's command: the uninstaller with the record.
  Product remover("uninstall-sample");
  remover.Launch({product.WinPath("installed\\UNSETUP.INI")});
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnUnSetup));
  Click(ids::kBtnUnSetup);
  // README.TXT is flagged to stay, so the install folder cannot go: the
  // run offers its failure list.
  EXPECT_EQ("<SetupFolder> " + product.WinPath("installed") + "\\\r\n", ReadFailureList());
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  Screenshot("uninstalled");
  ASSERT_TRUE(ConfirmCompletion(remover));

  EXPECT_FALSE(fs::exists(installed / "doc"));
  EXPECT_FALSE(fs::exists(installed / "SAMPLE.TXT"));
  EXPECT_FALSE(fs::exists(installed / "UNSETUP.INI"));
  EXPECT_TRUE(fs::exists(installed / "README.TXT"));  // flagged to stay
  EXPECT_EQ(std::nullopt, RegData("HKCU\\Software\\Quillo\\Sample", "Edition"));
  EXPECT_EQ(std::nullopt, RegData(registration, "UninstallString"));
  listed = RunInSession({"wine", "uninstaller", "--list"});
  EXPECT_EQ(0, listed.code) << listed.out;
  EXPECT_EQ(std::string::npos, listed.out.find("Quillo Sample Product")) << listed.out;

  for (const auto& [name, bytes] : planted) {
    EXPECT_EQ(bytes, ReadFile(temp / name)) << name;
    fs::remove(temp / name);
  }
  EXPECT_TRUE(fs::exists(fs::path(WinePrefix()) / "drive_c/windows/win.ini"));
  EXPECT_EQ(std::vector<std::string>{}, LeftWorkFolders());
}

// A user named "Smith, J." has a comma in the path of TEMP, where a user's
// run expands compressed files: the file still installs under its expanded
// name, and the record names it so. Wine's user is an administrator, whose
// runs work in the Windows folder's Temp instead: that TEMP stays unused.
TEST(Install, ACommaInTheTemporaryFolderStillInstallsTheExpandedFile) {
  const std::string key = "HKCU\\Environment";
  struct Value {
    std::string type, data;
  };
  auto read = [&](const char* name) {  // RegData gives "TYPE data"
    std::string typed = RegData(key, name).value_or("");
    while (!typed.empty() && typed.back() == '\r') typed.pop_back();
    size_t gap = typed.find(' ');
    return gap == std::string::npos ? Value{} : Value{typed.substr(0, gap), typed.substr(gap + 1)};
  };
  auto write = [&](const char* name, const Value& value) {
    RunInSession({"wine", "reg", "add", key, "/v", name, "/t", value.type, "/d", value.data, "/f"});
  };
  const Value oldTemp = read("TEMP"), oldTmp = read("TMP");
  ASSERT_FALSE(oldTemp.data.empty() || oldTmp.data.empty()) << "no TEMP or TMP in " << key;
  const fs::path unixTemp = fs::path(WineTemp()) / "Smith, J";
  fs::remove_all(unixTemp);
  fs::create_directories(unixTemp);
  const Value commaTemp{"REG_SZ", WindowsPath(unixTemp.string())};
  write("TEMP", commaTemp);
  write("TMP", commaTemp);
  struct Restore {
    std::function<void()> undo;
    ~Restore() { undo(); }
  } restore{[&] {
    write("TEMP", oldTemp);
    write("TMP", oldTmp);
    fs::remove_all(unixTemp);
  }};

  ClearWorkFolders();
  Product product("install-comma-temp");
  product.WriteSjis("SETUP.INI", "[Title]\r\nSetup=Quillo Comma\r\n[CopyFile]\r\nFile1=(App)\\MANUAL.TX_\r\n");
  product.WriteBytes("MANUAL.TX_", ReadFile(QS_BINARY_DIR "/sample/MANUAL.TX_"));
  const fs::path target = fs::path(product.folder()) / "target";
  fs::create_directories(target);
  StartInstall(product, product.WinPath("target"));
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  // While the program still runs, its own folder, where the expansion
  // works, is in the administrators' Temp (Wine's user is one), never in
  // this TEMP; no scratch file is left in either.
  EXPECT_EQ(1u, LeftWorkFolders().size());
  EXPECT_EQ(std::vector<std::string>{}, LeftWorkFolders(unixTemp.string()));
  for (const auto& entry : fs::recursive_directory_iterator(unixTemp)) {
    EXPECT_NE("EXPAND.QST", entry.path().filename().string()) << entry.path();
  }
  for (const auto& entry : fs::recursive_directory_iterator(WorkTemp())) {
    EXPECT_NE("EXPAND.QST", entry.path().filename().string()) << entry.path();
  }
  ASSERT_TRUE(ConfirmCompletion(product));
  EXPECT_EQ(std::vector<std::string>{}, LeftWorkFolders());
  const std::string manual = ReadFile(fs::path(QS_SOURCE_DIR) / "examples/sample/files/MANUAL.TXT");
  EXPECT_EQ(manual, ReadFile(target / "MANUAL.TXT"));
  const std::string record = ReadText(target / "UNSETUP.INI");
  EXPECT_NE(std::string::npos, record.find("File1=" + product.WinPath("target") + "\\MANUAL.TXT\r\n"))
      << record;
  EXPECT_EQ(std::string::npos, record.find("EXPAND.QST")) << record;
}

// An error that the run does not catch ends it with the standard report; the
// steps after it (uninstaller copy, record, registration) are not done, and
// the end button still works.
TEST(Install, AnErrorThatEndsTheRunIsReportedAndTheUserCanStillEnd) {
  struct Case {
    const char* name;
    const char* definition;
    const char* report;
  };
  const Case cases[] = {
      // A shortcut two missing folders deep cannot be made.
      {"shortcut", "[ShortCut]\r\nMake1=(App)\\SAMPLE.TXT\r\nName1=(Sta)A\\B\\Viewer\r\n",
       "不正なﾌｧｲﾙ名です."},
      // Keys below HKLM\HARDWARE are volatile: a lasting key cannot go there.
      {"registry",
       "[Registry]\r\nKey1=(Local)\\HARDWARE\\Quillo Runs\\\r\nName1=Kind\r\nValue1=(Int)1\r\n",
       "ｷｰ HARDWARE\\Quillo Runs の作成に失敗しました."},
  };
  const fs::path appunset = fs::path(UserFolders().windows) / "APPUNSET.EXE";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveFile(appunset.string());
    Product product(std::string("install-error-") + c.name);
    product.WriteSjis("SETUP.INI", std::string("[Title]\r\nSetup=Quillo Error\r\n"
                                               "[CopyFile]\r\nFile1=(App)\\SAMPLE.TXT\r\n") +
                                       c.definition);
    product.WriteBytes("SAMPLE.TXT", "sample");
    const fs::path target = fs::path(product.folder()) / "target";
    fs::create_directories(target);
    StartInstall(product, product.WinPath("target"));
    std::optional<std::string> report = AnswerBox("Quillo! Setup for Windows32", kIdOk);
    ASSERT_TRUE(report.has_value()) << Drive({"windows"}).out;
    EXPECT_EQ(c.report, *report);
    ASSERT_TRUE(WaitEnabled(ids::kBtnEnd));
    Screenshot(std::string("after-error-") + c.name);
    EXPECT_EQ("sample", ReadFile(target / "SAMPLE.TXT"));
    EXPECT_FALSE(fs::exists(target / "UNSETUP.INI"));
    EXPECT_FALSE(fs::exists(appunset));
    EXPECT_EQ(std::nullopt, RegData(std::string(kUninstallKey) + "Quillo Error", "UninstallString"));
    EndWithEndButton(product);
  }
}

}  // namespace
}  // namespace qs::e2e
