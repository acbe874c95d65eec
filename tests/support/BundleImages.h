// Programs and bundles in memory for the bundle reader's tests and fuzzer:
// a small PE32 program, what a signing tool appends, and a payload sealed
// behind a program with a right digest (as someone making a hostile bundle
// can seal anything).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include <optional>
#include <vector>

#include "core/Bundle.h"
#include "core/Sha256.h"
#include "platform/Platform.h"
#include "tools/setupkit/Bundle.h"

namespace qs::test {

inline void Put32(std::string& s, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>(v >> (8 * k));
}

// Headers, then one section of code bytes (code() gives them).
inline std::string ProgramImage(const std::string& code) {
  std::string p(0x200, '\0');
  p[0] = 'M', p[1] = 'Z';
  Put32(p, 0x3C, 0x80);
  std::memcpy(&p[0x80], "PE\0\0\x4C\x01\x01\x00", 8);  // i386, one section
  p[0x94] = static_cast<char>(224);                     // optional header size
  p[0x98] = 0x0B, p[0x99] = 0x01;                       // PE32
  Put32(p, 0x98 + 92, 16);                              // data directories
  std::memcpy(&p[0x178], ".text", 5);
  Put32(p, 0x178 + 16, static_cast<uint32_t>(code.size()));
  Put32(p, 0x178 + 20, 0x200);
  return p + code;
}

// What a signing tool does to a program made by ProgramImage: zeros up to
// a multiple of 8, the certificate table, the security directory naming it.
inline std::string Signed(std::string file, size_t table = 1500) {
  file.resize((file.size() + 7) / 8 * 8, '\0');
  Put32(file, 0x98 + 96 + 32, static_cast<uint32_t>(file.size()));
  Put32(file, 0x98 + 96 + 36, static_cast<uint32_t>(table));
  return file + std::string(table, '\x30');
}

// program, then payload with a trailer that holds its size and digest.
inline std::string Sealed(const std::string& program, const std::string& payload) {
  BundleTrailer trailer;
  trailer.digest = Sha256Of(payload.data(), payload.size());
  trailer.payloadSize = payload.size();
  std::string tail(kBundleTrailerSize, '\0');
  WriteBundleTrailer(trailer, reinterpret_cast<uint8_t*>(tail.data()));
  return program + payload + tail;
}

// A file of a bundle made for a test.
struct BundleFile {
  std::string name;
  std::string bytes;
  uint16_t flags = 0;
  uint32_t attributes = kAttrArchive;
};

inline std::vector<BundleEntry> EntriesOf(const std::vector<BundleFile>& files) {
  std::vector<BundleEntry> entries;
  for (const BundleFile& f : files) {
    BundleEntry e;
    e.name = f.name;
    e.size = static_cast<uint32_t>(f.bytes.size());
    e.writeTime = 133000000000000000ull + entries.size();
    e.attributes = f.attributes;
    e.flags = f.flags;
    entries.push_back(e);
  }
  return entries;
}

// The bundle setupkit makes of files behind program.
inline std::string BundleOf(const std::vector<BundleFile>& files, const std::string& program) {
  uint8_t properties[5];
  std::vector<BundleEntry> entries = EntriesOf(files);
  auto stream = kit::CompressBundleStream(
      entries, [&](size_t i) { return std::optional<std::string>(files[i].bytes); }, properties);
  return stream ? kit::AssembleBundle(program, entries, *stream, properties) : std::string();
}

}  // namespace qs::test
