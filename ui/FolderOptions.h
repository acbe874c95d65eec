// The options of the folder dialog and the shell's browse flags they stand
// for. Held in one byte: value n is bit n.
#pragma once

#include <cstdint>

namespace qs {

enum TFolderDlgOption : uint8_t {
  bifBrowseForComputer,  // BIF_BROWSEFORCOMPUTER
  bifBrowseForPrinter,   // BIF_BROWSEFORPRINTER
  bifDontGoBelowDomain,  // BIF_DONTGOBELOWDOMAIN
  bifReturnFSAncestors,  // BIF_RETURNFSANCESTORS
  bifReturnOnlyFSDirs,   // BIF_RETURNONLYFSDIRS
  bifStatusText,         // BIF_STATUSTEXT
};

using TFolderDlgOptions = uint8_t;

constexpr TFolderDlgOptions OptionBit(TFolderDlgOption option) {
  return static_cast<TFolderDlgOptions>(1u << option);
}

inline constexpr TFolderDlgOptions kDefaultFolderDlgOptions = OptionBit(bifReturnOnlyFSDirs);

// The sum of the browse flags of the options present.
constexpr uint32_t BrowseFlags(TFolderDlgOptions options) {
  constexpr uint32_t kFlags[] = {0x1000, 0x2000, 0x0002, 0x0008, 0x0001, 0x0004};
  uint32_t flags = 0;
  for (int n = 0; n < 6; ++n) {
    if (options & (1u << n)) flags += kFlags[n];
  }
  return flags;
}

}  // namespace qs
