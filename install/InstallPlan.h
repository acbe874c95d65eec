// What one installation is to do, as read from the definition file.
//
// Fixed-capacity tables numbered from 1 and filled from slot 1 without gaps;
// a count says how many slots are in use. Slot n of the tables of one group
// belong together. Slot 0 is never used.
#pragma once

#include <cstdint>
#include <string>

#include "core/Slots.h"

namespace qs {

inline constexpr int kPlanFolders = 20;
inline constexpr int kPlanFiles = 101;  // at most 99 are used
inline constexpr int kPlanShortCuts = 20;
inline constexpr int kPlanRegistry = 20;

struct InstallPlan {
  Slots<kPlanFolders> folders;
  int32_t folderCount = 0;
  Slots<kPlanFiles> files;
  Slots<kPlanFiles> fileFlags;
  int32_t fileCount = 0;
  Slots<kPlanShortCuts> shortCutTargets;
  Slots<kPlanShortCuts> shortCutNames;
  int32_t shortCutCount = 0;
  Slots<kPlanRegistry> registryKeys;
  Slots<kPlanRegistry> registryNames;
  Slots<kPlanRegistry> registryValues;
  int32_t registryCount = 0;

  // Empties the folder, file-path and shortcut tables and their counts. The
  // flags and the registry group are left alone: an append rewrites them.
  void Reset();

  // Each append stores the values in the slot of the new count; the caller
  // keeps the count within the capacity.
  void AppendFolder(const std::string& folder);
  void AppendFile(const std::string& path, const std::string& flag);
  void AppendShortCut(const std::string& target, const std::string& name);
  void AppendRegistry(const std::string& key, const std::string& name, const std::string& value);

  // Empties the slot of the current count in every table of the group and
  // steps the count back, so the next append takes the same slot.
  void DropLastShortCut();
  void DropLastRegistry();
};

}  // namespace qs
