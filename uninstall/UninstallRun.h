// The uninstall run: what the uninstall button does with the temporary copy
// of an uninstall record.
//
// One pass, started once per program run: the record's lists are read (and
// de-duplicated, and libraries in the Windows or system folder left out),
// the record is judged by its registration (data/UninstallRecord.h), then
// files, shortcuts, folders, registry keys, the registration, the install
// folder and the record copy are removed back to back, each only within
// the places of uninstall/RemovalLimits.h and never through a link. A
// record changed after installation is said to be so, and only the install
// folder's tree, the links and the registration go. A step that fails or
// is refused never stops the run; it adds a tagged line to the failure
// log, which is offered to the user at the end. The only error that ends
// the run early is a temporary folder that cannot be made current:
// SetupError is raised before anything has been removed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/FailureLog.h"
#include "core/RunWindow.h"
#include "data/ProgramValues.h"
#include "data/UninstallRecord.h"
#include "platform/Platform.h"
#include "uninstall/RemovalLimits.h"

namespace qs {

class UninstallRun {
 public:
  UninstallRun(Platform& platform, RunWindow& window, const ProgramValues& values, CodePage cp);

  // Runs the whole uninstall and ends the program. Raises SetupError when
  // the temporary folder cannot be made current.
  void Run();

 private:
  void ReadRecord();
  void KeepDistinctFiles();
  bool IsSystemLibrary(const std::string& path);
  void EnterTempFolder();
  void JudgeRecord();
  void DeleteFiles();
  bool DeleteListedFile(const RecordedFile& file);
  void DeleteShortCuts();
  bool MayRemoveLinkFolder(const std::string& link, const std::string& folder);
  void RemoveFolders();
  // False when the folder is not removed: a place, outside the places, not
  // empty or not there.
  bool RemoveRecordedFolder(const std::string& folder);
  void DeleteRegistryKeys();
  bool MayDeleteKey(const RegistryKeyRef& key);
  void DeleteRegistration();
  void DeleteKeyTree(RegRoot root, const std::string& path);
  void RemoveInstallFolder();
  void RemoveLevelsAbove();
  void DeleteRecordCopy();
  void OfferFailureList();
  void AnnounceCompletion();

  Platform& platform_;
  RunWindow& window_;
  const ProgramValues& values_;
  CodePage cp_;

  UninstallRecord record_;
  RecordCheck check_;
  std::optional<RemovalLimits> limits_;
  FailureLog failures_;
};

}  // namespace qs
