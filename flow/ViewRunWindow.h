// The runs' window seam on the main window's controls: the status label,
// message boxes, the progress frame, the failure list in the readme frame,
// the controls a run disables, and the program's end.
#pragma once

#include <string>

#include "flow/MainView.h"
#include "core/RunWindow.h"
#include "platform/Platform.h"

namespace qs {

class ViewRunWindow : public RunWindow {
 public:
  // The platform gives the pauses while the failure list waits.
  ViewRunWindow(Platform& platform, MainView& view) : platform_(platform), view_(view) {}

  void ShowStatus(const std::string& text) override;
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override;
  void ShowProgress(bool shown) override;
  void SetProgress(int percent) override;
  void ShowFailureList(const std::string& caption, const std::string& list) override;
  RunOptions FreezeForInstall() override;
  void FreezeForUninstall() override;
  void EndProgram() override;

 private:
  Platform& platform_;
  MainView& view_;
};

// Sets the message label, then handles pending window messages so that it
// shows at once.
void ShowStatusOn(MainView& view, const std::string& text);

}  // namespace qs
