// The main window's handlers: mode, program-wide values, readme, the
// continue action, browsing, the close question, and the window side of the
// runs. Works on a MainView, so every decision runs in unit tests.
#pragma once

#include <memory>
#include <string>

#include "app/MainView.h"
#include "core/CodePage.h"
#include "core/RunWindow.h"
#include "core/WorkFolder.h"
#include "data/ProgramValues.h"
#include "install/InstallPlan.h"
#include "platform/Platform.h"

namespace qs {

class MainForm : public RunWindow {
 public:
  MainForm(Platform& platform, MainView& view, InstallPlan& plan);

  void FormActivate();
  void btnContinueClick();
  void btnReferClick();
  void btnSetupClick();
  void btnEndClick();
  // True when the window may close.
  bool FormCloseQuery();
  void btnCloseErrorLogClick();
  void btnUnSetupClick();
  // After the standard error report: the user can still end the program.
  void AfterRunError();
  // Ends the program as a Yes to the close question does, without asking
  // (the system is ending it); nothing when a run has already ended it.
  void EndWithoutQuestion();
  // True while the install or uninstall run is going.
  bool Running() const { return running_; }

  bool UninstallMode() const;
  const ProgramValues& values() const { return values_; }

  // RunWindow
  void ShowStatus(const std::string& text) override;
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override;
  void ShowProgress(bool shown) override;
  void SetProgress(int percent) override;
  void ShowFailureList(const std::string& caption, const std::string& list) override;
  RunOptions FreezeForInstall() override;
  void FreezeForUninstall() override;
  void EndProgram() override;

 private:
  void SettleFolders();
  void MakeWorkFolder(const std::string& systemTemp);
  bool ShowReadme();
  std::string ProposedFolder();
  void OfferShortCutPlaces();
  void EnterReadyState(const std::string& errors);
  std::string InfoFileName() const;

  Platform& platform_;
  MainView& view_;
  InstallPlan& plan_;
  CodePage cp_;
  ProgramValues values_;
  std::unique_ptr<WorkFolder> workFolder_;
  bool recordCopyFailed_ = false;
  bool running_ = false;
};

// The readme's bytes as the multi-line box wants them: every line end (CR,
// LF or CR LF) becomes CR LF; the text is otherwise unchanged.
std::string ToEditLineEnds(const std::string& bytes);

}  // namespace qs
