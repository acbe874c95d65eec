#include "tests/support/FaultyPlatform.h"

#include <algorithm>

namespace qs::test {
namespace {

using K = FaultKind;
const std::vector<FaultKind> kFails = {K::AccessDenied};
const std::vector<FaultKind> kCoded = {K::AccessDenied, K::SharingViolation, K::DiskFull,
                                       K::PathNotFound};

uint32_t ErrorCode(FaultKind kind) {
  switch (kind) {
    case K::AccessDenied: return 5;
    case K::SharingViolation: return 32;
    case K::DiskFull: return 112;
    case K::PathNotFound: return 3;
    case K::ShortRead: return 30;  // ERROR_READ_FAULT
  }
  return 5;
}

class FaultyReader : public FileReader {
 public:
  FaultyReader(FaultyPlatform& owner, std::unique_ptr<FileReader> inner, std::string path)
      : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}
  int64_t Read(void* buffer, size_t size) override {
    if (ended_) return 0;
    FaultKind kind;
    if (!owner_.Fails("Read " + path_, {K::AccessDenied, K::ShortRead}, &kind)) {
      return inner_->Read(buffer, size);
    }
    if (kind != K::ShortRead) return -1;
    // The file ends early: half of this read, then nothing more.
    int64_t n = inner_->Read(buffer, size);
    ended_ = true;
    return n > 0 ? n / 2 : n;
  }

 private:
  FaultyPlatform& owner_;
  std::unique_ptr<FileReader> inner_;
  std::string path_;
  bool ended_ = false;
};

class FaultyWriter : public FileWriter {
 public:
  FaultyWriter(FaultyPlatform& owner, std::unique_ptr<FileWriter> inner, std::string path)
      : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}
  bool Write(const void* data, size_t size) override {
    if (owner_.Fails("Write " + path_, {K::DiskFull})) {
      // Part of the data may have reached the file.
      inner_->Write(data, size / 2);
      return false;
    }
    return inner_->Write(data, size);
  }
  bool SetWriteTime(uint64_t time) override { return inner_->SetWriteTime(time); }
  bool Close() override {
    bool closed = inner_->Close();
    return !owner_.Fails("Close " + path_, {K::DiskFull}) && closed;
  }

 private:
  FaultyPlatform& owner_;
  std::unique_ptr<FileWriter> inner_;
  std::string path_;
};

class FaultyHeldFile : public HeldFile {
 public:
  FaultyHeldFile(FaultyPlatform& owner, std::unique_ptr<HeldFile> inner, std::string path)
      : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}
  std::optional<uint64_t> LastWriteTime() override {
    if (owner_.Fails("LastWriteTime (held) " + path_, kFails)) return std::nullopt;
    return inner_->LastWriteTime();
  }
  bool CopyTo(const std::string& path) override {
    return !owner_.Fails("CopyTo " + path_ + " " + path, {K::AccessDenied, K::DiskFull}) &&
           inner_->CopyTo(path);
  }

 private:
  FaultyPlatform& owner_;
  std::unique_ptr<HeldFile> inner_;
  std::string path_;
};

class FaultyLink : public ShellLink {
 public:
  FaultyLink(FaultyPlatform& owner, std::unique_ptr<ShellLink> inner)
      : owner_(owner), inner_(std::move(inner)) {}
  void SetPath(const std::string& target) override { inner_->SetPath(target); }
  void SetWorkingDirectory(const std::string& folder) override {
    inner_->SetWorkingDirectory(folder);
  }
  bool Save(const std::string& linkPath) override {
    if (owner_.Fails("Save " + linkPath, kFails)) return false;
    return inner_->Save(linkPath);
  }

 private:
  FaultyPlatform& owner_;
  std::unique_ptr<ShellLink> inner_;
};

}  // namespace

const char* FaultKindName(FaultKind kind) {
  switch (kind) {
    case K::AccessDenied: return "access denied";
    case K::SharingViolation: return "sharing violation";
    case K::DiskFull: return "disk full";
    case K::PathNotFound: return "path not found";
    case K::ShortRead: return "short read";
  }
  return "?";
}

FaultyPlatform::FaultyPlatform(Platform& inner, long callLimit)
    : inner_(inner), callLimit_(callLimit) {}

void FaultyPlatform::Arm(long call, FaultKind kind) {
  armed_ = call;
  armedKind_ = kind;
}

bool FaultyPlatform::Fails(const std::string& what, std::vector<FaultKind> kinds, FaultKind* kind) {
  calls_.push_back({what, std::move(kinds)});
  long n = static_cast<long>(calls_.size());
  if (n > callLimit_) throw RunawayRun();
  if (n != armed_) return false;
  const std::vector<FaultKind>& can = calls_.back().kinds;
  // A kind the call cannot give falls back to the call's first kind.
  FaultKind given = std::find(can.begin(), can.end(), armedKind_) != can.end() ? armedKind_ : can[0];
  if (kind) *kind = given;
  fired_ = what + " (" + FaultKindName(given) + ")";
  return true;
}

uint32_t FaultyPlatform::Attributes(const std::string& path) {
  return Fails("Attributes " + path, kFails) ? kInvalidAttributes : inner_.Attributes(path);
}

bool FaultyPlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  return !Fails("SetAttributes " + path, kFails) && inner_.SetAttributes(path, attributes);
}

std::optional<uint64_t> FaultyPlatform::FileSize(const std::string& path) {
  if (Fails("FileSize " + path, kFails)) return std::nullopt;
  return inner_.FileSize(path);
}

std::optional<uint64_t> FaultyPlatform::LastWriteTime(const std::string& path) {
  if (Fails("LastWriteTime " + path, kFails)) return std::nullopt;
  return inner_.LastWriteTime(path);
}

bool FaultyPlatform::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  return !Fails("Copy " + from + " " + to, kFails) && inner_.Copy(from, to, failIfExists);
}

bool FaultyPlatform::Move(const std::string& from, const std::string& to) {
  return !Fails("Move " + from + " " + to, kFails) && inner_.Move(from, to);
}

bool FaultyPlatform::Delete(const std::string& path) {
  return !Fails("Delete " + path, kFails) && inner_.Delete(path);
}

bool FaultyPlatform::RemoveInPlace(const std::string& path, bool folder) {
  return !Fails("RemoveInPlace " + path, kFails) && inner_.RemoveInPlace(path, folder);
}

uint32_t FaultyPlatform::MakeFolder(const std::string& path) {
  FaultKind kind;
  return Fails("MakeFolder " + path, kCoded, &kind) ? ErrorCode(kind) : inner_.MakeFolder(path);
}

bool FaultyPlatform::RemoveFolder(const std::string& path) {
  return !Fails("RemoveFolder " + path, kFails) && inner_.RemoveFolder(path);
}

uint32_t FaultyPlatform::SetCurrentFolder(const std::string& path) {
  FaultKind kind;
  if (Fails("SetCurrentFolder " + path, kCoded, &kind)) return ErrorCode(kind);
  return inner_.SetCurrentFolder(path);
}

std::unique_ptr<FileReader> FaultyPlatform::OpenForRead(const std::string& path, bool exclusive) {
  if (Fails("OpenForRead " + path, kFails)) return nullptr;
  std::unique_ptr<FileReader> reader = inner_.OpenForRead(path, exclusive);
  if (!reader) return nullptr;
  return std::make_unique<FaultyReader>(*this, std::move(reader), path);
}

std::unique_ptr<FileWriter> FaultyPlatform::CreateForWrite(const std::string& path) {
  if (Fails("CreateForWrite " + path, {K::AccessDenied, K::DiskFull})) return nullptr;
  std::unique_ptr<FileWriter> writer = inner_.CreateForWrite(path);
  if (!writer) return nullptr;
  return std::make_unique<FaultyWriter>(*this, std::move(writer), path);
}

std::unique_ptr<FileWriter> FaultyPlatform::CreateNew(const std::string& path) {
  if (Fails("CreateNew " + path, {K::AccessDenied, K::DiskFull})) return nullptr;
  std::unique_ptr<FileWriter> writer = inner_.CreateNew(path);
  if (!writer) return nullptr;
  return std::make_unique<FaultyWriter>(*this, std::move(writer), path);
}

PrivateFolder FaultyPlatform::MakePrivateFolder(const std::string& parent) {
  if (Fails("MakePrivateFolder " + parent, {K::AccessDenied, K::DiskFull, K::PathNotFound})) {
    return {};
  }
  return inner_.MakePrivateFolder(parent);
}

std::unique_ptr<HeldFile> FaultyPlatform::HoldFile(const std::string& path) {
  if (Fails("HoldFile " + path, {K::AccessDenied, K::SharingViolation})) return nullptr;
  std::unique_ptr<HeldFile> held = inner_.HoldFile(path);
  if (!held) return nullptr;
  return std::make_unique<FaultyHeldFile>(*this, std::move(held), path);
}

AppendFile FaultyPlatform::AppendTo(const std::string& path) {
  if (Fails("AppendTo " + path, {K::AccessDenied, K::SharingViolation})) return {};
  AppendFile opened = inner_.AppendTo(path);
  if (opened.writer) {
    opened.writer = std::make_unique<FaultyWriter>(*this, std::move(opened.writer), path);
  }
  return opened;
}

// GetPrivateProfileString has no failure result: a file that cannot be
// read gives the default, as a missing key does, so no run can tell. The
// call is passed through and not counted.
std::string FaultyPlatform::ReadProfile(const std::string& section, const std::string& key,
                                        const std::string& defaultValue, const std::string& file,
                                        uint32_t bufferSize) {
  return inner_.ReadProfile(section, key, defaultValue, file, bufferSize);
}

bool FaultyPlatform::WriteProfile(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& file) {
  return !Fails("WriteProfile [" + section + "] " + key + " " + file, kFails) &&
         inner_.WriteProfile(section, key, value, file);
}

std::optional<std::string> FaultyPlatform::MapString(const std::string& text, uint32_t flags) {
  if (Fails("MapString " + text, kFails)) return std::nullopt;
  return inner_.MapString(text, flags);
}

bool FaultyPlatform::CreateRegistryKey(RegRoot root, const std::string& path) {
  return !Fails("CreateRegistryKey " + path, kFails) && inner_.CreateRegistryKey(root, path);
}

bool FaultyPlatform::SetRegistryValue(RegRoot root, const std::string& path,
                                      const std::string& name, const RegValue& value) {
  return !Fails("SetRegistryValue " + path + " " + name, kFails) &&
         inner_.SetRegistryValue(root, path, name, value);
}

std::optional<RegValue> FaultyPlatform::GetRegistryValue(RegRoot root, const std::string& path,
                                                         const std::string& name) {
  if (Fails("GetRegistryValue " + path + " " + name, kFails)) return std::nullopt;
  return inner_.GetRegistryValue(root, path, name);
}

// A key whose presence cannot be read counts as there, as on Windows
// (access denied).
bool FaultyPlatform::RegistryKeyExists(RegRoot root, const std::string& path) {
  return Fails("RegistryKeyExists " + path, kFails) || inner_.RegistryKeyExists(root, path);
}

bool FaultyPlatform::DeleteRegistryTree(RegRoot root, const std::string& path) {
  return !Fails("DeleteRegistryTree " + path, kFails) && inner_.DeleteRegistryTree(root, path);
}

std::string FaultyPlatform::SpecialFolder(int csidl) {
  if (Fails("SpecialFolder " + std::to_string(csidl), kFails)) return std::string();
  return inner_.SpecialFolder(csidl);
}

bool FaultyPlatform::ShellOpen(const std::string& path) {
  return !Fails("ShellOpen " + path, kFails) && inner_.ShellOpen(path);
}

ShellLinkResult FaultyPlatform::CreateShellLink() {
  if (Fails("CreateShellLink", kFails)) {
    ShellLinkResult failed;
    failed.error = static_cast<int32_t>(0x80070005u);  // E_ACCESSDENIED
    return failed;
  }
  ShellLinkResult made = inner_.CreateShellLink();
  if (made.link) made.link = std::make_unique<FaultyLink>(*this, std::move(made.link));
  return made;
}

}  // namespace qs::test
