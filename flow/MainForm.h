// The main window's buttons and its close question: each handler in words
// of the view, so every decision runs in unit tests. The start-up lives in
// StartUp, the runs' window seam in ViewRunWindow.
#pragma once

#include "flow/MainView.h"
#include "flow/StartUp.h"
#include "flow/ViewRunWindow.h"
#include "core/RunWindow.h"
#include "install/InstallPlan.h"
#include "platform/Platform.h"

namespace qs {

class MainForm {
 public:
  MainForm(Platform& platform, MainView& view, InstallPlan& plan);

  void FormActivate() { startUp_.Activate(); }
  void btnContinueClick() { startUp_.Continue(); }
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

  // The window seam on this window's controls, and the one the runs are
  // given: the same unless another one (a logging one, for /LOG=) has been
  // set around it.
  RunWindow& viewWindow() { return viewWindow_; }
  void SetRunWindow(RunWindow& window) { runWindow_ = &window; }

  Mode mode() const { return startUp_.mode(); }
  const ProgramValues& values() const { return startUp_.values(); }

 private:
  Platform& platform_;
  MainView& view_;
  InstallPlan& plan_;
  CodePage cp_;
  StartUp startUp_;
  ViewRunWindow viewWindow_;
  RunWindow* runWindow_ = &viewWindow_;
  bool running_ = false;
};

}  // namespace qs
