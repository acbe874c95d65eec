// DLL planting: marker DLLs named after system DLLs that a program of this
// kind may load late sit beside SETUP.EXE (a downloads folder) and in the
// install folder (the uninstaller's current folder). Wine prefers its own
// copy of a DLL it implements, so the names are set native-first, as Windows
// treats every DLL that is not a KnownDLL. A mapped marker leaves
// "<name>.dll.mapped" beside itself.
//
// Two programs show what the check is worth: one that only imports what
// SETUP.EXE imports and ends at once (what the system maps while a process
// starts, before any code of ours runs: those names are left out), and an
// unhardened one doing the same work that must map at least one marker.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace fs = std::filesystem;
namespace {


// What Windows or Wine may load late on behalf of the user interface, the
// shell, common controls, COM and the registry; none is a KnownDLL.
const char* const kCandidates[] = {
    "uxtheme",   "dwmapi",     "propsys",   "oleacc",    "msimg32",     "winmm",
    "userenv",   "profapi",    "shfolder",  "riched20",  "riched32",    "msftedit",
    "cryptbase", "cryptsp",    "rsaenh",    "bcrypt",    "apphelp",     "textshaping",
    "version",   "wtsapi32",   "sspicli",   "secur32",   "ntmarta",     "mpr",
    "netapi32",  "iertutil",   "urlmon",    "wininet",   "setupapi",    "cfgmgr32",
    "devobj",    "windowscodecs", "linkinfo", "ntshrui", "cscapi",      "dbghelp",
    "powrprof",  "dwrite",     "d2d1",      "xmllite",   "comctl32",    "msi",
    "imagehlp",  "wintrust",   "crypt32",   "shdocvw",   "ieframe",     "explorerframe",
    "srvcli",    "wkscli",     "dnsapi",    "iphlpapi",  "winhttp",     "uiautomationcore",
    "thumbcache", "edputil",   "winsta",    "wldp",      "ntdsapi",     "clbcatq",
    "comres",    "dui70",      "duser",     "sxs",       "winspool.drv", "hhctrl.ocx"};

std::string TestDir() { return QS_WINDOWS_TEST_DIR; }

std::string FileName(const std::string& name) {
  return name.find('.') == std::string::npos ? name + ".dll" : name;
}

// Plants the marker under every name into folder.
void Plant(const fs::path& folder, const std::vector<std::string>& names) {
  fs::create_directories(folder);
  for (const std::string& name : names) {
    fs::copy_file(fs::path(TestDir()) / "plant_marker.dll", folder / FileName(name),
                  fs::copy_options::overwrite_existing);
  }
}

// The names whose markers were mapped, in the given folders.
std::set<std::string> Mapped(const std::vector<fs::path>& folders) {
  std::set<std::string> found;
  for (const fs::path& folder : folders) {
    if (!fs::exists(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::string file = entry.path().filename().string();
      const std::string suffix = ".mapped";
      if (file.size() > suffix.size() && file.ends_with(suffix)) {
        found.insert(file.substr(0, file.size() - suffix.size()));
      }
    }
  }
  return found;
}

std::string Joined(const std::set<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : " ") + name;
  return out.empty() ? "(none)" : out;
}

// Native-first overrides for the names, for programs started while it lives.
class NativeFirst {
 public:
  explicit NativeFirst(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ",") + name;
    ::setenv("QS_EXTRA_DLLOVERRIDES", (list + "=n,b").c_str(), 1);
  }
  ~NativeFirst() { ::unsetenv("QS_EXTRA_DLLOVERRIDES"); }
};

class Planting : public ::testing::Test {
 protected:
  // The candidates Wine maps while a process that imports what SETUP.EXE
  // imports starts, found by planting them all beside such a program until
  // no new one is mapped (a planted DLL without the exports a starting
  // process needs may end it before the next one is mapped).
  static void SetUpTestSuite() {
    std::vector<std::string> names(std::begin(kCandidates), std::end(kCandidates));
    const fs::path folder = fs::path(StateDir()) / "cases/planting-baseline";
    // A loaded machine can miss what one start maps: a round that finds
    // nothing is tried three times before it counts.
    for (int round = 0, empty = 0; round < 8 + 2; ++round) {
      fs::remove_all(folder);
      Plant(folder, names);
      fs::copy_file(fs::path(TestDir()) / "plant_bare.exe", folder / "plant_bare.exe");
      NativeFirst overrides(names);
      RunInSession({"wine", (folder / "plant_bare.exe").string()});
      std::set<std::string> mapped = Mapped({folder});
      if (mapped.empty() && ++empty == 3) break;
      for (const std::string& file : mapped) {
        baseline_.insert(file);
        std::erase_if(names, [&](const std::string& n) { return FileName(n) == file; });
      }
    }
    planted_ = names;
    std::printf("planting: %zu DLLs tried; mapped while a process starts (left out): %s\n",
                std::size(kCandidates), Joined(baseline_).c_str());
  }

  static std::set<std::string> baseline_;
  static std::vector<std::string> planted_;
};

std::set<std::string> Planting::baseline_;
std::vector<std::string> Planting::planted_;

TEST_F(Planting, AnUnhardenedProgramDoingTheSameWorkMapsAPlantedDll) {
  const fs::path folder = fs::path(StateDir()) / "cases/planting-control";
  fs::remove_all(folder);
  Plant(folder, planted_);
  fs::copy_file(fs::path(TestDir()) / "plant_unhardened.exe", folder / "plant_unhardened.exe");
  Product control("planting-control-run");
  {
    NativeFirst overrides(planted_);
    control.LaunchProgram((folder / "plant_unhardened.exe").string(), {WindowsPath(folder.string())},
                          folder.string());
  }
  // A planted DLL without the exports its user needs may stop the program
  // in an error box: the markers are looked for while it runs.
  std::set<std::string> mapped;
  for (int i = 0; i < 150 && mapped.empty(); ++i) {
    bool ended = !control.Running();
    mapped = Mapped({folder});
    if (ended) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::printf("planting: the unhardened program mapped %s\n", Joined(mapped).c_str());
  EXPECT_FALSE(mapped.empty()) << "the planted DLLs are never mapped: the test proves nothing";
}

TEST_F(Planting, SetupInstallsAndUninstallsWithoutMappingAPlantedDll) {
  // Nothing mapped proves as much as what was planted: Wine maps few of the
  // names while a process starts (version.dll under Wine 8), and a baseline
  // that took most of them would leave the check all but empty.
  ASSERT_GE(planted_.size(), std::size(kCandidates) * 3 / 4)
      << "left out as mapped at start: " << Joined(baseline_);
  Product product("planting-setup");
  const fs::path downloads = product.folder();
  const fs::path installed = downloads / "installed";
  product.WriteSjis("SETUP.INI",
                    "[Title]\r\nSetup=Planting\r\nUnSetupKey=Quillo Planting Test\r\n"
                    "[CopyFile]\r\nFile1=(App)\\SAMPLE.TXT\r\n"
                    "[ShortCut]\r\nMake1=(App)\\SAMPLE.TXT\r\nName1=(Sta)Quillo Planting\\Sample\r\n");
  product.WriteBytes("SAMPLE.TXT", "sample");
  Plant(downloads, planted_);
  Plant(installed, planted_);
  const fs::path appunset = fs::path(WinePrefix()) / "drive_c/windows/APPUNSET.EXE";
  if (fs::exists(appunset)) {
    fs::permissions(appunset, fs::perms::owner_write, fs::perm_options::add);
    fs::remove(appunset);
  }

  {
    NativeFirst overrides(planted_);
    product.Launch();
  }
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  // The folder browser, opened and cancelled.
  Click(ids::kBtnRefer);
  ASSERT_EQ(0, Drive({"wait", "class:#32770"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(AnswerBox("*", kIdCancel).has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(kMain, 0)) << "the folder browser did not close";
  SetText(ids::kTxtFolder, product.WinPath("installed") + "\\");
  Click(ids::kBtnSetup);
  ASSERT_EQ(0, Drive({"wait", "完了", "-t", "60000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(AnswerBox("完了", kIdOk).has_value());
  ASSERT_TRUE(product.WaitExit(20000).has_value()) << "the installer did not end";
  EXPECT_TRUE(fs::exists(installed / "SAMPLE.TXT"));
  EXPECT_TRUE(fs::exists(appunset));

  // The uninstaller as the registration starts it, from the install folder.
  Product remover("planting-remover");
  {
    NativeFirst overrides(planted_);
    remover.LaunchProgram(appunset.string(), {product.WinPath("installed\\UNSETUP.INI")},
                          installed.string());
  }
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  ASSERT_TRUE(WaitEnabled(ids::kBtnUnSetup));
  Click(ids::kBtnUnSetup);
  // The planted DLLs keep the install folder: the run offers its failure list.
  ASSERT_TRUE(AnswerBox("警告", kIdNo).has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(AnswerBox("完了", kIdOk).has_value()) << Drive({"windows"}).out;
  ASSERT_TRUE(remover.WaitExit(20000).has_value()) << "the uninstaller did not end";
  EXPECT_FALSE(fs::exists(installed / "SAMPLE.TXT"));

  std::set<std::string> mapped = Mapped({downloads, installed});
  std::printf("planting: %zu names planted in 2 folders; SETUP.EXE mapped %s\n", planted_.size(),
              Joined(mapped).c_str());
  EXPECT_TRUE(mapped.empty()) << "planted DLLs mapped: " << Joined(mapped);
}

}  // namespace
}  // namespace qs::e2e
