// The one loop per direction that drives the SZDD codec from one file into
// another, in buffers of a fixed size whatever the length of the data. The
// header is the caller's: these carry only the LZSS data that follows it.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace qs {

struct SzddStreamTotals {
  uint64_t read = 0;     // bytes taken from the reader
  uint64_t written = 0;  // bytes given to the writer
};

// Decodes what in gives until it ends into out, or only counts the output
// when out is null. False when a read or a write fails. Neither file is
// closed.
bool SzddDecodeStream(FileReader& in, FileWriter* out, SzddStreamTotals* totals = nullptr);

// Encodes everything in gives into out. False when a read or a write fails.
bool SzddEncodeStream(FileReader& in, FileWriter& out, SzddStreamTotals* totals = nullptr);

}  // namespace qs
