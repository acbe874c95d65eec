// setupkit bundle, info and extract for one-file SETUP.EXEs (the layout is
// in core/Bundle.h).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Bundle.h"
#include "core/BundleReader.h"

namespace qs::kit {

struct BundleRequest {
  std::filesystem::path folder;  // a packed product folder, SETUP.EXE in it
  std::filesystem::path output;  // the one-file SETUP.EXE to write
  bool force = false;            // replace output when it exists
  bool filter = true;            // x86 branch converter on Windows programs
};

struct BundleBuilt {
  bool built = false;
  std::string message;  // why not, or what was made (console text)
  uint64_t unpackedSize = 0;
  uint64_t size = 0;  // of the written file
};

// The folder's SETUP.EXE, without a signature it may have, as the program;
// behind it every file of the folder, SETUP.EXE included as it is, in one
// LZMA stream. Refuses names that the program would refuse, and links.
BundleBuilt MakeBundle(const BundleRequest& request);

// The bundle's LZMA stream: the index of entries, then each entry's bytes
// from contentsOf(i) (through the branch converter when flagged), with the
// properties it was made with; nullopt when an entry's bytes cannot be had
// or differ in size.
using BundleContents = std::function<std::optional<std::string>(size_t)>;
std::optional<std::string> CompressBundleStream(const std::vector<BundleEntry>& entries,
                                                const BundleContents& contentsOf,
                                                uint8_t properties[5]);
// Any bytes as such a stream (the tests make hostile streams with it).
std::string CompressBundleBytes(const std::string& bytes, uint8_t properties[5]);

// The bundle's bytes: program, alignment, payload (header, stream), trailer
// with the payload's digest. Nothing is checked: the tests make hostile
// bundles with it.
std::string SealBundle(const std::string& program, const BundleHeader& header,
                       const std::string& stream);
// The same with the header that entries and stream make.
std::string AssembleBundle(const std::string& program, const std::vector<BundleEntry>& entries,
                           const std::string& stream, const uint8_t properties[5]);

// The bundle's layout, or why there is none.
BundleStatus InspectBundle(const std::filesystem::path& file, BundleLayout* layout);

// Unpacks into folder, which must not exist or be empty.
BundleStatus ExtractBundleTo(const std::filesystem::path& file, const BundleLayout& layout,
                             const std::filesystem::path& folder);

// Why a bundle could not be read or unpacked, for the console.
const char* BundleStatusText(BundleStatus status);

}  // namespace qs::kit
