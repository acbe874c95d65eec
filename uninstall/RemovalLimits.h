// Where an uninstall may remove anything, whatever its record says: the
// places a definition file can name.
//
//   files    the install folder's tree and Program Files' tree, and directly
//            in the Windows folder, the system folder or the boot drive's root
//   folders  the install folder's tree and the folders below Program Files
//   links    .lnk files below one of the four shell places
//
// A record changed after installation keeps only the install folder's tree
// for files and folders. The install folder is the one that holds the
// record named on the command line, and it counts only when it is no drive
// root and holds neither the Windows nor the system folder. Paths are
// compared as the system resolves them (FullPath), in upper case; the
// removals themselves never follow a link (Platform::RemoveInPlace).
#pragma once

#include <string>
#include <vector>

#include "data/ProgramValues.h"
#include "platform/Platform.h"

namespace qs {

class RemovalLimits {
 public:
  RemovalLimits(Platform& platform, const ProgramValues& values, bool trusted);

  bool File(const std::string& path);
  bool Folder(const std::string& path);
  bool Link(const std::string& path);
  // A folder the install folder lies below, that is no root, no shell
  // place, and neither the Windows, the system nor the Program Files
  // folder nor one that holds them: a level an installation may have made
  // above its folder.
  bool Level(const std::string& path);
  // True when folder is one of the four shell places, however it is spelt,
  // or cannot be told from one.
  bool Place(const std::string& folder);
  // False when a shell place could not be found out: a folder that holds a
  // link may then be one, and is not removed.
  bool placesKnown() const { return placesKnown_; }

 private:
  // The path resolved and upper-cased, without a trailing backslash (a
  // drive root keeps its own); empty when it cannot be upper-cased.
  std::string Key(const std::string& path);

  Platform& platform_;
  bool trusted_;
  bool placesKnown_ = true;
  std::string install_, programFiles_, windows_, system_, boot_;
  std::vector<std::string> places_;
};

}  // namespace qs
