// libFuzzer target: UNSETUP.INI bytes, then the whole uninstall run against
// a fake world holding an installed product and unrelated files, folders and
// keys. The oracle: the run ends normally or with the standard error report;
// it removes nothing its record does not name, never a root or first-level
// registry key, never a special folder itself.
//
// A long run, from the native build folder:
//   mkdir -p uninstall-corpus && ./uninstall_fuzz -max_total_time=3600 uninstall-corpus
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "data/UninstallRecord.h"
#include "tests/support/FakeRunWindow.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/RunChecks.h"
#include "uninstall/UninstallRun.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t script = data[0];
  const std::string record(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string copy = "C:\\TEMP\\UNSETUP.INI";

  test::FakePlatform os;
  os.specialFolders = {{kCsidlDesktop, "C:\\Desktop"}, {kCsidlPrograms, "C:\\Programs"},
                       {kCsidlStartup, "C:\\Programs\\Startup"}, {kCsidlSendTo, "C:\\SendTo"}};
  for (const auto& [csidl, folder] : os.specialFolders) os.AddFolder(folder);
  os.AddFolder("C:\\WINDOWS\\SYSTEM32");
  os.AddFile("C:\\APP\\A.TXT", "a");
  os.AddFile("C:\\APP\\SUB\\B.DLL", "b");
  os.AddFile("C:\\WINDOWS\\SYSTEM32\\C.DLL", "c");
  os.AddFile("C:\\Desktop\\A.lnk", "link");
  os.AddFile("C:\\Programs\\App\\A.lnk", "link");
  os.AddFile("C:\\USER\\MINE.DAT", "mine");
  os.AddFolder("C:\\EMPTY");
  for (const char* key : {"Software\\App\\Sub", "Software\\Other", "Control Panel\\Desktop"}) {
    os.CreateRegistryKey(RegRoot::CurrentUser, key);
  }
  os.CreateRegistryKey(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App");
  os.CreateRegistryKey(RegRoot::ClassesRoot, ".app\\shell");
  os.AddFile(copy, record);

  ProgramValues values = test::WorldValues(copy, "Fuzz");
  test::FakeRunWindow window;
  for (int i = 0; i < 8; ++i) window.answers.push_back((script >> i) & 1 ? kIdYes : kIdNo);

  std::vector<std::string> problems;
  const test::RecordNames named = test::NamedByRecord(os, copy, problems);
  const test::Snapshot before = test::Take(os);

  test::FaultyPlatform counted(os, 200000);  // nothing armed: counts calls, stops a hang
  bool reported = false;
  try {
    UninstallRun(counted, window, values, kCp932).Run();
  } catch (const SetupError&) {
    reported = true;
  }
  if (reported == window.ended) problems.push_back("neither ended nor reported, or both");
  test::CheckRemovedOnlyWhatIsNamed(os, before, named.entries, named.registration, copy, problems);
  if (!problems.empty()) {
    for (const std::string& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
