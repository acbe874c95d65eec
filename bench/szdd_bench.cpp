// Speed and size of our SZDD codec on a generated 64 MiB corpus of four
// kinds of data (text, binary, repetitive, random, 16 MiB each, interleaved
// in 1 MiB pieces), against libmspack, memcpy and Debian's mscompress.
//
//   szdd_bench [MSCOMPRESS] [--no-mscompress]
//
// Build it optimised (cmake -DCMAKE_BUILD_TYPE=Release). mscompress is slow
// (about a minute and a half for the corpus); --no-mscompress skips it.
// Wine's LZ API is measured by the Win32 peer program: see tests/peer/LzPeer.cpp.
#include <mspack.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "core/Szdd.h"
#include "core/SzddFiles.h"

namespace {

constexpr size_t kMiB = 1 << 20;
constexpr size_t kKindSize = 16 * kMiB;

// <chrono> cannot be compiled for code page 932 output (its "µs"), hence POSIX.
double Seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// --- Corpus ----------------------------------------------------------------------

// Prose: a Zipf-distributed vocabulary of invented words in sentences and
// CRLF lines, about as compressible by LZSS as English.
std::string MakeText(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> words;
  std::vector<double> weights;
  for (int i = 0; i < 4000; ++i) {
    std::string w;
    int len = 2 + static_cast<int>(rng() % 5 + rng() % 5);
    for (int j = 0; j < len; ++j) w += "etaoinshrdlcumwfgypbvkjxqz"[std::min(rng() % 26, rng() % 26)];
    words.push_back(w);
    weights.push_back(1.0 / (i + 1));
  }
  std::discrete_distribution<int> pick(weights.begin(), weights.end());
  std::string s;
  size_t lineStart = 0;
  bool capital = true;
  while (s.size() < size) {
    std::string w = words[pick(rng)];
    if (capital) w[0] = static_cast<char>(w[0] - 32);
    capital = false;
    s += w;
    unsigned r = rng() % 20;
    if (r == 0) {
      s += ". ";
      capital = true;
    } else if (r == 1) {
      s += ", ";
    } else {
      s += ' ';
    }
    if (s.size() - lineStart > 72) {
      s.back() = '\r';
      s += '\n';
      lineStart = s.size();
    }
  }
  s.resize(size);
  return s;
}

// Program-like: instructions of a few common shapes, 32-bit addresses near
// each other, zero padding, string and pointer tables.
std::string MakeBinary(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  static const uint8_t ops[] = {0x8B, 0x89, 0xE8, 0x83, 0xFF, 0x50, 0x6A, 0x74, 0x75, 0x85, 0x33,
                                0xC3, 0x8D, 0x5D, 0x55, 0x56, 0x57, 0x0F, 0xEB, 0x68};
  std::string s;
  uint32_t base = 0x00401000;
  auto put32 = [&](uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
  while (s.size() < size) {
    unsigned r = rng() % 100;
    if (r < 70) {  // code
      for (int i = 0; i < 32; ++i) {
        uint8_t op = ops[std::min(rng() % std::size(ops), rng() % std::size(ops))];
        s += static_cast<char>(op);
        if (op == 0xE8 || op == 0x68) put32(base + (rng() % 0x4000) * 4);
        else if (op == 0x8B || op == 0x89 || op == 0x8D) {
          s += static_cast<char>(0x45 + (rng() % 4) * 8);
          s += static_cast<char>(0xF0 + (rng() % 4) * 4);
        } else if (op == 0x6A || op == 0x83 || op == 0x74 || op == 0x75) {
          s += static_cast<char>(rng() % 32);
        }
      }
    } else if (r < 80) {  // padding
      s.append(16 + rng() % 200, '\0');
    } else if (r < 90) {  // pointer table
      uint32_t p = base + (rng() % 0x1000) * 16;
      for (int i = 0; i < 16; ++i, p += 4 * (1 + rng() % 8)) put32(p);
    } else {  // strings
      static const char* names[] = {"GetProcAddress", "LoadLibraryA", "CreateFileA", "ReadFile",
                                    "RegSetValueExA", "MessageBoxA", "%s\\%s", "SETUP.INI"};
      s += names[rng() % std::size(names)];
      s += '\0';
    }
  }
  s.resize(size);
  return s;
}

// Repetitive: bitmap rows with long runs and log lines that differ a little.
std::string MakeRepetitive(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  int line = 0;
  while (s.size() < size) {
    if (rng() % 2) {
      for (int row = 0; row < 32; ++row) {
        uint8_t color = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 0xFF);
        s.append(640, static_cast<char>(color));
      }
    } else {
      for (int i = 0; i < 40; ++i, ++line) {
        char text[96];
        std::snprintf(text, sizeof text, "2024-01-%02d 10:%02d:%02d copied C:\\APP\\FILE%04d.DAT ok\r\n",
                      line / 8640 % 28 + 1, line / 60 % 60, line % 60, line % 500);
        s += text;
      }
    }
  }
  s.resize(size);
  return s;
}

std::string MakeRandom(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (size_t i = 0; i + 4 <= size; i += 4) {
    uint32_t v = rng();
    std::memcpy(&s[i], &v, 4);
  }
  return s;
}

// --- Our codec ----------------------------------------------------------------------

std::string Compress(const std::string& data, double* seconds) {
  double start = Seconds();
  std::string file = qs::SzddCompress(data, 'T');
  *seconds = Seconds() - start;
  return file;
}

// Expands into out in 64 KiB calls, as the installer does.
double ExpandOurs(const std::string& file, std::string* out) {
  const auto* in = reinterpret_cast<const uint8_t*>(file.data());
  auto* dst = reinterpret_cast<uint8_t*>(out->data());
  double start = Seconds();
  qs::SzddDecoder decoder;
  size_t used = qs::kSzddHeaderSize, made = 0;
  for (;;) {
    size_t room = std::min<size_t>(1 << 16, out->size() - made);
    qs::SzddStep step = decoder.Decode(in + used, file.size() - used, dst + made, room);
    used += step.consumed;
    made += step.produced;
    if (step.produced < room || made == out->size()) break;
  }
  double seconds = Seconds() - start;
  out->resize(made);
  return seconds;
}

// --- libmspack, with files in memory ------------------------------------------------

struct MemFile {
  const char* data = nullptr;  // reading
  std::string* sink = nullptr;  // writing
  size_t size = 0, pos = 0;
};

mspack_file* MemOpen(mspack_system*, const char* name, int) {
  return reinterpret_cast<mspack_file*>(const_cast<char*>(name));
}
void MemClose(mspack_file*) {}
int MemRead(mspack_file* f, void* buffer, int bytes) {
  auto* m = reinterpret_cast<MemFile*>(f);
  size_t n = std::min(static_cast<size_t>(bytes), m->size - m->pos);
  std::memcpy(buffer, m->data + m->pos, n);
  m->pos += n;
  return static_cast<int>(n);
}
int MemWrite(mspack_file* f, void* buffer, int bytes) {
  auto* m = reinterpret_cast<MemFile*>(f);
  std::memcpy(m->sink->data() + m->pos, buffer, static_cast<size_t>(bytes));
  m->pos += static_cast<size_t>(bytes);
  return bytes;
}
int MemSeek(mspack_file* f, off_t offset, int mode) {
  auto* m = reinterpret_cast<MemFile*>(f);
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0
               : mode == MSPACK_SYS_SEEK_CUR ? static_cast<off_t>(m->pos)
                                             : static_cast<off_t>(m->size);
  m->pos = static_cast<size_t>(base + offset);
  return 0;
}
off_t MemTell(mspack_file* f) { return static_cast<off_t>(reinterpret_cast<MemFile*>(f)->pos); }
void MemMessage(mspack_file*, const char*, ...) {}
void* MemAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void MemFree(void* p) { std::free(p); }
void MemCopy(void* src, void* dest, size_t bytes) { std::memcpy(dest, src, bytes); }

double ExpandMspack(const std::string& file, std::string* out) {
  mspack_system sys = {MemOpen, MemClose, MemRead,  MemWrite, MemSeek,
                       MemTell, MemMessage, MemAlloc, MemFree, MemCopy, nullptr};
  msszdd_decompressor* szdd = mspack_create_szdd_decompressor(&sys);
  MemFile in, sink;
  in.data = file.data();
  in.size = file.size();
  sink.sink = out;
  double start = Seconds();
  msszddd_header* header = szdd->open(szdd, reinterpret_cast<const char*>(&in));
  int err = header ? szdd->extract(szdd, header, reinterpret_cast<const char*>(&sink)) : -1;
  double seconds = Seconds() - start;
  if (header) szdd->close(szdd, header);
  mspack_destroy_szdd_decompressor(szdd);
  out->resize(err == MSPACK_ERR_OK ? sink.pos : 0);
  return seconds;
}

// --- mscompress ----------------------------------------------------------------------

// Size of mscompress's output for data, and its time; 0 when it failed.
size_t RunMscompress(const std::string& program, const std::string& data, double* seconds) {
  char dir[] = "/tmp/szdd_benchXXXXXX";
  if (!mkdtemp(dir)) return 0;
  std::string in = std::string(dir) + "/corpus.bin", out = in + "_";
  std::ofstream(in, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
  std::string command = "'" + program + "' '" + in + "' > /dev/null";
  double start = Seconds();
  int status = std::system(command.c_str());
  *seconds = Seconds() - start;
  std::ifstream f(out, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  std::string file = s.str();
  std::remove(in.c_str());
  std::remove(out.c_str());
  rmdir(dir);
  auto back = qs::SzddExpand(file);
  if (status != 0 || !back || *back != data) {
    std::printf("  (mscompress failed or its output does not expand to the input)\n");
    return 0;
  }
  return file.size();
}

double MBps(size_t bytes, double seconds) { return static_cast<double>(bytes) / seconds / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  std::string mscompress = "mscompress";
  bool runMscompress = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-mscompress") == 0) runMscompress = false;
    else mscompress = argv[i];
  }

  struct Kind {
    const char* name;
    std::string data;
  } kinds[] = {{"text", MakeText(kKindSize, 1)},
               {"binary", MakeBinary(kKindSize, 2)},
               {"repetitive", MakeRepetitive(kKindSize, 3)},
               {"random", MakeRandom(kKindSize, 4)}};
  std::string corpus;
  for (size_t piece = 0; piece < kKindSize; piece += kMiB) {
    for (const Kind& k : kinds) corpus.append(k.data, piece, kMiB);
  }
  std::printf("corpus: %zu bytes (%zu MiB), four kinds of 16 MiB in 1 MiB pieces\n\n",
              corpus.size(), corpus.size() / kMiB);

  // Compression, per kind and of the whole corpus as one stream.
  std::printf("compression          input      ours      ours MB/s  mscompress   ms MB/s  ours/ms\n");
  size_t oursTotal = 0, theirsTotal = 0;
  for (const Kind& k : kinds) {
    double seconds = 0, msSeconds = 0;
    size_t ours = Compress(k.data, &seconds).size();
    size_t theirs = runMscompress ? RunMscompress(mscompress, k.data, &msSeconds) : 0;
    oursTotal += ours;
    theirsTotal += theirs;
    std::printf("  %-12s %10zu %10zu %9.1f", k.name, k.data.size(), ours, MBps(k.data.size(), seconds));
    if (theirs) {
      std::printf(" %11zu %9.2f %7.1f%%\n", theirs, MBps(k.data.size(), msSeconds), 100.0 * ours / theirs);
    } else {
      std::printf("\n");
    }
  }
  double seconds = 0;
  std::string file = Compress(corpus, &seconds);
  std::printf("  %-12s %10zu %10zu %9.1f", "whole corpus", corpus.size(), file.size(),
              MBps(corpus.size(), seconds));
  if (theirsTotal) {
    std::printf(" %11zu %9s %7.1f%%   (mscompress: sum of the kinds)\n", theirsTotal, "",
                100.0 * oursTotal / theirsTotal);
  } else {
    std::printf("\n");
  }
  std::printf("  ours: %.1f%% of the input\n\n", 100.0 * file.size() / corpus.size());

  // Expansion of our compressed corpus.
  std::string out(corpus.size(), '\0');
  double ours = 1e30, theirs = 1e30, copy = 1e30;
  for (int round = 0; round < 3; ++round) {
    out.assign(corpus.size(), '\0');
    ours = std::min(ours, ExpandOurs(file, &out));
    if (out != corpus) std::printf("  ours: WRONG OUTPUT\n");
    out.assign(corpus.size(), '\0');
    theirs = std::min(theirs, ExpandMspack(file, &out));
    if (out != corpus) std::printf("  libmspack: WRONG OUTPUT\n");
    double start = Seconds();
    std::memcpy(out.data(), corpus.data(), corpus.size());
    copy = std::min(copy, Seconds() - start);
  }
  std::printf("expansion (MB/s of output, best of 3)\n");
  std::printf("  ours       %8.1f\n", MBps(corpus.size(), ours));
  std::printf("  libmspack  %8.1f\n", MBps(corpus.size(), theirs));
  std::printf("  memcpy     %8.1f\n", MBps(corpus.size(), copy));

  std::ofstream(std::string("/tmp/szdd_bench_corpus.ex_"), std::ios::binary)
      .write(file.data(), static_cast<std::streamsize>(file.size()));
  std::printf("\nour compressed corpus: /tmp/szdd_bench_corpus.ex_ (for lzpeer.exe --bench under Wine)\n");
  return 0;
}
