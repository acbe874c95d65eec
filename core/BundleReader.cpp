#include "core/BundleReader.h"

#include <cstdlib>
#include <cstring>
#include <utility>

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
    uint8_t buffer[4096];
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
BundleStatus Locate(BundleSource& source, BundleTrailer* trailer, uint32_t* payloadOffset) {
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
  *payloadOffset = trailerStart - found->payloadSize;
  return BundleStatus::Ok;
}

// Splits the decoded bytes into the entries' files, undoing the branch
// converter where an entry went through it, and takes everything back when
// something fails.
class EntryWriter {
 public:
  EntryWriter(const std::vector<BundleEntry>& entries, BundleTarget& target)
      : entries_(entries), target_(target) {}
  ~EntryWriter() {
    if (!done_) TakeBack();
  }

  bool Begin() {
    folders_ = BundleFolders(entries_);
    for (const std::string& folder : folders_) {
      if (!target_.MakeFolder(folder)) return false;
      ++foldersMade_;
    }
    return OpenNext();
  }

  bool Write(const uint8_t* data, size_t size) {
    while (size > 0) {
      if (!writer_) return false;  // more bytes than the entries hold
      size_t piece = size < left_ ? size : left_;
      left_ -= piece;
      if (!(filtered_ ? WriteFiltered(data, piece) : writer_->Write(data, piece))) return false;
      data += piece;
      size -= piece;
      if (left_ == 0 && !(Close() && OpenNext())) return false;
    }
    return true;
  }

  // True when every entry was written whole; then gives them their attributes.
  bool End() {
    if (writer_ || next_ < entries_.size()) return false;
    for (const BundleEntry& entry : entries_) target_.Finish(entry);
    done_ = true;
    return true;
  }

 private:
  // Opens the next entry, closing at once those that are empty.
  bool OpenNext() {
    while (next_ < entries_.size()) {
      const BundleEntry& entry = entries_[next_];
      writer_ = target_.Create(entry.name);
      if (!writer_) return false;
      ++next_;  // made: taken back on failure
      left_ = entry.size;
      filtered_ = (entry.flags & kBundleX86) != 0;
      filter_ = X86Filter();
      held_ = 0;
      if (left_ > 0) return true;
      if (!Close()) return false;
    }
    return true;
  }

  bool Close() {
    bool ok = (!filtered_ || Flush(true)) && writer_->Close();
    writer_.reset();
    return ok;
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
    while (next_ > 0) target_.Remove(entries_[--next_].name, false);
    while (foldersMade_ > 0) target_.Remove(folders_[--foldersMade_], true);
  }

  const std::vector<BundleEntry>& entries_;
  BundleTarget& target_;
  std::vector<std::string> folders_;
  size_t foldersMade_ = 0;
  std::unique_ptr<FileWriter> writer_;
  size_t next_ = 0;  // entries before it are made
  uint32_t left_ = 0;
  bool filtered_ = false;
  bool done_ = false;
  X86Filter filter_;
  size_t held_ = 0;
  uint8_t buffer_[kChunk];
};

void* LzmaAlloc(void*, size_t size) { return std::malloc(size); }
void LzmaRelease(void*, void* address) { std::free(address); }

// The SDK's decoder state, freed with the object.
class LzmaDecoder {
 public:
  LzmaDecoder() { LzmaDec_Construct(&state_); }
  ~LzmaDecoder() { LzmaDec_Free(&state_, &alloc_); }
  bool Allocate(const uint8_t properties[5]) {
    if (LzmaDec_Allocate(&state_, properties, LZMA_PROPS_SIZE, &alloc_) != SZ_OK) return false;
    LzmaDec_Init(&state_);
    return true;
  }
  CLzmaDec& state() { return state_; }

 private:
  ISzAlloc alloc_{LzmaAlloc, LzmaRelease};
  CLzmaDec state_;
};

}  // namespace

BundleStatus ReadBundle(BundleSource& source, BundleLayout* layout) {
  BundleTrailer trailer;
  uint32_t offset = 0;
  if (BundleStatus status = Locate(source, &trailer, &offset); status != BundleStatus::Ok) {
    return status;
  }
  // The digest first: the header and index are kept as they pass, and are
  // only believed once the whole payload is known to be the one made.
  Cursor cursor(source.Open());
  if (!cursor.ok() || !cursor.Skip(offset)) return BundleStatus::Failed;
  Sha256 sha;
  uint8_t head[kBundleHeaderSize];
  if (trailer.payloadSize < sizeof head || !cursor.Read(head, sizeof head)) {
    return BundleStatus::Damaged;
  }
  sha.Update(head, sizeof head);
  uint32_t rest = trailer.payloadSize - static_cast<uint32_t>(sizeof head);
  const uint32_t indexSize = head[20] | head[21] << 8 | head[22] << 16 | uint32_t{head[23]} << 24;
  std::vector<uint8_t> index;
  if (indexSize <= kBundleMaxIndex && indexSize <= rest) {
    index.resize(indexSize);
    if (!cursor.Read(index.data(), indexSize)) return BundleStatus::Failed;
    sha.Update(index.data(), indexSize);
    rest -= indexSize;
  }
  if (!cursor.Skip(rest, &sha)) return BundleStatus::Failed;
  if (sha.Finish() != trailer.digest) return BundleStatus::Damaged;

  std::optional<BundleHeader> header = ParseBundleHeader(head, trailer.payloadSize);
  if (!header) return BundleStatus::Refused;
  std::optional<std::vector<BundleEntry>> entries = ParseBundleIndex(*header, index.data());
  if (!entries) return BundleStatus::Refused;
  layout->payloadOffset = offset;
  layout->payloadSize = trailer.payloadSize;
  layout->header = *header;
  layout->entries = std::move(*entries);
  return BundleStatus::Ok;
}

BundleStatus ExtractBundle(BundleSource& source, const BundleLayout& layout, BundleTarget& target,
                           BundleProgress* progress) {
  const BundleHeader& header = layout.header;
  Cursor cursor(source.Open());
  LzmaDecoder decoder;
  std::vector<uint8_t> input(kChunk);
  if (!cursor.ok() || !cursor.Skip(layout.payloadOffset + kBundleHeaderSize + header.indexSize) ||
      !decoder.Allocate(header.lzmaProperties)) {
    return BundleStatus::Failed;
  }
  auto writer = std::make_unique<EntryWriter>(layout.entries, target);
  if (!writer->Begin()) return BundleStatus::Failed;
  CLzmaDec& lzma = decoder.state();
  uint32_t unread = header.streamSize, produced = 0, reported = 0;
  size_t at = 0, held = 0;
  ELzmaStatus state = LZMA_STATUS_NOT_SPECIFIED;
  for (;;) {
    if (at == held && unread > 0) {
      held = unread < kChunk ? unread : kChunk;
      if (!cursor.Read(input.data(), held)) return BundleStatus::Failed;
      unread -= held;
      at = 0;
    }
    if (lzma.dicPos == lzma.dicBufSize) lzma.dicPos = 0;
    const size_t start = lzma.dicPos;
    const uint32_t wanted = header.unpackedSize - produced;
    const bool finishing = wanted <= lzma.dicBufSize - start;
    SizeT used = held - at;
    const size_t limit = finishing ? start + wanted : lzma.dicBufSize;
    SRes result = LzmaDec_DecodeToDic(&lzma, limit, input.data() + at, &used,
                                      finishing ? LZMA_FINISH_END : LZMA_FINISH_ANY, &state);
    at += used;
    const size_t made = lzma.dicPos - start;
    produced += static_cast<uint32_t>(made);
    if (!writer->Write(lzma.dic + start, made)) return BundleStatus::Failed;
    if (progress && (produced - reported >= kProgressStep || produced == header.unpackedSize)) {
      progress->Unpacked(produced, header.unpackedSize);
      reported = produced;
    }
    if (result != SZ_OK) return BundleStatus::Refused;
    // The end marker ends the stream exactly at the unpacked size, not before.
    if (state == LZMA_STATUS_FINISHED_WITH_MARK) {
      if (produced != header.unpackedSize) return BundleStatus::Refused;
      break;
    }
    // With input and room the decoder always moves; stuck means the stream ended.
    if (used == 0 && made == 0) return BundleStatus::Refused;
  }
  if (at != held || unread != 0) return BundleStatus::Refused;  // more stream than the entries
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
  const uint32_t attributes = platform.Attributes(folder);
  if (attributes == kInvalidAttributes || (attributes & kAttrDirectory) == 0 ||
      (attributes & kAttrReparsePoint) != 0) {
    result.status = BundleStatus::Failed;
    return result;
  }
  PlatformTarget target(platform, folder);
  result.status = ExtractBundle(source, layout, target, progress);
  if (result.status == BundleStatus::Ok) result.entries = std::move(layout.entries);
  return result;
}

}  // namespace qs
