// libFuzzer target: a script byte and UNSETUP.INI bytes, then the whole
// uninstall run against a fake world holding an installed product, links
// and a junction leading out of its folder, and unrelated files, folders and
// keys, the system's among them. The script's low six bits answer the
// questions; its top two choose the registration: one that names the record
// and holds its digest, names it without a digest, holds another digest, or
// names another record. The oracle: the run ends normally or with the
// standard error report; it removes nothing its record does not name,
// nothing outside the places a definition can name (less from a changed
// record), never a root, system or unmade first-level registry key, never
// a special folder itself, never what a link points at.
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
  os.AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\D.SYS", "driver");
  os.AddFile("C:\\WINDOWS\\WIN.INI", "the system's");
  os.AddFile("C:\\Program Files\\Other\\O.EXE", "another product's");
  os.AddLink("C:\\APP\\JUNCTION", "C:\\WINDOWS\\SYSTEM32", true);
  os.AddLink("C:\\APP\\LINK.TXT", "C:\\USER\\MINE.DAT", false);
  os.AddFolder("C:\\EMPTY");
  for (const char* key : {"Software\\App\\Sub", "Software\\Other", "Control Panel\\Desktop",
                          "Environment\\Sub"}) {
    os.CreateRegistryKey(RegRoot::CurrentUser, key);
  }
  const std::string registration = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
  os.CreateRegistryKey(RegRoot::LocalMachine, registration);
  os.CreateRegistryKey(RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services");
  os.CreateRegistryKey(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.other\\shell");
  for (const char* key : {".app\\shell", ".txt\\ShellNew", "CLSID\\{0}", "Made\\Sub"}) {
    os.CreateRegistryKey(RegRoot::ClassesRoot, key);
  }
  os.AddRegistryLink(RegRoot::CurrentUser, "Software\\App\\Link", RegRoot::LocalMachine, "SYSTEM");
  os.AddFile(copy, record);

  const std::string recordFile = "C:\\APP\\UNSETUP.INI";
  const int trust = script >> 6;
  auto value = [&](const char* name, const std::string& text) {
    os.SetRegistryValue(RegRoot::LocalMachine, registration, name, {RegValue::Kind::String, text, 0});
  };
  value("UninstallString", "C:\\WINDOWS\\APPUNSET.EXE \"" +
                               std::string(trust == 3 ? "C:\\OTHER\\UNSETUP.INI" : recordFile) + "\"");
  if (trust != 1) value("UninstallRecordSHA256", DigestText(trust == 2 ? record + " " : record));

  ProgramValues values = test::WorldValues(copy, "Fuzz", recordFile);
  test::FakeRunWindow window;
  for (int i = 0; i < 6; ++i) window.answers.push_back((script >> i) & 1 ? kIdYes : kIdNo);

  std::vector<std::string> problems;
  const test::RecordNames named = test::NamedByRecord(os, copy, problems);
  const test::Places places =
      test::PlacesOf(os, values, test::TrustOf(os, copy, registration, recordFile));
  const test::Snapshot before = test::Take(os);

  test::FaultyPlatform counted(os, 200000);  // nothing armed: counts calls, stops a hang
  bool reported = false;
  try {
    UninstallRun(counted, window, values, kCp932).Run();
  } catch (const SetupError&) {
    reported = true;
  }
  if (reported == window.ended) problems.push_back("neither ended nor reported, or both");
  test::CheckRemovedOnlyWhatIsNamed(os, before, named, places, copy, problems);
  if (os.Contents("C:\\USER\\MINE.DAT") != std::optional<std::string>("mine") ||
      !os.RegistryKeyExists(RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services")) {
    problems.push_back("what a link points at was touched");
  }
  if (!problems.empty()) {
    for (const std::string& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
