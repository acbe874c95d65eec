// libFuzzer target: SETUP.INI bytes, then gathering the plan and the whole
// install run against the fake world, the window's answers scripted from the
// input's first byte. The run must end normally or with the standard error
// report, never crash, hang or throw anything else; the user's file beside
// the product and the unrelated registry key must stay.
//
// A long run, from the native build folder:
//   mkdir -p install-corpus && ./install_fuzz -max_total_time=3600 install-corpus
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "install/InstallRun.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeRunWindow.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/RunChecks.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t script = data[0];
  std::string ini(reinterpret_cast<const char*>(data) + 1, size - 1);

  test::FakePlatform os;
  os.specialFolders = {{kCsidlDesktop, "C:\\Desktop"}, {kCsidlPrograms, "C:\\Programs"},
                       {kCsidlStartup, "C:\\Programs\\Startup"}, {kCsidlSendTo, "C:\\SendTo"}};
  for (const auto& [csidl, folder] : os.specialFolders) os.AddFolder(folder);
  os.AddFolder("C:\\TEMP");
  os.AddFolder("C:\\WINDOWS\\SYSTEM32");
  os.AddFile("C:\\CD\\SETUP.INI", ini);
  os.AddFile("C:\\CD\\SETUP.EXE", "MZ");
  os.AddFile("C:\\CD\\A.TXT", "a");
  static const std::string kCompressed = SzddCompress("library", 'l');
  os.AddFile("C:\\CD\\B.DL_", kCompressed);
  os.AddFile("C:\\CD\\E.TXT", "");
  os.AddFile("C:\\USER\\MINE.DAT", "mine");
  os.CreateRegistryKey(RegRoot::CurrentUser, "Software\\Other");

  ProgramValues values = test::WorldValues("C:\\CD\\SETUP.INI", "Fuzz");
  test::FakeRunWindow window;
  window.options.installFolder = script & 1 ? "C:\\APP\\" : "C:\\New\\App";
  window.options.overwriteAll = script & 2;
  window.options.shortCutOnDesktop = script & 4;
  for (int i = 0; i < 8; ++i) window.answers.push_back((script >> i) & 1 ? kIdYes : kIdNo);
  os.AddFolder("C:\\APP");

  test::FaultyPlatform counted(os, 200000);  // nothing armed: counts calls, stops a hang
  InstallPlan plan;
  bool reported = false;
  try {
    InstallRun(counted, window, plan, values, kCp932).Run();
  } catch (const SetupError&) {
    reported = true;
  }
  // Anything else thrown (a hang included) reaches libFuzzer as a crash.
  if (reported == window.ended) {
    std::fprintf(stderr, "the run %s\n", reported ? "ended after an error" : "neither ended nor failed");
    std::abort();
  }
  bool mineKept = os.Contents("C:\\USER\\MINE.DAT") == std::optional<std::string>("mine") ||
                  ini.find("MINE") != std::string::npos || ini.find("mine") != std::string::npos;
  if (!mineKept || !os.RegistryKeyExists(RegRoot::CurrentUser, "Software\\Other")) {
    std::fprintf(stderr, "a file or key the definition does not name was touched\n");
    std::abort();
  }
  return 0;
}
