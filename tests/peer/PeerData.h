// The inputs the peer checks share: small, odd and large, each kind of data
// the installer's files are made of. Deterministic, so failures repeat.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qs::peer {

struct Sample {
  std::string name;  // a file name, as COMPRESS.EXE would see it
  std::string data;
};

inline std::string PeerRandom(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

inline std::string PeerText(size_t size, uint32_t seed) {
  static const char* words[] = {"Setup", "copies", "the", "files", "into", "folder", "and",
                                "makes", "a", "shortcut", "on", "desktop", "\r\n", "README",
                                "version", "1.41", "   ", "(App)\\BIN", "of", "to"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    s += words[rng() % (sizeof words / sizeof *words)];
    s += ' ';
  }
  s.resize(size);
  return s;
}

// Machine code and tables: runs of zeros, repeated records, small numbers.
inline std::string PeerBinary(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    switch (rng() % 4) {
      case 0: s.append(rng() % 64, '\0'); break;
      case 1: {
        uint32_t v = rng() % 4096;
        for (int i = 0; i < 16; ++i, v += 4) s.append(reinterpret_cast<const char*>(&v), 4);
        break;
      }
      case 2:
        for (int i = 0; i < 24; ++i) s += static_cast<char>(rng() % 16 + 0x80);
        break;
      default:
        if (s.size() > 300) s += s.substr(s.size() - 1 - rng() % 300, rng() % 40);
    }
  }
  s.resize(size);
  return s;
}

inline std::vector<Sample> PeerSamples(bool tiny) {
  std::vector<Sample> samples;
  if (tiny) {
    samples.push_back({"empty.dat", ""});
    samples.push_back({"one.txt", "x"});
    samples.push_back({"space.txt", " "});
    samples.push_back({"short.txt", "abcabcabc"});
  }
  samples.push_back({"sixteen.txt", "0123456789abcdef"});
  samples.push_back({"spaces.txt", std::string(5000, ' ') + "end"});
  samples.push_back({"lower.txt", PeerText(300000, 1)});
  samples.push_back({"UPPER.TXT", PeerText(70000, 2)});
  samples.push_back({"random.bin", PeerRandom(100000, 3)});
  samples.push_back({"zeros.bin", std::string(300000, '\0')});
  samples.push_back({"program.exe", PeerBinary(400000, 4)});
  samples.push_back({"mixed.dat", PeerText(70000, 5) + PeerRandom(70000, 6) + PeerBinary(70000, 7)});
  std::string all;
  for (int r = 0; r < 64; ++r) {
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  }
  samples.push_back({"bytes.bin", all});
  samples.push_back({"noext", PeerText(20000, 8)});
  return samples;
}

}  // namespace qs::peer
