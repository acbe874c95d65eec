// The backdrop: a maximised, disabled teal window with the product title. Its
// first activation shows the main window modally; when that returns, the
// backdrop closes and the program ends.
#pragma once

#include <string>

#include "app/Application.h"

namespace qs::app {

class TfrmMain;

class TfrmBack : public Form {
 public:
  TfrmBack();
  void SetMainForm(TfrmMain* main) { frmMain_ = main; }
  // Shows the window maximised; its activation handler takes over from there.
  void Show();
  void SetTitle(const std::string& title);
  bool Enabled() const { return ::IsWindowEnabled(handle()) != 0; }
  void Enable() { ::EnableWindow(handle(), TRUE); }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FormActivate();

  TfrmMain* frmMain_ = nullptr;
  HWND lblBackTitle_ = nullptr;
  win32::ScopedBrush teal_;
  win32::ScopedFont windowFont_;
  win32::ScopedFont titleFont_;
  bool activated_ = false;
};

}  // namespace qs::app
