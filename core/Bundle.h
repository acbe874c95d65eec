// The one-file SETUP.EXE: the program with a product folder packed behind it
// (setupkit bundle), unpacked by the program when it starts.
//
// File layout. All numbers are little-endian.
//
//   the program          a Windows program (PE), the one that unpacks
//   zero bytes           0 to 7, so the file up to the trailer is a multiple of 8
//   payload              header, index, stream (below)
//   trailer              48 bytes
//   [zero bytes]         0 to 7, put there by a signing tool
//   [certificate table]  appended by a signing tool (Authenticode)
//
// Finding the payload. A signature's certificate table must be the last
// thing in the file, and the PE header's security directory (data directory
// 4) gives its offset and size; Authenticode's digest covers everything
// before it, the payload and trailer included. So the payload ends where the
// security directory says the table begins (or, with none that ends at the
// end of the file, at the end of the file), less up to seven zero bytes of
// alignment, and the trailer is the 48 bytes before that. Nothing is
// searched for: the trailer's place follows from the first few hundred bytes
// of the file and its size. setupkit makes the file a multiple of 8 long, so
// signing tools add no alignment of their own.
//
// A cut download. It loses its end first, trailer included; it then still
// holds bytes after the program's sections (which a plain SETUP.EXE never
// has, signed or not), and that tells a damaged bundle from a plain program.
//
// Trailer (48 bytes):
//   offset  size  field
//   0       32    SHA-256 of the payload (header and stream)
//   32      8     payload size: header and stream, exactly
//   40      8     magic: "QSbundle"
//
// Payload header (40 bytes, where the payload begins):
//   0       8     magic: "QSpayld" 1A
//   8       2     format version: 1
//   10      5     LZMA properties: lc + 9 * (lp + 5 * pb), then the
//                 dictionary size (4 KiB to 16 MiB, which bounds the
//                 decoder's memory)
//   15      1     0
//   16      4     number of entries (1 to 65,536)
//   20      4     index size in bytes (at most 16 MiB)
//   24      8     unpacked size: the bytes the entries have in the stream
//   32      8     stream size in bytes
// The payload size in the trailer is 40 + stream size; a payload of any
// other size is refused.
//
// Index: the first index-size bytes the stream decodes to (names compress
// well: a folder of small files has a tenth of its compressed size in its
// index). One record per entry, in the order their bytes follow in the
// stream; the index size is the sum of the records' sizes.
//   0       8     size in bytes
//   8       8     last write time (FILETIME: 100 ns units since 1601, UTC)
//   16      4     file attributes: only read-only (01), hidden (02),
//                 system (04) and archive (20) may be set
//   20      2     flags: 1 = the entry's bytes went through the x86 branch
//                 converter (core/X86Filter.h) before compression; 2 = the
//                 entry is the program itself (the folder's SETUP.EXE
//                 unsigned is the program: it is not held twice): its
//                 first 4,096 bytes (the headers, which a signing tool
//                 changes in the file) are in the stream, the rest are the
//                 file's own from there on; at most one entry has it,
//                 without 1, and its size is where the program's sections
//                 end; no other bit may be set
//   22      2     name size in bytes (1 to 1,024)
//   24      ...   name: UTF-8, the path inside the product folder, folders
//                 separated by "\"
// A name is refused unless every part between backslashes is a plain file
// name: not empty, not "." or "..", no control character, none of
// < > : " / | ? *, no trailing dot or space, at most 255 bytes, not a DOS
// device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension).
// So no name has a drive, a root, a stream or a way out of the folder. Two
// entries may not have the same name (letter case aside, as Windows compares
// them), and no entry's name may be the folder part of another's.
//
// Sizes. The fields are 64 bits wide, but the program takes bundles under
// 4 GiB only, the file, the payload and the unpacked size each (a signature's
// certificate table offset is 32 bits anyway); a larger value is refused.
//
// Stream: one raw LZMA stream (no header of its own) of the index, then the
// entries' bytes back to back (of the program itself only its headers),
// ended by the end marker. Decoding it must
// give exactly the index size and the unpacked size, then the marker, and
// use up exactly the stream size.
// (Without the marker a stream decodes a few bytes past its real end, out of
// the range decoder's state alone, so a size could not be checked.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Sha256.h"

namespace qs {

inline constexpr size_t kBundleTrailerSize = 48;
inline constexpr size_t kBundleHeaderSize = 40;
inline constexpr size_t kBundleRecordSize = 24;  // an index record without its name
inline constexpr size_t kBundleAlignment = 8;
inline constexpr char kBundleTrailerMagic[] = "QSbundle";
inline constexpr char kBundlePayloadMagic[] = "QSpayld\x1A";
inline constexpr uint16_t kBundleVersion = 1;
inline constexpr uint32_t kBundleMaxDictionary = 16u << 20;
inline constexpr uint32_t kBundleMinDictionary = 4u << 10;
inline constexpr uint32_t kBundleMaxEntries = 65536;
inline constexpr uint32_t kBundleMaxIndex = 16u << 20;
inline constexpr size_t kBundleMaxName = 1024;
inline constexpr uint32_t kBundleAttributes = 0x27;  // read-only, hidden, system, archive
inline constexpr uint16_t kBundleX86 = 1;
inline constexpr uint16_t kBundleProgram = 2;
// The bytes of the program entry that the stream holds, the rest coming from
// the file; InStream gives how many of an entry's bytes are in the stream.
inline constexpr uint32_t kBundleProgramHead = 4096;
// How much of the file's start is read for its PE headers (the section table
// included): SizeOfHeaders of the programs setupkit takes is at most this.
inline constexpr size_t kBundleHeadSize = 4096;

inline constexpr uint64_t kBundleMaxSize = 0xFFFFFFFFu;  // file, payload, unpacked

struct BundleTrailer {
  Sha256Digest digest{};
  uint32_t payloadSize = 0;
};

struct BundleHeader {
  uint8_t lzmaProperties[5] = {};
  uint32_t entryCount = 0;
  uint32_t indexSize = 0;
  uint32_t unpackedSize = 0;
  uint32_t streamSize = 0;
};

struct BundleEntry {
  std::string name;  // UTF-8, "\" between folders
  uint32_t size = 0;
  uint64_t writeTime = 0;
  uint32_t attributes = 0;
  uint16_t flags = 0;
};

inline uint32_t InStream(const BundleEntry& entry) {
  const bool program = (entry.flags & kBundleProgram) != 0;
  return program && entry.size > kBundleProgramHead ? kBundleProgramHead : entry.size;
}

// What the PE headers in head (the file's first bytes) tell of a file of
// fileSize bytes.
struct ProgramExtent {
  // Where the sections end (the largest PointerToRawData + SizeOfRawData);
  // fileSize when head holds no PE headers.
  uint32_t imageEnd = 0;
  // Where the certificate table that the security directory names begins,
  // when that table ends at the end of the file; else fileSize.
  uint32_t signedEnd = 0;
};
ProgramExtent ReadProgramExtent(const uint8_t* head, size_t headSize, uint32_t fileSize);

// The trailer among the last bytes before the signed end (tail holds the
// tailSize bytes that end there: at least kBundleTrailerSize, at most that
// plus seven of alignment). Also where the trailer ends in the tail. A
// payload size of 4 GiB or more is taken as no trailer.
std::optional<BundleTrailer> ParseBundleTrailer(const uint8_t* tail, size_t tailSize,
                                                size_t* trailerEnd);
void WriteBundleTrailer(const BundleTrailer& trailer, uint8_t out[kBundleTrailerSize]);

// nullopt unless the magic, version, properties and limits are right and the
// sizes add up to payloadSize.
std::optional<BundleHeader> ParseBundleHeader(const uint8_t* data, uint32_t payloadSize);
void WriteBundleHeader(const BundleHeader& header, uint8_t out[kBundleHeaderSize]);

// The index's entries; nullopt when a record runs past the index, the
// records do not fill it exactly, their sizes do not add up to the header's,
// or any rule above on attributes, flags and names is broken.
std::optional<std::vector<BundleEntry>> ParseBundleIndex(const BundleHeader& header,
                                                         const uint8_t* index);
std::string WriteBundleIndex(const std::vector<BundleEntry>& entries);

// True when name is an entry's name the program unpacks (the rules above).
bool IsSafeBundleName(const std::string& name);
// An entry whose name is another's as Windows compares names (letter case
// aside), or the folder part of another's; null when there is none.
const BundleEntry* FindNameClash(const std::vector<BundleEntry>& entries);

// The folders that entries' names need, parents first, each once.
std::vector<std::string> BundleFolders(const std::vector<BundleEntry>& entries);

}  // namespace qs
