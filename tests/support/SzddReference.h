// The SZDD data format as plainly as it can be written: a ring, a flag
// byte, items. Tests and the fuzzer compare our decoder with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qs::test {

inline std::string ReferenceDecode(const uint8_t* in, size_t size) {
  uint8_t ring[4096];
  for (uint8_t& b : ring) b = ' ';
  unsigned pos = 0xFF0;
  std::string out;
  size_t i = 0;
  while (i < size) {
    unsigned flags = in[i++];
    for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
      if (flags & 1) {
        if (i >= size) return out;
        out += static_cast<char>(ring[pos] = in[i++]);
        pos = (pos + 1) & 0xFFF;
      } else {
        if (i + 1 >= size) return out;
        unsigned src = in[i] | ((in[i + 1] & 0xF0) << 4), len = (in[i + 1] & 0x0F) + 3;
        i += 2;
        while (len--) {
          out += static_cast<char>(ring[pos] = ring[src]);
          pos = (pos + 1) & 0xFFF;
          src = (src + 1) & 0xFFF;
        }
      }
    }
  }
  return out;
}

}  // namespace qs::test
