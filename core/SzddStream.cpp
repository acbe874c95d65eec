#include "core/SzddStream.h"

#include <vector>

#include "core/Szdd.h"

namespace qs {
namespace {

constexpr size_t kChunk = 64 * 1024;

}  // namespace

bool SzddDecodeStream(FileReader& in, FileWriter* out, SzddStreamTotals* totals) {
  std::vector<uint8_t> inBuf(kChunk), outBuf(kChunk);
  SzddStreamTotals counted;
  SzddDecoder decoder;
  for (;;) {
    int64_t n = in.Read(inBuf.data(), inBuf.size());
    if (n < 0) return false;
    counted.read += static_cast<uint64_t>(n);
    size_t used = 0;
    // Until the output buffer is no longer filled: at the end of the data
    // (n == 0) this drains a match still being copied.
    for (;;) {
      SzddStep step =
          decoder.Decode(inBuf.data() + used, static_cast<size_t>(n) - used, outBuf.data(), outBuf.size());
      used += step.consumed;
      if (out && step.produced != 0 && !out->Write(outBuf.data(), step.produced)) return false;
      counted.written += step.produced;
      if (step.produced < outBuf.size()) break;
    }
    if (n == 0) break;
  }
  if (totals) *totals = counted;
  return true;
}

bool SzddEncodeStream(FileReader& in, FileWriter& out, SzddStreamTotals* totals) {
  std::vector<uint8_t> inBuf(kChunk), outBuf(kChunk);
  SzddStreamTotals counted;
  SzddEncoder encoder;
  size_t got = 0, used = 0;
  bool end = false;
  while (!encoder.finished()) {
    if (used == got && !end) {
      int64_t n = in.Read(inBuf.data(), inBuf.size());
      if (n < 0) return false;
      got = static_cast<size_t>(n);
      used = 0;
      end = n == 0;  // a short read need not be the end
      counted.read += got;
    }
    SzddStep step = encoder.Encode(inBuf.data() + used, got - used, outBuf.data(), outBuf.size(), end);
    used += step.consumed;
    if (step.produced != 0 && !out.Write(outBuf.data(), step.produced)) return false;
    counted.written += step.produced;
  }
  if (totals) *totals = counted;
  return true;
}

}  // namespace qs
