// What an elevated installer does differently: a working folder only
// administrators can change, and files opened for the user who started it.
#pragma once

#include <string>

#include "platform/win32/WinApi.h"

namespace qs::win32 {

// True when the process holds an administrator's full token that UAC split
// from a limited one: the user who started it normally runs with less.
bool RunsElevated();

// A new folder in parent with a random name, never an existing one; with
// restricted set, only SYSTEM and Administrators have access. Its path
// without a trailing backslash; empty when it could not be made.
std::string MakePrivateFolderIn(const std::string& parent, bool restricted);

// Opens path ("open") through the desktop shell's own process, so that it
// runs with the shell's token; false when the shell offers no way to.
bool OpenAsDesktopUser(const std::string& path);

}  // namespace qs::win32
