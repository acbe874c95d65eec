// SHA-256 (FIPS 180-4), fed piece by piece: the bundle's payload digest, and
// any other digest the program keeps of its own files. Portable, no tables
// beyond the 64 round constants, no allocation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qs {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  // The digest of everything given; the object must not be updated after.
  Sha256Digest Finish();

 private:
  void Block(const uint8_t* block);

  uint32_t state_[8];
  uint64_t length_ = 0;  // bytes given so far
  uint8_t buffer_[64];   // the part of a block given so far
};

Sha256Digest Sha256Of(const void* data, size_t size);

}  // namespace qs
