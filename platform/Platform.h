// The one interface between the program's logic and the operating system.
//
// Every string is text in UTF-8, whatever the system's code page: paths,
// names, values and texts alike, so that any path Windows hands out is held
// exactly (a lone UTF-16 surrogate in a file name travels in its three-byte
// form, see platform/Unicode.h). Shift-JIS lives only in the files that rely
// on it, converted with code page 932 named explicitly (FromCodePage and
// ToCodePage, ProfileText.h). Nothing here throws: each operation reports
// failure through its result, the way the underlying Win32 call does.
// platform/win32/ implements it with the system's W functions; platform/fake/
// is an in-memory Windows that follows the same rules.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qs {

// Win32 file attribute bits that the program looks at.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;
inline constexpr uint32_t kAttrReparsePoint = 0x400;  // a link or junction
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// Win32 error codes the program distinguishes.
inline constexpr uint32_t kErrFileNotFound = 2;
inline constexpr uint32_t kErrPathNotFound = 3;
inline constexpr uint32_t kErrAccessDenied = 5;
inline constexpr uint32_t kErrInvalidName = 123;
inline constexpr uint32_t kErrAlreadyExists = 183;

// The four registry roots a definition file can name.
enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

struct RegValue {
  enum class Kind { None, String, Dword } kind = Kind::None;
  std::string text;
  uint32_t number = 0;
};

// Reads a file front to back. Read returns the number of bytes read, 0 at the
// end of the file, or -1 on an error.
class FileReader {
 public:
  virtual ~FileReader() = default;
  virtual int64_t Read(void* buffer, size_t size) = 0;
};

// Writes a new file. Close reports whether every write reached the file.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  virtual bool Write(const void* data, size_t size) = 0;
  // Gives the file its last write time (FILETIME units) after its last
  // write; false when it cannot have it.
  virtual bool SetWriteTime(uint64_t /*time*/) { return false; }
  virtual bool Close() = 0;
};

// A shell link object (IShellLinkW with its IPersistFile), released with
// the object. The results of SetPath and SetWorkingDirectory are not kept.
class ShellLink {
 public:
  virtual ~ShellLink() = default;
  virtual void SetPath(const std::string& target) = 0;
  virtual void SetWorkingDirectory(const std::string& folder) = 0;
  // Saves the link under linkPath; false when the save failed.
  virtual bool Save(const std::string& linkPath) = 0;
};

struct ShellLinkResult {
  std::unique_ptr<ShellLink> link;  // null when it could not be made
  int32_t error = 0;                // the failing result code
  bool noInterface = false;         // the object refused an interface
};

// Keeps something of the system's open for as long as it lives.
class Hold {
 public:
  virtual ~Hold() = default;
};

// A folder the program made for itself (MakePrivateFolder). While hold
// lives, no one can delete or rename the folder, the program included.
struct PrivateFolder {
  std::string path;            // without a trailing backslash; empty when none was made
  std::unique_ptr<Hold> hold;  // null when none was made
};

// A file held open for reading since HoldFile: while the object lives no
// one can write, rename or delete it, so what it is now is what it was then.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  // Last write time as a FILETIME count of 100 ns units.
  virtual std::optional<uint64_t> LastWriteTime() = 0;
  // Writes the held file's bytes, from its start, to a file at path
  // (replacing one that is there), with the held file's last write time;
  // false when that did not wholly succeed.
  virtual bool CopyTo(const std::string& path) = 0;
};

// A log opened by AppendTo: what is written goes to its end.
struct AppendFile {
  std::unique_ptr<FileWriter> writer;  // null when refused or not opened
  uint64_t size = 0;                   // the file's size when it was opened
};

// A second thread, for work that overlaps the caller's (the one-file
// program decodes on it while the caller writes), and two counters by which
// the two hand turns to each other: Post adds one to a counter, Await waits
// until it is above zero and takes one, Ready takes one only when there is
// one, at once (false when there is none). The work must not throw.
class Beside {
 public:
  virtual ~Beside() = default;  // waits for the work to end, as Join does
  // Starts work(context) on the second thread, once; false when no thread
  // was had.
  virtual bool Start(void (*work)(void*), void* context) = 0;
  // Waits until the work has ended; at once when it never started.
  virtual void Join() = 0;
  virtual void Post(int counter) = 0;  // counter 0 or 1
  virtual void Await(int counter) = 0;
  virtual bool Ready(int counter) = 0;
};

// What the process may do: a plain user, a member of the Administrators
// group that may use its rights (however UAC reports the token), or SYSTEM.
enum class Rights { User, Administrator, System };

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Files and folders -------------------------------------------------
  // kInvalidAttributes when the path does not exist.
  virtual uint32_t Attributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;
  // Last write time as a FILETIME count of 100 ns units.
  virtual std::optional<uint64_t> LastWriteTime(const std::string& path) = 0;
  virtual bool Copy(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // The path as the system resolves it before any use (GetFullPathNameW):
  // "/" read as "\\", "." and ".." steps and doubled separators gone; the
  // path itself when it cannot be resolved.
  virtual std::string FullPath(const std::string& path) = 0;
  // Renames or moves a file; fails when the destination exists.
  virtual bool Move(const std::string& from, const std::string& to) = 0;
  virtual bool Delete(const std::string& path) = 0;
  // Removes the file (folder false) or the empty folder (folder true) at
  // path without following a link: a link or junction at path is removed
  // itself, whatever it points to; when path leads through a link or
  // junction on its way, nothing is removed. False when nothing was removed.
  virtual bool RemoveInPlace(const std::string& path, bool folder) = 0;
  // 0 on success, else the system error code.
  virtual uint32_t MakeFolder(const std::string& path) = 0;
  virtual bool RemoveFolder(const std::string& path) = 0;
  virtual uint32_t SetCurrentFolder(const std::string& path) = 0;
  // Opens an existing file for reading; null when it cannot be opened.
  // exclusive denies all sharing to others while the reader lives.
  virtual std::unique_ptr<FileReader> OpenForRead(const std::string& path, bool exclusive) = 0;
  // Creates a file, or cuts an existing one to length zero; null on failure.
  virtual std::unique_ptr<FileWriter> CreateForWrite(const std::string& path) = 0;
  // Creates a file that must not exist yet; null when something is there
  // under that name (whether or not the caller could see it) or on failure.
  virtual std::unique_ptr<FileWriter> CreateNew(const std::string& path) = 0;
  // Creates a new folder inside parent under a name nobody can guess, never
  // one that existed before, and holds it. When the program runs with more
  // than a user's rights, the folder is owned by Administrators, only they
  // and SYSTEM may change what is in it, and it is made only where its
  // path leads through no link or junction.
  virtual PrivateFolder MakePrivateFolder(const std::string& parent) = 0;
  // Holds an existing file open for reading; null when it cannot be opened.
  virtual std::unique_ptr<HeldFile> HoldFile(const std::string& path) = 0;
  // Opens a plain file to add to its end, creating it when it is missing;
  // shared for reading only (a reader that lets others write may read it
  // meanwhile). Refused when path is or leads through a
  // link or junction, names a folder, or names a file with more than one
  // hard link.
  virtual AppendFile AppendTo(const std::string& path) = 0;

  // --- Profile (INI) files -----------------------------------------------
  // The system's profile rules over a file in one of the forms of
  // ProfileText.h (Shift-JIS, or UTF-8 or UTF-16LE after a byte-order mark).
  // ReadProfile is GetPrivateProfileString with a buffer of bufferSize bytes
  // of Shift-JIS: the value comes back cut to whole characters that take at
  // most bufferSize - 1 bytes in Shift-JIS; the default for anything missing.
  virtual std::string ReadProfile(const std::string& section, const std::string& key,
                                  const std::string& defaultValue, const std::string& file,
                                  uint32_t bufferSize) = 0;
  // WritePrivateProfileString with all four strings present.
  virtual bool WriteProfile(const std::string& section, const std::string& key,
                            const std::string& value, const std::string& file) = 0;
  // Nothing is cached between calls: each read sees the file as it is.

  // --- Text ----------------------------------------------------------------
  // LCMapStringW (LOCALE_INVARIANT: what the file system does, whatever the
  // user's locale); nullopt when the call fails.
  virtual std::optional<std::string> MapString(const std::string& text, uint32_t flags) = 0;
  // Bytes of a code page (the program only names 932) as UTF-8, and back;
  // nullopt when a byte sequence is no character of the code page, or a
  // character has no form of its own in it (a look-alike is never taken).
  virtual std::optional<std::string> FromCodePage(uint32_t codePage, const std::string& bytes) = 0;
  virtual std::optional<std::string> ToCodePage(uint32_t codePage, const std::string& text) = 0;

  // --- Registry ------------------------------------------------------------
  // Each call opens the key and closes it again before returning.
  virtual bool CreateRegistryKey(RegRoot root, const std::string& path) = 0;
  virtual bool SetRegistryValue(RegRoot root, const std::string& path, const std::string& name,
                                const RegValue& value) = 0;
  virtual std::optional<RegValue> GetRegistryValue(RegRoot root, const std::string& path,
                                                   const std::string& name) = 0;
  virtual bool RegistryKeyExists(RegRoot root, const std::string& path) = 0;
  // Deletes the key with all its sub-keys, never following a registry
  // link: a link at path, or among the sub-keys, is deleted itself, and a
  // path that leads through a link on its way is not deleted.
  virtual bool DeleteRegistryTree(RegRoot root, const std::string& path) = 0;

  // --- System folders and the process -----------------------------------------
  // Empty when the system cannot tell.
  virtual std::string TempFolder() = 0;
  // A temporary folder that only administrators can change and that comes
  // from no user's environment: the system's own where it has one (for
  // SYSTEM), else the Windows folder's Temp.
  virtual std::string AdminTempFolder() = 0;
  virtual Rights ProcessRights() = 0;
  virtual std::string WindowsFolder() = 0;
  virtual std::string SystemFolder() = 0;
  // Full path of the running program.
  virtual std::string ModulePath() = 0;
  // The first command-line argument, empty when there is none.
  virtual std::string FirstArgument() = 0;
  // Today's date where the system is, as YYYYMMDD (GetLocalTime).
  virtual std::string LocalDate() = 0;

  // --- Shell ---------------------------------------------------------------
  // Path of a shell special folder (a CSIDL value); empty when unknown.
  virtual std::string SpecialFolder(int csidl) = 0;
  // ShellExecuteW "open"; true when the shell accepted it.
  virtual bool ShellOpen(const std::string& path) = 0;
  // A new shell link object (CLSID_ShellLink).
  virtual ShellLinkResult CreateShellLink() = 0;
  // The system's text for an error or result code; empty when it has none.
  virtual std::string SystemErrorText(int32_t code) = 0;

  // --- Time, pauses and sounds ---------------------------------------------------
  // Milliseconds since some fixed moment (GetTickCount64): for how long
  // something took.
  virtual uint64_t Milliseconds() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual void Beep() = 0;
  // A second thread with its counters; null where the platform gives none
  // (the caller then does the work itself, in turn with its own).
  virtual std::unique_ptr<Beside> MakeBeside() { return nullptr; }
};

// Everything a reader gives until its file ends; nullopt when there is no
// reader or a read fails.
std::optional<std::string> ReadAll(std::unique_ptr<FileReader> reader);

// True when path is a link or junction: nothing is written through one.
inline bool IsLink(Platform& platform, const std::string& path) {
  uint32_t attributes = platform.Attributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttrReparsePoint) != 0;
}

// True when path names an existing file (not a folder).
inline bool FileExists(Platform& platform, const std::string& path) {
  uint32_t attributes = platform.Attributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttrDirectory) == 0;
}

}  // namespace qs
