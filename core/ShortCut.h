// Shell shortcuts (.lnk files) in the user's special folders.
#pragma once

#include <string>

#include "core/CodePage.h"
#include "core/RunWindow.h"
#include "platform/Platform.h"

namespace qs {

// Special folders a shortcut can go to.
inline constexpr int kCsidlDesktop = 0;
inline constexpr int kCsidlPrograms = 2;
inline constexpr int kCsidlStartup = 7;
inline constexpr int kCsidlSendTo = 9;

// Creates linkName (relative to the special folder, without ".lnk"; it may
// name one sub-folder, which is created when missing) pointing at target,
// with the target's folder as working folder. Returns the link file's path,
// or empty when the special folder has no file-system path. Raises
// SetupError when the link object cannot be made or the link's folder
// cannot be created; the result of the save itself is not examined. The
// watcher is told the folder it makes.
std::string MakeShortCut(Platform& platform, RunWatcher& watcher, const std::string& target,
                         const std::string& linkName, int csidl, CodePage cp);

}  // namespace qs
