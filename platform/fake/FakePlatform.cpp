#include "platform/fake/FakePlatform.h"

#include <algorithm>
#include <cstring>

#include "core/CodePage.h"
#include "platform/Unicode.h"
#include "platform/fake/Cp932.h"

namespace qs::fake {
const char* RegRootName(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegRoot::Users: return "HKEY_USERS";
  }
  return "";
}

class FakePlatform::Reader : public FileReader {
 public:
  Reader(FakePlatform& owner, std::string key, bool exclusive)
      : owner_(owner), key_(std::move(key)), exclusive_(exclusive) {
    Node& node = owner_.nodes_[key_];
    ++node.readers;
    if (exclusive_) ++node.exclusiveReaders;
  }
  ~Reader() override {
    auto it = owner_.nodes_.find(key_);
    if (it == owner_.nodes_.end()) return;
    --it->second.readers;
    if (exclusive_) --it->second.exclusiveReaders;
  }
  int64_t Read(void* buffer, size_t size) override {
    auto it = owner_.nodes_.find(key_);
    if (it == owner_.nodes_.end()) return -1;
    const std::string& data = it->second.data;
    size_t n = std::min(size, data.size() - std::min(offset_, data.size()));
    std::memcpy(buffer, data.data() + offset_, n);
    offset_ += n;
    return static_cast<int64_t>(n);
  }

 private:
  FakePlatform& owner_;
  std::string key_;
  bool exclusive_;
  size_t offset_ = 0;
};

class FakePlatform::Writer : public FileWriter {
 public:
  Writer(FakePlatform& owner, std::string key) : owner_(owner), key_(std::move(key)) {}
  bool Write(const void* data, size_t size) override {
    auto it = owner_.nodes_.find(key_);
    if (it == owner_.nodes_.end()) return false;
    it->second.data.append(static_cast<const char*>(data), size);
    return true;
  }
  bool SetWriteTime(uint64_t time) override {
    auto it = owner_.nodes_.find(key_);
    if (it == owner_.nodes_.end()) return false;
    it->second.writeTime = time;
    return true;
  }
  bool Close() override { return owner_.nodes_.count(key_) == 1; }

 private:
  FakePlatform& owner_;
  std::string key_;
};

namespace {

// The upper case of the letters that file names in the tests hold: ASCII,
// Latin-1, Latin Extended-A and the Vietnamese letters, Greek, Cyrillic and
// the full-width Latin letters. Anything else is its own upper case.
char32_t UpperChar(char32_t c) {
  auto pairs = [](char32_t first, char32_t last, char32_t ch, bool upperEven) {
    return ch >= first && ch <= last && (ch % 2 == 0) != upperEven;
  };
  if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
      (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F) ||
      (c >= 0xFF41 && c <= 0xFF5A)) {
    return c - 0x20;
  }
  if (c == 0xFF) return 0x178;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (pairs(0x100, 0x137, c, true) || pairs(0x14A, 0x177, c, true) ||
      pairs(0x139, 0x148, c, false) || pairs(0x179, 0x17E, c, false) ||
      pairs(0x1E00, 0x1EFF, c, true)) {
    return c - 1;
  }
  return c;
}

}  // namespace

std::string UpperText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    char32_t c = NextCodePoint(text, i);
    char32_t upper = UpperChar(c);
    if (upper == c) {
      out.append(text, start, i - start);  // bytes that are no character stay as they are
    } else {
      AppendUtf8(out, upper);
    }
  }
  return out;
}

FakePlatform::FakePlatform() { AddFolder("C:\\"); }

// Forward slashes become backslashes, and "." and ".." steps below a drive
// root are resolved (".." at the root stays there), as the system does
// before it looks a path up.
std::string NormalPath(const std::string& path, CodePage cp) {
  std::string text = path;
  std::replace(text.begin(), text.end(), '/', '\\');
  if (text.size() < 3 || text[1] != ':' || text[2] != '\\') return text;
  std::vector<std::string> steps;
  std::string step;
  auto close = [&] {
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (step != ".") {
      steps.push_back(step);
    }
    step.clear();
  };
  for (size_t i = 3; i < text.size();) {
    const size_t n = cp.CharLength(text, i);
    if (n == 1 && text[i] == '\\') {
      close();
      // An empty step (two separators) is dropped too, but a trailing
      // separator is kept: it says the path names a folder.
      if (i + 1 == text.size()) steps.emplace_back();
    } else {
      step.append(text, i, n);
    }
    i += n;
  }
  if (!step.empty()) close();
  std::string result = text.substr(0, 3);
  bool first = true;
  for (size_t s = 0; s < steps.size(); ++s) {
    if (steps[s].empty() && s + 1 < steps.size()) continue;
    if (!first) result += '\\';
    result += steps[s];
    first = false;
  }
  return result;
}

std::string FakePlatform::Normal(const std::string& path) const {
  return NormalPath(path, kUtf8);
}

// No step of a name may hold < > " | ? *. (A colon past the drive's names a
// stream of a file on NTFS, which the fake does not keep apart.)
bool FakePlatform::ValidName(const std::string& path) const {
  for (char c : path) {
    if (c != '\0' && std::strchr("<>\"|?*", c)) return false;
  }
  return true;
}

std::string FakePlatform::PlainKey(const std::string& path) const {
  std::string key = UpperText(Normal(path));
  // A trailing backslash names the same folder, except that a drive root
  // keeps its own.
  while (key.size() > 3 && key.back() == '\\') key.pop_back();
  if (key.size() == 2 && key[1] == ':') key += '\\';
  return key;
}

std::string FakePlatform::Key(const std::string& path) const {
  return Through(PlainKey(path), false);
}

// Each step of the path from the drive down, replaced by where a link
// there points; a loop of links ends after a few hops where it stands.
std::string FakePlatform::Through(std::string key, bool final) const {
  for (int hops = 0; links_ > 0 && hops < 16; ++hops) {
    bool moved = false;
    for (size_t end = key.find('\\', 3); !moved; end = key.find('\\', end + 1)) {
      const bool last = end == std::string::npos;
      if (last && !final) break;
      auto it = nodes_.find(key.substr(0, last ? key.size() : end));
      if (it != nodes_.end() && !it->second.linkTarget.empty()) {
        key = PlainKey(it->second.linkTarget) + (last ? "" : key.substr(end));
        moved = true;
      }
      if (last) break;
    }
    if (!moved) break;
  }
  return key;
}

std::string FakePlatform::Followed(const std::string& path) {
  Node* node = Find(path);
  return node && !node->linkTarget.empty() ? node->linkTarget : path;
}

FakePlatform::Node* FakePlatform::Find(const std::string& path) {
  if (path.empty()) return nullptr;
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end()) return nullptr;
  // A trailing separator names a folder: a file is not found that way.
  bool trailing = path.back() == '\\' || path.back() == '/';
  return trailing && !it->second.folder ? nullptr : &it->second;
}

bool FakePlatform::ParentExists(const std::string& path) {
  if (!ValidName(path)) return false;
  std::string key = Key(path);
  size_t sep = kUtf8.FindLastOf(key, "\\");
  if (sep == std::string::npos) return false;
  std::string parent = key.substr(0, sep == 2 ? 3 : sep);
  auto it = nodes_.find(parent);
  return it != nodes_.end() && it->second.folder && parent != key;
}

bool FakePlatform::Denied(const std::string& path) const { return denied_.count(Key(path)) > 0; }

void FakePlatform::AddFolder(const std::string& path) {
  std::string key = Key(path);
  if (nodes_.count(key)) return;
  size_t sep = kUtf8.FindLastOf(key, "\\");
  if (sep != std::string::npos && sep + 1 < key.size()) {
    AddFolder(path.substr(0, std::max<size_t>(sep, 3)));
  }
  Node node;
  node.path = Normal(path);
  node.folder = true;
  node.attributes = kAttrDirectory;
  nodes_[key] = node;
}

void FakePlatform::AddFile(const std::string& path, const std::string& contents,
                           uint64_t writeTime) {
  size_t sep = kUtf8.FindLastOf(path, "\\");
  if (sep != std::string::npos) AddFolder(path.substr(0, std::max<size_t>(sep, 3)));
  Node node;
  node.path = Normal(path);
  node.data = contents;
  node.writeTime = writeTime ? writeTime : ++clock_;
  nodes_[Key(path)] = node;
}

std::optional<std::string> FakePlatform::Contents(const std::string& path) const {
  auto it = nodes_.find(Key(path));
  if (it == nodes_.end() || it->second.folder) return std::nullopt;
  return it->second.data;
}

std::vector<std::string> FakePlatform::ListTree(const std::string& folder) const {
  std::string prefix = Key(folder);
  if (prefix.back() != '\\') prefix += '\\';
  std::vector<std::string> found;
  for (const auto& [key, node] : nodes_) {
    if (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0) {
      found.push_back(node.path);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

void FakePlatform::DenyWrite(const std::string& path) { denied_.insert(Key(path)); }

void FakePlatform::AddLink(const std::string& path, const std::string& target, bool folder) {
  size_t sep = kUtf8.FindLastOf(path, "\\");
  if (sep != std::string::npos) AddFolder(path.substr(0, std::max<size_t>(sep, 3)));
  Node node;
  node.path = Normal(path);
  node.folder = folder;
  node.attributes = kAttrReparsePoint | (folder ? kAttrDirectory : kAttrArchive);
  node.linkTarget = target;
  nodes_[Key(path)] = node;
  ++links_;
}

void FakePlatform::AddHardLink(const std::string& path, const std::string& existing) {
  Node* node = Find(existing);
  if (!node || node->folder) return;
  node->hardLinks = 2;
  Node copy = *node;
  copy.path = Normal(path);
  nodes_[Key(path)] = copy;
}
void FakePlatform::DenyRegistry(RegRoot root) { deniedRoots_.insert(root); }

uint32_t FakePlatform::Attributes(const std::string& path) {
  Node* node = Find(path);
  return node ? node->attributes : kInvalidAttributes;
}

bool FakePlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  Node* node = Find(path);
  if (!node) return false;
  node->attributes = (attributes & ~kAttrDirectory) | (node->folder ? kAttrDirectory : 0);
  if (!node->folder && node->attributes == 0) node->attributes = kAttrNormal;
  return true;
}

std::optional<uint64_t> FakePlatform::FileSize(const std::string& path) {
  Node* node = Find(path);
  if (!node) return std::nullopt;
  return node->data.size();
}

std::optional<uint64_t> FakePlatform::LastWriteTime(const std::string& path) {
  Node* node = Find(path);
  if (!node) return std::nullopt;
  return node->writeTime;
}

bool FakePlatform::Copy(const std::string& fromPath, const std::string& toPath,
                        bool failIfExists) {
  // Both ends are opened, through a link at either.
  const std::string from = Followed(fromPath), to = Followed(toPath);
  Node* source = Find(from);
  if (!source || source->folder) return false;
  if (source->exclusiveReaders > 0) return false;
  if (!ParentExists(to)) return false;
  Node* target = Find(to);
  if (target && failIfExists) return false;
  if (Denied(to) || (target && (target->folder || (target->attributes & kAttrReadOnly) ||
                                 Busy(*target)))) {
    return false;
  }
  if (target == source) return true;
  Node copy = *source;
  copy.path = target ? target->path : Normal(to);
  copy.exclusiveReaders = copy.readers = copy.holds = 0;
  copy.hardLinks = 1;
  nodes_[Key(to)] = copy;
  return true;
}

bool FakePlatform::Move(const std::string& from, const std::string& to) {
  Node* source = Find(from);
  if (!source) return false;
  std::string fromKey = Key(from), toKey = Key(to);
  const size_t sourceLength = source->path.size();
  if (Find(to) && fromKey != toKey) return false;
  if (!ParentExists(to)) return false;
  if (Denied(from) || Denied(to) || Busy(*source)) return false;
  std::map<std::string, Node> moved;
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    const std::string& key = it->first;
    bool inside = key == fromKey ||
                  (key.size() > fromKey.size() && key.compare(0, fromKey.size(), fromKey) == 0 &&
                   key[fromKey.size()] == '\\');
    if (!inside) {
      ++it;
      continue;
    }
    Node node = it->second;
    node.path = Normal(to) + node.path.substr(std::min(node.path.size(), sourceLength));
    moved[toKey + key.substr(fromKey.size())] = node;
    it = nodes_.erase(it);
  }
  nodes_.insert(moved.begin(), moved.end());
  return true;
}

bool FakePlatform::Delete(const std::string& path) {
  Node* node = Find(path);
  if (!node) return false;
  if (node->folder || Denied(path) || (node->attributes & kAttrReadOnly) || Busy(*node)) {
    return false;
  }
  nodes_.erase(Key(path));
  return true;
}

// Nothing is removed when the path leads through a link: its lookup then
// differs from the path as written.
bool FakePlatform::RemoveInPlace(const std::string& path, bool folder) {
  Node* node = Find(path);
  if (!node || Key(path) != PlainKey(path) || Denied(path) || Busy(*node)) return false;
  if (node->linkTarget.empty()) {
    if (node->folder != folder || (node->attributes & kAttrReadOnly)) return false;
    if (folder && (!ListTree(path).empty() || Key(path) == Key(currentFolder))) return false;
  }
  nodes_.erase(Key(path));
  return true;
}

uint32_t FakePlatform::MakeFolder(const std::string& path) {
  if (path.empty()) return kErrPathNotFound;
  if (Find(path)) return kErrAlreadyExists;
  if (!ValidName(path)) return kErrInvalidName;
  if (!ParentExists(path)) return kErrPathNotFound;
  if (Denied(path)) return kErrAccessDenied;
  Node node;
  node.path = Normal(path);
  node.folder = true;
  node.attributes = kAttrDirectory;
  nodes_[Key(path)] = node;
  return 0;
}

bool FakePlatform::RemoveFolder(const std::string& path) {
  Node* node = Find(path);
  if (!node || !node->folder || node->holds > 0) return false;
  if (!ListTree(path).empty()) return false;
  if (Denied(path) || Key(path) == Key(currentFolder)) return false;
  nodes_.erase(Key(path));
  return true;
}

uint32_t FakePlatform::SetCurrentFolder(const std::string& path) {
  Node* node = Find(Followed(path));
  if (!node || !node->folder) return kErrFileNotFound;
  currentFolder = path;
  return 0;
}

std::unique_ptr<FileReader> FakePlatform::OpenForRead(const std::string& linkOrPath,
                                                     bool exclusive) {
  const std::string path = Followed(linkOrPath);
  Node* node = Find(path);
  if (!node || node->folder || node->exclusiveReaders > 0) return nullptr;
  if (exclusive && node->readers > 0) return nullptr;
  return std::make_unique<Reader>(*this, Key(path), exclusive);
}

std::unique_ptr<FileWriter> FakePlatform::CreateForWrite(const std::string& linkOrPath) {
  const std::string path = Followed(linkOrPath);
  Node* node = Find(path);
  if (!ParentExists(path) || Denied(path)) return nullptr;
  if (node && (node->folder || (node->attributes & kAttrReadOnly) || Busy(*node))) {
    return nullptr;
  }
  if (node) {
    node->data.clear();
    node->writeTime = ++clock_;
  } else {
    AddFile(path, "");
  }
  return std::make_unique<Writer>(*this, Key(path));
}

std::unique_ptr<FileWriter> FakePlatform::CreateNew(const std::string& path) {
  if (Find(path)) return nullptr;
  return FakePlatform::CreateForWrite(path);
}

std::string FakePlatform::ReadProfile(const std::string& section, const std::string& key,
                                      const std::string& defaultValue, const std::string& file,
                                      uint32_t bufferSize) {
  std::optional<std::string> contents = Contents(file);
  if (contents && (!parsed_ || parsedBytes_ != *contents)) {
    parsed_.emplace(DecodeText(*this, *contents).text);
    parsedBytes_ = *contents;
  }
  return ProfileLookup(contents ? &*parsed_ : nullptr, section, key, defaultValue, bufferSize);
}

bool FakePlatform::WriteProfile(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& file) {
  std::optional<std::string> contents = Contents(file);
  if (!contents && (!ParentExists(file) || Denied(file))) return false;
  Node* node = Find(file);
  if (node && ((node->attributes & kAttrReadOnly) || Busy(*node))) return false;
  std::string bytes = ProfileUpdate(*this, contents, section, key, value);
  if (node) {
    node->data = bytes;
    node->writeTime = ++clock_;
  } else {
    AddFile(file, bytes);
  }
  return true;
}

std::optional<std::string> FakePlatform::MapString(const std::string& text, uint32_t flags) {
  if (text.empty()) return std::nullopt;
  if (flags != 0x200) return text;
  return UpperText(text);
}

std::optional<std::string> FakePlatform::FromCodePage(uint32_t codePage,
                                                      const std::string& bytes) {
  return codePage == 932 ? Cp932ToUtf8(bytes) : std::nullopt;
}

std::optional<std::string> FakePlatform::ToCodePage(uint32_t codePage, const std::string& text) {
  return codePage == 932 ? Utf8ToCp932(text) : std::nullopt;
}

std::string FakePlatform::RegPath(RegRoot root, const std::string& path) const {
  std::string full = std::string(RegRootName(root)) + "\\" + path;
  while (!full.empty() && full.back() == '\\') full.pop_back();
  return UpperText(full);
}

// A registry key path with each link on its way (and at its end, with
// final) replaced by the key it points at.
std::string FakePlatform::RegThrough(std::string key, bool final) const {
  for (int hops = 0; regLinks_ > 0 && hops < 16; ++hops) {
    bool moved = false;
    for (size_t end = key.find('\\'); !moved; end = key.find('\\', end + 1)) {
      const bool last = end == std::string::npos;
      if (last && !final) break;
      auto it = registry_.find(key.substr(0, last ? key.size() : end));
      if (it != registry_.end() && !it->second.linkTarget.empty()) {
        key = it->second.linkTarget + (last ? "" : key.substr(end));
        moved = true;
      }
      if (last) break;
    }
    if (!moved) break;
  }
  return key;
}

void FakePlatform::AddRegistryLink(RegRoot root, const std::string& path, RegRoot targetRoot,
                                   const std::string& target) {
  std::string full = RegPath(root, path);
  CreateRegistryKey(root, path.substr(0, kUtf8.FindLastOf(path, "\\") + 1));
  registry_[full].linkTarget = RegPath(targetRoot, target);
  ++regLinks_;
}

bool FakePlatform::CreateRegistryKey(RegRoot root, const std::string& path) {
  if (deniedRoots_.count(root)) return false;
  // Every level of the path comes into being, as with RegCreateKeyEx.
  std::string full = RegThrough(RegPath(root, path), true);
  for (size_t sep = full.find('\\'); sep != std::string::npos; sep = full.find('\\', sep + 1)) {
    registry_[full.substr(0, sep)];
  }
  registry_[full];
  return true;
}

bool FakePlatform::SetRegistryValue(RegRoot root, const std::string& path,
                                    const std::string& name, const RegValue& value) {
  auto it = registry_.find(RegThrough(RegPath(root, path), true));
  if (deniedRoots_.count(root) || it == registry_.end()) return false;
  it->second.values[UpperText(name)] = {name, value};
  return true;
}

std::optional<RegValue> FakePlatform::GetRegistryValue(RegRoot root, const std::string& path,
                                                       const std::string& name) {
  auto it = registry_.find(RegThrough(RegPath(root, path), true));
  if (it == registry_.end()) return std::nullopt;
  auto value = it->second.values.find(UpperText(name));
  if (value == it->second.values.end()) return std::nullopt;
  return value->second.second;
}

// A link is deleted itself; the keys it points at are elsewhere in the map.
bool FakePlatform::DeleteRegistryTree(RegRoot root, const std::string& path) {
  std::string full = RegPath(root, path);
  if (deniedRoots_.count(root) || !registry_.count(full) || path.empty()) return false;
  if (RegThrough(full, false) != full) return false;
  for (auto it = registry_.begin(); it != registry_.end();) {
    bool inside = it->first == full || it->first.compare(0, full.size() + 1, full + "\\") == 0;
    it = inside ? registry_.erase(it) : std::next(it);
  }
  return true;
}

bool FakePlatform::RegistryKeyExists(RegRoot root, const std::string& path) const {
  return registry_.count(RegThrough(RegPath(root, path), true)) > 0;
}

std::vector<std::string> FakePlatform::RegistryKeys() const {
  std::vector<std::string> keys;
  for (const auto& entry : registry_) keys.push_back(entry.first);
  return keys;
}

std::string FakePlatform::SpecialFolder(int csidl) {
  auto it = specialFolders.find(csidl);
  return it == specialFolders.end() ? std::string() : it->second;
}

namespace {

class FakeShellLink : public ShellLink {
 public:
  explicit FakeShellLink(FakePlatform& owner) : owner_(owner) { ++owner_.liveLinks; }
  ~FakeShellLink() override { --owner_.liveLinks; }
  void SetPath(const std::string& target) override { target_ = target; }
  void SetWorkingDirectory(const std::string& folder) override { folder_ = folder; }
  bool Save(const std::string& linkPath) override {
    auto writer = owner_.CreateForWrite(linkPath);
    std::string data = target_ + "|" + folder_;
    return writer && writer->Write(data.data(), data.size()) && writer->Close();
  }

 private:
  FakePlatform& owner_;
  std::string target_, folder_;
};

}  // namespace

ShellLinkResult FakePlatform::CreateShellLink() {
  ShellLinkResult result;
  if (shellLinkError != 0) {
    result.error = shellLinkError;
  } else if (shellLinkNoInterface) {
    result.noInterface = true;
  } else {
    result.link = std::make_unique<FakeShellLink>(*this);
  }
  return result;
}

std::string FakePlatform::SystemErrorText(int32_t code) {
  auto it = errorTexts.find(code);
  return it == errorTexts.end() ? std::string() : it->second;
}

bool FakePlatform::ShellOpen(const std::string& path) {
  opened.push_back(path);
  return Find(path) != nullptr;
}

class FakePlatform::FolderHold : public Hold {
 public:
  FolderHold(FakePlatform& owner, std::string key) : owner_(owner), key_(std::move(key)) {
    ++owner_.nodes_[key_].holds;
  }
  ~FolderHold() override {
    auto it = owner_.nodes_.find(key_);
    if (it != owner_.nodes_.end()) --it->second.holds;
  }

 private:
  FakePlatform& owner_;
  std::string key_;
};

// Names differ from run to run of a test only by the count; what matters
// here is that no fixed name is used and an existing folder is never taken.
// Restricted, the folder is made only where no link leads.
PrivateFolder FakePlatform::MakePrivateFolder(const std::string& parent) {
  PrivateFolder made;
  const bool restricted = rights != Rights::User;
  if (privateFolderFails || (restricted && Key(parent) != PlainKey(parent))) return made;
  std::string base = parent;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  for (int tries = 0; tries < 8; ++tries) {
    std::string path = base + "\\QS" + std::to_string(1000 + privateFolders++) + ".TMP";
    if (MakeFolder(path) == 0) {
      privateFolderRestricted[path] = restricted;
      made.hold = std::make_unique<FolderHold>(*this, Key(path));
      made.path = path;
      return made;
    }
  }
  return made;
}

class FakePlatform::Held : public HeldFile {
 public:
  Held(FakePlatform& owner, std::string key) : owner_(owner), key_(std::move(key)) {
    ++owner_.nodes_[key_].readers;
  }
  ~Held() override {
    auto it = owner_.nodes_.find(key_);
    if (it != owner_.nodes_.end()) --it->second.readers;
  }
  std::optional<uint64_t> LastWriteTime() override { return owner_.nodes_[key_].writeTime; }
  bool CopyTo(const std::string& path) override {
    return owner_.Copy(owner_.nodes_[key_].path, path, false);
  }

 private:
  FakePlatform& owner_;
  std::string key_;
};

std::unique_ptr<HeldFile> FakePlatform::HoldFile(const std::string& linkOrPath) {
  const std::string path = Followed(linkOrPath);
  Node* node = Find(path);
  if (!node || node->folder || node->exclusiveReaders > 0) return nullptr;
  return std::make_unique<Held>(*this, Key(path));
}

AppendFile FakePlatform::AppendTo(const std::string& path) {
  AppendFile opened;
  Node* node = Find(path);
  if (Key(path) != PlainKey(path) || Denied(path)) return opened;
  if (node && (!node->linkTarget.empty() || node->folder || node->hardLinks > 1 ||
               (node->attributes & kAttrReadOnly) || Busy(*node))) {
    return opened;
  }
  if (!node) {
    if (!ParentExists(path)) return opened;
    AddFile(path, "");
    node = Find(path);
  }
  opened.size = node->data.size();
  opened.writer = std::make_unique<Writer>(*this, Key(path));
  return opened;
}

}  // namespace qs::fake
