// An in-memory Windows: a file tree keyed by upper-cased path, profile files
// read and written with the platform's rules, a registry tree, system
// folders, and recorded (never slept) pauses. The unit tests run the program
// against it, and setupkit's check and plan run the real install and
// uninstall on it as a dry run.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/CodePage.h"
#include "platform/Platform.h"
#include "platform/ProfileText.h"

namespace qs::fake {

// The registry root's full name (HKEY_CURRENT_USER, ...).
const char* RegRootName(RegRoot root);

// text with its letters upper-cased the way the system does it for file
// names (the fake knows the letters of the scripts its tests use).
std::string UpperText(const std::string& text);

// path as the system looks it up: "/" as "\\", and the "." and ".." steps
// below a drive root resolved.
std::string NormalPath(const std::string& path, CodePage cp);

class FakePlatform : public Platform {
 public:
  FakePlatform();

  // --- Setting up a world ------------------------------------------------
  // Creates the file and any missing parent folders.
  void AddFile(const std::string& path, const std::string& contents, uint64_t writeTime = 0);
  // Creates the folder and any missing parents.
  void AddFolder(const std::string& path);
  // The contents of a file; nullopt when there is none.
  std::optional<std::string> Contents(const std::string& path) const;
  // Every existing path below folder (files and folders), in the case they
  // were created with, sorted.
  std::vector<std::string> ListTree(const std::string& folder) const;
  // A symbolic link or junction at path that points at target (a folder
  // when folder is set). Every lookup follows it on its way; opening,
  // copying and making current follow it at the end too; removing and
  // attributes take the link itself, as the system does.
  void AddLink(const std::string& path, const std::string& target, bool folder);
  // A second name for the file existing. The fake keeps two files that
  // only know of each other's count: written through one name, the other
  // does not change.
  void AddHardLink(const std::string& path, const std::string& existing);
  // A registry link at path pointing at target: every other registry call
  // follows it, as RegOpenKeyEx does without REG_OPTION_OPEN_LINK.
  void AddRegistryLink(RegRoot root, const std::string& path, RegRoot targetRoot,
                       const std::string& target);
  // Makes every operation that would change path fail with access denied.
  void DenyWrite(const std::string& path);
  // Makes registry writes below this root fail.
  void DenyRegistry(RegRoot root);
  bool RegistryKeyExists(RegRoot root, const std::string& path) const;
  bool RegistryKeyExists(RegRoot root, const std::string& path) override {
    return std::as_const(*this).RegistryKeyExists(root, path);
  }
  // Every registry key as upper-cased "HKEY_...\PATH", sorted.
  std::vector<std::string> RegistryKeys() const;

  std::string tempFolder = "C:\\TEMP\\";
  std::string adminTempFolder = "C:\\WINDOWS\\TEMP\\";
  Rights rights = Rights::User;
  std::string windowsFolder = "C:\\WINDOWS";
  std::string systemFolder = "C:\\WINDOWS\\SYSTEM32";
  std::string modulePath = "C:\\SETUP\\SETUP.EXE";
  std::string firstArgument;
  std::string localDate = "20240102";
  std::map<int, std::string> specialFolders;
  std::vector<uint32_t> sleeps;
  uint64_t milliseconds = 0;
  int beeps = 0;
  std::vector<std::string> opened;  // paths given to ShellOpen
  // Shell links: a saved link is a file holding "target|working folder".
  int32_t shellLinkError = 0;         // CreateShellLink fails with this code
  bool shellLinkNoInterface = false;  // the object refuses an interface
  int liveLinks = 0;                  // link objects not yet released
  std::map<int32_t, std::string> errorTexts;
  std::string currentFolder = "C:\\";
  int privateFolders = 0;            // private folders made so far
  bool privateFolderFails = false;   // MakePrivateFolder gives nothing
  // The folders MakePrivateFolder made, each with whether it was made
  // restricted (rights above a user's).
  std::map<std::string, bool> privateFolderRestricted;

  // --- Platform ------------------------------------------------------------
  uint32_t Attributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::optional<uint64_t> LastWriteTime(const std::string& path) override;
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
  bool Move(const std::string& from, const std::string& to) override;
  bool Delete(const std::string& path) override;
  bool RemoveInPlace(const std::string& path, bool folder) override;
  uint32_t MakeFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  uint32_t SetCurrentFolder(const std::string& path) override;
  std::unique_ptr<FileReader> OpenForRead(const std::string& path, bool exclusive) override;
  std::unique_ptr<FileWriter> CreateForWrite(const std::string& path) override;
  std::unique_ptr<FileWriter> CreateNew(const std::string& path) override;
  PrivateFolder MakePrivateFolder(const std::string& parent) override;
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;
  AppendFile AppendTo(const std::string& path) override;
  std::string ReadProfile(const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file,
                          uint32_t bufferSize) override;
  bool WriteProfile(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& file) override;
  std::optional<std::string> MapString(const std::string& text, uint32_t flags) override;
  std::optional<std::string> FromCodePage(uint32_t codePage, const std::string& bytes) override;
  std::optional<std::string> ToCodePage(uint32_t codePage, const std::string& text) override;
  bool CreateRegistryKey(RegRoot root, const std::string& path) override;
  bool SetRegistryValue(RegRoot root, const std::string& path, const std::string& name,
                        const RegValue& value) override;
  std::optional<RegValue> GetRegistryValue(RegRoot root, const std::string& path,
                                           const std::string& name) override;
  bool DeleteRegistryTree(RegRoot root, const std::string& path) override;
  std::string TempFolder() override { return tempFolder; }
  std::string AdminTempFolder() override { return adminTempFolder; }
  Rights ProcessRights() override { return rights; }
  std::string WindowsFolder() override { return windowsFolder; }
  std::string SystemFolder() override { return systemFolder; }
  std::string ModulePath() override { return modulePath; }
  std::string FullPath(const std::string& path) override { return Normal(path); }
  std::string FirstArgument() override { return firstArgument; }
  std::string LocalDate() override { return localDate; }
  std::string SpecialFolder(int csidl) override;
  bool ShellOpen(const std::string& path) override;
  ShellLinkResult CreateShellLink() override;
  std::string SystemErrorText(int32_t code) override;
  // The clock moves by the pauses and by what a test adds to milliseconds.
  uint64_t Milliseconds() override { return milliseconds; }
  void Sleep(uint32_t pause) override {
    sleeps.push_back(pause);
    milliseconds += pause;
  }
  void Beep() override { ++beeps; }

 private:
  struct Node {
    std::string path;  // as created
    bool folder = false;
    uint32_t attributes = kAttrArchive;
    std::string data;
    uint64_t writeTime = 0;
    int exclusiveReaders = 0;
    int readers = 0;  // open readers of any kind: no writing, renaming or deleting
    int holds = 0;    // a held private folder: no renaming or removing
    int hardLinks = 1;
    std::string linkTarget;  // a link or junction points there
  };
  struct RegKey {
    std::map<std::string, std::pair<std::string, RegValue>> values;  // by upper name
    std::string linkTarget;  // a registry link points there (upper "ROOT\PATH")
  };
  class Reader;
  class Writer;
  class Held;
  class FolderHold;

  std::string Normal(const std::string& path) const;
  bool ValidName(const std::string& path) const;
  // The path as looked up, in upper case: every link on its way followed.
  std::string Key(const std::string& path) const;
  // The same without following any link.
  std::string PlainKey(const std::string& path) const;
  // key with the links on its way followed, and the one at its end too
  // when final is set.
  std::string Through(std::string key, bool final) const;
  std::string RegThrough(std::string key, bool final) const;
  Node* Find(const std::string& path);
  // What a link at path points at, or path itself.
  std::string Followed(const std::string& path);
  static bool Busy(const Node& node) { return node.readers > 0 || node.holds > 0; }
  bool ParentExists(const std::string& path);
  bool Denied(const std::string& path) const;
  std::string RegPath(RegRoot root, const std::string& path) const;

  std::map<std::string, Node> nodes_;
  std::set<std::string> denied_;
  std::set<RegRoot> deniedRoots_;
  std::map<std::string, RegKey> registry_;  // by upper "ROOT\PATH"
  int links_ = 0;     // file links made; without any, no lookup walks a path
  int regLinks_ = 0;  // registry links made
  uint64_t clock_ = 0x01D0000000000000ull;
  // The last profile file read, parsed once for as long as its bytes stay.
  std::string parsedBytes_;
  std::optional<ProfileText> parsed_;
};

}  // namespace qs::fake
