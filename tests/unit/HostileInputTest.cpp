// Hostile and odd definition files, table-driven: each is installed, then
// uninstalled from the record it left, against the fake world. Every row
// must end normally or with the standard error report, as it says, never
// touch the user's files, and the uninstall must remove only what the
// record names; a row also names the files that must arrive (the readable
// part of the file still works) and those that must not.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "flow/ControlIds.h"
#include "flow/MainForm.h"
#include "core/SetupError.h"
#include "core/ShortCut.h"
#include "data/UninstallRecord.h"
#include "install/InstallRun.h"
#include "tests/support/FakeRunWindow.h"
#include "tests/support/FakeView.h"
#include "tests/support/FaultyPlatform.h"
#include "tests/support/RunChecks.h"
#include "uninstall/UninstallRun.h"

namespace qs {
namespace {

// A literal's bytes, NULs included.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// The text in UTF-16 (little-endian) with its byte-order mark.
std::string Utf16(const std::string& ascii) {
  std::string out = "\xff\xfe";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

std::string Numbered(const char* key, int count, const std::string& value) {
  std::string lines;
  for (int n = 1; n <= count; ++n) lines += key + std::to_string(n) + "=" + value + "\r\n";
  return lines;
}

struct HostileCase {
  const char* what;
  std::string ini;
  std::vector<std::string> arrives;  // installed files, below C:\APP
  std::vector<std::string> absent;   // paths that must not exist afterwards
  // The install ends normally, and the row goes on to be uninstalled from
  // the record it left; false: the install ends in the standard error report.
  bool uninstalls = true;
};

const std::string kLong300 = "(App)\\" + std::string(300, 'x') + ".TXT";
const std::string kLong70k = "(App)\\" + std::string(70000, 'y') + ".TXT";

const HostileCase kCases[] = {
    {"a value of 300 characters is cut, its file skipped",
     "[CopyFile]\r\nFile1=" + kLong300 + "\r\nFile2=(App)\\A.TXT\r\n", {"A.TXT"}, {}},
    {"a value of 70,000 characters",
     "[CopyFile]\r\nFile1=" + kLong70k + "\r\nFile2=(App)\\A.TXT\r\n[ShortCut]\r\nMake1=" +
         kLong70k + "\r\nName1=" + std::string(70000, 'n') + "\r\n",
     {"A.TXT"}, {}},
    {"keys without =", "[CopyFile]\r\nFile1\r\n=\r\nFile2=(App)\\A.TXT\r\n[Registry]\r\nKey1\r\n",
     {"A.TXT"}, {}},
    {"a section given twice", "[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[CopyFile]\r\nFile1=(App)\\B.TXT\r\n",
     {"A.TXT"}, {"C:\\APP\\B.TXT"}},
    {"a carriage return inside a value", "[CopyFile]\r\nFile1=(App)\\A.TXT\rFile2=(App)\\B.TXT\r\n",
     {"A.TXT"}, {}},
    {"a NUL ends a value", Bytes("[CopyFile]\r\nFile1=(App)\\A.TXT\0junk\r\nFile2=(App)\\B.TXT\r\n"),
     {"A.TXT", "B.TXT"}, {}},
    {"paths climbing out with ..",
     "[MakeFolder]\r\nFolder1=(App)\\..\\..\\X\r\n[CopyFile]\r\nFile1=(App)\\..\\USER\\MINE.DAT\r\n"
     "File2=(App)\\A.TXT\r\n",
     {"A.TXT"}, {}},
    {"UNC and drive-relative paths",
     "[MakeFolder]\r\nFolder1=\\\\server\\share\\X\r\nFolder2=D:X\r\n[CopyFile]\r\n"
     "File1=\\\\server\\share\\A.TXT\r\nFile2=D:A.TXT\r\nFile3=(App)\\B.TXT\r\n",
     {"B.TXT"}, {}},
    {"names with <>:\"|?*",
     "[MakeFolder]\r\nFolder1=(App)\\a<b>c\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\n"
     "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=(Dsk)a|b?c*\r\n",
     {"A.TXT"}, {}},
    {"invalid Shift-JIS lead and trail bytes",
     "[MakeFolder]\r\nFolder1=(App)\\\x81\r\nFolder2=(App)\\\x81\x7f\\\r\n[CopyFile]\r\n"
     "File1=(App)\\\xfc\r\nFile2=(App)\\A.TXT\xe0\r\nFile3=(App)\\B.TXT\r\n"
     "[ShortCut]\r\nMake1=(App)\\B.TXT\r\nName1=(Dsk)\x81\r\n",
     {"B.TXT"}, {}},
    {"UTF-8 with a byte-order mark", "\xef\xbb\xbf[CopyFile]\r\nFile1=(App)\\A.TXT\r\n", {"A.TXT"}, {}},
    {"UTF-16 with a byte-order mark", Utf16("[CopyFile]\r\nFile1=(App)\\B.TXT\r\n"), {"B.TXT"}, {}},
    {"a thousand numbered keys",
     "[MakeFolder]\r\n" + Numbered("Folder", 1000, "(App)\\F") + "[CopyFile]\r\n" +
         Numbered("File", 1000, "(App)\\A.TXT") + "[ShortCut]\r\n" +
         Numbered("Make", 1000, "(App)\\A.TXT") + "[Registry]\r\n" +
         Numbered("Key", 1000, "(Cuser)Software\\Fuzz") + Numbered("Name", 1000, "N") +
         "[DeleteRegistry]\r\n" + Numbered("Key", 1000, "(Cuser)Software\\Fuzz"),
     {"A.TXT"}, {}},
    {"a shortcut two missing folders deep ends the run",
     "[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[ShortCut]\r\nMake1=(App)\\A.TXT\r\n"
     "Name1=(Sta)A\\B\\Viewer\r\n",
     {"A.TXT"}, {"C:\\APP\\UNSETUP.INI"}, false},
};

void Prepare(test::FakePlatform& os) {
  os.specialFolders = {{kCsidlDesktop, "C:\\Desktop"}, {kCsidlPrograms, "C:\\Programs"}};
  for (const auto& [csidl, folder] : os.specialFolders) os.AddFolder(folder);
  os.AddFolder("C:\\TEMP");
  os.AddFolder("C:\\WINDOWS\\SYSTEM32");
  os.AddFolder("C:\\APP");
  os.AddFile("C:\\CD\\SETUP.EXE", "MZ");
  os.AddFile("C:\\CD\\A.TXT", "a");
  os.AddFile("C:\\CD\\B.TXT", "b");
  os.AddFile("C:\\USER\\MINE.DAT", "mine");
  os.CreateRegistryKey(RegRoot::CurrentUser, "Software\\Other");
}

ProgramValues Values(const std::string& infoFile, const std::string& record = "") {
  return test::WorldValues(infoFile, "Odd", record);
}

// Runs run; true when it ended normally, false after the standard error
// report. Anything else thrown fails the test.
template <typename Run>
bool Ends(test::FakeRunWindow& window, Run run) {
  try {
    run();
  } catch (const SetupError& error) {
    EXPECT_FALSE(window.ended);
    EXPECT_FALSE(std::string(error.what()).empty());
    return false;
  }
  EXPECT_TRUE(window.ended);
  return true;
}

TEST(HostileInput, DefinitionFilesInstallWhatTheyCanAndUninstallCleanly) {
  for (const HostileCase& row : kCases) {
    SCOPED_TRACE(row.what);
    test::FakePlatform os;
    Prepare(os);
    os.AddFile("C:\\CD\\SETUP.INI", row.ini);
    test::Snapshot start = test::Take(os);
    test::FaultyPlatform counted(os, 2000000);  // nothing armed: stops a hang
    test::FakeRunWindow window;
    window.options.installFolder = "C:\\APP\\";
    window.answers = std::deque<int>(10, kIdYes);
    InstallPlan plan;
    ProgramValues values = Values("C:\\CD\\SETUP.INI");
    bool ended = Ends(window, [&] { InstallRun(counted, window, plan, values, kCp932).Run(); });
    EXPECT_EQ(std::optional<std::string>("mine"), os.Contents("C:\\USER\\MINE.DAT"));
    for (const std::string& name : row.arrives) {
      EXPECT_EQ(os.Contents("C:\\CD\\" + name), os.Contents("C:\\APP\\" + name)) << name;
    }
    for (const std::string& path : row.absent) EXPECT_EQ(kInvalidAttributes, os.Attributes(path)) << path;
    EXPECT_EQ(row.uninstalls, ended) << (ended ? "ended normally, not in the error report"
                                               : "ended in the error report, not normally");
    std::optional<std::string> written = os.Contents("C:\\APP\\UNSETUP.INI");
    EXPECT_TRUE(written || !ended) << "ended normally without leaving its record";
    if (!ended || !written) continue;

    os.AddFile("C:\\TEMP\\UNSETUP.INI", *written);
    std::vector<std::string> problems;
    test::RecordNames named = test::NamedByRecord(os, "C:\\TEMP\\UNSETUP.INI", problems);
    test::Snapshot installed = test::Take(os);
    test::FakeRunWindow remover;
    remover.answers = std::deque<int>(10, kIdYes);
    ProgramValues recordValues = Values("C:\\TEMP\\UNSETUP.INI", "C:\\APP\\UNSETUP.INI");
    const test::Trust trust = test::TrustOf(os, "C:\\TEMP\\UNSETUP.INI",
                                            UninstallKeyPath("Odd"), recordValues.recordFile);
    EXPECT_EQ(test::Trust::Signed, trust) << "the installed record is not signed";
    Ends(remover, [&] { UninstallRun(counted, remover, recordValues, kCp932).Run(); });
    test::CheckRemovedOnlyWhatIsNamed(os, installed, named, test::PlacesOf(os, recordValues, trust),
                                      "C:\\TEMP\\UNSETUP.INI", problems);
    for (const std::string& problem : problems) ADD_FAILURE() << problem;
    // Nothing that was there before the install is gone.
    for (const auto& [path, data] : start.files) {
      EXPECT_TRUE(os.Contents(path).has_value()) << "lost: " << path;
    }
  }
}

TEST(HostileInput, ATenMebibyteReadmeIsShownWhole) {
  test::FakePlatform os;
  os.modulePath = "C:\\CD\\SETUP.EXE";
  os.AddFolder("C:\\TEMP");
  os.AddFile("C:\\CD\\SETUP.INI", "[Readme]\r\nFile=README.TXT\r\n");
  std::string readme;
  for (int i = 0; readme.size() < (10u << 20); ++i) readme += "line " + std::to_string(i) + "\n";
  os.AddFile("C:\\CD\\README.TXT", readme);
  test::FakeView view;
  InstallPlan plan;
  MainForm form(os, view, plan);
  form.FormActivate();
  ASSERT_TRUE(view.At(ids::kFraReadme).visible);
  // Line feeds become CR LF; nothing is cut.
  EXPECT_EQ(readme.size() + std::count(readme.begin(), readme.end(), '\n'),
            view.At(ids::kTxtReadme).text.size());
}

}  // namespace
}  // namespace qs
