// Whole SZDD files in memory, for setupkit's checks and packing, the tests,
// the benchmark and the peers: a
// complete file (header with the data's length, then the LZSS data), and
// the expansion of a file as LZCopy gives it: SZDD data decoded, anything
// else unchanged; nullopt for an unknown mode. Both go through the same
// streaming helpers as the program and setupkit.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/Szdd.h"
#include "core/StringFile.h"
#include "core/SzddStream.h"

namespace qs {

inline std::string SzddCompress(std::string_view data, uint8_t missingChar) {
  SzddHeader header;
  header.missingChar = missingChar;
  header.length = static_cast<uint32_t>(data.size());
  std::string file(kSzddHeaderSize, '\0');
  file.reserve(kSzddHeaderSize + data.size() + data.size() / 8 + 64);
  WriteSzddHeader(header, reinterpret_cast<uint8_t*>(file.data()));
  StringReader in(data);
  StringWriter out(file);
  SzddEncodeStream(in, out);
  return file;
}

inline std::optional<std::string> SzddExpand(std::string_view file) {
  switch (ParseSzddHeader(reinterpret_cast<const uint8_t*>(file.data()), file.size(), nullptr)) {
    case SzddKind::NotCompressed: return std::string(file);
    case SzddKind::UnknownMode: return std::nullopt;
    case SzddKind::Compressed: break;
  }
  std::string data;
  StringReader in(file.substr(kSzddHeaderSize));
  StringWriter out(data);
  SzddDecodeStream(in, &out);
  return data;
}

}  // namespace qs
