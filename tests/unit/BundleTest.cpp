// The one-file SETUP.EXE: SHA-256, the branch converter, and the payload
// reader against hostile, cut and altered bundles (core/Bundle.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Bundle.h"
#include "core/BundleReader.h"
#include "core/Sha256.h"
#include "core/StringFile.h"
#include "core/X86Filter.h"
#include "tests/support/BundleImages.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ThreadBeside.h"
#include "tools/setupkit/Bundle.h"

// The decoding ring asks for its slots without throwing; a test refuses all
// but the first few.
namespace qs::test {
std::atomic<int> nothrowArraysLeft{-1};  // -1: no limit
}  // namespace qs::test

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (qs::test::nothrowArraysLeft.load() == 0) return nullptr;
  if (qs::test::nothrowArraysLeft.load() > 0) --qs::test::nothrowArraysLeft;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace qs {
namespace {

constexpr char kBundlePath[] = "C:\\DL\\SETUP.EXE";
constexpr char kFolder[] = "C:\\TEMP\\QS1";

std::string Hex(const Sha256Digest& digest) {
  std::string hex;
  for (uint8_t b : digest) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  return hex;
}

TEST(Sha256, KnownDigestsWhateverThePieces) {
  struct Case {
    std::string message;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Sha256Of(c.message.data(), c.message.size())), c.digest) << c.message.size();
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 1000u}) {
      Sha256 sha;
      for (size_t at = 0; at < c.message.size(); at += piece) {
        sha.Update(c.message.data() + at, std::min(piece, c.message.size() - at));
      }
      EXPECT_EQ(Hex(sha.Finish()), c.digest) << c.message.size() << " in pieces of " << piece;
    }
  }
}

// Code-like bytes: many CALLs and JMPs with near targets, some far ones, and
// E8 bytes in data.
std::string CallHeavy(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    uint32_t r = rng() % 8;
    if (r < 3) {
      s += static_cast<char>(r == 0 ? 0xE9 : 0xE8);
      int32_t target = static_cast<int32_t>(rng() % 200000) - 100000;
      if (rng() % 10 == 0) target = static_cast<int32_t>(rng());
      for (int k = 0; k < 4; ++k) s += static_cast<char>(static_cast<uint32_t>(target) >> (8 * k));
    } else {
      s += static_cast<char>(rng() % 4 == 0 ? 0xE8 : rng());
    }
  }
  s.resize(size);
  return s;
}

TEST(X86Filter, DecodingInAnyPiecesGivesBackTheEncodedBytes) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const std::string original = CallHeavy(1 + seed * 997, seed);
    std::string encoded = original;
    X86Filter().Encode(reinterpret_cast<uint8_t*>(encoded.data()), encoded.size(), true);
    EXPECT_NE(encoded, original);
    // Decoded as the reader does: pieces of varying size, the unfinished
    // bytes carried to the front of the next piece.
    std::mt19937 rng(seed);
    X86Filter filter;
    std::string decoded, held;
    for (size_t at = 0; at < encoded.size();) {
      size_t piece = std::min<size_t>(1 + rng() % 40, encoded.size() - at);
      held += encoded.substr(at, piece);
      at += piece;
      size_t done = filter.Decode(reinterpret_cast<uint8_t*>(held.data()), held.size(),
                                  at == encoded.size());
      ASSERT_LE(held.size() - done, 4u);
      decoded += held.substr(0, done);
      held.erase(0, done);
    }
    EXPECT_EQ(decoded, original) << "seed " << seed;
  }
}

using test::Put32;
using test::Signed;

std::string Program(size_t code = 1024) { return test::ProgramImage(CallHeavy(code, 7)); }

using test::EntriesOf;
using File = test::BundleFile;

std::vector<File> SampleFiles() {
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i % 977) + "\r\n";
  return {{"SETUP.EXE", Program(4000), kBundleX86},
          {"SETUP.INI", "[CopyFile]\r\nFile1=(App)\\MANUAL.TXT\r\n"},
          {"MANUAL.TXT", text, 0, kAttrArchive | kAttrReadOnly},
          {"EMPTY.DAT", ""},
          {"DATA\\SUB\\NOISE.BIN", CallHeavy(70000, 3)}};
}

std::string MakeBundle(const std::vector<File>& files, const std::string& program = Program()) {
  return test::BundleOf(files, program);
}

// The in-memory Windows with a second thread, as Windows has one. Only the
// bundle's bytes are read on it, so they come from a copy (the world's maps
// are for one thread). As on Windows, a file open for writing cannot be
// deleted; the most files open at once is kept.
class WorldBeside : public test::FakePlatform {
 public:
  struct Options {
    bool threadFails = false;
    bool decoderBehind = false;  // the writer never finds a turn waiting
    std::string refusedOnce;     // a file that cannot be made at the first try
  };
  WorldBeside() = default;
  explicit WorldBeside(Options options) : options_(std::move(options)) {}
  std::unique_ptr<Beside> MakeBeside() override {
    return std::make_unique<test::ThreadBeside>(options_.threadFails, options_.decoderBehind);
  }
  std::unique_ptr<FileReader> OpenForRead(const std::string& path, bool exclusive) override {
    if (path != kBundlePath) return FakePlatform::OpenForRead(path, exclusive);
    std::optional<std::string> bytes = Contents(path);
    if (!bytes) return nullptr;
    copies_.push_back(*bytes);  // opened on the caller's thread only
    return std::make_unique<StringReader>(copies_.back());
  }
  std::unique_ptr<FileWriter> CreateNew(const std::string& path) override {
    if (!options_.refusedOnce.empty() && path == std::string(kFolder) + "\\" + options_.refusedOnce) {
      options_.refusedOnce.clear();
      return nullptr;
    }
    std::unique_ptr<FileWriter> file = FakePlatform::CreateNew(path);
    if (!file) return nullptr;
    open_.insert(path);
    mostOpen = std::max(mostOpen, open_.size());
    return std::make_unique<Open>(std::move(file), open_, path);
  }
  bool Delete(const std::string& path) override {
    return !open_.count(path) && FakePlatform::Delete(path);
  }
  size_t mostOpen = 0;

 private:
  class Open : public FileWriter {
   public:
    Open(std::unique_ptr<FileWriter> file, std::set<std::string>& open, std::string path)
        : file_(std::move(file)), open_(open), path_(std::move(path)) {}
    ~Open() override { open_.erase(path_); }
    bool Write(const void* data, size_t size) override { return file_->Write(data, size); }
    bool SetWriteTime(uint64_t time) override { return file_->SetWriteTime(time); }
    bool Close() override {
      open_.erase(path_);
      return file_->Close();
    }

   private:
    std::unique_ptr<FileWriter> file_;
    std::set<std::string>& open_;
    std::string path_;
  };

  Options options_;
  std::deque<std::string> copies_;  // each reader's own; a deque never moves them
  std::set<std::string> open_;
};

// Unpacks bundle as the program does, from a fresh world.
struct Unpacked {
  BundleResult result;
  std::unique_ptr<test::FakePlatform> os;
  std::vector<uint32_t> progress;
};

class Recorder : public BundleProgress {
 public:
  explicit Recorder(std::vector<uint32_t>& seen) : seen_(seen) {}
  void Unpacked(uint32_t done, uint32_t total) override {
    seen_.push_back(done);
    EXPECT_LE(done, total);
  }

 private:
  std::vector<uint32_t>& seen_;
};

// Every file below the unpacking folder, with its bytes and attributes.
std::vector<std::string> Written(test::FakePlatform& os) {
  std::vector<std::string> files;
  for (const std::string& path : os.ListTree(kFolder)) {
    files.push_back(path + " " + std::to_string(os.Attributes(path)) + " " +
                    os.Contents(path).value_or("<folder>"));
  }
  return files;
}

std::unique_ptr<Unpacked> UnpackIn(std::unique_ptr<test::FakePlatform> os, const std::string& bundle,
                                   const std::function<void(test::FakePlatform&)>& prepare) {
  auto u = std::make_unique<Unpacked>();
  u->os = std::move(os);
  u->os->AddFile(kBundlePath, bundle);
  u->os->AddFolder("C:\\TEMP");
  if (prepare) prepare(*u->os);
  Recorder recorder(u->progress);
  u->result = UnpackBundle(*u->os, kBundlePath, kFolder, &recorder);
  return u;
}

// Unpacks with one thread that decodes and writes in turn, and again with
// the decoding on a second thread, once as it comes and once with the
// decoder always behind (the writer then makes every file it may before
// their bytes come): all must end alike, whatever the bundle and whatever
// fails. The first is returned.
std::unique_ptr<Unpacked> Unpack(const std::string& bundle,
                                 const std::function<void(test::FakePlatform&)>& prepare = {}) {
  auto inTurn = UnpackIn(std::make_unique<test::FakePlatform>(), bundle, prepare);
  for (bool behind : {false, true}) {
    WorldBeside::Options options;
    options.decoderBehind = behind;
    auto beside = UnpackIn(std::make_unique<WorldBeside>(options), bundle, prepare);
    EXPECT_EQ(inTurn->result.status, beside->result.status) << "decoding beside, behind: " << behind;
    EXPECT_EQ(inTurn->result.entries.size(), beside->result.entries.size());
    // Progress comes about every megabyte, where the pieces end; whole at the end.
    auto end = [](const Unpacked& u) {
      return u.result.status == BundleStatus::Ok ? u.progress.back() : 0;
    };
    EXPECT_EQ(end(*inTurn), end(*beside));
    EXPECT_TRUE(std::is_sorted(beside->progress.begin(), beside->progress.end()));
    EXPECT_EQ(Written(*inTurn->os), Written(*beside->os)) << "behind: " << behind;
  }
  return inTurn;
}

TEST(BundleReader, UnpacksEveryFileWithItsAttributesAndTime) {
  const std::vector<File> onlyEmpty = {{"EMPTY.DAT", ""}, {"SUB\\ALSO.DAT", ""}};
  for (const auto& [files, bundle] :
       {std::pair{SampleFiles(), MakeBundle(SampleFiles())},
        std::pair{SampleFiles(), Signed(MakeBundle(SampleFiles()))},
        std::pair{onlyEmpty, MakeBundle(onlyEmpty)}}) {
    auto u = Unpack(bundle);
    ASSERT_EQ(u->result.status, BundleStatus::Ok);
    ASSERT_EQ(u->result.entries.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      std::string path = std::string(kFolder) + "\\" + files[i].name;
      EXPECT_EQ(u->os->Contents(path), files[i].bytes) << files[i].name;
      EXPECT_EQ(u->os->Attributes(path) & kAttrReadOnly, files[i].attributes & kAttrReadOnly);
      EXPECT_EQ(u->result.entries[i].writeTime, EntriesOf(files)[i].writeTime);
    }
    uint32_t total = 0;
    for (const File& f : files) total += static_cast<uint32_t>(f.bytes.size());
    ASSERT_FALSE(u->progress.empty());
    EXPECT_EQ(u->progress.back(), total);
    EXPECT_TRUE(std::is_sorted(u->progress.begin(), u->progress.end()));
  }
}

TEST(BundleReader, APlainProgramIsNoBundleSignedOrNot) {
  for (const std::string& file : {Program(), Signed(Program()), std::string("MZ"), std::string()}) {
    auto u = Unpack(file);
    EXPECT_EQ(u->result.status, BundleStatus::NotABundle) << file.size();
    EXPECT_TRUE(u->os->ListTree(kFolder).empty());
  }
}

TEST(BundleReader, ACutBundleIsDamagedAtEveryLengthAndWritesNothing) {
  const std::vector<File> files = {{"SETUP.EXE", Program(600), kBundleX86}, {"A.TXT", "hello"}};
  const std::string program = Program();
  const std::string whole = MakeBundle(files);
  for (const std::string& bundle : {whole, Signed(whole, 64)}) {
    for (size_t length = 0; length < bundle.size(); ++length) {
      auto u = Unpack(bundle.substr(0, length));
      // Cut inside the program, a file is just a broken program; cut where a
      // signature's table begins, the payload is still whole.
      BundleStatus expected = length >= program.size() + kBundleAlignment ? BundleStatus::Damaged
                                                                           : BundleStatus::NotABundle;
      if (length == whole.size()) expected = BundleStatus::Ok;
      ASSERT_EQ(u->result.status, expected) << "cut to " << length << " of " << bundle.size();
      if (expected != BundleStatus::Ok) {
        ASSERT_TRUE(u->os->ListTree(kFolder).empty()) << length;
      }
    }
  }
}

// Where the payload begins, as the trailer says.
size_t PayloadOffset(const std::string& bundle) {
  uint32_t size;
  std::memcpy(&size, &bundle[bundle.size() - 16], 4);
  return bundle.size() - kBundleTrailerSize - size;
}

TEST(BundleReader, AnyFlippedByteOfPayloadOrTrailerIsDamage) {
  const std::vector<File> files = {{"SETUP.EXE", Program(600), kBundleX86}, {"A.TXT", "hello"}};
  const std::string bundle = MakeBundle(files);
  for (size_t at = PayloadOffset(bundle); at < bundle.size(); ++at) {
    std::string flipped = bundle;
    flipped[at] ^= 0x10;
    auto u = Unpack(flipped);
    ASSERT_EQ(u->result.status, BundleStatus::Damaged) << "byte " << at;
    ASSERT_TRUE(u->os->ListTree(kFolder).empty());
  }
}

// Adds delta to the 32-bit number at s[at].
std::function<void(std::string&)> Add(size_t at, int64_t delta) {
  return [=](std::string& s) {
    uint32_t v;
    std::memcpy(&v, &s[at], 4);
    Put32(s, at, static_cast<uint32_t>(v + delta));
  };
}

// Bundles made from their parts, each part changed, and sealed with a right
// digest: what someone who makes a hostile bundle can do.
TEST(BundleReader, ALyingHeaderIndexOrStreamIsRefusedAndWritesNothing) {
  std::vector<File> files = SampleFiles();
  std::vector<BundleEntry> entries = EntriesOf(files);
  std::string original;  // the entries' bytes as the stream holds them
  for (size_t i = 0; i < files.size(); ++i) entries[i].flags = 0, original += files[i].bytes;
  const size_t record2 = kBundleRecordSize + files[0].name.size();  // in the index
  using Header = std::function<void(BundleHeader&)>;
  using Bytes = std::function<void(std::string&)>;
  struct Case {
    const char* what;
    Header header = {};
    Bytes index = {}, contents = {}, payload = {};
  } cases[] = {
      {"magic", {}, {}, {}, [](std::string& p) { p[0] = 'X'; }},
      {"version", {}, {}, {}, Add(8, 1)},
      {"properties", [](BundleHeader& h) { h.lzmaProperties[0] = 225; }},
      {"dictionary over 16 MiB", [](BundleHeader& h) { h.lzmaProperties[3] = 0, h.lzmaProperties[4] = 2; }},
      {"one entry more", [](BundleHeader& h) { ++h.entryCount; }},
      {"one entry fewer", [](BundleHeader& h) { --h.entryCount; }},
      {"index one byte longer", [](BundleHeader& h) { ++h.indexSize; }},
      {"index one byte shorter", [](BundleHeader& h) { --h.indexSize; }},
      {"unpacked size one more", [](BundleHeader& h) { ++h.unpackedSize; }},
      {"unpacked size one less", [](BundleHeader& h) { --h.unpackedSize; }},
      {"stream size one more", [](BundleHeader& h) { ++h.streamSize; }},
      {"a stray byte after the stream", {}, {}, {}, [](std::string& p) { p += '\0'; }},
      {"a stray byte and the stream size with it", [](BundleHeader& h) { ++h.streamSize; }, {}, {},
       [](std::string& p) { p += '\0'; }},
      {"the stream's last byte gone", [](BundleHeader& h) { --h.streamSize; }, {}, {},
       [](std::string& p) { p.pop_back(); }},
      {"an entry's size one more, the stream as it was", [](BundleHeader& h) { ++h.unpackedSize; },
       Add(0, 1)},
      {"an entry's size one less, the stream as it was", [](BundleHeader& h) { --h.unpackedSize; },
       Add(0, -1)},
      {"a byte more in the stream than the entries hold", {}, {}, [](std::string& c) { c += 'x'; }},
      {"a byte less in the stream", {}, {}, [](std::string& c) { c.pop_back(); }},
      {"an unknown flag", {}, Add(record2 + 20, 4)},
      {"the program's bytes through the branch converter", {}, Add(20, kBundleX86 | kBundleProgram)},
      {"two entries the program's bytes", {},
       [&](std::string& i) { i[20] = kBundleProgram, i[record2 + 20] = kBundleProgram; }},
      {"an unknown attribute", {}, Add(record2 + 16, kAttrDirectory)},
      {"a name running past the index", {}, Add(record2 + 22, 4000)},
  };
  for (const Case& c : cases) {
    std::string index = WriteBundleIndex(entries), contents = original;
    if (c.index) c.index(index);
    if (c.contents) c.contents(contents);
    BundleHeader header;
    const std::string stream = kit::CompressBundleBytes(index + contents, header.lzmaProperties);
    header.entryCount = static_cast<uint32_t>(entries.size());
    header.indexSize = static_cast<uint32_t>(WriteBundleIndex(entries).size());
    header.unpackedSize = static_cast<uint32_t>(original.size());
    header.streamSize = static_cast<uint32_t>(stream.size());
    if (c.header) c.header(header);
    std::string payload(kBundleHeaderSize, '\0');
    WriteBundleHeader(header, reinterpret_cast<uint8_t*>(payload.data()));
    payload += stream;
    if (c.payload) c.payload(payload);
    auto u = Unpack(test::Sealed(Program(), payload));
    EXPECT_EQ(u->result.status, BundleStatus::Refused) << c.what;
    EXPECT_TRUE(u->os->ListTree(kFolder).empty()) << c.what;
  }
  // The same parts unchanged make a bundle that unpacks.
  BundleHeader header;
  const std::string stream =
      kit::CompressBundleBytes(WriteBundleIndex(entries) + original, header.lzmaProperties);
  header.entryCount = static_cast<uint32_t>(entries.size());
  header.indexSize = static_cast<uint32_t>(WriteBundleIndex(entries).size());
  header.unpackedSize = static_cast<uint32_t>(original.size());
  header.streamSize = static_cast<uint32_t>(stream.size());
  EXPECT_EQ(Unpack(kit::SealBundle(Program(), header, stream))->result.status, BundleStatus::Ok);
}

// An unsigned SETUP.EXE is the program itself, held once: its entry is
// written from its headers in the stream (signing changes the file's) and
// the program's own sections, and may claim neither more nor less than the
// program has.
TEST(BundleReader, TheProgramsOwnBytesAreHeldOnce) {
  const std::string program = Program(4000);
  std::vector<File> files = {{"SETUP.EXE", program, kBundleProgram}, {"A.TXT", "hello"}};
  const std::string bundle = MakeBundle(files, program);
  EXPECT_LT(bundle.size(), MakeBundle({{"SETUP.EXE", program}, {"A.TXT", "hello"}}, program).size());
  for (const std::string& whole : {bundle, Signed(bundle)}) {
    auto u = Unpack(whole);
    ASSERT_EQ(u->result.status, BundleStatus::Ok);
    EXPECT_EQ(u->os->Contents(std::string(kFolder) + "\\SETUP.EXE"), program);
    EXPECT_EQ(u->os->Contents(std::string(kFolder) + "\\A.TXT"), "hello");
  }
  for (int32_t more : {8, 1, -8}) {
    std::vector<BundleEntry> entries = EntriesOf(files);
    entries[0].size += more;
    uint8_t properties[5];
    auto stream = kit::CompressBundleStream(
        entries,
        [&](size_t i) {
          std::string bytes = files[i].bytes;
          bytes.resize(entries[i].size);
          return std::optional<std::string>(bytes);
        },
        properties);
    ASSERT_TRUE(stream.has_value());
    auto u = Unpack(kit::AssembleBundle(program, entries, *stream, properties));
    EXPECT_EQ(u->result.status, BundleStatus::Refused) << more;
    EXPECT_TRUE(u->os->ListTree(kFolder).empty());
  }
}

TEST(BundleReader, HostileNamesAreRefusedBeforeAnythingIsWritten) {
  const std::vector<std::vector<std::string>> refused = {
      {"..\\EVIL.EXE"}, {"A\\..\\..\\EVIL.EXE"}, {"."}, {"A\\.\\B"}, {"C:\\EVIL.EXE"}, {"C:EVIL.EXE"},
      {"\\EVIL.EXE"}, {"\\\\server\\share\\EVIL.EXE"}, {"A.TXT:stream"}, {"A/B"}, {"A\\\\B"},
      {"A\\"}, {""}, {"A."}, {"A "}, {"A\tB"}, {"A?"}, {"A*"}, {"A|B"}, {"A\"B"}, {"A<B>"},
      {"CON"}, {"con.txt"}, {"NUL.TAR.GZ"}, {"AUX"}, {"PRN"}, {"SUB\\COM1.LOG"}, {"LPT9"},
      {"COM\xC2\xB9"}, {"\xC0\xAF"}, {"\xED\xA0\x80"}, {"\xFF"}, {std::string(256, 'N')},
      {"A.TXT", "a.txt"}, {"SUB", "SUB\\A.TXT"}, {"sub\\A.TXT", "SUB"}};
  for (const auto& names : refused) {
    std::vector<File> files = {{"OK.TXT", "fine"}};
    for (const std::string& name : names) files.push_back({name, "evil"});
    auto u = Unpack(MakeBundle(files));
    EXPECT_EQ(u->result.status, BundleStatus::Refused) << names.back();
    EXPECT_TRUE(u->os->ListTree(kFolder).empty()) << names.back();
  }
  for (const std::string& name : std::vector<std::string>{"COM10", "CONSOLE.TXT", "..A", "A..B", "SUB\\DEEP\\X.BIN",
                                  "\xE6\x97\xA5\xE6\x9C\xAC.txt", std::string(255, 'N')}) {
    EXPECT_TRUE(IsSafeBundleName(name)) << name;
  }
}

TEST(BundleReader, NeverWritesThroughALinkOrOverAFile) {
  const std::string bundle = MakeBundle(SampleFiles());
  {
    test::FakePlatform os;
    os.AddFile(kBundlePath, bundle);
    os.AddFolder(kFolder);
    os.SetAttributes(kFolder, kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(UnpackBundle(os, kBundlePath, kFolder, nullptr).status, BundleStatus::Failed);
    EXPECT_TRUE(os.ListTree(kFolder).empty());
  }
  // Something already there, a file or a folder: nothing is unpacked, and
  // what was there stays.
  test::FakePlatform os;
  const std::string planted = std::string(kFolder) + "\\MANUAL.TXT";
  os.AddFile(kBundlePath, bundle);
  os.AddFile(planted, "planted");
  EXPECT_EQ(UnpackBundle(os, kBundlePath, kFolder, nullptr).status, BundleStatus::Failed);
  EXPECT_EQ(os.ListTree(kFolder), std::vector<std::string>{planted});
  EXPECT_EQ(os.Contents(planted), "planted");
}

// A write that fails takes back everything, the folder too: early, and late
// in a stream several times the size of what is decoded ahead of the writer
// (the decoder then waits for room when the writer stops).
TEST(BundleReader, AFailedWriteTakesBackWhatWasWritten) {
  std::string text;
  for (int i = 0; text.size() < 700000; ++i) text += "entry " + std::to_string(i * 7919 % 100003) + "\r\n";
  std::vector<File> large = {{"A.BIN", CallHeavy(700000, 11)}, {"B.TXT", text}, {"C.TXT", "last"}};
  const std::string largeBundle = MakeBundle(large);
  auto whole = Unpack(largeBundle);
  ASSERT_EQ(whole->result.status, BundleStatus::Ok);
  EXPECT_EQ(whole->os->Contents(std::string(kFolder) + "\\B.TXT"), text);
  for (const auto& [bundle, denied] : {std::pair{MakeBundle(SampleFiles()), "EMPTY.DAT"},
                                       std::pair{largeBundle, "C.TXT"}}) {
    auto u = Unpack(bundle, [&](test::FakePlatform& os) {
      os.DenyWrite(std::string(kFolder) + "\\" + denied);
    });
    EXPECT_EQ(u->result.status, BundleStatus::Failed) << denied;
    EXPECT_EQ(kInvalidAttributes, u->os->Attributes(kFolder)) << "the folder it made is gone too";
  }
  // Where no second thread can be had, the caller's thread does the work.
  WorldBeside::Options noThread;
  noThread.threadFails = true;
  auto alone = UnpackIn(std::make_unique<WorldBeside>(noThread), largeBundle, {});
  ASSERT_EQ(alone->result.status, BundleStatus::Ok);
  EXPECT_EQ(Written(*alone->os), Written(*whole->os));
}

// While the decoder is behind, the writer makes the next files before their
// bytes come, never more than a bound open at once (a process's handles are
// not endless); a file it cannot make then is made in its turn.
TEST(BundleReader, FilesMadeAheadStayWithinABoundAndARefusalWaitsItsTurn) {
  std::vector<File> files;
  for (int i = 0; i < 4200; ++i) files.push_back({"F" + std::to_string(i) + ".TXT", std::to_string(i)});
  const std::string bundle = MakeBundle(files);
  auto inTurn = UnpackIn(std::make_unique<test::FakePlatform>(), bundle, {});
  ASSERT_EQ(inTurn->result.status, BundleStatus::Ok);
  for (const std::string& refused : {std::string(), std::string("F300.TXT")}) {
    WorldBeside::Options options;
    options.decoderBehind = true;
    options.refusedOnce = refused;
    auto world = std::make_unique<WorldBeside>(options);
    WorldBeside& seen = *world;
    auto u = UnpackIn(std::move(world), bundle, {});
    EXPECT_EQ(u->result.status, BundleStatus::Ok) << refused;
    EXPECT_EQ(Written(*u->os), Written(*inTurn->os)) << refused;
    EXPECT_GT(seen.mostOpen, refused.empty() ? 4000u : 300u - 1) << refused;
    EXPECT_LE(seen.mostOpen, 4097u) << refused;
  }
}

// Memory for the ring that is not had, at its first slot or after the ring
// has started to fill, fails the unpacking like a failed read: nothing is
// left, and no thread is left waiting.
TEST(BundleReader, RingMemoryNotHadFailsAndLeavesNothing) {
  std::string text;
  for (int i = 0; text.size() < 1500000; ++i) text += "row " + std::to_string(i * 31 % 9973) + "\r\n";
  const std::string bundle = MakeBundle({{"A.TXT", text}, {"B.TXT", "last"}});
  for (int granted : {0, 3}) {
    test::nothrowArraysLeft = granted;
    auto u = UnpackIn(std::make_unique<WorldBeside>(), bundle, {});
    test::nothrowArraysLeft = -1;
    EXPECT_EQ(u->result.status, BundleStatus::Failed) << granted;
    EXPECT_EQ(kInvalidAttributes, u->os->Attributes(kFolder)) << granted;
  }
}

}  // namespace
}  // namespace qs
