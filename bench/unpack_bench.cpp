// Unpacking speed of a one-file SETUP.EXE on Windows (or Wine): the program's
// own reader (core/BundleReader.h) on the real platform, into a fresh folder
// each run. Prints the time of the checks alone (finding the payload, its
// digest, the index), of a whole unpack, and of writing the same files from
// memory with the same calls (making each file new, writing it, giving it
// its time, closing it): the floor that the file system sets, which no
// decoder goes below; and of removing one unpacked folder again, as the
// program does when it ends. The folders are emptied only after the last run, as
// a file system can be slower to make files just after many were deleted.
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
#include "core/WorkFolder.h"
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

// Writes the entries' bytes into folder as the reader does; false on a failure.
bool WriteFromMemory(qs::Platform& os, const std::string& folder,
                     const std::vector<qs::BundleEntry>& entries,
                     const std::vector<std::string>& bytes) {
  if (os.MakeFolder(folder) != 0) return false;
  for (const std::string& name : qs::BundleFolders(entries)) {
    if (os.MakeFolder(folder + "\\" + name) != 0) return false;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    std::unique_ptr<qs::FileWriter> file = os.CreateNew(folder + "\\" + entries[i].name);
    if (!file) return false;
    for (size_t at = 0; at < bytes[i].size(); at += 1 << 16) {
      size_t piece = std::min<size_t>(bytes[i].size() - at, 1 << 16);
      if (!file->Write(bytes[i].data() + at, piece)) return false;
    }
    file->SetWriteTime(entries[i].writeTime);
    if (!file->Close()) return false;
  }
  return true;
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
  double checks = 1e9, best = 1e9, floor = 1e9;
  uint64_t bytes = 0;
  std::vector<qs::BundleEntry> entries;
  std::vector<std::string> contents;
  std::vector<std::string> made;
  // The floor needs the files' bytes, which the first unpack gives; after
  // it the two take turns at going first, so neither always writes just
  // after the other.
  auto unpack = [&](int run) {
    const std::string target = folder + "-" + std::to_string(run);
    double start = Seconds();
    qs::BundleResult result = qs::UnpackBundle(os, bundle, target, nullptr);
    double seconds = Seconds() - start;
    if (result.status != qs::BundleStatus::Ok) {
      std::fprintf(stderr, "unpack_bench: unpacking failed (%d)\n", static_cast<int>(result.status));
      return false;
    }
    made.push_back(target);
    best = std::min(best, seconds);
    if (run == 0) {
      entries = std::move(result.entries);
      for (const qs::BundleEntry& entry : entries) {
        contents.push_back(qs::ReadAll(os.OpenForRead(target + "\\" + entry.name, false)).value_or(""));
        bytes += entry.size;
      }
    }
    return true;
  };
  auto fromMemory = [&](int run) {
    const std::string copy = folder + "-memory-" + std::to_string(run);
    double start = Seconds();
    if (!WriteFromMemory(os, copy, entries, contents)) {
      std::fprintf(stderr, "unpack_bench: writing %s failed\n", copy.c_str());
      return false;
    }
    floor = std::min(floor, Seconds() - start);
    made.push_back(copy);
    return true;
  };
  for (int run = 0; run < runs; ++run) {
    // The checks alone, as ReadBundle makes them before anything is written.
    double start = Seconds();
    qs::BundleResult checked = qs::UnpackBundle(os, bundle, folder + "-missing\\below", nullptr);
    checks = std::min(checks, Seconds() - start);
    if (checked.status != qs::BundleStatus::Failed) {
      std::fprintf(stderr, "unpack_bench: %s is not a sound bundle\n", bundle.c_str());
      return 1;
    }
    const bool ok = run % 2 == 0 ? unpack(run) && fromMemory(run) : fromMemory(run) && unpack(run);
    if (!ok) return 1;
  }
  for (const std::string& target : made) Empty(os, target, entries);
  // The program's own end: a work folder holding the unpacked tree.
  double removal = 0;
  {
    qs::WorkFolder work(os, folder.substr(0, folder.rfind('\\')), {}, qs::kUtf8);
    const std::string unpacked = work.path() + "U";
    if (qs::UnpackBundle(os, bundle, unpacked, nullptr).status != qs::BundleStatus::Ok) {
      std::fprintf(stderr, "unpack_bench: unpacking into a work folder failed\n");
      return 1;
    }
    qs::UnpackedTree tree = qs::TreeBelow("U", entries, qs::kUtf8);
    work.AddTree(std::move(tree.files), std::move(tree.folders));
    double start = Seconds();
    work.Remove();
    removal = Seconds() - start;
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("checks (locate, digest, index): %.3f s\n", checks);
  std::printf("unpack: %" PRIu64 " bytes in %.3f s: %.1f MB/s (best of %d)\n", bytes, best,
              mb / best, runs);
  std::printf("the same %zu files written from memory: %.3f s: %.1f MB/s (the file system's floor)\n",
              entries.size(), floor, mb / floor);
  std::printf("removing them again with the work folder (as the program's end does): %.3f s\n",
              removal);
  return 0;
}
