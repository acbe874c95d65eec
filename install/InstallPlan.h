// What one installation is to do, as read from the definition file.
//
// Each list holds its entries in the order of their numbered keys, at most
// the limit of its keys in the definition file (data/Definition.h); an entry
// carries everything the run needs of it.
#pragma once

#include <string>
#include <vector>

namespace qs {

struct PlannedCopy {
  std::string path;  // folder-marker path of the installed file
  std::string flag;  // its flag (",/F", ",/C", ",/L"), or empty
};

struct PlannedShortCut {
  std::string target;  // folder-marker path
  std::string name;    // with its place marker, or "Default"
};

struct PlannedValue {
  std::string key;    // with its root marker
  std::string name;   // never empty
  std::string value;  // with its type marker
};

struct InstallPlan {
  std::vector<std::string> folders;  // folder-marker paths
  std::vector<PlannedCopy> files;
  std::vector<PlannedShortCut> shortCuts;
  std::vector<PlannedValue> registry;

  // Empties the folders, files and shortcuts, as the main window does when
  // it prepares an installation. The registry values are left alone.
  void Reset();
};

}  // namespace qs
