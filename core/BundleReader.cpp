#include "core/BundleReader.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/Paths.h"
#include "core/X86Filter.h"

// The SDK's header read without <windows.h>, as core/LzmaDecoder.c reads it.
#pragma push_macro("_WIN32")
#undef _WIN32
#include "LzmaDec.h"
#pragma pop_macro("_WIN32")

namespace qs {
namespace {

constexpr size_t kChunk = 1 << 16;
constexpr uint32_t kProgressStep = 1 << 20;

// Reads a file front to back in exact amounts.
class Cursor {
 public:
  Cursor() = default;
  explicit Cursor(std::unique_ptr<FileReader> reader) : reader_(std::move(reader)) {}
  bool ok() const { return reader_ != nullptr; }

  // False when the file ends first or cannot be read.
  bool Read(void* buffer, size_t size) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
      int64_t got = reader_->Read(p, size);
      if (got <= 0) return false;
      p += got;
      size -= static_cast<size_t>(got);
    }
    return true;
  }

  // Passes over size bytes, giving them to sha when there is one.
  bool Skip(uint32_t size, Sha256* sha = nullptr) {
    uint8_t buffer[1 << 15];
    while (size > 0) {
      size_t piece = size < sizeof buffer ? size : sizeof buffer;
      if (!Read(buffer, piece)) return false;
      if (sha) sha->Update(buffer, piece);
      size -= piece;
    }
    return true;
  }

 private:
  std::unique_ptr<FileReader> reader_;
};

// Where the payload is: NotABundle, Damaged, Refused or Failed, or Ok with
// the trailer and the payload's offset.
BundleStatus Locate(BundleSource& source, BundleTrailer* trailer, uint32_t* programSize,
                    uint32_t* payloadOffset) {
  std::optional<uint64_t> fileSize = source.Size();
  Cursor head(source.Open());
  if (!fileSize || !head.ok()) return BundleStatus::Failed;
  if (*fileSize > kBundleMaxSize) return BundleStatus::Refused;
  const uint32_t size = static_cast<uint32_t>(*fileSize);
  uint8_t bytes[kBundleHeadSize];
  const size_t headSize = size < sizeof bytes ? size : sizeof bytes;
  if (!head.Read(bytes, headSize)) return BundleStatus::Failed;
  const ProgramExtent extent = ReadProgramExtent(bytes, headSize, size);
  // Bytes after the sections (beyond the alignment setupkit adds) are a
  // payload, whole or not.
  const bool overlay = extent.signedEnd - extent.imageEnd >= kBundleAlignment &&
                       extent.signedEnd > extent.imageEnd;
  const BundleStatus missing = overlay ? BundleStatus::Damaged : BundleStatus::NotABundle;
  constexpr size_t kTail = kBundleTrailerSize + kBundleAlignment - 1;
  const uint32_t end = extent.signedEnd;
  const size_t tailSize = end < kTail ? end : kTail;
  if (tailSize < kBundleTrailerSize) return missing;
  uint8_t tail[kTail];
  Cursor cursor(source.Open());
  if (!cursor.ok() || !cursor.Skip(end - tailSize) || !cursor.Read(tail, tailSize)) {
    return BundleStatus::Failed;
  }
  size_t trailerEnd = 0;
  std::optional<BundleTrailer> found = ParseBundleTrailer(tail, tailSize, &trailerEnd);
  if (!found) return missing;
  const uint32_t trailerStart = end - static_cast<uint32_t>(tailSize - trailerEnd + kBundleTrailerSize);
  if (found->payloadSize > trailerStart) return BundleStatus::Damaged;
  *trailer = *found;
  *programSize = extent.imageEnd;
  *payloadOffset = trailerStart - found->payloadSize;
  return BundleStatus::Ok;
}

// Where the stream's bytes go, piece by piece; false stops the decoding.
class StreamSink {
 public:
  virtual bool Take(const uint8_t* data, size_t size) = 0;
  // Work the sink can do before its bytes come, while it waits for them;
  // false when there is none.
  virtual bool Prepare() { return false; }

 protected:
  ~StreamSink() = default;
};

// Splits the decoded bytes after the index into the entries' files, undoing
// the branch converter where an entry went through it, and takes everything
// back when something fails.
class EntryWriter : public StreamSink {
 public:
  EntryWriter(BundleSource& source, const BundleLayout& layout, BundleTarget& target,
              BundleProgress* progress)
      : source_(source),
        entries_(layout.entries),
        target_(target),
        progress_(progress),
        skip_(layout.header.indexSize),
        total_(layout.header.unpackedSize) {}
  ~EntryWriter() {
    if (!finished_) TakeBack();
  }

  bool Begin() {
    folders_ = BundleFolders(entries_);
    for (const std::string& folder : folders_) {
      if (!target_.MakeFolder(folder)) return false;
      ++foldersMade_;
    }
    return OpenNext();
  }

  bool Take(const uint8_t* data, size_t size) override {
    const size_t index = size < skip_ ? size : skip_;  // the index, read already
    skip_ -= index;
    data += index;
    size -= index;
    done_ += static_cast<uint32_t>(size);
    if (progress_ && done_ - reported_ >= kProgressStep) {
      progress_->Unpacked(done_, total_);
      reported_ = done_;
    }
    while (size > 0) {
      if (!writer_) return false;  // more bytes than the entries hold
      size_t piece = size < left_ ? size : left_;
      left_ -= piece;
      if (!(filtered_ ? WriteFiltered(data, piece) : writer_->Write(data, piece))) return false;
      data += piece;
      size -= piece;
      if (left_ == 0 && !(Complete() && OpenNext())) return false;
    }
    return true;
  }

  // True when every entry was written whole; then gives them their attributes.
  bool End() {
    if (writer_ || next_ < entries_.size()) return false;
    for (const BundleEntry& entry : entries_) target_.Finish(entry);
    if (progress_) progress_->Unpacked(done_, total_);
    finished_ = true;
    return true;
  }

  // Makes the next entries' files before their bytes come, while the
  // decoder is behind: making a file is what takes the file system longest
  // (under Wine, the more so the fuller its folder), and so it overlaps the
  // decoding too. A file that cannot be made now is left to its turn, which
  // reports it.
  bool Prepare() override {
    if (made_ == entries_.size() || made_ - next_ >= kAhead || aheadRefused_) return false;
    if (ahead_.empty()) ahead_.resize(entries_.size());
    ahead_[made_] = target_.Create(entries_[made_].name);
    aheadRefused_ = !ahead_[made_];
    made_ += !aheadRefused_;
    return !aheadRefused_;
  }

 private:
  static constexpr size_t kAhead = 4096;  // files open at most, made ahead

  // Opens the next entry, closing at once those that are empty and writing
  // whole the one that is the program's own.
  bool OpenNext() {
    while (next_ < entries_.size()) {
      const BundleEntry& entry = entries_[next_];
      if (next_ < made_) {
        writer_ = std::move(ahead_[next_]);
      } else {
        writer_ = target_.Create(entry.name);
        if (!writer_) return false;
        ++made_;  // taken back on failure
      }
      ++next_;
      left_ = InStream(entry);
      programRest_ = entry.size - left_;
      filtered_ = (entry.flags & kBundleX86) != 0;
      filter_ = X86Filter();
      held_ = 0;
      if (left_ > 0) return true;
      if (!Complete()) return false;
    }
    return true;
  }

  // The entry gets the time the packager's file had: the uninstaller's copy
  // is only refreshed by a newer program, and installed files keep their
  // times.
  bool Close() {
    bool ok = (!filtered_ || Flush(true));
    writer_->SetWriteTime(entries_[next_ - 1].writeTime);
    ok = writer_->Close() && ok;
    writer_.reset();
    return ok;
  }

  // Closes the entry whose stream bytes are written, after the rest of the
  // program entry's bytes from the file itself.
  bool Complete() {
    if (programRest_ == 0) return Close();
    Cursor file(source_.Open());
    std::vector<uint8_t> buffer(64 * 1024);
    bool copied = file.ok() && file.Skip(kBundleProgramHead);
    for (uint32_t rest = programRest_; copied && rest > 0;) {
      const size_t piece = rest < buffer.size() ? rest : buffer.size();
      copied = file.Read(buffer.data(), piece) && writer_->Write(buffer.data(), piece);
      rest -= static_cast<uint32_t>(piece);
    }
    programRest_ = 0;
    return Close() && copied;
  }

  bool WriteFiltered(const uint8_t* data, size_t size) {
    while (size > 0) {
      size_t piece = size < kChunk - held_ ? size : kChunk - held_;
      std::memcpy(buffer_ + held_, data, piece);
      held_ += piece;
      data += piece;
      size -= piece;
      if (held_ == kChunk && !Flush(false)) return false;
    }
    return true;
  }

  // Writes what the converter has finished; the few bytes it still needs
  // the next ones for move to the front.
  bool Flush(bool last) {
    size_t final = filter_.Decode(buffer_, held_, last);
    if (!writer_->Write(buffer_, final)) return false;
    std::memmove(buffer_, buffer_ + final, held_ - final);
    held_ -= final;
    return true;
  }

  void TakeBack() {
    writer_.reset();
    ahead_.clear();  // closed first: an open file cannot go
    while (made_ > 0) target_.Remove(entries_[--made_].name, false);
    while (foldersMade_ > 0) target_.Remove(folders_[--foldersMade_], true);
  }

  BundleSource& source_;
  const std::vector<BundleEntry>& entries_;
  BundleTarget& target_;
  std::vector<std::string> folders_;
  size_t foldersMade_ = 0;
  std::unique_ptr<FileWriter> writer_;
  size_t next_ = 0;  // entries before it are written or being written
  size_t made_ = 0;  // entries before it are made (open ahead from next_ on)
  std::vector<std::unique_ptr<FileWriter>> ahead_;
  bool aheadRefused_ = false;
  uint32_t left_ = 0;
  uint32_t programRest_ = 0;  // the program entry's bytes after its headers
  bool filtered_ = false;
  bool finished_ = false;
  BundleProgress* progress_;
  size_t skip_;
  uint32_t total_, done_ = 0, reported_ = 0;
  X86Filter filter_;
  size_t held_ = 0;
  uint8_t buffer_[kChunk];
};

// The payload's LZMA stream, decoded from its start with the SDK's decoder.
class StreamDecoder {
 public:
  StreamDecoder() { LzmaDec_Construct(&lzma_); }
  ~StreamDecoder() { LzmaDec_Free(&lzma_, &alloc_); }

  // False when the file cannot be read or the memory cannot be had.
  bool Open(BundleSource& source, const BundleLayout& layout) {
    cursor_ = Cursor(source.Open());
    unread_ = layout.header.streamSize;
    total_ = layout.header.indexSize + layout.header.unpackedSize;
    if (!cursor_.ok() || !cursor_.Skip(layout.payloadOffset + kBundleHeaderSize) ||
        LzmaDec_Allocate(&lzma_, layout.header.lzmaProperties, LZMA_PROPS_SIZE, &alloc_) != SZ_OK) {
      return false;
    }
    LzmaDec_Init(&lzma_);
    return true;
  }

  // Decodes until `until` bytes have come out in all, giving them to sink.
  // At the whole size the end marker must follow, and the stream end there.
  // Ok; Refused when the stream is not what the header says; Failed when
  // the file or the sink fails.
  BundleStatus DecodeTo(uint32_t until, StreamSink& sink) {
    for (;;) {
      if (at_ == held_ && unread_ > 0) {
        held_ = unread_ < kChunk ? unread_ : kChunk;
        if (!cursor_.Read(input_, held_)) return BundleStatus::Failed;
        unread_ -= static_cast<uint32_t>(held_);
        at_ = 0;
      }
      if (lzma_.dicPos == lzma_.dicBufSize) lzma_.dicPos = 0;
      const size_t start = lzma_.dicPos;
      const uint32_t wanted = until - produced_;
      const bool limited = wanted <= lzma_.dicBufSize - start;
      const bool last = limited && until == total_;
      SizeT used = held_ - at_;
      ELzmaStatus state;
      SRes result = LzmaDec_DecodeToDic(&lzma_, limited ? start + wanted : lzma_.dicBufSize,
                                        input_ + at_, &used,
                                        last ? LZMA_FINISH_END : LZMA_FINISH_ANY, &state);
      at_ += used;
      const size_t made = lzma_.dicPos - start;
      produced_ += static_cast<uint32_t>(made);
      if (!sink.Take(lzma_.dic + start, made)) return BundleStatus::Failed;
      if (result != SZ_OK) return BundleStatus::Refused;
      // The end marker ends the stream exactly at its whole size, not before.
      if (state == LZMA_STATUS_FINISHED_WITH_MARK) {
        return last && produced_ == until && at_ == held_ && unread_ == 0 ? BundleStatus::Ok
                                                                          : BundleStatus::Refused;
      }
      if (produced_ == until && !last) return BundleStatus::Ok;
      // With input and room the decoder always moves; stuck means the stream ended.
      if (used == 0 && made == 0) return BundleStatus::Refused;
    }
  }

 private:
  static void* Allocate(void*, size_t size) { return std::malloc(size); }
  static void Release(void*, void* address) { std::free(address); }

  ISzAlloc alloc_{Allocate, Release};
  CLzmaDec lzma_;
  Cursor cursor_;
  uint8_t input_[kChunk];
  size_t at_ = 0, held_ = 0;
  uint32_t unread_ = 0, produced_ = 0, total_ = 0;
};

// The decoded stream handed from the thread that decodes it to the one that
// writes it: a ring of slots that the decoder fills and the writer empties,
// each side waiting on a counter for its turn (free slots, full slots). An
// empty slot ends the stream; the decoder's status is read after it. When
// the writer fails it stops the decoder, which then takes no more turns.
// The 4 MiB of slots let the decoder run ahead through many small files,
// where the file system is what takes the time.
class Relay : public StreamSink {
 public:
  explicit Relay(Beside& beside) : beside_(beside) {}

  // The decoder's side: fills slots, handing each one over when it is full.
  bool Take(const uint8_t* data, size_t size) override {
    while (size > 0) {
      if (!filling_) {
        beside_.Await(kFree);
        if (stopped_.load()) return false;
        // Slots are had as the stream needs them: a small one takes few.
        // Memory not had ends the decoding, as a read that fails does; the
        // slot's turn goes back, and the end is handed in it.
        Slot& slot = slots_[filled_ % kSlots];
        if (!slot.bytes) slot.bytes.reset(new (std::nothrow) uint8_t[kSlotSize]);
        if (!slot.bytes) {
          beside_.Post(kFree);
          return false;
        }
        ++filled_;
        filling_ = &slot;
        filling_->size = 0;
      }
      const size_t piece = size < kSlotSize - filling_->size ? size : kSlotSize - filling_->size;
      std::memcpy(filling_->bytes.get() + filling_->size, data, piece);
      filling_->size += piece;
      data += piece;
      size -= piece;
      if (filling_->size == kSlotSize) Hand();
    }
    return true;
  }

  // The decoder's last step: what is filled goes over, then the end.
  void End(BundleStatus status) {
    if (filling_) Hand();
    if (stopped_.load()) return;
    status_ = status;
    beside_.Await(kFree);
    slots_[filled_++ % kSlots].size = 0;
    beside_.Post(kFull);
  }

  // The writer's side: gives sink every full slot until the end. The
  // decoder's status then; Failed when sink fails.
  BundleStatus Drain(StreamSink& sink) {
    for (int i = 0; i < kSlots; ++i) beside_.Post(kFree);
    for (;;) {
      while (!beside_.Ready(kFull)) {
        if (!sink.Prepare()) {
          beside_.Await(kFull);
          break;
        }
      }
      const Slot& slot = slots_[emptied_++ % kSlots];
      if (slot.size == 0) return status_;
      const bool taken = sink.Take(slot.bytes.get(), slot.size);
      if (!taken) stopped_.store(true);
      beside_.Post(kFree);  // after a stop: the decoder's one more turn, to see it
      if (!taken) return BundleStatus::Failed;
    }
  }

 private:
  static constexpr int kFree = 0, kFull = 1, kSlots = 16;
  static constexpr size_t kSlotSize = 1 << 18;
  struct Slot {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
  };

  void Hand() {
    filling_ = nullptr;
    beside_.Post(kFull);
  }

  Beside& beside_;
  Slot slots_[kSlots];
  Slot* filling_ = nullptr;
  unsigned filled_ = 0, emptied_ = 0;
  std::atomic<bool> stopped_{false};
  BundleStatus status_ = BundleStatus::Failed;
};

// The index as it comes out of the stream.
class IndexSink : public StreamSink {
 public:
  bool Take(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
};

}  // namespace

BundleStatus ReadBundle(BundleSource& source, BundleLayout* layout) {
  BundleTrailer trailer;
  uint32_t offset = 0;
  if (BundleStatus status = Locate(source, &trailer, &layout->programSize, &offset);
      status != BundleStatus::Ok) {
    return status;
  }
  // The digest first: nothing in the payload is believed before the whole
  // is known to be the one made.
  Cursor cursor(source.Open());
  if (!cursor.ok() || !cursor.Skip(offset)) return BundleStatus::Failed;
  Sha256 sha;
  uint8_t head[kBundleHeaderSize];
  if (trailer.payloadSize < sizeof head || !cursor.Read(head, sizeof head)) {
    return BundleStatus::Damaged;
  }
  sha.Update(head, sizeof head);
  if (!cursor.Skip(trailer.payloadSize - static_cast<uint32_t>(sizeof head), &sha)) {
    return BundleStatus::Failed;
  }
  if (sha.Finish() != trailer.digest) return BundleStatus::Damaged;

  std::optional<BundleHeader> header = ParseBundleHeader(head, trailer.payloadSize);
  if (!header) return BundleStatus::Refused;
  layout->payloadOffset = offset;
  layout->payloadSize = trailer.payloadSize;
  layout->header = *header;
  auto stream = std::make_unique<StreamDecoder>();
  IndexSink index;
  if (!stream->Open(source, *layout)) return BundleStatus::Failed;
  if (BundleStatus status = stream->DecodeTo(header->indexSize, index); status != BundleStatus::Ok) {
    return status;
  }
  std::optional<std::vector<BundleEntry>> entries = ParseBundleIndex(*header, index.bytes.data());
  if (!entries) return BundleStatus::Refused;
  // The program entry is the program, sections and all, and no more.
  for (const BundleEntry& entry : *entries) {
    if ((entry.flags & kBundleProgram) != 0 && entry.size != layout->programSize) {
      return BundleStatus::Refused;
    }
  }
  layout->entries = std::move(*entries);
  return BundleStatus::Ok;
}

BundleStatus ExtractBundle(BundleSource& source, const BundleLayout& layout, BundleTarget& target,
                           BundleProgress* progress, Beside* beside) {
  auto stream = std::make_unique<StreamDecoder>();
  if (!stream->Open(source, layout)) return BundleStatus::Failed;
  auto writer = std::make_unique<EntryWriter>(source, layout, target, progress);
  if (!writer->Begin()) return BundleStatus::Failed;
  const uint32_t total = layout.header.indexSize + layout.header.unpackedSize;
  BundleStatus status;
  struct Decoding {
    StreamDecoder& stream;
    uint32_t total;
    Relay relay;
    static void Run(void* self) {
      auto& d = *static_cast<Decoding*>(self);
      d.relay.End(d.stream.DecodeTo(d.total, d.relay));
    }
  };
  auto decoding = beside ? std::unique_ptr<Decoding>(new Decoding{*stream, total, Relay(*beside)})
                         : nullptr;
  if (decoding && beside->Start(&Decoding::Run, decoding.get())) {
    status = decoding->relay.Drain(*writer);
    beside->Join();
  } else {
    status = stream->DecodeTo(total, *writer);
  }
  if (status != BundleStatus::Ok) return status;
  return writer->End() ? BundleStatus::Ok : BundleStatus::Failed;
}

namespace {

class PlatformSource : public BundleSource {
 public:
  PlatformSource(Platform& platform, const std::string& path) : platform_(platform), path_(path) {}
  std::optional<uint64_t> Size() override { return platform_.FileSize(path_); }
  std::unique_ptr<FileReader> Open() override { return platform_.OpenForRead(path_, false); }

 private:
  Platform& platform_;
  const std::string& path_;
};

// The entries' names below folder; the names use "\" already.
class PlatformTarget : public BundleTarget {
 public:
  PlatformTarget(Platform& platform, const std::string& folder)
      : platform_(platform),
        folder_(!folder.empty() && folder.back() == '\\' ? folder : folder + "\\") {}
  bool MakeFolder(const std::string& name) override { return platform_.MakeFolder(folder_ + name) == 0; }
  std::unique_ptr<FileWriter> Create(const std::string& name) override {
    return platform_.CreateNew(folder_ + name);
  }
  void Finish(const BundleEntry& entry) override {
    if ((entry.attributes & ~kAttrArchive) != 0) {
      platform_.SetAttributes(folder_ + entry.name, entry.attributes);
    }
  }
  void Remove(const std::string& name, bool folder) override {
    if (folder) {
      platform_.RemoveFolder(folder_ + name);
    } else {
      platform_.Delete(folder_ + name);
    }
  }

 private:
  Platform& platform_;
  std::string folder_;
};

}  // namespace

BundleResult UnpackBundle(Platform& platform, const std::string& program,
                          const std::string& folder, BundleProgress* progress) {
  BundleResult result;
  PlatformSource source(platform, program);
  BundleLayout layout;
  result.status = ReadBundle(source, &layout);
  if (result.status != BundleStatus::Ok) return result;
  // Made new here: never one that was there, so never a link.
  if (platform.MakeFolder(folder) != 0) {
    result.status = BundleStatus::Failed;
    return result;
  }
  PlatformTarget target(platform, folder);
  std::unique_ptr<Beside> beside = platform.MakeBeside();
  result.status = ExtractBundle(source, layout, target, progress, beside.get());
  if (result.status == BundleStatus::Ok) {
    result.entries = std::move(layout.entries);
  } else {
    platform.RemoveFolder(folder);
  }
  return result;
}

UnpackedTree TreeBelow(const std::string& below, const std::vector<BundleEntry>& entries,
                       CodePage cp) {
  UnpackedTree tree;
  tree.folders.push_back(below);
  for (const BundleEntry& entry : entries) tree.files.push_back(JoinPath(below, entry.name, cp));
  for (const std::string& folder : BundleFolders(entries)) {
    tree.folders.push_back(JoinPath(below, folder, cp));
  }
  return tree;
}

}  // namespace qs
