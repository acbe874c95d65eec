// Expanding one file of the installation source into the temporary folder,
// the way the LZ expansion API names and copies it.
#pragma once

#include <string>

#include "core/CodePage.h"
#include "platform/Platform.h"

namespace qs {

// Copies source into tempFolder as EXPAND.QST, expanded when it is an SZDD
// file and unchanged when it is not, and returns
//   "<temp>\EXPAND.QST,<expanded file name>"
// with <temp> the folder without its trailing backslash.
//
// A file already in the folder under the expanded name is moved aside to
// ZZZZZZZZ.ZZZ for the duration and moved back afterwards (a left-over
// ZZZZZZZZ.ZZZ takes that name too); if it cannot be moved back it stays
// under the scratch name. A ZZZZZZZZ.ZZZ is never deleted: when one is there
// and a file has the expanded name, the copy fails. When the expanded name cannot be read (the source
// cannot be opened), the source's own file name is used, after a beep.
//
// The same string comes back when the copy fails: a source that cannot be
// opened, an SZDD file of an unknown mode, a failed read or write. Then no
// EXPAND.QST is left in the folder (an old one is removed) and no partial
// file, so copying from it fails. Never throws.
std::string ExpandCompressedFile(Platform& platform, const std::string& source,
                                 const std::string& tempFolder, CodePage cp);

}  // namespace qs
