#include "core/Expand.h"

#include <algorithm>
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
// headSeen gets the bytes the name was taken from.
std::optional<std::string> ExpandedNameOf(Platform& platform, const std::string& source,
                                          CodePage cp, std::string* headSeen) {
  std::unique_ptr<FileReader> reader = platform.OpenForRead(source, false);
  if (!reader) return std::nullopt;
  uint8_t head[kSzddHeaderSize];
  int64_t got = ReadFull(*reader, head, sizeof head);
  if (got < 0) return std::nullopt;
  headSeen->assign(reinterpret_cast<const char*>(head), static_cast<size_t>(got));
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
// The target was set aside before; it is made new, so a file under its name
// that could not be seen (and so was not set aside) fails the copy instead
// of being cut.
bool CopyInto(Platform& platform, FileReader& reader, const std::string& target,
              const uint8_t* head, size_t headSize, SzddKind kind, const SzddHeader& header) {
  std::unique_ptr<FileWriter> writer = platform.CreateNew(target);
  if (!writer) return false;
  const bool expand = kind == SzddKind::Compressed;
  const bool copied =
      CopyRest(reader, *writer, head, expand ? 0 : headSize, expand ? &header : nullptr);
  writer.reset();
  if (!copied) platform.Delete(target);
  return copied;
}

// The files of one expansion in the temporary folder.
struct Places {
  std::string scratch;     // where a file of the target's name waits
  std::string expandFile;  // the finished copy
  std::string target;      // the copy while it is being written
  std::optional<std::string> nameHead;  // the bytes the name came from
};

// The target for the expanded name.
void Rename(Places& places, const std::string& name, CodePage cp) {
  places.target = FolderPart(places.scratch, cp) + FileNamePart(name, cp);
}

Places PlacesFor(Platform& platform, const std::string& source, const std::string& tempFolder,
                 CodePage cp) {
  Places places;
  std::string head;
  std::optional<std::string> name = ExpandedNameOf(platform, source, cp, &head);
  if (name) {
    places.nameHead = head;
  } else {
    platform.Beep();
    name = source;
  }
  places.scratch = JoinPath(tempFolder, kAsideScratch, cp);
  places.expandFile = JoinPath(tempFolder, kExpandScratch, cp);
  Rename(places, *name, cp);
  return places;
}

// Moves a file of the target's name to the scratch name, so that creating
// the target cannot destroy it; false when it is there and cannot be moved.
// A file already under the scratch name is never deleted: it may be one
// that an earlier expansion could not move back.
bool SetAside(Platform& platform, const Places& places) {
  if (!FileExists(platform, places.target)) return true;
  return !FileExists(platform, places.scratch) && platform.Move(places.target, places.scratch);
}

// The source, opened without sharing, and what its first bytes say. A read
// error leaves kind UnknownMode: no expansion.
struct OpenedSource {
  std::unique_ptr<FileReader> reader;
  uint8_t head[kSzddHeaderSize];
  size_t got = 0;
  SzddKind kind = SzddKind::UnknownMode;
  SzddHeader header;
};

// False when the source cannot be opened.
bool Open(Platform& platform, const std::string& path, OpenedSource* source) {
  source->reader = platform.OpenForRead(path, true);
  if (!source->reader) return false;
  int64_t got = ReadFull(*source->reader, source->head, sizeof source->head);
  if (got >= 0) {
    source->got = static_cast<size_t>(got);
    source->kind = ParseSzddHeader(source->head, source->got, &source->header);
  }
  return true;
}

// The name is only right for these contents when both reads saw the same
// header. When they differ, one of them came up short: a whole header read
// now names the file; anything else is no expansion.
bool NameFitsContents(Places& places, const OpenedSource& opened, const std::string& source,
                      CodePage cp) {
  const std::string seen(reinterpret_cast<const char*>(opened.head), opened.got);
  if (!places.nameHead || *places.nameHead == seen) return true;
  if (opened.kind != SzddKind::Compressed) return false;
  Rename(places, SzddExpandedName(source, opened.header.missingChar, cp), cp);
  return true;
}

// A link planted under one of the names is never written through.
bool AnyLink(Platform& platform, const Places& places) {
  return IsLink(platform, places.target) || IsLink(platform, places.expandFile) ||
         IsLink(platform, places.scratch);
}

// Moves the finished copy to the scratch name; false (and the copy gone)
// when it cannot go there.
bool Publish(Platform& platform, const Places& places) {
  if (platform.Move(places.target, places.expandFile)) return true;
  platform.Delete(places.target);
  return false;
}

}  // namespace

ExpandResult ExpandCompressedFile(Platform& platform, const std::string& source,
                                  const std::string& tempFolder, CodePage cp) {
  Places places = PlacesFor(platform, source, tempFolder, cp);
  // A failed copy leaves no EXPAND.QST where it can be removed; complete
  // tells the caller either way, so an old one that stays is never taken
  // for this file's contents.
  OpenedSource opened;
  auto answer = [&](bool complete) {
    return ExpandResult{places.expandFile, FileNamePart(places.target, cp), complete,
                        opened.kind == SzddKind::Compressed};
  };
  auto removeExpandFile = [&] {
    if (FileExists(platform, places.expandFile)) platform.Delete(places.expandFile);
  };

  if (!Open(platform, source, &opened)) {
    removeExpandFile();
    return answer(false);
  }
  const bool nameFits = NameFitsContents(places, opened, source, cp);
  if (AnyLink(platform, places)) return answer(false);
  if (opened.kind == SzddKind::UnknownMode || !nameFits || !SetAside(platform, places)) {
    removeExpandFile();
    return answer(false);
  }

  const bool copied = CopyInto(platform, *opened.reader, places.target, opened.head, opened.got,
                               opened.kind, opened.header);
  opened.reader.reset();
  removeExpandFile();
  const bool complete = copied && Publish(platform, places);

  if (FileExists(platform, places.scratch)) platform.Move(places.scratch, places.target);
  return answer(complete);
}

}  // namespace qs
