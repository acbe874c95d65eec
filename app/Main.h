// The main window: fixed size, centred, shown modally by the backdrop.
#pragma once

#include "app/Application.h"

namespace qs::app {

class TfrmBack;

class TfrmMain : public Form {
 public:
  explicit TfrmMain(TfrmBack& back);
  // Shows the window and runs its modal loop; returns once ModalResult is
  // non-zero and the close query allowed the close. The window is then hidden.
  int ShowModal();
  void SetModalResult(int result) { modalResult_ = result; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormActivate();
  bool FormCloseQuery();

  TfrmBack& frmBack_;
  win32::ScopedFont font_;
  int modalResult_ = 0;
};

}  // namespace qs::app
