// TfrmMain: the main window. Fixed size, centred, shown modally by the
// backdrop; its controls are real child windows laid out by MainControls().
// The handlers' decisions live in MainForm (and the start-up it runs); this
// class is the Win32 side: it implements MainView and routes messages there.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "flow/MainForm.h"
#include "flow/MainLayout.h"
#include "flow/MainView.h"
#include "ui/FldrDlg.h"

namespace qs::app {

class TfrmBack;

class TfrmMain : public Form, public MainView {
 public:
  TfrmMain(TfrmBack& back, Platform& platform, InstallPlan& plan);
  ~TfrmMain() override;

  // Shows the window and runs its modal loop; returns once ModalResult is
  // non-zero and the close query allowed the close. The window is then hidden.
  int ShowModal();
  MainForm& form() { return form_; }

  // MainView
  void SetText(int id, const std::string& text) override;
  std::string Text(int id) override;
  void SetVisible(int id, bool visible) override;
  bool Visible(int id) override;
  void SetEnabled(int id, bool enabled) override;
  bool Enabled(int id) override;
  bool Checked(int id) override;
  void SetProgress(int percent) override;
  void SetCaption(const std::string& caption) override;
  void DisableCloseCommand() override;
  void FocusWindow() override;
  void SetModalResult(int result) override { modalResult_ = result; }
  void SetBackTitle(const std::string& title) override;
  bool BackEnabled() override;
  void EnableBack() override;
  bool ProcessMessages() override;
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override;
  std::optional<std::string> BrowseForFolder() override;

  // Moves the focus along the layout's tab order; true when the key was used.
  // Needed on top of the dialog manager, which would follow creation order.
  bool HandleTab(const MSG& msg);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void AfterError() override;

 private:
  void CreateControls();
  HWND Control(int id) const;
  HFONT FontFor(FontKind kind) const;
  void OnCommand(int id, int code);

  TfrmBack& frmBack_;
  MainForm form_;
  std::vector<std::pair<int, HWND>> controls_;  // in the control table's order
  win32::ScopedFont windowFont_, folderFont_, statusFont_, readmeFont_;
  win32::ScopedModule commonControls_;
  std::unique_ptr<ui::TFolderDialog> dlgFolder_;
  int modalResult_ = 0;
  bool quitting_ = false;
};

}  // namespace qs::app
