#include "core/Expand.h"

#include <optional>
#include <vector>

#include "core/Paths.h"
#include "core/Szdd.h"

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
// head), expanded or as it is, then the writer closed; false on any failure.
bool CopyRest(FileReader& reader, FileWriter& writer, const uint8_t* head, size_t headSize,
              bool expand) {
  std::vector<uint8_t> in(kChunk);
  if (!expand) {
    if (headSize != 0 && !writer.Write(head, headSize)) return false;
    for (;;) {
      int64_t n = reader.Read(in.data(), in.size());
      if (n < 0) return false;
      if (n == 0) break;
      if (!writer.Write(in.data(), static_cast<size_t>(n))) return false;
    }
    return writer.Close();
  }

  std::vector<uint8_t> out(kChunk);
  SzddDecoder decoder;
  for (;;) {
    int64_t n = reader.Read(in.data(), in.size());
    if (n < 0) return false;
    size_t used = 0;
    for (;;) {  // at the end (n == 0) this drains a match still being copied
      SzddStep step = decoder.Decode(in.data() + used, static_cast<size_t>(n) - used,
                                     out.data(), out.size());
      used += step.consumed;
      if (step.produced != 0 && !writer.Write(out.data(), step.produced)) return false;
      if (step.produced < out.size()) break;
    }
    if (n == 0) break;
  }
  return writer.Close();
}

}  // namespace

std::string ExpandCompressedFile(Platform& platform, const std::string& source,
                                 const std::string& tempFolder, CodePage cp) {
  const std::string temp = DelBackslash(tempFolder, "B", cp);
  const std::string scratch = temp + "\\ZZZZZZZZ.ZZZ";
  const std::string expandFile = temp + "\\EXPAND.QST";

  std::optional<std::string> name = ExpandedNameOf(platform, source, cp);
  if (!name) {
    platform.Beep();
    name = source;
  }
  const std::string target = temp + AddBackslash(FileNamePart(*name, cp), "T", cp);
  const std::string answer = expandFile + "," + FileNamePart(target, cp);

  // A failed copy leaves no EXPAND.QST, so nothing stale can be installed.
  auto failed = [&] {
    if (FileExists(platform, expandFile)) platform.Delete(expandFile);
    return answer;
  };

  std::unique_ptr<FileReader> reader = platform.OpenForRead(source, true);
  if (!reader) return failed();
  uint8_t head[kSzddHeaderSize];
  int64_t got = ReadFull(*reader, head, sizeof head);
  SzddKind kind = got < 0 ? SzddKind::UnknownMode
                          : ParseSzddHeader(head, static_cast<size_t>(got), nullptr);
  if (kind == SzddKind::UnknownMode) return failed();

  // A file of the expanded name is kept safe under the scratch name. If it
  // cannot be moved there, creating the target would destroy it. A file
  // already under the scratch name is never deleted: it may be one that an
  // earlier expansion could not move back.
  if (FileExists(platform, target)) {
    if (FileExists(platform, scratch) || !platform.Move(target, scratch)) return failed();
  }

  bool copied = false;
  if (std::unique_ptr<FileWriter> writer = platform.CreateForWrite(target)) {
    bool expand = kind == SzddKind::Compressed;
    copied = CopyRest(*reader, *writer, head, expand ? 0 : static_cast<size_t>(got), expand);
    writer.reset();
    if (!copied) platform.Delete(target);
  }
  reader.reset();

  if (!copied) {
    failed();
  } else {
    if (FileExists(platform, expandFile)) platform.Delete(expandFile);
    if (!platform.Move(target, expandFile)) platform.Delete(target);
  }

  if (FileExists(platform, scratch)) platform.Move(scratch, target);
  return answer;
}

}  // namespace qs
