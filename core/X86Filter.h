// The x86 branch converter applied to executables before compression: the
// 32-bit relative target of each CALL (E8) and JMP (E9) becomes an absolute
// offset in the file, so repeated calls of one function give repeated bytes
// that the compressor finds as matches.
//
// Scanning goes byte by byte; at an E8 or E9 byte with four more bytes after
// it in the file, those four (little-endian) are the operand. An operand whose
// top byte is 00 or FF (a signed 25-bit distance, as near branches have) is
// converted, modulo 2^25 and sign-extended again, with the offset of the
// instruction's end; any other operand stays. Either way scanning goes on
// after the operand, so both directions look at the same bytes, and the
// operand keeps its top-byte class: the conversion is its own exact inverse
// whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qs {

class X86Filter {
 public:
  // Converts data[0, size), the file's bytes from the filter's position on,
  // in place. Returns how many leading bytes are final; the rest (fewer than
  // five) wait for the bytes after them and must come again at the start of
  // the next call. With last, data ends the file and every byte is final.
  size_t Encode(uint8_t* data, size_t size, bool last) { return Convert(data, size, last, true); }
  size_t Decode(uint8_t* data, size_t size, bool last) { return Convert(data, size, last, false); }

 private:
  size_t Convert(uint8_t* data, size_t size, bool last, bool encoding);

  uint32_t position_ = 0;  // file offset of data[0], modulo 2^32
};

}  // namespace qs
