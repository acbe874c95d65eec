#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "tests/support/SzddReference.h"

namespace qs {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Header(uint8_t mode, uint8_t missing, uint32_t length) {
  std::string h = "SZDD\x88\xF0\x27\x33";
  h += static_cast<char>(mode);
  h += static_cast<char>(missing);
  for (int i = 0; i < 4; ++i) h += static_cast<char>(length >> (8 * i));
  return h;
}

std::string ReferenceDecode(const Bytes& in) { return test::ReferenceDecode(in.data(), in.size()); }

// Our decoder, fed inChunk bytes at a time into an output buffer of outChunk.
std::string Decode(const Bytes& in, size_t inChunk = 1 << 20, size_t outChunk = 1 << 16) {
  SzddDecoder decoder;
  std::vector<uint8_t> buffer(outChunk);
  std::string out;
  size_t used = 0;
  for (;;) {
    size_t give = std::min(inChunk, in.size() - used);
    SzddStep step = decoder.Decode(in.data() + used, give, buffer.data(), buffer.size());
    used += step.consumed;
    out.append(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(step.produced));
    if (used == in.size() && step.produced < buffer.size()) break;
    EXPECT_TRUE(step.consumed || step.produced) << "no progress";
    if (!step.consumed && !step.produced) break;
  }
  EXPECT_EQ(out.size(), decoder.produced());
  return out;
}

// LZSS data only (the file without its header), fed and drained in chunks.
Bytes Encode(const std::string& data, size_t inChunk = 1 << 20, size_t outChunk = 1 << 16) {
  SzddEncoder encoder;
  std::vector<uint8_t> buffer(outChunk);
  Bytes out;
  size_t used = 0;
  const auto* in = reinterpret_cast<const uint8_t*>(data.data());
  for (int guard = 0; !encoder.finished(); ++guard) {
    size_t give = std::min(inChunk, data.size() - used);
    bool last = used + give == data.size();
    SzddStep step = encoder.Encode(in + used, give, buffer.data(), buffer.size(), last);
    used += step.consumed;
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(step.produced));
    if (guard > 100000000) {
      ADD_FAILURE() << "encoder makes no progress";
      break;
    }
  }
  EXPECT_EQ(used, data.size());
  return out;
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string TextLike(size_t size, uint32_t seed) {
  static const char* words[] = {"setup",  "the",    "folder", "file", "Windows", "install",
                                "copy",   "of",     "and",    "to",   "program", "menu",
                                "README", "\r\n",   "    ",   "a",    "shortcut", "(App)"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    s += words[rng() % std::size(words)];
    s += rng() % 5 ? " " : ", ";
  }
  s.resize(size);
  return s;
}

// --- Header ------------------------------------------------------------------

TEST(SzddHeader, WritesAndReadsEveryField) {
  for (uint32_t length : {0u, 1u, 0x12345678u, 0x80000001u, 0xFFFFFFFFu}) {
    SzddHeader header;
    header.missingChar = 'T';
    header.length = length;
    uint8_t bytes[kSzddHeaderSize];
    WriteSzddHeader(header, bytes);
    EXPECT_EQ(Header('A', 'T', length), std::string(bytes, bytes + kSzddHeaderSize));
    SzddHeader back;
    ASSERT_EQ(SzddKind::Compressed, ParseSzddHeader(bytes, sizeof bytes, &back));
    EXPECT_EQ('A', back.mode);
    EXPECT_EQ('T', back.missingChar);
    EXPECT_EQ(length, back.length);
  }
}

TEST(SzddHeader, TellsCompressedFromPlainAndUnknownModes) {
  auto kind = [](const std::string& s) {
    return ParseSzddHeader(reinterpret_cast<const uint8_t*>(s.data()), s.size(), nullptr);
  };
  EXPECT_EQ(SzddKind::Compressed, kind(Header('A', 0, 5) + "data"));
  EXPECT_EQ(SzddKind::UnknownMode, kind(Header('B', 0, 5)));
  EXPECT_EQ(SzddKind::UnknownMode, kind(Header(0, 0, 5)));
  EXPECT_EQ(SzddKind::NotCompressed, kind(Header('A', 0, 5).substr(0, 13)));
  EXPECT_EQ(SzddKind::NotCompressed, kind(""));
  for (size_t i = 0; i < 8; ++i) {  // any other magic
    std::string other = Header('A', 0, 5);
    other[i] ^= 0x01;
    EXPECT_EQ(SzddKind::NotCompressed, kind(other)) << i;
  }
}

// --- Names -------------------------------------------------------------------

std::string Expanded(const std::string& path, char missing) {
  return SzddExpandedName(path, static_cast<uint8_t>(missing), kCp932);
}

TEST(SzddExpandedName, ReplacesTheFinalUnderscoreAfterADot) {
  EXPECT_EQ("lower.txt", Expanded("lower.tx_", 't'));
  EXPECT_EQ("UPPER.TXT", Expanded("UPPER.TX_", 't'));
  EXPECT_EQ("zero.tx", Expanded("zero.tx_", 0));
  EXPECT_EQ("file.a", Expanded("file._", 'a'));
  EXPECT_EQ("file.", Expanded("file._", 0));
  EXPECT_EQ("noext_", Expanded("noext_", 'x'));
  EXPECT_EQ("file", Expanded("file.", 'x'));
  EXPECT_EQ("a.b.cx", Expanded("a.b.c_", 'x'));
  EXPECT_EQ("a.b.", Expanded("a.b.", 'x'));
  EXPECT_EQ("plain.txt", Expanded("plain.txt", 'x'));
  EXPECT_EQ("", Expanded("", 'x'));
}

TEST(SzddExpandedName, CaseFollowsTheLastLetterOfTheName) {
  EXPECT_EQ("Mixed.Txt", Expanded("Mixed.Tx_", 'T'));
  EXPECT_EQ("mIXED.tXT", Expanded("mIXED.tX_", 't'));
  EXPECT_EQ("README.1T", Expanded("README.1_", 't'));  // the letter before the digit
  EXPECT_EQ("123.45a", Expanded("123.45_", 'A'));      // no letter: lower case
  EXPECT_EQ("FILE.TX1", Expanded("FILE.TX_", '1'));
  EXPECT_EQ("file.tx\x8A", Expanded("file.tx_", '\x8A'));
  // The folder's letters do not count.
  EXPECT_EQ("C:\\UPPER\\123.a", Expanded("C:\\UPPER\\123._", 'A'));
}

TEST(SzddExpandedName, WorksOnTheFileNamePartOnly) {
  EXPECT_EQ("C:\\SRC\\README.TXT", Expanded("C:\\SRC\\README.TX_", 'T'));
  EXPECT_EQ("C:\\A.B\\noext_", Expanded("C:\\A.B\\noext_", 'x'));
  EXPECT_EQ("C:\\A.B\\file", Expanded("C:\\A.B\\file.", 'x'));
  EXPECT_EQ("D:name.txt", Expanded("D:name.tx_", 't'));
  EXPECT_EQ("C:\\DIR\\", Expanded("C:\\DIR\\", 't'));
}

// In Shift-JIS, ダ is 83 5F (its second byte is not an underscore), ア is
// 83 41 (not an upper-case letter) and 表 is 95 5C (not a separator); the
// engine's UTF-8 names expand the same way.
TEST(SzddExpandedName, StepsOverMultiByteCharacters) {
  const struct {
    CodePage cp;
    const char *da, *a, *table;
  } texts[] = {{kCp932, "\x83\x5f", "\x83\x41", "\x95\x5c"}, {kUtf8, "ダ", "ア", "表"}};
  for (const auto& t : texts) {
    auto expanded = [&](const std::string& path, char missing) {
      return SzddExpandedName(path, static_cast<uint8_t>(missing), t.cp);
    };
    const std::string da = t.da, a = t.a, table = t.table;
    EXPECT_EQ("f." + da, expanded("f." + da, 't'));
    EXPECT_EQ("x." + a + "b", expanded("x." + a + "_", 'B'));
    EXPECT_EQ("C:\\" + table + ".txt", expanded("C:\\" + table + ".tx_", 't'));
    EXPECT_EQ("C:\\" + table + "\\x.txt", expanded("C:\\" + table + "\\x.tx_", 't'));
  }
}

TEST(SzddCompressedName, ReplacesTheLastCharacterOfTheExtension) {
  struct Case {
    const char* name;
    const char* compressed;
    char missing;
  } cases[] = {
      {"MANUAL.TXT", "MANUAL.TX_", 'T'}, {"a.b", "a._", 'b'},
      {"README", "README._", 0},         {"file.", "file._", 0},
      {"a.b.html", "a.b.htm_", 'l'},     {"C:\\A.B\\README", "C:\\A.B\\README._", 0},
      {".profile", ".profil_", 'e'},     {"C:\\表\\ア.txt", "C:\\表\\ア.tx_", 't'},
  };
  for (const Case& c : cases) {
    auto name = MakeSzddCompressedName(c.name, kUtf8);
    ASSERT_TRUE(name) << c.name;
    EXPECT_EQ(c.compressed, name->path);
    EXPECT_EQ(static_cast<uint8_t>(c.missing), name->missingChar) << c.name;
    // Expanding gives the name back (README._ gives README., which Windows
    // takes as README).
    std::string back = SzddExpandedName(name->path, name->missingChar, kUtf8);
    EXPECT_TRUE(back == c.name || back == std::string(c.name) + ".") << c.name << " " << back;
  }
}

TEST(SzddCompressedName, RefusesWhatCannotRoundTrip) {
  EXPECT_FALSE(MakeSzddCompressedName("x.tx_", kCp932));
  EXPECT_FALSE(MakeSzddCompressedName("noext_", kCp932));
  EXPECT_FALSE(MakeSzddCompressedName("", kCp932));
  EXPECT_FALSE(MakeSzddCompressedName("C:\\DIR\\", kCp932));
  // A last character of more than one byte has no byte to keep in the header;
  // in Shift-JIS, ダ ends in byte 5F but is not an underscore.
  for (const auto& [cp, da] : {std::pair{kUtf8, "ダ"}, std::pair{kCp932, "\x83\x5f"}}) {
    EXPECT_FALSE(MakeSzddCompressedName(std::string("a.b") + da, cp)) << da;
    auto name = MakeSzddCompressedName(da, cp);
    ASSERT_TRUE(name) << da;
    EXPECT_EQ(std::string(da) + "._", name->path);
  }
  EXPECT_FALSE(MakeSzddCompressedName("a.表", kUtf8));
}

// --- Decoder on hand-made streams -------------------------------------------

TEST(SzddDecoder, DecodesHandMadeStreams) {
  struct Case {
    const char* what;
    Bytes in;
    std::string out;
  } cases[] = {
      {"a match from the initial spaces", {0x02, 0x00, 0x02, 'x'}, "     x"},
      {"an overlapping run", {0x03, 'a', 'b', 0xF0, 0xF4}, "ababababa"},
      {"a source running from the spaces into new bytes",
       {0x03, 'a', 'b', 0xEE, 0xF3},
       "ab  ab  "},
      {"a match at the write position (4096 back)", {0x03, 'a', 'b', 0xF2, 0xF0}, "ab   "},
      {"an empty stream", {}, ""},
      {"a lone flag byte", {0xFF}, ""},
      {"eight literals then more", {0xFF, '1', '2', '3', '4', '5', '6', '7', '8', 0x01, '9'},
       "123456789"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, Decode(c.in)) << c.what;
    EXPECT_EQ(c.out, Decode(c.in, 1, 1)) << c.what << ", byte by byte";
    EXPECT_EQ(c.out, ReferenceDecode(c.in)) << c.what << ", reference";
  }
}

TEST(SzddDecoder, MatchPositionsWrapPastTheEndOfTheRing) {
  // Twenty literals occupy ring positions FF0..FFF and 000..003; a match at
  // FFC copies across the end of the ring.
  Bytes in = {0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
              0xFF, 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
              0x0F, 'Q', 'R', 'S', 'T', 0xFC, 0xF5};
  EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTMNOPQRST", Decode(in));
  EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTMNOPQRST", Decode(in, 3, 5));
  EXPECT_EQ(ReferenceDecode(in), Decode(in));
}

TEST(SzddDecoder, AMatchReachesBackAWholeRing) {
  // 4096 literals, then a match at the write position (FF0 again): the
  // oldest byte in the ring, 4096 back, for 18 bytes.
  Bytes in;
  std::string expected;
  for (int i = 0; i < 4096; ++i) {
    if (i % 8 == 0) in.push_back(0xFF);
    in.push_back(static_cast<uint8_t>(i * 7 % 251));
    expected += static_cast<char>(i * 7 % 251);
  }
  in.insert(in.end(), {0x00, 0xF0, 0xFF});
  expected += expected.substr(0, 18);
  EXPECT_EQ(expected, Decode(in));
  EXPECT_EQ(expected, Decode(in, 4099, 4096));  // the match after a call boundary
  EXPECT_EQ(expected, Decode(in, 1000, 1));
}

TEST(SzddDecoder, AnyTruncationEndsTheOutputWithWhatWasDecoded) {
  std::string data = TextLike(3000, 7) + std::string(100, ' ') + RandomBytes(300, 8);
  Bytes full = Encode(data);
  ASSERT_EQ(data, Decode(full));
  std::string previous;
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    Bytes part(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut));
    std::string out = Decode(part, 5, 7);
    ASSERT_EQ(ReferenceDecode(part), out) << "cut at " << cut;
    ASSERT_EQ(0u, data.compare(0, out.size(), out)) << "cut at " << cut;
    ASSERT_GE(out.size(), previous.size()) << "cut at " << cut;
    previous = out;
  }
  // Between the two bytes of a match: the match is dropped.
  EXPECT_EQ("ab", Decode({0x03, 'a', 'b', 0xF0}));
}

TEST(SzddDecoder, ChunkSizesDoNotChangeTheOutput) {
  std::string data = TextLike(200000, 1) + RandomBytes(5000, 2) + std::string(70000, '\0');
  Bytes stream = Encode(data);
  for (auto [inChunk, outChunk] : {std::pair<size_t, size_t>{1, 1}, {17, 144}, {16, 160},
                                   {4095, 4097}, {65536, 1}, {1, 65536}, {1 << 20, 300000}}) {
    EXPECT_EQ(data, Decode(stream, inChunk, outChunk)) << inChunk << "/" << outChunk;
  }
}

// --- Round trips ---------------------------------------------------------------

TEST(SzddRoundTrip, GivesBackEveryKindOfData) {
  struct Case {
    const char* what;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"one space", " "},
      {"two bytes", "ab"},
      {"spaces", std::string(5000, ' ')},
      {"zeros across blocks", std::string(300000, '\0')},
      {"a short period", [] {
         std::string s;
         while (s.size() < 100000) s += "abcdefghij";
         return s;
       }()},
      {"random", RandomBytes(150000, 3)},
      {"text", TextLike(400000, 4)},
      {"mixed", TextLike(70000, 5) + RandomBytes(70000, 6) + std::string(70000, 'z')},
  };
  for (const Case& c : cases) {
    std::string file = SzddCompress(c.data, 'x');
    auto back = SzddExpand(file);
    ASSERT_TRUE(back) << c.what;
    EXPECT_TRUE(*back == c.data) << c.what;
    // Never larger than all literals.
    EXPECT_LE(file.size(), kSzddHeaderSize + c.data.size() + (c.data.size() + 7) / 8) << c.what;
  }
}

TEST(SzddRoundTrip, StreamingPiecesGiveTheSameBytes) {
  std::string data = TextLike(150000, 9) + RandomBytes(20000, 10);
  Bytes whole = Encode(data);
  EXPECT_EQ(whole, Encode(data, 1, 1 << 16));
  EXPECT_EQ(whole, Encode(data, 70001, 1));
  EXPECT_EQ(whole, Encode(data, 4096, 333));
  EXPECT_EQ(data, Decode(whole));
}

// Bits of the cheapest parse of data (9 per literal, 17 per match), with
// every longest match found by trying every distance.
uint64_t CheapestParseBits(const std::string& data) {
  const size_t n = data.size();
  auto at = [&](int64_t i) { return i < 0 ? ' ' : data[static_cast<size_t>(i)]; };
  std::vector<uint64_t> cost(n + 1, 0);
  std::vector<size_t> longest(n, 0);
  for (size_t i = 0; i < n; ++i) {
    for (int64_t d = 1; d <= 4096; ++d) {
      size_t len = 0;
      while (len < 18 && i + len < n && at(static_cast<int64_t>(i + len) - d) == data[i + len]) ++len;
      longest[i] = std::max(longest[i], len);
    }
  }
  for (size_t i = n; i-- > 0;) {
    cost[i] = cost[i + 1] + 9;
    for (size_t len = 3; len <= longest[i]; ++len) cost[i] = std::min(cost[i], cost[i + len] + 17);
  }
  return cost[0];
}

// Bits of an encoded stream: its items, walked as a decoder would.
uint64_t StreamBits(const Bytes& stream) {
  uint64_t bits = 0;
  for (size_t i = 0; i < stream.size();) {
    unsigned flags = stream[i++];
    for (int k = 0; k < 8 && i < stream.size(); ++k, flags >>= 1) {
      bits += flags & 1 ? 9 : 17;
      i += flags & 1 ? 1 : 2;
    }
  }
  return bits;
}

TEST(SzddEncoder, FindsTheCheapestParse) {
  std::mt19937 rng(11);
  std::string ab, digits;
  for (int i = 0; i < 3000; ++i) ab += "ab"[rng() % 2];
  for (int i = 0; i < 3000; ++i) digits += static_cast<char>('0' + rng() % 10);
  std::string periodic;
  while (periodic.size() < 3000) periodic += "abcabd  abcabe" + std::to_string(rng() % 7);
  for (const std::string& data :
       {ab, digits, periodic, TextLike(3000, 12), "  leading spaces then text  " + TextLike(500, 13)}) {
    Bytes stream = Encode(data);
    EXPECT_EQ(data, Decode(stream));
    EXPECT_EQ(CheapestParseBits(data), StreamBits(stream)) << data.substr(0, 40);
  }
}

// The encoder searches runs of blocks side by side, each run's trees built
// afresh from the window before it. A period of nearly the whole window
// shows whether a run sees the data before it: after the first period every
// position has an 18-byte match, and only a block's last position can be
// cheaper as a literal.
TEST(SzddEncoder, MatchesReachBackAcrossEveryBlock) {
  const std::string period = RandomBytes(4090, 14);  // nearly the whole window
  std::string data;
  while (data.size() < 1200000) data += period;  // a little over two rounds of blocks
  const Bytes stream = Encode(data, 70001, 5000);
  EXPECT_EQ(stream, Encode(data));
  EXPECT_EQ(data, Decode(stream));
  size_t position = 0, lateLiterals = 0;
  for (size_t i = 0; i < stream.size();) {
    unsigned flags = stream[i++];
    for (int k = 0; k < 8 && i < stream.size(); ++k, flags >>= 1) {
      const bool literal = flags & 1;
      if (literal && position >= period.size()) ++lateLiterals;
      position += literal ? 1 : (stream[i + 1] & 0x0F) + 3;
      i += literal ? 1 : 2;
    }
  }
  EXPECT_EQ(data.size(), position);
  EXPECT_LE(lateLiterals, data.size() / 65536 + 1);
}

}  // namespace
}  // namespace qs
