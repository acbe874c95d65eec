#include "core/WorkFolder.h"

#include <utility>

#include "core/Paths.h"

namespace qs {

WorkFolder::WorkFolder(Platform& platform, const std::string& parent,
                       std::vector<std::string> fileNames, CodePage cp)
    : platform_(platform), parent_(parent), fileNames_(std::move(fileNames)), cp_(cp) {
  PrivateFolder made = platform.MakePrivateFolder(parent);
  path_ = made.path;
  hold_ = std::move(made.hold);
}

void WorkFolder::AddTree(std::vector<std::string> files, std::vector<std::string> folders) {
  heldFiles_ = std::move(files);
  heldFolders_ = std::move(folders);
}

void WorkFolder::Remove() {
  if (!made()) return;
  // A folder that is the current one cannot be removed.
  platform_.SetCurrentFolder(parent_);
  // Most go at the first try (one call each: an unpacked product can hold
  // thousands); a read-only one once its attributes are plain.
  for (const std::string& name : heldFiles_) {
    std::string file = JoinPath(path_, name, cp_);
    if (platform_.Delete(file) || !FileExists(platform_, file)) continue;
    platform_.SetAttributes(file, kAttrNormal);
    platform_.Delete(file);
  }
  for (auto it = heldFolders_.rbegin(); it != heldFolders_.rend(); ++it) {
    platform_.RemoveFolder(JoinPath(path_, *it, cp_));
  }
  for (const std::string& name : fileNames_) {
    std::string file = JoinPath(path_, name, cp_);
    if (FileExists(platform_, file)) platform_.Delete(file);
  }
  hold_.reset();
  platform_.RemoveFolder(path_);
  path_.clear();
}

}  // namespace qs
