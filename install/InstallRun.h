// The install run: what the install button does, from freezing the window
// to closing it. Gathers the plan from the definition file, makes sure of
// the install folder, creates folders, expands and copies files, makes
// shortcuts, writes registry values, copies the uninstaller, offers the
// failure list, writes the uninstall record with the registration, and
// opens the file named for after setup.
//
// Single steps that fail never stop the run: they add a tagged line to the
// failure log. A registry value or shortcut folder that cannot be written,
// or a definition file that is there but cannot be read, raises SetupError,
// which ends the run with the standard error report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/CodePage.h"
#include "core/FailureLog.h"
#include "core/RunWindow.h"
#include "data/Definition.h"
#include "data/ProgramValues.h"
#include "data/UninstallRecord.h"
#include "install/InstallPlan.h"
#include "platform/Platform.h"

namespace qs {

class InstallRun {
 public:
  InstallRun(Platform& platform, RunWindow& window, InstallPlan& plan, const ProgramValues& values,
             CodePage cp);

  // The whole run, as the install button starts it.
  void Run();

  // The phases, in the order Run() calls them. Start freezes the window
  // and reads the options.
  void Start();
  void GatherInstallPlan();
  // False when the run must stop: the folder is missing and the user
  // declined to create it, or it could not be created.
  bool PrepareInstallFolder();
  void MergeEarlierRecord();
  void CreatePlannedFolders();
  void CopyPlannedFiles();
  void CreatePlannedShortCuts();
  void WritePlannedRegistry();
  void InstallUninstaller();
  void ShowFailureLog();
  void WriteUninstallRecord();
  void ShowCompletion();
  void RunExecuteFile();

 private:
  const DefinitionFile& Definition();
  std::string SourcePath(const std::string& fileName) const;
  MarkerFolders Folders() const;
  void GatherFiles();
  void GatherShortCuts();
  void GatherRegistryValues();
  bool ShortCutChosen(const std::string& name) const;
  bool MakeLevel(const std::string& level);
  void CopyOneFile(const PlannedCopy& file);
  void AdvanceProgress(const std::string& source);

  Platform& platform_;
  RunWindow& window_;
  InstallPlan& plan_;
  const ProgramValues& values_;
  CodePage cp_;

  RunOptions options_;
  uint64_t totalBytes_ = 0;
  uint64_t copiedBytes_ = 0;
  uint64_t installedBytes_ = 0;  // what the copied files hold, for the registration
  bool showProgress_ = true;
  FailureLog failures_;
  std::string installFolder_;
  std::string recordPath_;
  DeleteLists lists_;
  std::optional<DefinitionFile> definition_;
};

}  // namespace qs
