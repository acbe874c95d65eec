#include "tools/setupkit/Bundle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>

#include "core/CodePage.h"
#include "core/Sha256.h"
#include "core/X86Filter.h"
#include "platform/Unicode.h"
#include "platform/fake/Cp932.h"
#include "tools/setupkit/Text.h"

// <chrono> itself cannot be compiled for code page 932 (its "µs"); the
// file system's clock comes with <filesystem>.

// As in the program (core/BundleReader.cpp): the SDK's header without
// <windows.h> and its macros.
#pragma push_macro("_WIN32")
#undef _WIN32
#include "LzmaEnc.h"
#pragma pop_macro("_WIN32")

namespace qs::kit {
namespace fs = std::filesystem;
namespace {

constexpr uint64_t kFileTimeOf1970 = 116444736000000000ull;  // 100 ns units from 1601

uint64_t FileTimeOf(fs::file_time_type time) {
  auto since1970 = std::chrono::file_clock::to_sys(time).time_since_epoch();
  return kFileTimeOf1970 +
         static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100);
}

fs::file_time_type FileTimeToDisk(uint64_t fileTime) {
  auto since1970 = std::chrono::nanoseconds((static_cast<int64_t>(fileTime - kFileTimeOf1970)) * 100);
  return std::chrono::file_clock::from_sys(
      std::chrono::sys_time<std::chrono::nanoseconds>(since1970));
}

// A name on disk in UTF-8: as the system holds it (UTF-16 on Windows,
// UTF-8 on Linux) or, copied from a Windows disk onto Linux, Shift-JIS.
std::optional<std::string> NameToUtf8(const fs::path& disk) {
  std::string name = NameOf(disk);
  if (IsUtf8(name)) return name;
  return fake::Cp932ToUtf8(name);
}

// An entry's name as a path below folder on this system.
fs::path DiskPathOf(const fs::path& folder, const std::string& name) {
  fs::path path = folder;
  for (size_t start = 0;;) {
    size_t sep = name.find('\\', start);
    std::string part = name.substr(start, sep - start);
    path /= PathOf(part);
    if (sep == std::string::npos) return path;
    start = sep + 1;
  }
}

bool IsWindowsProgram(const std::string& bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() < 0x40 || p[0] != 'M' || p[1] != 'Z') return false;
  uint32_t pe = p[0x3C] | p[0x3D] << 8 | p[0x3E] << 16 | uint32_t{p[0x3F]} << 24;
  if (pe > bytes.size() - 6 || std::memcmp(p + pe, "PE\0\0", 4) != 0) return false;
  uint16_t machine = static_cast<uint16_t>(p[pe + 4] | p[pe + 5] << 8);
  return machine == 0x14C || machine == 0x8664;  // i386, x86-64
}

struct Source {
  BundleEntry entry;
  fs::path path;
};

// The entries of the folder, in the order that compresses best: by
// extension, so that like files stand together, then by name as it is
// (upper-casing the names too would part files of one family: "_" sorts
// after the capitals but before small letters; 1% on the benchmark's corpus).
bool ListFolder(const fs::path& folder, bool filter, std::vector<Source>* sources,
                std::string* error) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    const fs::directory_entry& file = *it;
    if (file.is_directory(ec) && !file.is_symlink(ec)) continue;
    if (file.is_symlink(ec) || !file.is_regular_file(ec)) {
      *error = file.path().string() + " is a link or not a plain file; a bundle holds files only";
      return false;
    }
    std::string name;
    for (const fs::path& part : fs::relative(file.path(), folder, ec)) {
      std::optional<std::string> utf8 = NameToUtf8(part);
      if (!utf8) {
        *error = file.path().string() + ": the name is neither UTF-8 nor Shift-JIS";
        return false;
      }
      name += (name.empty() ? "" : "\\") + *utf8;
    }
    if (!IsSafeBundleName(name)) {
      *error = file.path().string() + ": a name SETUP.EXE would refuse to unpack";
      return false;
    }
    Source source;
    source.path = file.path();
    source.entry.name = name;
    const uint64_t size = file.file_size(ec);
    if (size > kBundleMaxSize) {
      *error = file.path().string() + " is 4 GiB or more, more than a bundle holds";
      return false;
    }
    source.entry.size = static_cast<uint32_t>(size);
    source.entry.writeTime = FileTimeOf(file.last_write_time(ec));
    bool readOnly = (file.status(ec).permissions() & fs::perms::owner_write) == fs::perms::none;
    source.entry.attributes = kAttrArchive | (readOnly ? kAttrReadOnly : 0);
    if (filter && IsWindowsProgram(ReadBytes(file.path()).substr(0, kBundleHeadSize))) {
      source.entry.flags = kBundleX86;
    }
    sources->push_back(std::move(source));
  }
  if (ec) {
    *error = "cannot read " + folder.string() + ": " + ec.message();
    return false;
  }
  std::vector<BundleEntry> entries;
  for (const Source& source : *sources) entries.push_back(source.entry);
  if (const BundleEntry* clash = FindNameClash(entries)) {
    *error = clash->name + ": another file or folder has this name on Windows, where letter case "
                           "does not tell names apart";
    return false;
  }
  auto key = [](const Source& s) {
    std::string upper = UpperAscii(s.entry.name, CodePage(65001));
    size_t dot = upper.find_last_of(".\\");
    std::string extension = dot == std::string::npos || upper[dot] != '.' ? "" : upper.substr(dot);
    return extension + '\0' + s.entry.name;
  };
  std::sort(sources->begin(), sources->end(),
            [&](const Source& a, const Source& b) { return key(a) < key(b); });
  return true;
}

// The SDK's encoder reading the entries one after another (each through the
// branch converter when flagged) and writing into a string.
struct EntryChain {
  ISeqInStream stream{Read};
  const std::vector<BundleEntry>* entries = nullptr;
  const BundleContents* contentsOf = nullptr;
  size_t next = 0;
  std::string current;
  size_t at = 0;
  bool failed = false;

  // Fills the whole buffer but at the end, as a file read would.
  static SRes Read(void* self, void* buffer, size_t* size) {
    auto* chain = static_cast<EntryChain*>(self);
    auto* out = static_cast<uint8_t*>(buffer);
    size_t given = 0;
    while (given < *size) {
      if (chain->at == chain->current.size() && !chain->Next()) break;
      size_t n = std::min(*size - given, chain->current.size() - chain->at);
      std::memcpy(out + given, chain->current.data() + chain->at, n);
      chain->at += n;
      given += n;
    }
    *size = given;
    return chain->failed ? SZ_ERROR_READ : SZ_OK;
  }

  // Loads the next entry's bytes (of the program itself its headers only);
  // false at the end or on failure.
  bool Next() {
    if (next >= entries->size()) return false;
    const BundleEntry& entry = (*entries)[next];
    std::optional<std::string> bytes = (*contentsOf)(next++);
    if (!bytes || bytes->size() != entry.size) {
      failed = true;  // unreadable, or changed while being bundled
      return false;
    }
    current = std::move(*bytes);
    current.resize(InStream(entry));
    at = 0;
    if (entry.flags & kBundleX86) {
      X86Filter().Encode(reinterpret_cast<uint8_t*>(current.data()), current.size(), true);
    }
    return true;
  }
};

struct StringSink {
  ISeqOutStream stream{Write};
  std::string bytes;
  static size_t Write(void* self, const void* data, size_t size) {
    static_cast<StringSink*>(self)->bytes.append(static_cast<const char*>(data), size);
    return size;
  }
};

void* LzmaAlloc(void*, size_t size) { return std::malloc(size); }
void LzmaRelease(void*, void* address) { std::free(address); }

// The packager's SETUP.EXE as the bundle's program: its sections, without
// the certificate table of a signature (the bundle is signed as a whole).
std::optional<std::string> ProgramPart(const std::string& setupExe, std::string* error) {
  const auto* head = reinterpret_cast<const uint8_t*>(setupExe.data());
  size_t headSize = std::min(setupExe.size(), kBundleHeadSize);
  ProgramExtent extent = ReadProgramExtent(head, headSize, setupExe.size());
  if (!IsWindowsProgram(setupExe)) {
    *error = "SETUP.EXE is not a Windows program";
    return std::nullopt;
  }
  if (extent.signedEnd > extent.imageEnd + kBundleAlignment - 1) {
    *error = "SETUP.EXE holds data after its sections (a bundle already?)";
    return std::nullopt;
  }
  std::string program = setupExe.substr(0, extent.imageEnd);
  if (extent.signedEnd < setupExe.size()) {
    // The security directory goes with the certificate table (ReadProgramExtent
    // found it inside the head).
    uint32_t pe = head[0x3C] | head[0x3D] << 8 | head[0x3E] << 16 | uint32_t{head[0x3F]} << 24;
    bool pe32 = head[pe + 24] == 0x0B && head[pe + 25] == 0x01;
    std::memset(program.data() + pe + 24 + (pe32 ? 96 : 112) + 4 * 8, 0, 8);
  }
  return program;
}

}  // namespace

namespace {

// The SDK's encoder as bundles use it, reading from in; nullopt on failure.
std::optional<std::string> Encode(ISeqInStream* in, uint64_t size, uint8_t properties[5]) {
  ISzAlloc alloc{LzmaAlloc, LzmaRelease};
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = 9;
  props.dictSize = kBundleMaxDictionary;
  props.reduceSize = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<UInt32>(size);
  props.fb = 273;
  props.numThreads = 1;
  props.writeEndMark = 1;  // the reader checks the unpacked size by it
  LzmaEncProps_Normalize(&props);
  if (props.dictSize < kBundleMinDictionary) props.dictSize = kBundleMinDictionary;
  CLzmaEncHandle encoder = LzmaEnc_Create(&alloc);
  StringSink sink;
  SizeT propertiesSize = LZMA_PROPS_SIZE;
  bool ok = encoder && LzmaEnc_SetProps(encoder, &props) == SZ_OK &&
            LzmaEnc_WriteProperties(encoder, properties, &propertiesSize) == SZ_OK &&
            LzmaEnc_Encode(encoder, &sink.stream, in, nullptr, &alloc, &alloc) == SZ_OK;
  if (encoder) LzmaEnc_Destroy(encoder, &alloc, &alloc);
  if (!ok) return std::nullopt;
  return std::move(sink.bytes);
}

}  // namespace

std::optional<std::string> CompressBundleStream(const std::vector<BundleEntry>& entries,
                                                const BundleContents& contentsOf,
                                                uint8_t properties[5]) {
  EntryChain chain;
  chain.entries = &entries;
  chain.contentsOf = &contentsOf;
  chain.current = WriteBundleIndex(entries);  // the index comes first
  uint64_t total = chain.current.size();
  for (const BundleEntry& entry : entries) total += InStream(entry);
  std::optional<std::string> stream = Encode(&chain.stream, total, properties);
  if (chain.failed || chain.next != entries.size()) return std::nullopt;
  return stream;
}

std::string CompressBundleBytes(const std::string& bytes, uint8_t properties[5]) {
  BundleEntry whole;
  whole.size = static_cast<uint32_t>(bytes.size());
  std::vector<BundleEntry> one = {whole};
  EntryChain chain;
  chain.entries = &one;
  BundleContents contents = [&](size_t) { return std::optional<std::string>(bytes); };
  chain.contentsOf = &contents;
  return Encode(&chain.stream, bytes.size(), properties).value_or(std::string());
}

std::string SealBundle(const std::string& program, const BundleHeader& header,
                       const std::string& stream) {
  std::string payload(kBundleHeaderSize, '\0');
  WriteBundleHeader(header, reinterpret_cast<uint8_t*>(payload.data()));
  payload += stream;
  BundleTrailer trailer;
  trailer.digest = Sha256Of(payload.data(), payload.size());
  trailer.payloadSize = static_cast<uint32_t>(payload.size());
  std::string tail(kBundleTrailerSize, '\0');
  WriteBundleTrailer(trailer, reinterpret_cast<uint8_t*>(tail.data()));
  // Zero bytes after the program make the whole a multiple of 8 long, so a
  // signing tool's certificate table follows the trailer at once.
  const size_t unaligned = (program.size() + payload.size() + tail.size()) % kBundleAlignment;
  const size_t pad = unaligned == 0 ? 0 : kBundleAlignment - unaligned;
  return program + std::string(pad, '\0') + payload + tail;
}

std::string AssembleBundle(const std::string& program, const std::vector<BundleEntry>& entries,
                           const std::string& stream, const uint8_t properties[5]) {
  BundleHeader header;
  std::memcpy(header.lzmaProperties, properties, 5);
  header.entryCount = static_cast<uint32_t>(entries.size());
  header.indexSize = static_cast<uint32_t>(WriteBundleIndex(entries).size());
  for (const BundleEntry& entry : entries) header.unpackedSize += InStream(entry);
  header.streamSize = static_cast<uint32_t>(stream.size());
  return SealBundle(program, header, stream);
}

namespace {

// Writes bytes to path through a temporary file beside it, so a failure
// never leaves a partial file under the real name; empty when done, else why
// not.
std::string WriteWhole(const fs::path& path, const std::string& bytes) {
  fs::path temp = path;
  temp += ".setupkit-tmp";
  std::error_code ec;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (out) {
      out.close();
      fs::rename(temp, path, ec);
      if (!ec) return std::string();
    }
  }
  fs::remove(temp, ec);
  return "cannot write " + path.string();
}

// The folder's files, SETUP.EXE's among them, or why not.
bool GatherFolder(const BundleRequest& request, std::vector<Source>* sources,
                  const Source** setup, std::string* error) {
  if (!fs::is_directory(request.folder)) {
    *error = request.folder.string() + " is not a folder";
    return false;
  }
  if (!request.force && fs::exists(request.output)) {
    *error = request.output.string() + " exists; use --force to replace it";
    return false;
  }
  if (!ListFolder(request.folder, request.filter, sources, error)) return false;
  uint64_t indexSize = 0, total = 0;
  for (const Source& source : *sources) {
    if (UpperAscii(source.entry.name, CodePage(65001)) == "SETUP.EXE") *setup = &source;
    indexSize += kBundleRecordSize + source.entry.name.size();
    total += source.entry.size;
  }
  if (!*setup) *error = "no SETUP.EXE in " + request.folder.string();
  if (sources->size() > kBundleMaxEntries || indexSize > kBundleMaxIndex) {
    *error = "too many files for one bundle";
  }
  if (total > kBundleMaxSize) *error = "the files hold 4 GiB or more, more than a bundle holds";
  return error->empty();
}

}  // namespace

BundleBuilt MakeBundle(const BundleRequest& request) {
  BundleBuilt result;
  std::vector<Source> sources;
  const Source* setup = nullptr;
  if (!GatherFolder(request, &sources, &setup, &result.message)) return result;
  std::optional<std::string> program = ProgramPart(ReadBytes(setup->path), &result.message);
  if (!program) return result;
  // An unsigned SETUP.EXE with nothing after its sections is the program
  // itself: the bundle holds it once.
  const ProgramExtent extent = ReadProgramExtent(reinterpret_cast<const uint8_t*>(program->data()),
                                                 std::min<size_t>(program->size(), kBundleHeadSize),
                                                 static_cast<uint32_t>(program->size()));
  const bool once = extent.imageEnd == program->size() && program->size() > kBundleProgramHead &&
                    ReadBytes(setup->path) == *program;
  std::vector<BundleEntry> entries;
  for (const Source& source : sources) {
    entries.push_back(source.entry);
    result.unpackedSize += source.entry.size;
    if (&source == setup && once) entries.back().flags = kBundleProgram;
  }
  uint8_t properties[5];
  std::optional<std::string> stream = CompressBundleStream(
      entries, [&](size_t i) -> std::optional<std::string> {
        std::error_code ec;
        if (fs::file_size(sources[i].path, ec) != sources[i].entry.size || ec) return std::nullopt;
        return ReadBytes(sources[i].path);
      },
      properties);
  if (!stream) {
    result.message = "cannot compress the files of " + request.folder.string() +
                     " (one changed or could not be read)";
    return result;
  }
  const std::string bundle = AssembleBundle(*program, entries, *stream, properties);
  if (bundle.size() > kBundleMaxSize) {
    result.message = "the bundle would be 4 GiB or more, more than the program reads";
    return result;
  }
  result.message = WriteWhole(request.output, bundle);
  if (!result.message.empty()) return result;
  result.size = bundle.size();
  result.built = true;
  result.message = "bundled " + request.output.string();
  return result;
}

namespace {

class DiskSource : public BundleSource {
 public:
  explicit DiskSource(const fs::path& path) : path_(path) {}
  std::optional<uint64_t> Size() override {
    std::error_code ec;
    uint64_t size = fs::file_size(path_, ec);
    return ec ? std::nullopt : std::optional<uint64_t>(size);
  }
  std::unique_ptr<FileReader> Open() override {
    auto reader = std::make_unique<Reader>(path_);
    return reader->ok() ? std::move(reader) : nullptr;
  }

 private:
  class Reader : public FileReader {
   public:
    explicit Reader(const fs::path& path) : in_(path, std::ios::binary) {}
    bool ok() const { return in_.is_open(); }
    int64_t Read(void* buffer, size_t size) override {
      in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
      return in_.bad() ? -1 : static_cast<int64_t>(in_.gcount());
    }

   private:
    std::ifstream in_;
  };
  fs::path path_;
};

class DiskTarget : public BundleTarget {
 public:
  explicit DiskTarget(const fs::path& folder) : folder_(folder) {}
  bool MakeFolder(const std::string& name) override {
    std::error_code ec;
    return fs::create_directory(DiskPathOf(folder_, name), ec);
  }
  std::unique_ptr<FileWriter> Create(const std::string& name) override {
    fs::path path = DiskPathOf(folder_, name);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) return nullptr;
    auto writer = std::make_unique<Writer>(path);
    return writer->ok() ? std::move(writer) : nullptr;
  }
  void Finish(const BundleEntry& entry) override {
    fs::path path = DiskPathOf(folder_, entry.name);
    std::error_code ec;
    fs::last_write_time(path, FileTimeToDisk(entry.writeTime), ec);
    if (entry.attributes & kAttrReadOnly) {
      fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove, ec);
    }
  }
  void Remove(const std::string& name, bool) override {
    std::error_code ec;
    fs::remove(DiskPathOf(folder_, name), ec);
  }

 private:
  class Writer : public FileWriter {
   public:
    explicit Writer(const fs::path& path) : out_(path, std::ios::binary) {}
    bool ok() const { return out_.is_open(); }
    bool Write(const void* data, size_t size) override {
      out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
      return static_cast<bool>(out_);
    }
    bool Close() override {
      out_.close();
      return !out_.fail();
    }

   private:
    std::ofstream out_;
  };
  fs::path folder_;
};

}  // namespace

BundleStatus InspectBundle(const fs::path& file, BundleLayout* layout) {
  DiskSource source(file);
  return ReadBundle(source, layout);
}

BundleStatus ExtractBundleTo(const fs::path& file, const BundleLayout& layout, const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder) || fs::is_symlink(fs::symlink_status(folder, ec))) {
    return BundleStatus::Failed;
  }
  DiskSource source(file);
  DiskTarget target(folder);
  return ExtractBundle(source, layout, target, nullptr);
}

const char* BundleStatusText(BundleStatus status) {
  switch (status) {
    case BundleStatus::Ok: return "a bundle";
    case BundleStatus::NotABundle: return "not a bundle (no payload after the program)";
    case BundleStatus::Damaged: return "damaged: cut short or altered (the digest differs)";
    case BundleStatus::Refused:
      return "refused: its payload breaks the bundle's rules (names, sizes or stream)";
    case BundleStatus::Failed: return "cannot be read, or the files cannot be written";
  }
  return "";
}

}  // namespace qs::kit
