#include "core/Expand.h"

#include <optional>
#include <vector>

#include "core/Paths.h"
#include "core/Szdd.h"
#include "core/SzddStream.h"

namespace qs {
namespace {

constexpr size_t kChunk = 64 * 1024;

// Reads until size bytes are in or the file ends; -1 on an error.
int64_t ReadFull(FileReader& reader, uint8_t* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    int64_t n = reader.Read(buffer + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(got);
}

// The name source expands to, from its header; nullopt when it cannot be read.
std::optional<std::string> ExpandedNameOf(Platform& platform, const std::string& source,
                                          CodePage cp) {
  std::unique_ptr<FileReader> reader = platform.OpenForRead(source, false);
  if (!reader) return std::nullopt;
  uint8_t head[kSzddHeaderSize];
  int64_t got = ReadFull(*reader, head, sizeof head);
  if (got < 0) return std::nullopt;
  SzddHeader header;
  if (ParseSzddHeader(head, static_cast<size_t>(got), &header) == SzddKind::NotCompressed) {
    return source;
  }
  return SzddExpandedName(source, header.missingChar, cp);
}

// The rest of the file after its first headSize bytes (already read into
// head), expanded (when expand gives the header) or as it is, then the
// writer closed; false on any failure. An expansion that ends short of the
// length its header gives is damaged or cut off, and fails too.
bool CopyRest(FileReader& reader, FileWriter& writer, const uint8_t* head, size_t headSize,
              const SzddHeader* expand) {
  if (expand) {
    SzddStreamTotals totals;
    return SzddDecodeStream(reader, &writer, &totals) && totals.written >= expand->length &&
           writer.Close();
  }
  if (headSize != 0 && !writer.Write(head, headSize)) return false;
  std::vector<uint8_t> in(kChunk);
  for (;;) {
    int64_t n = reader.Read(in.data(), in.size());
    if (n < 0) return false;
    if (n == 0) break;
    if (!writer.Write(in.data(), static_cast<size_t>(n))) return false;
  }
  return writer.Close();
}

// Copies the opened source into target, expanded when kind says so; a
// partial target is removed. headSize bytes of it are already in head.
bool CopyInto(Platform& platform, FileReader& reader, const std::string& target,
              const uint8_t* head, size_t headSize, SzddKind kind, const SzddHeader& header) {
  std::unique_ptr<FileWriter> writer = platform.CreateForWrite(target);
  if (!writer) return false;
  const bool expand = kind == SzddKind::Compressed;
  const bool copied =
      CopyRest(reader, *writer, head, expand ? 0 : headSize, expand ? &header : nullptr);
  writer.reset();
  if (!copied) platform.Delete(target);
  return copied;
}

// The files of one expansion in the temporary folder, and the answer.
struct Places {
  std::string scratch;     // where a file of the target's name waits
  std::string expandFile;  // the finished copy
  std::string target;      // the copy while it is being written
  std::string answer;
};

Places PlacesFor(Platform& platform, const std::string& source, const std::string& tempFolder,
                 CodePage cp) {
  const std::string temp = DelBackslash(tempFolder, "B", cp);
  std::optional<std::string> name = ExpandedNameOf(platform, source, cp);
  if (!name) {
    platform.Beep();
    name = source;
  }
  Places places;
  places.scratch = temp + "\\" + kAsideScratch;
  places.expandFile = temp + "\\" + kExpandScratch;
  places.target = temp + AddBackslash(FileNamePart(*name, cp), "T", cp);
  places.answer = places.expandFile + "," + FileNamePart(places.target, cp);
  return places;
}

// Moves a file of the target's name to the scratch name, so that creating
// the target cannot destroy it; false when it is there and cannot be moved.
bool SetAside(Platform& platform, const Places& places) {
  if (!FileExists(platform, places.target)) return true;
  if (FileExists(platform, places.scratch)) platform.Delete(places.scratch);
  return platform.Move(places.target, places.scratch);
}

}  // namespace

std::string ExpandCompressedFile(Platform& platform, const std::string& source,
                                 const std::string& tempFolder, CodePage cp, bool* complete) {
  const Places places = PlacesFor(platform, source, tempFolder, cp);
  // A failed copy leaves no EXPAND.QST where it can be removed; complete
  // tells the caller either way, so an old one that stays is never taken
  // for this file's contents.
  if (complete) *complete = false;
  auto removeExpandFile = [&] {
    if (FileExists(platform, places.expandFile)) platform.Delete(places.expandFile);
  };

  std::unique_ptr<FileReader> reader = platform.OpenForRead(source, true);
  if (!reader) {
    removeExpandFile();
    return places.answer;
  }
  uint8_t head[kSzddHeaderSize];
  int64_t got = ReadFull(*reader, head, sizeof head);
  SzddHeader header;
  SzddKind kind = got < 0 ? SzddKind::UnknownMode
                          : ParseSzddHeader(head, static_cast<size_t>(got), &header);
  if (kind == SzddKind::UnknownMode || !SetAside(platform, places)) {
    removeExpandFile();
    return places.answer;
  }

  const bool copied =
      CopyInto(platform, *reader, places.target, head, static_cast<size_t>(got), kind, header);
  reader.reset();
  removeExpandFile();
  if (copied) {
    if (platform.Move(places.target, places.expandFile)) {
      if (complete) *complete = true;
    } else {
      platform.Delete(places.target);
    }
  }

  if (FileExists(platform, places.scratch)) platform.Move(places.scratch, places.target);
  return places.answer;
}

}  // namespace qs
