// Registry keys as the system's own views show them, and the keys that are
// the registry's own structure.
//
// Several paths name one key: HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\X is
// the 32-bit view of SOFTWARE\X; SOFTWARE\Classes\X of the machine or of a
// user is HKEY_CLASSES_ROOT\X; a user's hive below HKEY_USERS is that user's
// HKEY_CURRENT_USER (its "_Classes" hive, HKEY_CLASSES_ROOT). The rules of
// the uninstaller (a first-level key goes only when the installation made
// it; the system's keys never go) hold for the key a path stands for,
// however it is spelt.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace qs {

struct KeyView {
  RegRoot root = RegRoot::CurrentUser;
  std::vector<std::string> steps;  // upper case (ASCII), empty steps dropped
  // The path's own first steps, as written, that lead to the view's first
  // step: the key that is first-level in the view. Empty when the view has
  // no step (a root, or a user's hive itself).
  std::string firstLevel;
};

KeyView ViewOf(RegRoot root, const std::string& path);

// The registry's structure and the system's own keys, which no uninstall
// deletes whatever its record says: a root or a user's hive; of the
// machine SOFTWARE, SOFTWARE\Microsoft with the keys down to
// CurrentVersion and its Uninstall, App Paths, Run and RunOnce,
// SOFTWARE\Classes, SOFTWARE\WOW6432Node, and SOFTWARE\Microsoft\Windows NT,
// SOFTWARE\Policies, SYSTEM, SAM, SECURITY, HARDWARE and BCD00000000 with
// everything below them; of a user Software, Software\Microsoft down to
// CurrentVersion with Run and RunOnce, Software\Classes, and
// Software\Policies, Control Panel and Environment with everything below;
// of the classes CLSID, Interface, TypeLib, AppID, MIME, *, Directory,
// Drive, Folder, AllFilesystemObjects, SystemFileAssociations and Unknown,
// and the file types the system owns (.exe, .dll, .txt and the like) and
// their program ids with everything below them.
bool IsSystemKey(const KeyView& view);

// A registry root as logs and run steps name it: "HKLM\" and so on.
std::string RootName(RegRoot root);

// A value as runs tell it: REG_SZ "text" or REG_DWORD number.
std::string DescribeValue(const RegValue& value);

}  // namespace qs
