// libFuzzer target for the bundle reader. The input's first byte chooses a
// signed or unsigned program and where to cut the file; the rest is a
// payload, sealed behind a program with a right digest (so the fuzzer gets
// past the digest to the header, the index, the names and the stream) and
// unpacked on the in-memory Windows. Whatever the input: the reader ends,
// writes nothing outside its folder, leaves the folder empty unless it
// succeeded, and on success the folder holds exactly the entries, each of
// its size.
//
// Seeds (tests/fuzz/seeds/bundle) are payloads of small bundles. A long
// run, from the native build folder:
//   mkdir -p bundle-corpus && ./bundle_fuzz -max_total_time=3600 bundle-corpus ../../tests/fuzz/seeds/bundle
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "core/BundleReader.h"
#include "tests/support/BundleImages.h"
#include "tests/support/FakePlatform.h"

using namespace qs;

namespace {

constexpr char kBundle[] = "C:\\DL\\SETUP.EXE";
constexpr char kFolder[] = "C:\\TEMP\\QS1";

// Stops the run at a broken rule, saying which.
void Check(bool condition, const char* rule) {
  if (condition) return;
  std::fprintf(stderr, "bundle_fuzz: %s\n", rule);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string payload(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const std::string program = test::ProgramImage(std::string(512, '\x90'));
  std::string file = test::Sealed(program, payload);
  if (mode & 1) file = test::Signed(file, 40);
  if (mode & 2) file.resize(file.size() - 1 - (mode >> 2) % file.size());  // cut short

  test::FakePlatform os;
  os.AddFile(kBundle, file);
  os.AddFolder("C:\\TEMP");
  const std::vector<std::string> before = os.ListTree("C:\\");
  BundleResult result = UnpackBundle(os, kBundle, kFolder, nullptr);

  std::set<std::string> outside;
  for (const std::string& path : os.ListTree("C:\\")) {
    if (path != kFolder && path.rfind(std::string(kFolder) + "\\", 0) != 0) outside.insert(path);
  }
  Check(outside == std::set<std::string>(before.begin(), before.end()), "written outside the folder");
  const std::vector<std::string> inside = os.ListTree(kFolder);
  if (result.status != BundleStatus::Ok) {
    Check(inside.empty() && os.Attributes(kFolder) == kInvalidAttributes, "left something after a failure");
    Check(result.status != BundleStatus::NotABundle || (mode & 2), "a whole bundle taken for no bundle");
    return 0;
  }
  std::set<std::string> expected;
  for (const std::string& folder : BundleFolders(result.entries)) {
    expected.insert(std::string(kFolder) + "\\" + folder);
  }
  for (const BundleEntry& entry : result.entries) {
    const std::string path = std::string(kFolder) + "\\" + entry.name;
    Check(expected.insert(path).second, "an entry twice");
    Check(os.FileSize(path) == entry.size, "an entry of another size");
  }
  Check(expected.size() == inside.size(), "other files than the entries");
  return 0;
}
