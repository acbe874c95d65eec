#include "core/X86Filter.h"

namespace qs {

size_t X86Filter::Convert(uint8_t* data, size_t size, bool last, bool encoding) {
  size_t i = 0;
  for (; i + 5 <= size; ++i) {
    if ((data[i] & 0xFE) != 0xE8) continue;
    uint8_t* p = data + i + 1;
    if (p[3] == 0x00 || p[3] == 0xFF) {
      uint32_t operand = p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
      uint32_t end = position_ + static_cast<uint32_t>(i) + 5;
      uint32_t value = encoding ? operand + end : operand - end;
      value = ((value & 0x1FFFFFF) ^ 0x1000000) - 0x1000000;
      for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(value >> (8 * k));
    }
    i += 4;  // the operand is never an opcode, converted or not
  }
  // Fewer than five bytes are left from i on: final at the end of the file,
  // else looked at again with what follows them.
  size_t done = last ? size : i;
  position_ += static_cast<uint32_t>(done);
  return done;
}

}  // namespace qs
