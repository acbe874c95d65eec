// setupkit pack: a ready product folder from the source tree a packager
// keeps in version control.
#pragma once

#include <filesystem>
#include <string>

#include "tools/setupkit/Check.h"

namespace qs::kit {

struct PackRequest {
  std::filesystem::path source;    // SETUP.INI (UTF-8 or Shift-JIS) and the product's files
  std::filesystem::path output;    // the product folder to make
  std::filesystem::path setupExe;  // SETUP.EXE to copy in; empty: none
  bool withoutSetupExe = false;    // pack without SETUP.EXE, as asked
  bool force = false;              // replace an output folder that is not empty
};

struct PackResult {
  bool built = false;
  std::string message;  // why not, or what was made (console text)
  // Of the result, names pointing at the source's SETUP.INI, after pack's
  // own findings about the sources.
  CheckReport check;
};

// Makes the product folder with exactly what the definition uses:
//  - SETUP.INI and the readme it names (at the same place below the
//    folder), read as UTF-8 (a byte-order mark allowed) or Shift-JIS and
//    written out with CR LF, in Shift-JIS when every character fits and
//    else in UTF-8 after a byte-order mark (the message says which);
//  - for each [CopyFile] entry, the file of its name: the one directly in
//    the source, else the one found in a sub-folder, and for a name ending
//    in "_" the original found anywhere, compressed;
//  - SETUP.EXE.
// Nothing else is copied. Refuses, with the reason in the message, when
// there is no SETUP.EXE (unless withoutSetupExe), when a source is no text
// in either form (file, line, column and bytes), when two originals could
// be the file an entry names, or when check finds errors in the result.
PackResult Pack(const PackRequest& request, const Layout& layout, const Choices& choices);

}  // namespace qs::kit
