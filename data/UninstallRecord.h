// The uninstall record UNSETUP.INI and the system registration.
//
// The record is a profile file in the install folder, written key by key in
// this order (a reader skips empty or missing keys up to the last number):
//
//   [Information]   Message1..3   a fixed warning for people; nothing reads it
//   [Title]         UnSetup       the uninstall title
//   [SetupFolder]   Folder        the install folder as the user confirmed it
//   [DeleteFolder]  Folder1..20   folders to remove, with trailing backslash
//   [DeleteFile]    File1..101    installed files, each followed directly by
//                                 its flag (",/F", ",/C", ",/L") when it has
//                                 one; the record lists itself
//   [DeleteShortCut] File1..20    shortcut (.lnk) files
//   [DeleteRegistry] Key1..20     registry keys with their root marker
//   [UnSetupRegistryKey] Key      the registration's key path
//
// The registration: under HKEY_LOCAL_MACHINE, the key
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<UnSetupKey> with the
// string values DisplayName (the key name) and UninstallString (the
// uninstaller in the Windows folder, a blank, the record's path in quotes).
#pragma once

#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/Slots.h"
#include "platform/Platform.h"

namespace qs {

inline constexpr int kDeleteFolders = 20;
inline constexpr int kDeleteFiles = 101;
inline constexpr int kDeleteShortCuts = 20;
inline constexpr int kDeleteRegistry = 20;

// What one installation's record will list.
struct DeleteLists {
  Slots<kDeleteFolders> folders;
  Slots<kDeleteFiles> files;
  Slots<kDeleteShortCuts> shortCuts;
  Slots<kDeleteRegistry> registry;
  Slots<kDeleteRegistry> setupRegistry;  // [DeleteRegistry] of SETUP.INI
};

namespace detail {
void AddToList(Platform& platform, std::string* slots, int count, const std::string& value);
}  // namespace detail

// Stores value in the first empty slot unless a slot already holds it
// (compared after upper-case mapping). Empty values and values that find
// no room are dropped.
template <size_t M>
void AddToDeleteList(Platform& platform, std::array<std::string, M>& list,
                     const std::string& value) {
  detail::AddToList(platform, list.data() + 1, static_cast<int>(M - 1), value);
}

// Records an installed file: a slot whose path (up to its first comma)
// equals path after upper-case mapping is replaced by path + flag, else
// the first empty slot takes it; a full list drops it.
void RecordInstalledFile(Platform& platform, Slots<kDeleteFiles>& files, const std::string& path,
                         const std::string& flag);

// Loads the lists of an earlier record, when there is one, into lists.
void MergeEarlierRecord(Platform& platform, const std::string& recordPath, DeleteLists& lists);

struct RecordSetting {
  std::string recordPath;     // install folder without trailing backslash + \UNSETUP.INI
  std::string installFolder;  // as the user confirmed it
  std::string unSetupTitle;
  std::string unSetupKey;     // [Title] UnSetupKey of the definition file
  std::string windowsFolder;
};

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + key name.
std::string UninstallKeyPath(const std::string& keyName);
// The uninstaller in the Windows folder, a blank, the record in quotes.
std::string UninstallCommand(const std::string& windowsFolder, const std::string& recordPath,
                             CodePage cp);

// Writes the record in its fixed order, then the registration. A
// registration key or value that cannot be written raises SetupError (the
// record is written by then); so does, after the registration, a record
// value that could not be written ("'<record path>' の設定に失敗しました"):
// an incomplete record would leave files behind silently. The three
// warning lines for people are not checked.
void WriteUninstallRecord(Platform& platform, const RecordSetting& setting, DeleteLists& lists,
                          CodePage cp);

// A record as the uninstaller reads it: folders and registry keys from the
// highest number down, files and shortcuts from 1 up, empty keys skipped.
struct RecordedFile {
  std::string path;
  std::string flag;  // the three characters from the first comma, or empty
  // The value went on after its flag: the comma was part of the file's own
  // path, and path is only a piece of it.
  bool cutInPath = false;
};
struct UninstallRecord {
  std::vector<std::string> folders;
  std::vector<RecordedFile> files;
  std::vector<std::string> shortCuts;
  std::vector<std::string> registryKeys;
  std::string setupFolder;
  std::string registrationKey;
};
UninstallRecord ReadUninstallRecord(Platform& platform, const std::string& recordPath);

}  // namespace qs
