// A platform that passes every call to another one, counts the calls that
// can fail, and makes one chosen call fail the way the real call can: for
// fault injection over the platform seam.
//
// Calls are numbered from 1 in the order they are made, including the reads
// and writes of open files and the methods of shell links. A call armed to
// fail fails once; everything before and after it behaves as the inner
// platform does. Calls that cannot fail (pauses, beeps, code page conversions, the
// system's folders and texts, the date, profile reads) are passed through and
// not counted.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace qs::test {

// How a call fails. Which kinds a call can give depends on the call: a
// result of false or "nothing" cannot tell the kinds apart, so such a call
// has one kind; MakeFolder and SetCurrentFolder return the error code; a
// read can end in an error or stop short (the file ends early); a write or
// a close can meet a full disk.
enum class FaultKind { AccessDenied, SharingViolation, DiskFull, PathNotFound, ShortRead };

const char* FaultKindName(FaultKind kind);

// A call of the run, as it was made: its name and first argument, and the
// kinds it can fail with.
struct PlatformCall {
  std::string what;
  std::vector<FaultKind> kinds;
};

// Thrown when a run makes far more calls than it should: a hang.
class RunawayRun : public std::runtime_error {
 public:
  RunawayRun() : std::runtime_error("the run does not end: too many platform calls") {}
};

class FaultyPlatform : public Platform {
 public:
  explicit FaultyPlatform(Platform& inner, long callLimit = 1000000);

  // The call with this number fails with kind; 0 arms nothing.
  void Arm(long call, FaultKind kind);
  // Every counted call so far, in order.
  const std::vector<PlatformCall>& calls() const { return calls_; }
  // The armed call, once it has been made (empty before).
  const std::string& fired() const { return fired_; }

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
  std::optional<std::string> FromCodePage(uint32_t codePage, const std::string& bytes) override {
    return inner_.FromCodePage(codePage, bytes);
  }
  std::optional<std::string> ToCodePage(uint32_t codePage, const std::string& text) override {
    return inner_.ToCodePage(codePage, text);
  }
  bool CreateRegistryKey(RegRoot root, const std::string& path) override;
  bool SetRegistryValue(RegRoot root, const std::string& path, const std::string& name,
                        const RegValue& value) override;
  std::optional<RegValue> GetRegistryValue(RegRoot root, const std::string& path,
                                           const std::string& name) override;
  bool RegistryKeyExists(RegRoot root, const std::string& path) override;
  bool DeleteRegistryTree(RegRoot root, const std::string& path) override;
  std::string TempFolder() override { return inner_.TempFolder(); }
  std::string AdminTempFolder() override { return inner_.AdminTempFolder(); }
  Rights ProcessRights() override { return inner_.ProcessRights(); }
  std::string WindowsFolder() override { return inner_.WindowsFolder(); }
  std::string SystemFolder() override { return inner_.SystemFolder(); }
  std::string ModulePath() override { return inner_.ModulePath(); }
  std::string FullPath(const std::string& path) override { return inner_.FullPath(path); }
  std::string FirstArgument() override { return inner_.FirstArgument(); }
  std::string LocalDate() override { return inner_.LocalDate(); }
  std::string SpecialFolder(int csidl) override;
  bool ShellOpen(const std::string& path) override;
  ShellLinkResult CreateShellLink() override;
  std::string SystemErrorText(int32_t code) override { return inner_.SystemErrorText(code); }
  uint64_t Milliseconds() override { return inner_.Milliseconds(); }
  void Sleep(uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
  void Beep() override { inner_.Beep(); }

  // Counts a call; true when it is the armed one (its kind in *kind).
  bool Fails(const std::string& what, std::vector<FaultKind> kinds, FaultKind* kind = nullptr);

 private:
  Platform& inner_;
  long callLimit_;
  long armed_ = 0;
  FaultKind armedKind_ = FaultKind::AccessDenied;
  std::vector<PlatformCall> calls_;
  std::string fired_;
};

}  // namespace qs::test
