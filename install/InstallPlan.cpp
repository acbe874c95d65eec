#include "install/InstallPlan.h"

namespace qs {

void InstallPlan::Reset() {
  folders.fill({});
  files.fill({});
  shortCutTargets.fill({});
  shortCutNames.fill({});
  folderCount = 0;
  fileCount = 0;
  shortCutCount = 0;
}

void InstallPlan::AppendFolder(const std::string& folder) { folders[++folderCount] = folder; }

void InstallPlan::AppendFile(const std::string& path, const std::string& flag) {
  ++fileCount;
  files[fileCount] = path;
  fileFlags[fileCount] = flag;
}

void InstallPlan::AppendShortCut(const std::string& target, const std::string& name) {
  ++shortCutCount;
  shortCutTargets[shortCutCount] = target;
  shortCutNames[shortCutCount] = name;
}

void InstallPlan::AppendRegistry(const std::string& key, const std::string& name,
                                 const std::string& value) {
  ++registryCount;
  registryKeys[registryCount] = key;
  registryNames[registryCount] = name;
  registryValues[registryCount] = value;
}

void InstallPlan::DropLastShortCut() {
  shortCutTargets[shortCutCount].clear();
  shortCutNames[shortCutCount].clear();
  --shortCutCount;
}

void InstallPlan::DropLastRegistry() {
  registryKeys[registryCount].clear();
  registryNames[registryCount].clear();
  registryValues[registryCount].clear();
  --registryCount;
}

}  // namespace qs
