// What a program with more than a user's rights does differently: a working
// folder only administrators can change, removals and logs that never go
// through a link, and files opened for the user who started it.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/win32/WinApi.h"

namespace qs::win32 {

// SYSTEM, a member of the Administrators group whose token lets it use
// that group (UAC off, the built-in Administrator, an elevated token: each
// reports its elevation its own way), or a plain user.
Rights RightsOfProcess();

// The path as the system resolves it before any use (GetFullPathNameW);
// the path itself when it cannot be resolved.
std::string FullPathOf(const std::string& path);

// True when handle is open on path itself: the system's final path of it
// is path resolved, so no link or junction was followed on the way.
bool OpenedAt(HANDLE handle, const std::string& path);

// A new folder in parent with a random name, never an existing one, held
// open without delete sharing. Restricted: owned by Administrators, only
// SYSTEM and Administrators have access, and kept only when it is at the
// path made. Empty when it could not be made.
PrivateFolder MakePrivateFolderIn(const std::string& parent, bool restricted);

// Opens path ("open") through the desktop shell's own process, so that it
// runs with the shell's token; false when the shell offers no way to.
bool OpenAsDesktopUser(const std::string& path);

}  // namespace qs::win32
