// setupkit pack: a ready product folder from the source tree a packager
// keeps in version control.
#pragma once

#include <filesystem>
#include <string>

#include "tools/setupkit/Check.h"

namespace qs::kit {

struct PackRequest {
  std::filesystem::path source;    // SETUP.INI (UTF-8) and the product's files
  std::filesystem::path output;    // the product folder to make
  std::filesystem::path setupExe;  // SETUP.EXE to copy in; empty: none
  bool force = false;              // replace an output folder that is not empty
};

struct PackResult {
  bool built = false;
  std::string message;  // why not, or what was made (console text)
  CheckReport check;    // of the result; names point at the source's SETUP.INI
};

// SETUP.INI and the readme it names are written out with CR LF, in
// Shift-JIS when every character fits and else in UTF-8 after a byte-order
// mark (the message says which);
// every other file directly in the source is copied as it is; a [CopyFile]
// entry whose name ends in "_" is made by compressing the original of that
// name, found anywhere in the source tree, and any other entry not directly
// in the source is copied from where it is found. The result is checked;
// with errors it is not kept.
PackResult Pack(const PackRequest& request, const Layout& layout, const Choices& choices);

}  // namespace qs::kit
