// The one-file SETUP.EXE under Wine, made by setupkit from the sample
// product: it installs through the window and with /S, its uninstaller copy
// is the SETUP.EXE it holds, signed it still installs, cut short it is
// refused with nothing written, and whatever the ending no unpacked file
// stays in TEMP.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {

const std::string kSetupkit = std::string(QS_BINARY_DIR) + "/setupkit";

class OneFile : public ::testing::Test {
 protected:
  // The sample as a product folder, then bundled: a folder of its own that
  // holds nothing but the bundle, under the name SETUP.EXE.
  OneFile() : sample("onefile-sample"), product("onefile") {
    ShipSample(sample);
    bundle = fs::path(product.folder()) / "SETUP.EXE";
    fs::remove(bundle);
    CommandResult made = RunCaptured({kSetupkit, "bundle", sample.folder(), "-o", bundle.string()});
    EXPECT_EQ(0, made.code) << made.out;
    ClearWorkFolders();
    ForgetSampleInstalls();
  }
  ~OneFile() override {
    EXPECT_EQ(std::vector<std::string>{}, LeftWorkFolders()) << "unpacked files stay in TEMP";
  }

  // Installs silently into the product folder's sub-folder; the exit code.
  int InstallSilently(const std::string& folder = "installed") {
    std::optional<int> code = product.RunAgain(
        {"/S", "/LOG=" + product.WinPath("install.log"), "/D=" + product.WinPath(folder)}, 60000);
    EXPECT_TRUE(code.has_value()) << "still running: " << Drive({"windows"}).out;
    return code.value_or(-1);
  }
  fs::path Installed(const std::string& folder) const { return fs::path(product.folder()) / folder; }
  // The uninstaller the install left is the SETUP.EXE the bundle holds, and
  // the product is in folder.
  void ExpectTheBundledUninstaller(const std::string& folder) {
    const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
    EXPECT_EQ(ReadFile((fs::path(sample.folder()) / "SETUP.EXE").string()), ReadFile(appunset.string()));
    EXPECT_EQ(ReadFile(fs::path(QS_SOURCE_DIR) / "examples/sample/files/MANUAL.TXT"),
              ReadFile(Installed(folder) / "doc/MANUAL.TXT"));
  }
  // Removes the installation in folder with the uninstaller it left.
  void Uninstall(const std::string& folder) {
    const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
    Product remover("onefile-remove");
    remover.Launch({product.WinPath(folder + "\\UNSETUP.INI"), "/S"}, appunset.string());
    EXPECT_TRUE(remover.WaitExit(60000).has_value()) << Drive({"windows"}).out;
    EXPECT_FALSE(fs::exists(Installed(folder) / "UNSETUP.INI"));
  }

  Product sample;
  Product product;
  fs::path bundle;
};

TEST_F(OneFile, TheBundledSampleInstallsThroughTheWindowAndWithS) {
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnContinue)) << "no readme from the bundle";
  Click(ids::kBtnContinue);
  ASSERT_TRUE(WaitEnabled(ids::kBtnSetup));
  SetText(ids::kTxtFolder, product.WinPath("installed"));
  Click(ids::kBtnSetup);
  std::optional<std::string> create = AnswerBox("フォルダ作成", kIdYes);
  ASSERT_TRUE(create.has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(ConfirmCompletion(product));
  ExpectTheBundledUninstaller("installed");
  Uninstall("installed");

  EXPECT_EQ(0, InstallSilently("silent")) << ReadText(product.folder() + "/install.log");
  ExpectTheBundledUninstaller("silent");
  Uninstall("silent");
}

TEST_F(OneFile, SignedItInstallsCutItIsRefusedEndedEarlyItLeavesNothing) {
  // Signed with a throwaway certificate, as a packager signs the bundle.
  const fs::path work = fs::path(product.folder());
  CommandResult cert = RunCaptured({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout",
                                    (work / "key.pem").string(), "-out", (work / "cert.pem").string(),
                                    "-days", "2", "-nodes", "-subj", "/CN=Quillo throwaway signer"});
  ASSERT_EQ(0, cert.code) << cert.out;
  const fs::path plain = work / "PLAIN.EXE";
  fs::rename(bundle, plain);
  CommandResult sign = RunCaptured({"osslsigncode", "sign", "-certs", (work / "cert.pem").string(),
                                    "-key", (work / "key.pem").string(), "-in", plain.string(),
                                    "-out", bundle.string()});
  ASSERT_EQ(0, sign.code) << sign.out;
  EXPECT_EQ(0, InstallSilently("signed")) << ReadText(product.folder() + "/install.log");
  ExpectTheBundledUninstaller("signed");
  Uninstall("signed");

  // Cut short, as a broken download: the file is damaged, nothing installed.
  std::string cut = ReadFile(plain.string());
  cut.resize(cut.size() - 4096);
  std::ofstream(bundle, std::ios::binary | std::ios::trunc) << cut;
  EXPECT_EQ(2, InstallSilently("cut"));
  EXPECT_FALSE(fs::exists(fs::path(product.folder()) / "cut"));
  EXPECT_NE(std::string::npos, ReadText(product.folder() + "/install.log")
                                   .find("error セットアップファイルが壊れています．"));
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnEnd));
  std::optional<Dump> dump = DumpWindow(kMain);
  ASSERT_TRUE(dump.has_value());
  EXPECT_EQ("セットアップファイルが壊れています．\rもう一度ダウンロードしてください．\r",
            dump->ById(ids::kLblMessage).text());
  EXPECT_FALSE(dump->ById(ids::kBtnSetup).enabled());
  EndWithEndButton(product);

  // Whole again, ended at its readme with the end button and Yes.
  std::ofstream(bundle, std::ios::binary | std::ios::trunc) << ReadFile(plain.string());
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnContinue));
  EndWithEndButton(product);
}

}  // namespace
}  // namespace qs::e2e
