// Expanding one file of the installation source into the temporary folder,
// the way the LZ expansion API names and copies it.
#pragma once

#include <string>

#include "core/CodePage.h"
#include "platform/Platform.h"

namespace qs {

// The scratch names in the temporary folder: the expanded contents, and a
// file that had the expanded name, kept aside meanwhile.
inline constexpr const char* kExpandScratch = "EXPAND.QST";
inline constexpr const char* kAsideScratch = "ZZZZZZZZ.ZZZ";

// What an expansion made: the scratch file "<temp>\EXPAND.QST" (the
// folder given with or without its trailing backslash), the file name the
// contents go to (the expanded name), and whether the scratch file holds
// this source's expansion.
struct ExpandResult {
  std::string scratch;
  std::string name;
  bool complete = false;
  bool expanded = false;  // the source is an SZDD file of the known mode
};

// Copies source into tempFolder as EXPAND.QST, expanded when it is an SZDD
// file and unchanged when it is not.
//
// A file already in the folder under the expanded name is moved aside to
// ZZZZZZZZ.ZZZ for the duration and moved back afterwards (a left-over
// ZZZZZZZZ.ZZZ takes that name too); if it cannot be moved back it stays
// under the scratch name. A ZZZZZZZZ.ZZZ is never deleted: when one is there
// and a file has the expanded name, the copy fails. When the expanded name
// cannot be read (the source cannot be opened), the source's own file name
// is used, after a beep.
//
// The copy fails (complete false, the same scratch and name) for a source
// that cannot be opened, an SZDD file of an unknown mode, data that ends
// short of the length in its header, a failed read or write, an EXPAND.QST
// that cannot be replaced. Then no partial file is left, and no EXPAND.QST
// where an old one can be removed. Never throws.
ExpandResult ExpandCompressedFile(Platform& platform, const std::string& source,
                                  const std::string& tempFolder, CodePage cp);

}  // namespace qs
