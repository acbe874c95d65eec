// The program's start-up: the mode, the folders it works in, the copy of
// the record or the product a one-file SETUP.EXE holds, the definition
// file's titles and readme, then (after the readme, or at once) the system
// folders, the proposed install folder and the ready state of the main
// window. Works on a MainView, so the window,
// the windowless mode and setupkit's dry run all start the same way.
#pragma once

#include <memory>
#include <string>

#include "flow/MainView.h"
#include "core/CodePage.h"
#include "core/WorkFolder.h"
#include "data/Definition.h"
#include "data/ProgramValues.h"
#include "install/InstallPlan.h"
#include "platform/Platform.h"

namespace qs {

// Install: SETUP.INI beside the program. Uninstall: the record named on the
// command line.
enum class Mode { Install, Uninstall };

class StartUp {
 public:
  StartUp(Platform& platform, MainView& view, InstallPlan& plan);

  // The first part, when the window is first shown. Goes on with Continue()
  // itself unless a readme is shown; then the continue button does.
  void Activate();
  // The rest: the system folders, the proposed folder, the ready state.
  void Continue();

  Mode mode() const { return mode_; }
  const ProgramValues& values() const { return values_; }
  // Why a one-file SETUP.EXE could not be unpacked; empty when it was, or
  // the program is a plain one.
  const std::string& unpackError() const { return unpackError_; }
  // Removes the run's temporary copy of the record. A copy that was never
  // made is another product's and stays.
  void DropRecordCopy();

 private:
  void SettleFolders();
  void MakeWorkFolder(const std::string& parent);
  void UnpackProduct();
  void CopyRecord(const std::string& record);
  bool DefinitionMissing() const;
  bool ShowReadme(const DefinitionFile& definition);
  std::string ProposedFolder(const DefinitionFile& definition);
  void OfferShortCutPlaces(const DefinitionFile& definition);
  void EnterReadyState(const std::string& errors, const DefinitionFile& definition);
  void ShowReadyToUninstall();
  void ShowReadyToInstall(const DefinitionFile& definition);

  Platform& platform_;
  MainView& view_;
  InstallPlan& plan_;
  CodePage cp_;
  Mode mode_ = Mode::Install;
  // Declared before the values: the files they hold (a one-file SETUP.EXE's
  // unpacked program) are let go before the work folder is removed.
  std::unique_ptr<WorkFolder> workFolder_;
  ProgramValues values_;
  // Elevated without a folder of its own: nothing may be run (no TEMP of
  // the user's serves instead).
  bool noWorkFolder_ = false;
  bool recordCopyFailed_ = false;
  std::string unpackError_;  // why a one-file SETUP.EXE could not be unpacked
};

// The readme's text as the multi-line box wants it: every line end (CR,
// LF or CR LF) becomes CR LF; the text is otherwise unchanged.
std::string ToEditLineEnds(const std::string& bytes);

}  // namespace qs
