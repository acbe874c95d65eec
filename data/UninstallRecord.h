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
//                                 one; the record lists itself. A value
//                                 carries a flag only when it ends with one:
//                                 a path may hold commas (C:\Acme, Inc\X)
//   [DeleteShortCut] File1..20    shortcut (.lnk) files
//   [DeleteRegistry] Key1..20     registry keys with their root marker
//   [UnSetupRegistryKey] Key      the registration's key path
//   [CreatedRegistry] Key1..20    first-level keys (in the system's view,
//                                 data/RegistryView.h) that the product's
//                                 [Registry] made, with their root marker;
//                                 written only when there are any, and
//                                 ignored by older uninstallers
//   [CreatedFolder] Folder1..20   the levels above the install folder that
//                                 the installation made (a /S run makes
//                                 every missing one), from the top down,
//                                 with trailing backslash; written only when
//                                 there are any
//
// The record's form: Shift-JIS (code page 932), byte for byte the file the
// program has always written, while every value fits in Shift-JIS; as soon
// as one does not (a path with 𠮷 or ö in it), the whole file is UTF-16LE
// after the byte-order mark FF FE, which the system's own profile functions
// read too. The uninstaller reads both forms, and a reinstall merges an
// earlier record of either form (the rule lives in platform/ProfileText.h).
//
// The registration: under HKEY_LOCAL_MACHINE, the key
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<UnSetupKey>, what the
// list of installed programs shows, with these values (the uninstall
// removes the key whole):
//
//   DisplayName           string  the key name
//   UninstallString       string  the uninstaller in the Windows folder, a
//                                 blank, the record's path in quotes
//   QuietUninstallString  string  the same, then " /S" (no window)
//   DisplayIcon           string  the uninstaller, whose icon the list shows
//   InstallLocation       string  the install folder as the user confirmed it
//   DisplayVersion        string  [Title] Version; not written when empty
//   Publisher             string  [Title] Publisher; not written when empty
//   InstallDate           string  the day of the installation, YYYYMMDD
//   EstimatedSize         DWORD   KiB of the files the run installed, rounded
//                                 up
//   NoModify, NoRepair    DWORD   1: the entry offers removal only
//   UninstallRecordSHA256 string  the SHA-256 of the record's bytes as
//                                 written, 64 lower-case hexadecimal digits
//                                 (only administrators can change it)
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/RunWindow.h"
#include "data/Definition.h"
#include "platform/Platform.h"

namespace qs {

// The record's file name (in the install folder, and the copy in the
// temporary folder that the uninstaller reads), and the uninstaller's in the
// Windows folder.
inline constexpr const char* kUnSetupIni = "UNSETUP.INI";
inline constexpr const char* kUninstallerName = "APPUNSET.EXE";

inline constexpr size_t kDeleteFolders = 20;
inline constexpr size_t kDeleteFiles = 101;
inline constexpr size_t kDeleteShortCuts = 20;
inline constexpr size_t kDeleteRegistry = 20;

// The record's sections and keys, as laid out above.
namespace record {
// A numbered list: keys prefix1..prefix<limit> of section.
struct ListSection {
  const char* section;
  const char* prefix;
  size_t limit;
};
inline constexpr ListSection kFolders{"DeleteFolder", "Folder", kDeleteFolders};
inline constexpr ListSection kFiles{"DeleteFile", "File", kDeleteFiles};
inline constexpr ListSection kShortCuts{"DeleteShortCut", "File", kDeleteShortCuts};
inline constexpr ListSection kRegistryKeys{"DeleteRegistry", "Key", kDeleteRegistry};
inline constexpr ListSection kCreatedKeys{"CreatedRegistry", "Key", kDeleteRegistry};
inline constexpr ListSection kCreatedLevels{"CreatedFolder", "Folder", kDeleteFolders};

inline constexpr const char* kInformation = "Information";  // Message1..3
inline constexpr const char* kTitle = "Title";
inline constexpr const char* kUnSetup = "UnSetup";
inline constexpr const char* kSetupFolder = "SetupFolder";
inline constexpr const char* kFolder = "Folder";
inline constexpr const char* kUnSetupRegistryKey = "UnSetupRegistryKey";
inline constexpr const char* kKey = "Key";
// The registration's values.
inline constexpr const char* kDisplayName = "DisplayName";
inline constexpr const char* kUninstallString = "UninstallString";
inline constexpr const char* kDigest = "UninstallRecordSHA256";
}  // namespace record

// One list of the record: at most limit entries, in the order they came.
struct DeleteList {
  explicit DeleteList(size_t limit) : limit(limit) {}
  size_t limit;
  std::vector<std::string> entries;
};

// What one installation's record will list.
struct DeleteLists {
  DeleteList folders{kDeleteFolders};
  DeleteList files{kDeleteFiles};
  DeleteList shortCuts{kDeleteShortCuts};
  DeleteList registry{kDeleteRegistry};
  DeleteList setupRegistry{kDeleteRegistry};  // [DeleteRegistry] of SETUP.INI
  DeleteList created{kDeleteRegistry};        // first-level keys [Registry] made
  DeleteList levels{kDeleteFolders};          // levels above the install folder made
};

// Appends value unless an entry already holds it (compared after upper-case
// mapping). Empty values and values that find no room are dropped.
void AddToDeleteList(Platform& platform, DeleteList& list, const std::string& value);

// Records an installed file: an entry whose path (SplitRecordedFile)
// equals path after upper-case mapping is replaced by path + flag, else
// path + flag is appended; a full list drops it. Only the three flags are
// kept: any other text after a comma in the definition meant "no flag".
void RecordInstalledFile(Platform& platform, DeleteList& files, const std::string& path,
                         const std::string& flag);

// Loads the lists of an earlier record, when there is one, into lists.
void MergeEarlierRecord(Platform& platform, const std::string& recordPath, DeleteLists& lists);

struct RecordSetting {
  std::string recordPath;     // RecordPath(install folder)
  std::string installFolder;  // as the user confirmed it
  std::string unSetupTitle;
  std::string unSetupKey;     // [Title] UnSetupKey of the definition file
  std::string windowsFolder;
  // Only for the registration.
  std::string version;          // [Title] Version
  std::string publisher;        // [Title] Publisher
  std::string installDate;      // YYYYMMDD
  uint64_t installedBytes = 0;  // the files the run installed
};

// The install folder without trailing backslash, then \UNSETUP.INI.
std::string RecordPath(const std::string& installFolder, CodePage cp);
// The uninstaller's path: the Windows folder, then \APPUNSET.EXE.
std::string UninstallerPath(const std::string& windowsFolder, CodePage cp);
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + key name.
std::string UninstallKeyPath(const std::string& keyName);

// Writes the record in its fixed order, the bytes made whole first and then
// written at once into a new file, then the registration with the digest
// of those bytes. A registration key or value that cannot be written raises
// SetupError (the record is written by then); so does, after the
// registration, a record that could not be written ("'<record path>' の設定に
// 失敗しました"): an incomplete record would leave files behind silently.
// A record that could not be written whole is not left half written.
// watcher, when given, is told the record ("record") and each registration
// value ("registration") as they are written.
void WriteUninstallRecord(Platform& platform, const RecordSetting& setting, DeleteLists& lists,
                          CodePage cp, RunWatcher* watcher = nullptr);

// A [DeleteFile] value: a path, or a path followed directly by one of the
// three flags. The flag is taken only when the value ends with it; the
// whole rest, commas and all, is the path.
struct RecordedFile {
  std::string path;
  std::string flag;  // ",/F", ",/C", ",/L" or empty
};
RecordedFile SplitRecordedFile(const std::string& value);

// A record as the uninstaller reads it: folders and registry keys from the
// highest number down, files and shortcuts from 1 up, empty keys skipped.
struct UninstallRecord {
  std::vector<std::string> folders;
  std::vector<RecordedFile> files;
  std::vector<std::string> shortCuts;
  std::vector<std::string> registryKeys;
  std::vector<std::string> createdKeys;
  std::vector<std::string> createdLevels;  // the deepest first
  std::string setupFolder;
  std::string registrationKey;
};
UninstallRecord ReadUninstallRecord(Platform& platform, const std::string& recordPath);

// How far an uninstall may go by a record. The registration is the one the
// record names; it belongs to the record when its UninstallString names the
// record's path (recordPath, the record named on the command line).
enum class RecordTrust {
  Verified,  // the registration belongs to it and holds the digest of its bytes
  Unsigned,  // the registration belongs to it and holds no digest: made before digests
  Changed,   // the digest differs, or no registration belongs to the record
};
struct RecordCheck {
  RecordTrust trust = RecordTrust::Changed;
  bool registered = false;  // the registration belongs to the record
};
// Judges the record by the bytes of its copy (copyPath, which the run reads).
RecordCheck CheckRecord(Platform& platform, const std::string& registrationKey,
                        const std::string& recordPath, const std::string& copyPath);

// The SHA-256 of bytes in lower-case hexadecimal digits.
std::string DigestText(const std::string& bytes);

// A [DeleteRegistry] entry: the first seven characters select the root when
// they are one of the four root markers, exactly; anything else is a key
// path under HKEY_CURRENT_USER as a whole. One leading backslash of the path
// is dropped: \SOFTWARE\Acme and SOFTWARE\Acme name the same key.
RegistryKeyRef ParseRemovalKey(const std::string& entry);

}  // namespace qs
