// A whole installation of the sample product and its removal, on the real
// program under Wine: the screen, the disk and the registry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {

constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
const char* const kMain = "class:TfrmMain";

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
    out += c;
  }
  return out;
}

// The sample product as a packager ships it: texts in Shift-JIS, the manual
// compressed by the build.
void ShipSample(const Product& product) {
  const fs::path sample = fs::path(QS_SOURCE_DIR) / "examples/sample";
  for (const char* name : {"SETUP.INI", "README.TXT", "SAMPLE.TXT"}) {
    product.WriteSjis(name, Crlf(ReadFile(sample / name)));
  }
  product.WriteBytes("MANUAL.TX_", ReadFile(fs::path(QS_BINARY_DIR) / "sample/MANUAL.TX_"));
}

std::string RegQuery(const std::string& key, const std::string& value) {
  return RunInSession({"wine", "reg", "query", key, "/v", value}).out;
}

void Click(int id) { Drive({"click", kMain, std::to_string(id)}); }

bool WaitEnabled(int id) { return e2e::WaitEnabled(kMain, id); }

TEST(Install, TheSampleProductInstallsAndUninstalls) {
  Product product("install-sample");
  ShipSample(product);
  const fs::path installed = fs::path(product.folder()) / "installed";
  const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
  if (fs::exists(appunset)) {
    fs::permissions(appunset, fs::perms::owner_write, fs::perm_options::add);
    fs::remove(appunset);
  }
  RunInSession({"wine", "reg", "delete", "HKCU\\Software\\Quillo", "/f"});

  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  Click(ids::kBtnContinue);
  ASSERT_TRUE(WaitEnabled(ids::kBtnSetup));
  Drive({"settext", kMain, std::to_string(ids::kTxtFolder), product.WinPath("installed") + "\\"});
  Click(ids::kBtnSetup);
  std::optional<std::string> create = AnswerBox("フォルダ作成", kIdYes);
  ASSERT_TRUE(create.has_value()) << Drive({"windows"}).out;
  EXPECT_NE(std::string::npos, create->find("このフォルダは存在しません．"));
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  Screenshot("installed");
  ASSERT_TRUE(AnswerBox("完了", kIdOk).has_value());
  std::optional<int> code = product.WaitExit(20000);
  ASSERT_TRUE(code.has_value()) << "the installer did not end";
  EXPECT_EQ(0, *code);

  const std::string manual = ReadFile(fs::path(QS_SOURCE_DIR) / "examples/sample/files/MANUAL.TXT");
  EXPECT_EQ(manual, ReadFile(installed / "doc/MANUAL.TXT"));
  EXPECT_TRUE(fs::exists(installed / "SAMPLE.TXT"));
  EXPECT_TRUE(fs::exists(installed / "README.TXT"));
  std::string record = ReadFile(installed / "UNSETUP.INI");
  EXPECT_NE(std::string::npos, record.find("[DeleteShortCut]")) << record;
  EXPECT_NE(std::string::npos, record.find("MANUAL.TXT")) << record;
  EXPECT_TRUE(fs::exists(appunset));
  EXPECT_NE(std::string::npos, RegQuery("HKCU\\Software\\Quillo\\Sample", "Edition").find("Sample"));
  std::string registration = RegQuery(
      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillo Sample Product",
      "UninstallString");
  EXPECT_NE(std::string::npos, registration.find("APPUNSET.EXE")) << registration;

  // The registration's command: the uninstaller with the record.
  Product remover("uninstall-sample");
  remover.Launch({product.WinPath("installed\\UNSETUP.INI")});
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnUnSetup));
  Click(ids::kBtnUnSetup);
  // README.TXT is flagged to stay, so the install folder cannot go: the
  // run offers its failure list.
  ASSERT_TRUE(AnswerBox("警告", kIdYes).has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnCloseErrorLog));
  Screenshot("failure-list");
  std::optional<Dump> failures = DumpWindow(kMain);
  ASSERT_TRUE(failures.has_value());
  EXPECT_EQ("<SetupFolder> " + product.WinPath("installed") + "\\\r\n",
            failures->ById(ids::kTxtReadme).text());
  Click(ids::kBtnCloseErrorLog);
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  Screenshot("uninstalled");
  ASSERT_TRUE(AnswerBox("完了", kIdOk).has_value());
  code = remover.WaitExit(20000);
  ASSERT_TRUE(code.has_value()) << "the uninstaller did not end";
  EXPECT_EQ(0, *code);

  EXPECT_FALSE(fs::exists(installed / "doc"));
  EXPECT_FALSE(fs::exists(installed / "SAMPLE.TXT"));
  EXPECT_FALSE(fs::exists(installed / "UNSETUP.INI"));
  EXPECT_TRUE(fs::exists(installed / "README.TXT"));  // flagged to stay
  EXPECT_EQ(std::string::npos, RegQuery("HKCU\\Software\\Quillo\\Sample", "Edition").find("Sample"));
  EXPECT_EQ(std::string::npos,
            RegQuery("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillo Sample Product",
                     "UninstallString").find("APPUNSET"));
}

TEST(Install, AnErrorThatEndsTheRunIsReportedAndTheUserCanStillEnd) {
  Product product("install-error");
  // A shortcut two missing folders deep cannot be made: the run ends there.
  product.WriteSjis("SETUP.INI",
                    "[CopyFile]\r\nFile1=(App)\\SAMPLE.TXT\r\n"
                    "[ShortCut]\r\nMake1=(App)\\SAMPLE.TXT\r\nName1=(Sta)A\\B\\Viewer\r\n");
  product.WriteBytes("SAMPLE.TXT", "sample");
  fs::create_directories(fs::path(product.folder()) / "target");
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnSetup));
  Drive({"settext", kMain, std::to_string(ids::kTxtFolder), product.WinPath("target")});
  Click(ids::kBtnSetup);
  std::optional<std::string> report = AnswerBox("Quillo! Setup for Windows32", kIdOk);
  ASSERT_TRUE(report.has_value()) << Drive({"windows"}).out;
  EXPECT_EQ("不正なﾌｧｲﾙ名です.", *report);
  ASSERT_TRUE(WaitEnabled(ids::kBtnEnd));
  Screenshot("after-error");
  EXPECT_TRUE(fs::exists(fs::path(product.folder()) / "target/SAMPLE.TXT"));
  EXPECT_FALSE(fs::exists(fs::path(product.folder()) / "target/UNSETUP.INI"));
  Click(ids::kBtnEnd);
  ASSERT_TRUE(AnswerBox("終了確認", kIdYes).has_value()) << Drive({"windows"}).out;
  std::optional<int> code = product.WaitExit(20000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(0, *code);
}

}  // namespace
}  // namespace qs::e2e
