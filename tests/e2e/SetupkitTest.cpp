// setupkit against the real thing: the plan of the sample product against
// what SETUP.EXE really did under Wine, and the Windows build of the tool
// giving what the native one gives.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <fstream>
#include <sstream>

#include <strings.h>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {

const std::string kSetupkit = std::string(QS_BINARY_DIR) + "/setupkit";
const std::string kSetupkitExe = std::string(QS_WINDOWS_TEST_DIR) + "/setupkit.exe";
const std::string kShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The data of a registry value without its type ("" when missing).
std::string ValueData(const std::string& key, const std::string& name) {
  std::string data = RegData(key, name).value_or("");
  while (!data.empty() && (data.back() == '\r' || data.back() == '\n')) data.pop_back();
  size_t space = data.find(' ');
  return space == std::string::npos ? "" : data.substr(space + 1);
}

// Today's date where the tests run (the Wine session's too), as YYYYMMDD.
std::string Today() {
  std::time_t now = std::time(nullptr);
  char date[16] = {};
  std::strftime(date, sizeof date, "%Y%m%d", std::localtime(&now));
  return date;
}

// A Windows path of the session (C:\ in the prefix, Z:\ the root) on Linux,
// the case of each part found on disk.
fs::path UnixPath(const std::string& windowsPath) {
  fs::path at = windowsPath[0] == 'Z' ? fs::path("/") : fs::path(WinePrefix()) / "drive_c";
  std::istringstream parts(windowsPath.substr(3));
  for (std::string part; std::getline(parts, part, '\\');) {
    if (part.empty()) continue;
    fs::path next = at / part;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(at, ec)) {
      if (strcasecmp(entry.path().filename().c_str(), part.c_str()) == 0) next = entry.path();
    }
    at = next;
  }
  return at;
}

// The plan's options for this session's Windows and the given folder.
std::vector<std::string> LayoutOptions(const std::string& folder) {
  return {"--folder", folder, "--windows", "C:\\windows", "--system", "C:\\windows\\system32",
          "--desktop", ValueData(kShellFolders, "Desktop"),
          "--programs", ValueData(kShellFolders, "Programs"),
          "--startup", ValueData(kShellFolders, "Startup"),
          "--sendto", ValueData(kShellFolders, "SendTo")};
}

struct PlanStep {
  std::string kind, path, detail;
};

// The steps of the install part of a plan, and the record's lines; those
// of the uninstall part when asked for.
void ParsePlan(const std::string& plan, std::vector<PlanStep>* steps,
               std::vector<std::string>* record, std::vector<PlanStep>* removals = nullptr) {
  std::vector<PlanStep>* part = nullptr;
  for (const std::string& line : Lines(plan)) {
    if (line == "install:") part = steps;
    if (line.rfind("uninstall from", 0) == 0) part = removals;
    if (line == "failure list:" || line == "uninstall failure list:") part = nullptr;
    if (!part) continue;
    if (line.rfind("      ", 0) == 0) {
      if (part == steps) record->push_back(line.substr(6));
    } else if (line.rfind("  ", 0) == 0 && line.size() > 16) {
      PlanStep step{line.substr(2, line.find(' ', 2) - 2), line.substr(16), ""};
      if (size_t open = step.path.rfind("  ["); open != std::string::npos) {
        step.detail = step.path.substr(open + 3, step.path.size() - open - 4);
        step.path.resize(open);
      }
      part->push_back(step);
    }
  }
}

TEST(Setupkit, ThePlanOfTheSampleIsWhatTheRealInstallDid) {
  Product product("plan-sample");
  CommandResult pack = RunCaptured({kSetupkit, "pack", std::string(QS_SOURCE_DIR) + "/examples/sample",
                                    "-o", product.folder(), "--force", "--setup-exe",
                                    std::string(QS_WINDOWS_TEST_DIR) + "/SETUP.EXE"});
  ASSERT_EQ(0, pack.code) << pack.out;
  const std::string installed = product.WinPath("installed") + "\\";
  const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
  if (fs::exists(appunset)) {
    fs::permissions(appunset, fs::perms::owner_write, fs::perm_options::add);
    fs::remove(appunset);
  }
  RegDelete("HKCU\\Software\\Quillo");
  std::vector<std::string> args = {kSetupkit, "plan", product.folder()};
  for (const std::string& option : LayoutOptions(installed)) args.push_back(option);
  CommandResult plan = RunCaptured(args);
  ASSERT_EQ(0, plan.code) << plan.out;

  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  Click(ids::kBtnContinue);  // past the readme
  ASSERT_TRUE(WaitEnabled(ids::kBtnSetup));
  SetText(ids::kTxtFolder, installed);
  Click(ids::kBtnSetup);
  ASSERT_TRUE(AnswerBox("フォルダ作成", kIdYes).has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(ConfirmCompletion(product));

  std::vector<PlanStep> steps;
  std::vector<std::string> record;
  ParsePlan(plan.out, &steps, &record);
  ASSERT_FALSE(steps.empty()) << plan.out;
  ASSERT_FALSE(record.empty()) << plan.out;
  // The record, line for line.
  std::vector<std::string> written;
  for (const std::string& line : Lines(ReadText(product.folder() + "/installed/UNSETUP.INI"))) {
    if (!line.empty()) written.push_back(line);
  }
  EXPECT_EQ(record, written) << plan.out;
  // The registration has every value of its layout (the sample names a
  // version and a publisher); the record's digest is the real one's, as the
  // record is byte for byte.
  std::set<std::string> registered;
  for (const PlanStep& step : steps) {
    if (step.kind == "registration") registered.insert(step.detail.substr(0, step.detail.find(" = ")));
  }
  EXPECT_EQ((std::set<std::string>{"DisplayName", "UninstallString", "QuietUninstallString",
                                   "DisplayIcon", "InstallLocation", "DisplayVersion", "Publisher",
                                   "InstallDate", "EstimatedSize", "NoModify", "NoRepair",
                                   "UninstallRecordSHA256"}),
            registered)
      << plan.out;
  // Every step's effect is there.
  for (const PlanStep& step : steps) {
    SCOPED_TRACE(step.kind + " " + step.path);
    if (step.kind == "folder") {
      EXPECT_TRUE(fs::is_directory(UnixPath(step.path)));
    } else if (step.kind == "file") {
      ASSERT_TRUE(fs::is_regular_file(UnixPath(step.path)));
      std::string size = std::to_string(fs::file_size(UnixPath(step.path))) + " bytes";
      EXPECT_NE(std::string::npos, step.detail.find(size)) << step.detail;
    } else if (step.kind == "shortcut" || step.kind == "uninstaller" || step.kind == "record") {
      EXPECT_TRUE(fs::is_regular_file(UnixPath(step.path)));
    } else if (step.kind == "registry" || step.kind == "registration") {
      std::string name = step.detail.substr(0, step.detail.find(" = "));
      std::string data = ValueData(step.path, name);
      std::string want = step.detail.substr(step.detail.find(" = ") + 3);
      if (want.rfind("REG_DWORD ", 0) == 0) {
        EXPECT_EQ(std::stoul(want.substr(10)), std::stoul(data, nullptr, 16));
      } else if (name == "InstallDate" && want.substr(8, want.size() - 9) != data) {
        EXPECT_EQ(Today(), data) << "neither the plan's day nor today";  // midnight passed
      } else {
        EXPECT_EQ(want.substr(8, want.size() - 9), data);
      }
    }
  }

  // Leave the session as it was: the registration, the keys and the links.
  RegDelete("HKCU\\Software\\Quillo");
  RegDelete(std::string(kUninstallKey) + "Quillo Sample Product");
  for (const PlanStep& step : steps) {
    if (step.kind == "shortcut") fs::remove(UnixPath(step.path));
  }
}

// The /LOG= of a /S install and uninstall of the sample is, step for step,
// what the plan of the same runs says: both are what the runs tell.
TEST(Setupkit, TheSilentLogIsThePlanStepForStep) {
  Product product("plan-log");
  ShipSample(product);
  ForgetSampleInstalls();
  const std::string installed = product.WinPath("installed");
  std::vector<std::string> args = {kSetupkit, "plan", product.folder(), "--silent"};
  for (const std::string& option : LayoutOptions(installed)) args.push_back(option);
  CommandResult plan = RunCaptured(args);
  ASSERT_EQ(0, plan.code) << plan.out;
  std::vector<PlanStep> planned, record;
  std::vector<std::string> recordLines;
  ParsePlan(plan.out, &planned, &recordLines, &record);
  ASSERT_FALSE(record.empty()) << plan.out;
  planned.insert(planned.end(), record.begin(), record.end());

  ASSERT_EQ(0, product.RunAgain({"/S", "/LOG=" + product.WinPath("run.log"), "/D=" + installed},
                                60000));
  ASSERT_EQ(1, product.RunAgain({installed + "\\UNSETUP.INI", "/S",
                                 "/LOG=" + product.WinPath("run.log")}, 60000));
  // The log's steps as the plan writes them: folders with their backslash,
  // keys under their roots' full names, the runs' own working folder left
  // out, "-failed" as the detail's "fails".
  static const std::set<std::string> kKinds = {
      "folder", "file", "shortcut", "registry", "uninstaller", "record", "registration",
      "open", "not-opened", "delete", "remove-folder", "delete-key"};
  static const std::pair<const char*, const char*> kRoots[] = {
      {"HKCR\\", "HKEY_CLASSES_ROOT\\"}, {"HKCU\\", "HKEY_CURRENT_USER\\"},
      {"HKLM\\", "HKEY_LOCAL_MACHINE\\"}, {"HKU\\", "HKEY_USERS\\"}};
  std::vector<PlanStep> logged;
  std::string log = ReadFile(product.folder() + "/run.log");
  for (const std::string& line : Lines(log)) {
    if (line.size() < 21) continue;
    const std::string entry = line.substr(20);
    std::string kind = entry.substr(0, entry.find(' '));
    if (kind.size() > 7 && kind.compare(kind.size() - 7, 7, "-failed") == 0) kind.resize(kind.size() - 7);
    if (!kKinds.count(kind)) continue;
    PlanStep step{kind, entry.substr(entry.find(' ') + 1), ""};
    if (size_t open = step.path.find("  ["); open != std::string::npos) {
      step.detail = step.path.substr(open + 3, step.path.size() - open - 4);
      step.path.resize(open);
    }
    if (step.path.find("\\Temp\\QS") != std::string::npos) continue;
    if ((kind == "folder" || kind == "remove-folder") && step.path.back() != '\\') step.path += '\\';
    for (const auto& [brief, full] : kRoots) {
      if (step.path.rfind(brief, 0) == 0) step.path = full + step.path.substr(std::strlen(brief));
    }
    logged.push_back(step);
  }
  std::string want, got;
  for (const PlanStep& step : planned) want += step.kind + " " + step.path + " [" + step.detail + "]\n";
  for (const PlanStep& step : logged) got += step.kind + " " + step.path + " [" + step.detail + "]\n";
  EXPECT_EQ(want, got) << "the log:\n" << log;
  RegDelete("HKCU\\Software\\Quillo");
}

// The Windows build of the tool gives what the native one gives: the same
// product folder from pack, the same plan, the same verdict from check.
TEST(Setupkit, TheWindowsBuildGivesWhatTheNativeOneGives) {
  const fs::path work = fs::path(StateDir()) / "cases/setupkit-exe";
  fs::remove_all(work);
  fs::create_directories(work);
  const std::string source = std::string(QS_SOURCE_DIR) + "/examples/sample";
  // setupkit.exe ships the SETUP.EXE beside it; the native one is told.
  CommandResult native = RunCaptured({kSetupkit, "pack", source, "-o", (work / "native").string(),
                                      "--setup-exe", std::string(QS_WINDOWS_TEST_DIR) + "/SETUP.EXE"});
  ASSERT_EQ(0, native.code) << native.out;
  CommandResult windows = RunInSession({"wine", kSetupkitExe, "pack", WindowsPath(source), "-o",
                                        WindowsPath((work / "windows").string())});
  ASSERT_EQ(0, windows.code) << windows.out;
  for (const char* name : {"SETUP.INI", "README.TXT", "SAMPLE.TXT", "MANUAL.TX_", "SETUP.EXE"}) {
    EXPECT_EQ(ReadFile((work / "native" / name).string()), ReadFile((work / "windows" / name).string()))
        << name;
  }

  CommandResult nativePlan = RunCaptured({kSetupkit, "plan", (work / "native").string()});
  CommandResult windowsPlan =
      RunInSession({"wine", kSetupkitExe, "plan", WindowsPath((work / "windows").string())});
  EXPECT_EQ(0, windowsPlan.code);
  std::string crlfless;
  for (char c : windowsPlan.out) {
    if (c != '\r') crlfless += c;
  }
  EXPECT_EQ(nativePlan.out, crlfless);

  // A crafted mistake: the same finding, the same exit code, in JSON too.
  std::ofstream(work / "windows/SETUP.INI", std::ios::app) << "[ExecuteFile]\r\nFile=(app)\\SAMPLE.TXT\r\n";
  CommandResult check = RunInSession({"wine", kSetupkitExe, "check", "--format", "json",
                                      WindowsPath((work / "windows").string())});
  EXPECT_EQ(1, check.code) << check.out;  // findings
  EXPECT_NE(std::string::npos, check.out.find("write '(App)'")) << check.out;
  EXPECT_NE(std::string::npos, check.out.find("\"errors\": 1")) << check.out;
}

// A character Shift-JIS lacks makes both builds write the definition in
// UTF-8 after a byte-order mark, also where the system would write a
// look-alike (Windows turns "é" into "e"), and say so: never a definition
// file that says something else.
TEST(Setupkit, BothBuildsKeepACharacterShiftJisLacks) {
  const fs::path work = fs::path(StateDir()) / "cases/setupkit-lacking";
  fs::remove_all(work);
  fs::create_directories(work);
  const fs::path source = work / "source";
  fs::copy(fs::path(QS_SOURCE_DIR) / "examples/sample", source, fs::copy_options::recursive);
  std::ofstream(source / "SETUP.INI", std::ios::app) << "; Caf\xC3\xA9\r\n";
  CommandResult native = RunCaptured({kSetupkit, "pack", source.string(), "-o", (work / "native").string(),
                                      "--setup-exe", std::string(QS_WINDOWS_TEST_DIR) + "/SETUP.EXE"});
  CommandResult windows = RunInSession({"wine", kSetupkitExe, "pack", WindowsPath(source.string()), "-o",
                                        WindowsPath((work / "windows").string())});
  EXPECT_EQ(0, native.code) << native.out;
  EXPECT_EQ(0, windows.code) << windows.out;
  for (const CommandResult& result : {native, windows}) {
    EXPECT_NE(std::string::npos, result.out.find("SETUP.INI in UTF-8 with a byte-order mark ('\xC3\xA9'"))
        << result.out;
  }
  for (const char* built : {"native", "windows"}) {
    std::string ini = ReadFile((work / built / "SETUP.INI").string());
    EXPECT_EQ("\xEF\xBB\xBF", ini.substr(0, 3)) << built;
    EXPECT_NE(std::string::npos, ini.find("; Caf\xC3\xA9\r\n")) << built;
  }
}

}  // namespace
}  // namespace qs::e2e
