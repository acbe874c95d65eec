#include "core/Bundle.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace qs {
namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint64_t Le64(const uint8_t* p) { return Le32(p) | uint64_t{Le32(p + 4)} << 32; }

void PutLe(uint8_t* p, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Length of the well-formed UTF-8 character at s[i] (no overlong forms, no
// surrogates, nothing past U+10FFFF); 0 when there is none.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto c = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = c(i);
  if (b < 0x80) return 1;
  size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (n == 0 || b > 0xF4 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((c(i + k) & 0xC0) != 0x80) return 0;
  }
  unsigned char second = c(i + 1);
  if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second > 0x9F) ||
      (b == 0xF0 && second < 0x90) || (b == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return n;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (also with ¹ ² ³, which Windows
// takes as digits there), whatever follows a dot or blanks.
bool IsDeviceName(std::string_view part) {
  size_t base = part.find_first_of(". ");
  if (base == std::string_view::npos) base = part.size();
  if (base < 3) return false;
  char upper[3] = {UpperAscii(part[0]), UpperAscii(part[1]), UpperAscii(part[2])};
  static const char kDevices[] = "CONPRNAUXNULCOMLPT";
  for (int d = 0; d < 6; ++d) {
    if (std::memcmp(upper, kDevices + 3 * d, 3) != 0) continue;
    std::string_view digit = part.substr(3, base - 3);
    if (d < 4) return digit.empty();
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') ||
           (digit.size() == 2 && digit[0] == '\xC2' && (digit[1] == '\xB9' || digit[1] == '\xB2' ||
                                                        digit[1] == '\xB3'));
  }
  return false;
}

bool IsSafePart(std::string_view part) {
  if (part.empty() || part.size() > 255 || part == "." || part == "..") return false;
  if (part.back() == '.' || part.back() == ' ') return false;
  return !IsDeviceName(part);
}

// The names as Windows compares them, sorted: ASCII letters upper-cased, and
// "\\" as 01, which sorts before any character a name may hold, so that the
// entries below a folder follow one another, right after a file of that
// name if there is one. The C library's qsort keeps the program small.
struct SortedNames {
  explicit SortedNames(const std::vector<BundleEntry>& entries) : keys(entries.size()) {
    for (size_t i = 0; i < entries.size(); ++i) {
      for (char c : entries[i].name) keys[i] += c == '\\' ? '\x01' : UpperAscii(c);
      order.push_back(&keys[i]);
    }
    std::qsort(order.data(), order.size(), sizeof order[0], [](const void* a, const void* b) {
      return std::strcmp((*static_cast<const std::string* const*>(a))->c_str(),
                         (*static_cast<const std::string* const*>(b))->c_str());
    });
  }
  size_t IndexAt(size_t sorted) const { return static_cast<size_t>(order[sorted] - keys.data()); }

  std::vector<std::string> keys;
  std::vector<const std::string*> order;
};

}  // namespace

ProgramExtent ReadProgramExtent(const uint8_t* head, size_t headSize, uint32_t fileSize) {
  ProgramExtent extent{fileSize, fileSize};
  if (headSize < 0x40 || head[0] != 'M' || head[1] != 'Z') return extent;
  const uint32_t pe = Le32(head + 0x3C);
  if (pe > headSize - 26 || std::memcmp(head + pe, "PE\0\0", 4) != 0) return extent;
  const uint32_t optional = pe + 24, count = Le16(head + pe + 6);
  const uint32_t sections = optional + Le16(head + pe + 20);
  if (sections + 40 * count <= headSize) {
    uint64_t end = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* section = head + sections + 40 * i;
      end = std::max(end, uint64_t{Le32(section + 20)} + Le32(section + 16));
    }
    extent.imageEnd = static_cast<uint32_t>(std::min<uint64_t>(end, fileSize));
  }
  // The data directories follow the optional header's fixed part: 96 bytes
  // in PE32, 112 in PE32+; the security directory is the fifth.
  const uint32_t magic = Le16(head + optional);
  const uint32_t directories = optional + (magic == 0x10B ? 96 : 112);
  const uint32_t entry = directories + 4 * 8;
  if ((magic != 0x10B && magic != 0x20B) || entry + 8 > headSize ||
      Le32(head + directories - 4) < 5) {
    return extent;
  }
  const uint32_t offset = Le32(head + entry), size = Le32(head + entry + 4);
  if (size != 0 && offset <= fileSize && size == fileSize - offset) extent.signedEnd = offset;
  return extent;
}

std::optional<BundleTrailer> ParseBundleTrailer(const uint8_t* tail, size_t tailSize,
                                                size_t* trailerEnd) {
  for (size_t end = tailSize; end >= kBundleTrailerSize && tailSize - end < kBundleAlignment;
       --end) {
    if (std::memcmp(tail + end - 8, kBundleTrailerMagic, 8) == 0) {
      if (Le32(tail + end - 12) != 0) return std::nullopt;  // 4 GiB or more
      BundleTrailer trailer;
      std::memcpy(trailer.digest.data(), tail + end - kBundleTrailerSize, 32);
      trailer.payloadSize = Le32(tail + end - 16);
      if (trailerEnd) *trailerEnd = end;
      return trailer;
    }
    if (tail[end - 1] != 0) break;  // only zero bytes of alignment after the trailer
  }
  return std::nullopt;
}

void WriteBundleTrailer(const BundleTrailer& trailer, uint8_t out[kBundleTrailerSize]) {
  std::memcpy(out, trailer.digest.data(), 32);
  PutLe(out + 32, trailer.payloadSize, 8);
  std::memcpy(out + 40, kBundleTrailerMagic, 8);
}

std::optional<BundleHeader> ParseBundleHeader(const uint8_t* data, uint32_t payloadSize) {
  if (payloadSize < kBundleHeaderSize || std::memcmp(data, kBundlePayloadMagic, 8) != 0 ||
      Le16(data + 8) != kBundleVersion || data[15] != 0 || Le32(data + 28) != 0 ||
      Le32(data + 36) != 0) {
    return std::nullopt;
  }
  BundleHeader header;
  std::memcpy(header.lzmaProperties, data + 10, 5);
  header.entryCount = Le32(data + 16);
  header.indexSize = Le32(data + 20);
  header.unpackedSize = Le32(data + 24);
  header.streamSize = Le32(data + 32);
  const uint32_t dictionary = Le32(header.lzmaProperties + 1);
  const bool valid =
      header.lzmaProperties[0] < 9 * 5 * 5 && dictionary >= kBundleMinDictionary &&
      dictionary <= kBundleMaxDictionary && header.entryCount >= 1 &&
      header.entryCount <= kBundleMaxEntries && header.indexSize <= kBundleMaxIndex &&
      header.indexSize >= header.entryCount * (kBundleRecordSize + 1) &&
      payloadSize - kBundleHeaderSize == header.streamSize &&
      header.unpackedSize <= kBundleMaxSize - header.indexSize;
  if (!valid) return std::nullopt;
  return header;
}

void WriteBundleHeader(const BundleHeader& header, uint8_t out[kBundleHeaderSize]) {
  std::memcpy(out, kBundlePayloadMagic, 8);
  PutLe(out + 8, kBundleVersion, 2);
  std::memcpy(out + 10, header.lzmaProperties, 5);
  out[15] = 0;
  PutLe(out + 16, header.entryCount, 4);
  PutLe(out + 20, header.indexSize, 4);
  PutLe(out + 24, header.unpackedSize, 8);
  PutLe(out + 32, header.streamSize, 8);
}

bool IsSafeBundleName(const std::string& name) {
  if (name.empty() || name.size() > kBundleMaxName) return false;
  size_t start = 0;
  for (size_t i = 0; i <= name.size();) {
    if (i == name.size() || name[i] == '\\') {
      if (!IsSafePart(std::string_view(name).substr(start, i - start))) return false;
      start = ++i;
      continue;
    }
    unsigned char ch = static_cast<unsigned char>(name[i]);
    if (ch < 0x20 || ch == 0x7F || std::strchr("<>:\"/|?*", ch) != nullptr) return false;
    size_t n = Utf8Length(name, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::vector<std::string> BundleFolders(const std::vector<BundleEntry>& entries) {
  std::vector<std::string> folders;
  SortedNames sorted(entries);
  const std::string* previous = nullptr;
  for (size_t k = 0; k < sorted.order.size(); ++k) {
    const std::string& key = *sorted.order[k];
    for (size_t sep = key.find('\x01'); sep != std::string::npos; sep = key.find('\x01', sep + 1)) {
      // A folder the entry before did not have, with the entry's own spelling.
      if (!previous || previous->compare(0, sep + 1, key, 0, sep + 1) != 0) {
        folders.push_back(entries[sorted.IndexAt(k)].name.substr(0, sep));
      }
    }
    previous = &key;
  }
  return folders;
}

std::optional<std::vector<BundleEntry>> ParseBundleIndex(const BundleHeader& header,
                                                         const uint8_t* index) {
  std::vector<BundleEntry> entries;
  entries.reserve(header.entryCount);
  uint32_t at = 0, total = 0, programs = 0;
  for (uint32_t i = 0; i < header.entryCount; ++i) {
    if (header.indexSize - at < kBundleRecordSize) return std::nullopt;
    const uint8_t* record = index + at;
    BundleEntry entry;
    entry.size = Le32(record);
    entry.writeTime = Le64(record + 8);
    entry.attributes = Le32(record + 16);
    entry.flags = static_cast<uint16_t>(Le16(record + 20));
    const size_t nameSize = Le16(record + 22);
    at += kBundleRecordSize;
    if (header.indexSize - at < nameSize) return std::nullopt;
    entry.name.assign(reinterpret_cast<const char*>(index + at), nameSize);
    at += nameSize;
    const bool program = (entry.flags & kBundleProgram) != 0;
    if (Le32(record + 4) != 0 || (entry.attributes & ~kBundleAttributes) != 0 ||
        (entry.flags & ~(kBundleX86 | kBundleProgram)) != 0 ||
        entry.flags == (kBundleX86 | kBundleProgram) || !IsSafeBundleName(entry.name) ||
        InStream(entry) > header.unpackedSize - total || (program && programs++ > 0)) {
      return std::nullopt;
    }
    total += InStream(entry);
    entries.push_back(std::move(entry));
  }
  if (at != header.indexSize || total != header.unpackedSize || FindNameClash(entries)) {
    return std::nullopt;
  }
  return entries;
}

const BundleEntry* FindNameClash(const std::vector<BundleEntry>& entries) {
  // In sorted order a name stands right before the one it clashes with.
  SortedNames sorted(entries);
  for (size_t k = 1; k < sorted.order.size(); ++k) {
    const std::string& before = *sorted.order[k - 1];
    const std::string& key = *sorted.order[k];
    if (key.compare(0, before.size(), before) == 0 &&
        (key.size() == before.size() || key[before.size()] == '\x01')) {
      return &entries[sorted.IndexAt(k)];
    }
  }
  return nullptr;
}

std::string WriteBundleIndex(const std::vector<BundleEntry>& entries) {
  std::string index;
  for (const BundleEntry& entry : entries) {
    uint8_t record[kBundleRecordSize];
    PutLe(record, entry.size, 8);
    PutLe(record + 8, entry.writeTime, 8);
    PutLe(record + 16, entry.attributes, 4);
    PutLe(record + 20, entry.flags, 2);
    PutLe(record + 22, entry.name.size(), 2);
    index.append(reinterpret_cast<const char*>(record), sizeof record);
    index += entry.name;
  }
  return index;
}

}  // namespace qs
