// The platform on real Windows (and Wine): each operation is the Win32 call
// named in its comment in platform/Platform.h.
#pragma once

#include "platform/Platform.h"

namespace qs::win32 {

class Win32Platform : public Platform {
 public:
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
  bool RegistryKeyExists(RegRoot root, const std::string& path) override;
  bool DeleteRegistryTree(RegRoot root, const std::string& path) override;
  std::string TempFolder() override;
  std::string AdminTempFolder() override;
  Rights ProcessRights() override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  std::string ModulePath() override;
  std::string FullPath(const std::string& path) override;
  std::string FirstArgument() override;
  std::string LocalDate() override;
  std::string SpecialFolder(int csidl) override;
  bool ShellOpen(const std::string& path) override;
  ShellLinkResult CreateShellLink() override;
  std::string SystemErrorText(int32_t code) override;
  uint64_t Milliseconds() override;
  void Sleep(uint32_t milliseconds) override;
  void Beep() override;
  std::unique_ptr<Beside> MakeBeside() override;
};

// The first argument of a command line, split the way the program's own
// runtime always did: blanks separate, double quotes group and are dropped.
std::string FirstArgumentOf(const char* commandLine);

}  // namespace qs::win32
