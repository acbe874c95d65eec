// The Windows LZ expansion API as a peer of our SZDD codec (run under Wine).
//
//   lzpeer expand OUTDIR FILE...   each FILE through LZOpenFileA + LZCopy
//                                  into OUTDIR, under the name that
//                                  GetExpandedNameA gives; prints
//                                  "FILE -> NAME BYTES" per file
//   lzpeer --bench FILE            expansion speed of LZRead, LZCopy and
//                                  our decoder on the same SZDD file
//
// The benchmark: szdd_bench leaves our compressed corpus in /tmp; from the
// repository, with the cross build in build/win32 (build/win64 where Wine
// cannot run 32-bit programs):
//   repo=$PWD; mkdir -p /tmp/lzbench && cd /tmp/lzbench
//   cp /tmp/szdd_bench_corpus.ex_ . && $repo/tests/e2e/session.sh start state
//   $repo/tests/e2e/session.sh run state wine $repo/build/win32/lzpeer.exe --bench szdd_bench_corpus.ex_
//   $repo/tests/e2e/session.sh stop state
#include <windows.h>
#include <lzexpand.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Szdd.h"

namespace {

std::string BaseName(const std::string& path) {
  size_t sep = path.find_last_of("\\/:");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

int ExpandFiles(const std::string& outDir, int count, char** files) {
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    std::string in = files[i];
    char expanded[MAX_PATH] = {};
    if (GetExpandedNameA(files[i], expanded) < 0) {
      std::printf("%s: GetExpandedNameA failed\n", in.c_str());
      ++failures;
      continue;
    }
    std::string out = outDir + "\\" + BaseName(expanded);
    OFSTRUCT ofsIn = {}, ofsOut = {};
    INT src = LZOpenFileA(files[i], &ofsIn, OF_READ);
    INT dst = LZOpenFileA(const_cast<char*>(out.c_str()), &ofsOut, OF_CREATE);
    if (src < 0 || dst < 0) {
      std::printf("%s: LZOpenFileA failed (%d, %d)\n", in.c_str(), src, dst);
      if (src >= 0) LZClose(src);
      if (dst >= 0) LZClose(dst);
      ++failures;
      continue;
    }
    LONG copied = LZCopy(src, dst);
    LZClose(src);
    LZClose(dst);
    if (copied < 0) {
      std::printf("%s: LZCopy failed (%ld)\n", in.c_str(), copied);
      ++failures;
      continue;
    }
    std::printf("%s -> %s %ld\n", in.c_str(), BaseName(expanded).c_str(), copied);
  }
  return failures == 0 ? 0 : 1;
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Report(const char* what, double bytes, double seconds) {
  std::printf("%-28s %8.1f MB/s  (%.0f bytes in %.3f s)\n", what, bytes / seconds / 1e6, bytes,
              seconds);
}

int Bench(const char* file) {
  // The LZ API, reading into a buffer.
  std::vector<char> buffer(1 << 16);
  double best = 1e30, bytes = 0;
  for (int round = 0; round < 3; ++round) {
    OFSTRUCT ofs = {};
    double start = Now();
    INT h = LZOpenFileA(const_cast<char*>(file), &ofs, OF_READ);
    if (h < 0) {
      std::printf("%s: LZOpenFileA failed (%d)\n", file, h);
      return 1;
    }
    bytes = 0;
    for (INT n; (n = LZRead(h, buffer.data(), static_cast<INT>(buffer.size()))) > 0;) bytes += n;
    LZClose(h);
    best = std::min(best, Now() - start);
  }
  Report("Wine LZRead", bytes, best);
  double lzRead = bytes / best;

  // LZCopy into a file, as an installer would use it.
  char tempDir[MAX_PATH], temp[MAX_PATH];
  GetTempPathA(MAX_PATH, tempDir);
  GetTempFileNameA(tempDir, "lzb", 0, temp);
  best = 1e30;
  for (int round = 0; round < 3; ++round) {
    OFSTRUCT ofsIn = {}, ofsOut = {};
    double start = Now();
    INT src = LZOpenFileA(const_cast<char*>(file), &ofsIn, OF_READ);
    INT dst = LZOpenFileA(temp, &ofsOut, OF_CREATE);
    LONG copied = LZCopy(src, dst);
    LZClose(src);
    LZClose(dst);
    best = std::min(best, Now() - start);
    bytes = static_cast<double>(copied);
  }
  DeleteFileA(temp);
  Report("Wine LZCopy to a file", bytes, best);

  // Our decoder in this process, from memory into a buffer.
  HANDLE h = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  std::vector<uint8_t> data(GetFileSize(h, nullptr));
  DWORD got = 0;
  ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
  CloseHandle(h);
  std::vector<uint8_t> out(1 << 16);
  best = 1e30;
  for (int round = 0; round < 3; ++round) {
    double start = Now();
    qs::SzddDecoder decoder;
    size_t used = qs::kSzddHeaderSize;
    for (;;) {
      qs::SzddStep step = decoder.Decode(data.data() + used, got - used, out.data(), out.size());
      used += step.consumed;
      if (step.produced < out.size()) break;
    }
    best = std::min(best, Now() - start);
    bytes = static_cast<double>(decoder.produced());
  }
  Report("ours (same process)", bytes, best);
  std::printf("ours / LZRead: %.1fx\n", bytes / best / lzRead);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--bench") == 0) return Bench(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "expand") == 0) return ExpandFiles(argv[2], argc - 3, argv + 3);
  std::fprintf(stderr, "usage: lzpeer expand OUTDIR FILE... | lzpeer --bench FILE\n");
  return 2;
}
