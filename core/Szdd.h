// SZDD: the compressed-file format of COMPRESS.EXE -r and the Windows LZ
// expansion API (LZOpenFile, LZCopy, GetExpandedName).
//
// File layout. All numbers are little-endian.
//
//   offset  size  field
//   0       8     magic: 53 5A 44 44 88 F0 27 33 ("SZDD" 88 F0 27 33)
//   8       1     compression mode; 0x41 ('A') is the only one there is
//   9       1     the last character of the original file name, which the
//                 compressed name replaced with "_" (0 when none was stored)
//   10      4     length of the expanded data (informational only: the
//                 decoder neither stops nor pads by it)
//   14      ...   LZSS data up to the end of the file
//
// A file shorter than 14 bytes or with another magic is not compressed; it
// expands to itself under its own name. A file with the magic and another
// mode cannot be expanded.
//
// LZSS data. The decoder keeps a 4096-byte ring, filled with spaces (0x20)
// at the start, and a write position that starts at 0xFF0. A flag byte
// announces the next eight items, least significant bit first:
//   bit 1: one literal byte, copied to the output;
//   bit 0: two bytes b1 b2, a match: ring position b1 | ((b2 & 0xF0) << 4),
//          length (b2 & 0x0F) + 3, that is 3 to 18 bytes, copied one byte
//          at a time so that a match may overlap the bytes it produces.
// Every output byte is also written to the ring at the write position,
// which then advances modulo 4096. There is no end marker: the data simply
// ends, before a flag byte, a literal, or even between the two bytes of a
// match, and what was decoded so far is the output.
//
// Seen from the output, a match at ring position p copies from distance
// ((write - p - 1) & 0xFFF) + 1, 1 to 4096 bytes back, where bytes before
// the start of the output read as spaces. Encoder and decoder work in those
// terms and only convert at the boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/CodePage.h"

namespace qs {

inline constexpr size_t kSzddHeaderSize = 14;
inline constexpr uint8_t kSzddModeLz = 0x41;

struct SzddHeader {
  uint8_t mode = kSzddModeLz;
  uint8_t missingChar = 0;
  uint32_t length = 0;
};

enum class SzddKind {
  NotCompressed,  // too short, or another magic: the file is its own expansion
  Compressed,     // magic and mode 'A'
  UnknownMode,    // magic with another mode: cannot be expanded
};

// Classifies the first size bytes of a file (fewer than 14 means the file is
// that short) and fills header when the magic is present.
SzddKind ParseSzddHeader(const uint8_t* data, size_t size, SzddHeader* header);
void WriteSzddHeader(const SzddHeader& header, uint8_t out[kSzddHeaderSize]);

// The name a compressed file expands to: in the file-name part of path, the
// first "." is found; when it is the last character it is dropped; otherwise
// a final "_" becomes missingChar (recased after the last ASCII letter before
// it, lower case when there is none) or, for 0, just goes. Names without a
// dot stay as they are. The folder part is kept. In a UTF-8 path a
// missingChar beyond ASCII is the byte of code page 932 it always was: a
// half-width katakana, or else no character (the name stays as it is).
std::string SzddExpandedName(const std::string& path, uint8_t missingChar, CodePage cp);

// The name COMPRESS.EXE -r gives a file: the last character of the
// extension becomes "_" and is stored in the header; a name without an
// extension, or ending in a dot, gets "_" after a dot and stores nothing.
struct SzddCompressedName {
  std::string path;
  uint8_t missingChar = 0;
};
// nullopt when the name already ends in "_", is empty, or its last
// character is a double-byte one (a single byte cannot hold it).
std::optional<SzddCompressedName> MakeSzddCompressedName(const std::string& path, CodePage cp);

// Both codecs take and give buffers piece by piece, in memory of a fixed
// size whatever the length of the data. Each call stops when the input is
// used up or the output is full; consumed and produced tell how far it got.
struct SzddStep {
  size_t consumed = 0;
  size_t produced = 0;
};

// Turns LZSS data (what follows the header) back into the original bytes.
// Any input is valid; input that ends early simply ends the output.
class SzddDecoder {
 public:
  SzddDecoder();
  SzddStep Decode(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);
  uint64_t produced() const { return total_; }

 private:
  struct Cursor {
    const uint8_t* ip;
    const uint8_t* iend;
    uint8_t* const out;  // where this call's output begins
    uint8_t* op;
    uint8_t* const oend;
  };
  bool FinishMatch(Cursor& c);
  void DecodeGroups(Cursor& c);
  bool DecodeItem(Cursor& c);
  void SyncRing(const uint8_t* out, size_t produced);
  uint8_t* CopyMatch(uint8_t* op, uint8_t* out, size_t count);

  uint8_t ring_[4096];    // the last 4096 bytes produced before this call
  uint64_t total_ = 0;    // bytes produced before the current call
  unsigned flags_ = 0;    // flag bits still to use, above a marker bit 0x100
  int pendingLow_ = -1;   // first byte of a match whose second is still due
  unsigned matchDist_ = 0;  // match in progress when the output filled up
  unsigned matchLeft_ = 0;
};

// Produces LZSS data with an optimal parse of each 64 KiB block: literals
// cost 9 bits, matches 17 whatever their length or distance, so the
// cheapest cover of the block follows from the longest match at each
// position, which binary trees of the window find. Two runs of four blocks
// are searched side by side, on two threads where the build has them; the
// bytes are the same either way. Memory: about 4 MB, whatever the input.
class SzddEncoder {
 public:
  SzddEncoder();
  ~SzddEncoder();
  SzddEncoder(const SzddEncoder&) = delete;
  SzddEncoder& operator=(const SzddEncoder&) = delete;

  // Give last = true once the input holds the end of the data, and keep
  // calling until finished() (more output room may be needed).
  SzddStep Encode(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, bool last);
  bool finished() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace qs
