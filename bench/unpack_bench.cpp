// Unpacking speed of a one-file SETUP.EXE on Windows (or Wine): the program's
// own reader (core/BundleReader.h) on the real platform, into a fresh folder
// each run, which is emptied again afterwards. Prints the time of the checks
// alone (finding the payload, its digest, the index) and of a whole unpack,
// and the unpacked megabytes per second of the best run.
//
//   unpack_bench.exe BUNDLE FOLDER [RUNS]
//
// bench/bundle_bench.sh runs it under Wine.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/BundleReader.h"
#include "platform/win32/Win32Platform.h"

namespace {

double Seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void Empty(qs::Platform& os, const std::string& folder, const std::vector<qs::BundleEntry>& entries) {
  for (const qs::BundleEntry& entry : entries) {
    os.SetAttributes(folder + "\\" + entry.name, qs::kAttrNormal);
    os.Delete(folder + "\\" + entry.name);
  }
  std::vector<std::string> folders = qs::BundleFolders(entries);
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) os.RemoveFolder(folder + "\\" + *it);
  os.RemoveFolder(folder);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: unpack_bench BUNDLE FOLDER [RUNS]\n");
    return 2;
  }
  const std::string bundle = argv[1], folder = argv[2];
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  qs::win32::Win32Platform os;
  double checks = 1e9, best = 1e9;
  uint64_t bytes = 0;
  for (int run = 0; run < runs; ++run) {
    // The checks alone, as ReadBundle makes them before anything is written.
    double start = Seconds();
    qs::BundleResult checked = qs::UnpackBundle(os, bundle, folder + "-missing\\below", nullptr);
    checks = std::min(checks, Seconds() - start);
    if (checked.status != qs::BundleStatus::Failed) {
      std::fprintf(stderr, "unpack_bench: %s is not a sound bundle\n", bundle.c_str());
      return 1;
    }
    const std::string target = folder + "-" + std::to_string(run);
    start = Seconds();
    qs::BundleResult result = qs::UnpackBundle(os, bundle, target, nullptr);
    double seconds = Seconds() - start;
    if (result.status != qs::BundleStatus::Ok) {
      std::fprintf(stderr, "unpack_bench: unpacking failed (%d)\n", static_cast<int>(result.status));
      return 1;
    }
    bytes = 0;
    for (const qs::BundleEntry& entry : result.entries) bytes += entry.size;
    best = std::min(best, seconds);
    Empty(os, target, result.entries);
  }
  std::printf("checks (locate, digest, index): %.3f s\n", checks);
  std::printf("unpack: %" PRIu64 " bytes in %.3f s: %.1f MB/s (best of %d)\n", bytes, best,
              static_cast<double>(bytes) / 1e6 / best, runs);
  return 0;
}
