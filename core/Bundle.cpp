#include "core/Bundle.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace qs {
namespace {

uint64_t Le(const uint8_t* p, int size) {
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

void PutLe(uint8_t* p, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Length of the well-formed UTF-8 character at s[i] (no overlong forms, no
// surrogates, nothing past U+10FFFF); 0 when there is none.
size_t Utf8Length(const std::string& s, size_t i) {
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

std::string UpperAsciiOf(std::string text) {
  for (char& ch : text) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return text;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (also with ¹ ² ³, which Windows
// takes as digits there), whatever follows a dot.
bool IsDeviceName(const std::string& part) {
  std::string base = UpperAsciiOf(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  if (base.rfind("COM", 0) != 0 && base.rfind("LPT", 0) != 0) return false;
  std::string digit = base.substr(3);
  return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

bool IsSafePart(const std::string& part) {
  if (part.empty() || part.size() > 255 || part == "." || part == "..") return false;
  if (part.back() == '.' || part.back() == ' ') return false;
  for (size_t i = 0; i < part.size();) {
    unsigned char ch = static_cast<unsigned char>(part[i]);
    if (ch < 0x20 || ch == 0x7F || std::strchr("<>:\"/|?*", ch) != nullptr) return false;
    size_t n = Utf8Length(part, i);
    if (n == 0) return false;
    i += n;
  }
  return !IsDeviceName(part);
}

}  // namespace

ProgramExtent ReadProgramExtent(const uint8_t* head, size_t headSize, uint64_t fileSize) {
  ProgramExtent extent{fileSize, fileSize};
  if (headSize < 0x40 || head[0] != 'M' || head[1] != 'Z') return extent;
  const uint64_t pe = Le(head + 0x3C, 4);
  if (pe + 24 + 2 > headSize || std::memcmp(head + pe, "PE\0\0", 4) != 0) return extent;
  const uint64_t optional = pe + 24;
  const uint64_t sections = optional + Le(head + pe + 20, 2), count = Le(head + pe + 6, 2);
  if (sections + 40 * count <= headSize) {
    uint64_t end = 0;
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* section = head + sections + 40 * i;
      end = std::max(end, Le(section + 20, 4) + Le(section + 16, 4));
    }
    extent.imageEnd = std::min(end, fileSize);
  }
  // The data directories follow the optional header's fixed part: 96 bytes
  // in PE32, 112 in PE32+; the security directory is the fifth.
  const uint64_t magic = Le(head + optional, 2);
  const uint64_t directories = optional + (magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0);
  const uint64_t entry = directories + 4 * 8;
  if (directories == optional || entry + 8 > headSize || Le(head + directories - 4, 4) < 5) {
    return extent;
  }
  const uint64_t offset = Le(head + entry, 4), size = Le(head + entry + 4, 4);
  if (size != 0 && offset <= fileSize && size == fileSize - offset) extent.signedEnd = offset;
  return extent;
}

std::optional<BundleTrailer> ParseBundleTrailer(const uint8_t* tail, size_t tailSize,
                                                size_t* trailerEnd) {
  for (size_t end = tailSize; end >= kBundleTrailerSize && tailSize - end < kBundleAlignment;
       --end) {
    if (std::memcmp(tail + end - 8, kBundleTrailerMagic, 8) == 0) {
      BundleTrailer trailer;
      std::memcpy(trailer.digest.data(), tail + end - kBundleTrailerSize, 32);
      trailer.payloadSize = Le(tail + end - 16, 8);
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

std::optional<BundleHeader> ParseBundleHeader(const uint8_t* data, uint64_t payloadSize) {
  if (payloadSize < kBundleHeaderSize || std::memcmp(data, kBundlePayloadMagic, 8) != 0 ||
      Le(data + 8, 2) != kBundleVersion || data[15] != 0) {
    return std::nullopt;
  }
  BundleHeader header;
  std::memcpy(header.lzmaProperties, data + 10, 5);
  header.entryCount = static_cast<uint32_t>(Le(data + 16, 4));
  header.indexSize = static_cast<uint32_t>(Le(data + 20, 4));
  header.unpackedSize = Le(data + 24, 8);
  header.streamSize = Le(data + 32, 8);
  const uint64_t dictionary = Le(header.lzmaProperties + 1, 4);
  const bool valid =
      header.lzmaProperties[0] < 9 * 5 * 5 && dictionary >= kBundleMinDictionary &&
      dictionary <= kBundleMaxDictionary && header.entryCount >= 1 &&
      header.entryCount <= kBundleMaxEntries && header.indexSize <= kBundleMaxIndex &&
      header.indexSize >= uint64_t{header.entryCount} * (kBundleRecordSize + 1) &&
      header.streamSize <= payloadSize &&
      payloadSize - header.streamSize == kBundleHeaderSize + uint64_t{header.indexSize};
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
  for (size_t start = 0;;) {
    size_t sep = name.find('\\', start);
    if (!IsSafePart(name.substr(start, sep - start))) return false;
    if (sep == std::string::npos) return true;
    start = sep + 1;
  }
}

std::vector<std::string> BundleFolders(const std::vector<BundleEntry>& entries) {
  std::vector<std::string> folders;
  std::set<std::string> seen;
  for (const BundleEntry& entry : entries) {
    for (size_t sep = entry.name.find('\\'); sep != std::string::npos;
         sep = entry.name.find('\\', sep + 1)) {
      std::string folder = entry.name.substr(0, sep);
      if (seen.insert(UpperAsciiOf(folder)).second) folders.push_back(folder);
    }
  }
  return folders;
}

std::optional<std::vector<BundleEntry>> ParseBundleIndex(const BundleHeader& header,
                                                         const uint8_t* index) {
  std::vector<BundleEntry> entries;
  std::set<std::string> names;
  uint64_t at = 0, total = 0;
  for (uint32_t i = 0; i < header.entryCount; ++i) {
    if (header.indexSize - at < kBundleRecordSize) return std::nullopt;
    const uint8_t* record = index + at;
    BundleEntry entry;
    entry.size = Le(record, 8);
    entry.writeTime = Le(record + 8, 8);
    entry.attributes = static_cast<uint32_t>(Le(record + 16, 4));
    entry.flags = static_cast<uint16_t>(Le(record + 20, 2));
    const size_t nameSize = static_cast<size_t>(Le(record + 22, 2));
    at += kBundleRecordSize;
    if (header.indexSize - at < nameSize) return std::nullopt;
    entry.name.assign(reinterpret_cast<const char*>(index + at), nameSize);
    at += nameSize;
    if ((entry.attributes & ~kBundleAttributes) != 0 || (entry.flags & ~kBundleX86) != 0 ||
        !IsSafeBundleName(entry.name) || !names.insert(UpperAsciiOf(entry.name)).second ||
        entry.size > header.unpackedSize - total) {
      return std::nullopt;
    }
    total += entry.size;
    entries.push_back(std::move(entry));
  }
  if (at != header.indexSize || total != header.unpackedSize) return std::nullopt;
  for (const std::string& folder : BundleFolders(entries)) {
    if (names.count(UpperAsciiOf(folder))) return std::nullopt;  // a file where a folder must be
  }
  return entries;
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
