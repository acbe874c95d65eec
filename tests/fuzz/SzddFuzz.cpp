// libFuzzer target for the SZDD codec. Each input is used twice:
//  - as LZSS data: our decoder, fed and drained in pieces of sizes taken
//    from the first two bytes, must give what a plain ring decoder gives;
//  - as data: compressing and expanding it must give it back.
//
// Built by the native build when clang++ and its fuzzer runtime are there
// (target szdd_fuzz_build, program szdd_fuzz in the build folder); CTest
// runs it briefly. A long run, from the native build folder:
//   mkdir -p fuzz-corpus && ./szdd_fuzz -max_total_time=3600 -jobs=2 -workers=2 fuzz-corpus
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "tests/support/SzddReference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t inChunk = 1 + data[0] % 64 * 37;
  const size_t outChunk = 1 + data[1] % 64 * 41;
  const uint8_t* stream = data + 2;
  const size_t streamSize = size - 2;

  qs::SzddDecoder decoder;
  std::vector<uint8_t> buffer(outChunk);
  std::string out;
  size_t used = 0;
  for (;;) {
    size_t give = std::min(inChunk, streamSize - used);
    qs::SzddStep step = decoder.Decode(stream + used, give, buffer.data(), buffer.size());
    used += step.consumed;
    out.append(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(step.produced));
    if (used == streamSize && step.produced < buffer.size()) break;
    if (step.consumed == 0 && step.produced == 0) abort();  // stuck
  }
  if (out != qs::test::ReferenceDecode(stream, streamSize)) abort();

  std::string_view plain(reinterpret_cast<const char*>(data), size);
  auto back = qs::SzddExpand(qs::SzddCompress(plain, 'x'));
  if (!back || *back != plain) abort();
  return 0;
}
