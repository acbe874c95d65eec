// Deployment switches on the real program under Wine: /S installs and
// uninstalls without a window, /LOG= writes what happened, the exit code
// says how it ended, and /? shows only its usage.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {

const std::string kRegistration = std::string(kUninstallKey) + "Quillo Sample Product";

// A run without a window must end on its own: a question it waited on
// would show up here as a timeout.
int RunSilently(Product& product, const std::vector<std::string>& args) {
  std::optional<int> code = product.RunAgain(args, 60000);
  EXPECT_TRUE(code.has_value()) << "still running: " << Drive({"windows"}).out;
  return code.value_or(-1);
}

// The log's lines (UTF-8 after its byte-order mark); each must have the
// time, a kind and its text.
std::vector<std::string> LogLines(const fs::path& log) {
  std::string bytes = ReadFile(log.string());
  std::vector<std::string> lines;
  EXPECT_EQ("\xEF\xBB\xBF", bytes.substr(0, 3)) << log << " is UTF-8, and says so";
  std::istringstream in(bytes.substr(std::min<size_t>(3, bytes.size())));
  static const std::regex kLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [a-z-]+ .*\r)");
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(std::regex_match(line, kLine)) << line;
    lines.push_back(line.substr(20, line.size() - 21));  // kind and text
  }
  EXPECT_FALSE(bytes.empty()) << log;
  return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

class Deploy : public ::testing::Test {
 protected:
  Deploy() : product("deploy-" + std::string(::testing::UnitTest::GetInstance()
                                                  ->current_test_info()->name())) {
    fs::create_directories(fs::path(product.folder()) / "My Apps");
  }
  fs::path Installed() const { return fs::path(product.folder()) / "My Apps/Sample"; }
  std::string InstalledWin() const { return product.WinPath("My Apps\\Sample"); }
  fs::path Log(const char* name) const { return fs::path(product.folder()) / name; }

  Product product;
};

// /S with /D= unquoted (the blank splits it into two words of the line),
// then /S for the record: README.TXT is flagged to stay, so the install
// folder cannot go and the uninstall ends with 1, naming it in the log.
TEST_F(Deploy, SilentInstallAndSilentUninstallOfTheSample) {
  ShipSample(product);
  ForgetSampleInstalls();
  const std::string folder = InstalledWin();
  const size_t blank = folder.find(' ');
  EXPECT_EQ(0, RunSilently(product, {"/S", "/LOG=" + product.WinPath("install.log"),
                                     "/D=" + folder.substr(0, blank), folder.substr(blank + 1)}));
  EXPECT_EQ(ReadFile((fs::path(QS_SOURCE_DIR) / "examples/sample/files/MANUAL.TXT").string()),
            ReadFile((Installed() / "doc/MANUAL.TXT").string()));
  EXPECT_TRUE(fs::exists(Installed() / "SAMPLE.TXT"));
  EXPECT_TRUE(fs::exists(Installed() / "UNSETUP.INI"));
  const std::string registered = "REG_SZ C:\\windows\\APPUNSET.EXE \"" + folder + "\\UNSETUP.INI\"";
  EXPECT_EQ(registered, RegData(kRegistration, "UninstallString"));
  std::vector<std::string> log = LogLines(Log("install.log"));
  SCOPED_TRACE(Joined(log));
  EXPECT_EQ(0u, log.front().rfind("start ", 0));
  EXPECT_TRUE(Has(log, "install " + folder));
  EXPECT_TRUE(Has(log, "step Copying -> " + folder + "\\doc\\MANUAL.TXT"));
  EXPECT_TRUE(Has(log, "step レジストリを設定しています．．．"));
  EXPECT_TRUE(Has(log, "message [完了] セットアップが完了しました．"));
  EXPECT_EQ("exit 0", log.back());

  // Again without /OVERWRITE: every file exists, none is replaced.
  fs::path sample = Installed() / "SAMPLE.TXT";
  product.WriteBytes("My Apps/Sample/SAMPLE.TXT", "changed by the user");
  EXPECT_EQ(1, RunSilently(product, {"/s", "/log=" + product.WinPath("again.log"),
                                     "/d=" + folder}));
  EXPECT_EQ("changed by the user", ReadFile(sample.string()));
  log = LogLines(Log("again.log"));
  EXPECT_TRUE(Has(log, "failed <File> " + folder + "\\SAMPLE.TXT")) << Joined(log);
  EXPECT_EQ("exit 1", log.back());

  EXPECT_EQ(1, RunSilently(product, {product.WinPath("My Apps\\Sample\\UNSETUP.INI"), "/S",
                                     "/LOG=" + product.WinPath("uninstall.log")}));
  EXPECT_FALSE(fs::exists(Installed() / "doc"));
  EXPECT_FALSE(fs::exists(sample));
  EXPECT_TRUE(fs::exists(Installed() / "README.TXT"));
  EXPECT_EQ(std::nullopt, RegData(kRegistration, "UninstallString"));
  log = LogLines(Log("uninstall.log"));
  EXPECT_TRUE(Has(log, "failed <SetupFolder> " + folder)) << Joined(log);
  EXPECT_TRUE(Has(log, "delete " + folder + "\\SAMPLE.TXT")) << Joined(log);
  EXPECT_TRUE(Has(log, "remove-folder " + folder + "\\doc\\")) << Joined(log);
  EXPECT_EQ("exit 1", log.back());
}

// /D= with two missing levels above the folder: /S makes them all, and
// the uninstall takes them back once the folder has gone (the sample
// leaves its README.TXT, which the user removes here first).
TEST_F(Deploy, EveryMissingLevelOfTheFolderIsMadeAndGoesAgain) {
  ShipSample(product);
  ForgetSampleInstalls();
  const std::string folder = product.WinPath("deep\\er\\Sample");
  const fs::path deep = fs::path(product.folder()) / "deep";
  ASSERT_EQ(0, RunSilently(product, {"/S", "/D=" + folder}));
  EXPECT_TRUE(fs::exists(deep / "er/Sample/SAMPLE.TXT"));
  fs::remove(deep / "er/Sample/README.TXT");
  EXPECT_EQ(0, RunSilently(product, {folder + "\\UNSETUP.INI", "/S",
                                     "/LOG=" + product.WinPath("uninstall.log")}));
  EXPECT_FALSE(fs::exists(deep)) << Joined(LogLines(Log("uninstall.log")));
  EXPECT_TRUE(fs::exists(product.folder()));
}

// What /S installs, the window removes, from the same record.
TEST_F(Deploy, TheWindowUninstallsASilentInstall) {
  ShipSample(product);
  ForgetSampleInstalls();
  ASSERT_EQ(0, RunSilently(product, {"/S", "/D=" + InstalledWin()}));  // quoted by Wine
  product.Launch({product.WinPath("My Apps\\Sample\\UNSETUP.INI")});
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnUnSetup));
  Click(ids::kBtnUnSetup);
  ASSERT_TRUE(AnswerBox("警告", kIdNo).has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(AnswerBox("完了", kIdOk).has_value()) << Drive({"windows"}).out;
  std::optional<int> code = product.WaitExit(20000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(0, *code);  // the window's exit code is always 0
  EXPECT_FALSE(fs::exists(Installed() / "SAMPLE.TXT"));
  EXPECT_FALSE(fs::exists(Installed() / "UNSETUP.INI"));
  EXPECT_EQ(std::nullopt, RegData(kRegistration, "UninstallString"));
}

TEST_F(Deploy, EachWayOfEndingHasItsExitCode) {
  // 4: no definition file beside the program; no record at the named path.
  EXPECT_EQ(4, RunSilently(product, {"/S", "/LOG=" + product.WinPath("none.log")}));
  std::vector<std::string> none = LogLines(Log("none.log"));
  ASSERT_GE(none.size(), 2u) << Joined(none);
  EXPECT_EQ(0u, none[1].rfind("error セットアップ・アンセットアップ情報ファイルが見つかりません．", 0))
      << Joined(none);
  EXPECT_EQ(4, RunSilently(product, {product.WinPath("gone\\UNSETUP.INI"), "/S"}));
  // 5: a switch the program does not know, a log without a name.
  EXPECT_EQ(5, RunSilently(product, {"/S", "/BOGUS", "/LOG=" + product.WinPath("bad.log")}));
  EXPECT_EQ((std::vector<std::string>{"error bad command line: unknown argument /BOGUS", "exit 5"}),
            LogLines(Log("bad.log")));
  EXPECT_EQ(5, RunSilently(product, {"/LOG="}));
  // 2: an error ends the run (a shortcut two missing folders deep).
  product.WriteSjis("SETUP.INI",
                    "[CopyFile]\r\nFile1=(App)\\SAMPLE.TXT\r\n"
                    "[ShortCut]\r\nMake1=(App)\\SAMPLE.TXT\r\nName1=(Sta)A\\B\\Viewer\r\n");
  product.WriteBytes("SAMPLE.TXT", "sample");
  EXPECT_EQ(2, RunSilently(product, {"/S", "/LOG=" + product.WinPath("error.log"),
                                     "/D=" + product.WinPath("My Apps")}));
  std::vector<std::string> log = LogLines(Log("error.log"));
  EXPECT_TRUE(Has(log, "error 不正なﾌｧｲﾙ名です.")) << Joined(log);
  EXPECT_FALSE(fs::exists(fs::path(product.folder()) / "My Apps/UNSETUP.INI"));
  // 3: another copy is running; without switches a second copy still ends
  // with 0, as it always did.
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code);
  EXPECT_EQ(3, RunSilently(product, {"/S"}));
  EXPECT_EQ(0, RunSilently(product, {}));
  Drive({"close", kMain});
  ASSERT_TRUE(AnswerBox("終了確認", kIdYes).has_value());
  EXPECT_TRUE(product.WaitExit(15000).has_value());
}

// A record changed after installation (a file outside the install folder
// and a key added to its lists) is said to be so: the run ends with 1, the
// outside file and key stay, the product's own files and registration go.
// A /LOG= name that is a symbolic link (made by the host's ln) is refused
// with 5, and the file it points at is left as it was.
TEST_F(Deploy, AChangedRecordReachesOnlyItsFolderAndALogLinkIsRefused) {
  ShipSample(product);
  ForgetSampleInstalls();
  ASSERT_EQ(0, RunSilently(product, {"/S", "/D=" + InstalledWin()}));
  product.WriteBytes("outside/KEEP.TXT", "the user's");
  RunInSession({"wine", "reg", "add", "HKCU\\Software\\QsKeep", "/v", "x", "/d", "y", "/f"});
  std::string record = ReadFile((Installed() / "UNSETUP.INI").string());
  const std::string files = "[DeleteFile]\r\n";
  ASSERT_NE(std::string::npos, record.find(files));
  record.insert(record.find(files) + files.size(),
                "File19=" + product.WinPath("outside\\KEEP.TXT") + ",/F\r\n");
  const std::string keys = "[DeleteRegistry]\r\n";
  ASSERT_NE(std::string::npos, record.find(keys));
  record.insert(record.find(keys) + keys.size(), "Key20=(Cuser)Software\\QsKeep\r\n");
  product.WriteBytes("My Apps/Sample/UNSETUP.INI", record);

  EXPECT_EQ(1, RunSilently(product, {product.WinPath("My Apps\\Sample\\UNSETUP.INI"), "/S",
                                     "/LOG=" + product.WinPath("changed.log")}));
  std::vector<std::string> log = LogLines(Log("changed.log"));
  SCOPED_TRACE(Joined(log));
  EXPECT_EQ("the user's", ReadFile((fs::path(product.folder()) / "outside/KEEP.TXT").string()));
  EXPECT_EQ("REG_SZ y", RegData("HKCU\\Software\\QsKeep", "x"));
  EXPECT_FALSE(fs::exists(Installed() / "SAMPLE.TXT"));
  EXPECT_EQ(std::nullopt, RegData(kRegistration, "UninstallString"));
  EXPECT_TRUE(Has(log, "message [警告] アンセットアップ情報（UNSETUP.INI）がセットアップ後に書き換えられています．"));
  EXPECT_TRUE(Has(log, "failed <File> " + product.WinPath("outside\\KEEP.TXT")));
  EXPECT_TRUE(Has(log, "failed <Registry> (Cuser)Software\\QsKeep"));
  EXPECT_EQ("exit 1", log.back());
  RunInSession({"wine", "reg", "delete", "HKCU\\Software\\QsKeep", "/f"});

  product.WriteBytes("victim.txt", "precious");
  fs::create_symlink(fs::path(product.folder()) / "victim.txt", Log("link.log"));
  EXPECT_EQ(5, RunSilently(product, {"/S", "/LOG=" + product.WinPath("link.log"),
                                     "/D=" + InstalledWin()}));
  EXPECT_EQ("precious", ReadFile((fs::path(product.folder()) / "victim.txt").string()));
  EXPECT_FALSE(fs::exists(Installed() / "SAMPLE.TXT"));
}

// /? shows a message box with the usage and nothing else; /LOG= alone
// leaves the window as it is and logs around it.
TEST_F(Deploy, UsageAndTheLoggedWindow) {
  product.Launch({"/?"});
  ASSERT_EQ(0, Drive({"wait", "Quillo! Setup for Windows32", "-t", "30000"}).code);
  EXPECT_EQ("0\n", Drive({"count", kMain}).out);
  EXPECT_EQ("0\n", Drive({"count", "class:TfrmBack"}).out);
  std::optional<std::string> usage = AnswerBox("Quillo! Setup for Windows32", kIdOk);
  ASSERT_TRUE(usage.has_value());
  for (const char* word : {"/S", "/D=", "/LOG=", "/OVERWRITE", "/OPEN", "/NODESKTOP",
                           "/NOSTARTMENU", "/NOSTARTUP", "/NOSENDTO", "5"}) {
    EXPECT_NE(std::string::npos, usage->find(word)) << word;
  }
  std::optional<int> code = product.WaitExit(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(0, *code);

  product.Launch({"/LOG=" + product.WinPath("window.log")});
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code);
  std::optional<Dump> main = DumpWindow(kMain);
  ASSERT_TRUE(main.has_value());
  EXPECT_EQ("終了(&E)", main->ById(ids::kBtnEnd).text());  // no SETUP.INI here
  Drive({"close", kMain});
  ASSERT_TRUE(AnswerBox("終了確認", kIdYes).has_value());
  code = product.WaitExit(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(0, *code);
  std::vector<std::string> log = LogLines(Log("window.log"));
  EXPECT_EQ("exit 0", log.back()) << Joined(log);
}

}  // namespace
}  // namespace qs::e2e
