#include "flow/ViewRunWindow.h"

#include "flow/ControlIds.h"

namespace qs {
namespace {
constexpr uint32_t kFailureListPause = 200;
}  // namespace

void ShowStatusOn(MainView& view, const std::string& text) {
  view.SetText(ids::kLblMessage, text);
  view.ProcessMessages();
}

void ViewRunWindow::ShowStatus(const std::string& text) { ShowStatusOn(view_, text); }

int ViewRunWindow::Ask(const std::string& text, const std::string& caption, uint32_t flags) {
  return view_.MessageBox(text, caption, flags);
}

void ViewRunWindow::ShowProgress(bool shown) { view_.SetVisible(ids::kFraStatus, shown); }

void ViewRunWindow::SetProgress(int percent) {
  view_.SetText(ids::kLblStatus, std::to_string(percent) + "%");
  view_.SetProgress(percent);
  view_.ProcessMessages();
}

void ViewRunWindow::ShowFailureList(const std::string& caption, const std::string& list) {
  view_.SetText(ids::kTxtReadme, "");
  view_.SetText(ids::kTxtReadme, list);
  view_.SetText(ids::kFraReadme, caption);
  view_.SetVisible(ids::kBtnCloseErrorLog, true);
  view_.SetVisible(ids::kFraReadme, true);
  do {
    platform_.Sleep(kFailureListPause);
  } while (view_.ProcessMessages() && view_.Visible(ids::kBtnCloseErrorLog));
  view_.SetVisible(ids::kFraReadme, false);
}

RunOptions ViewRunWindow::FreezeForInstall() {
  for (int id : {ids::kTxtFolder, ids::kBtnRefer, ids::kChkOverWrite, ids::kChkSCutDesktop,
                 ids::kChkSCutStartMenu, ids::kChkSCutStartUp, ids::kChkSCutSendTo,
                 ids::kBtnSetup, ids::kBtnEnd}) {
    view_.SetEnabled(id, false);
  }
  RunOptions options;
  options.installFolder = view_.Text(ids::kTxtFolder);
  options.overwriteAll = view_.Checked(ids::kChkOverWrite);
  options.shortCutOnDesktop = view_.Checked(ids::kChkSCutDesktop);
  options.shortCutOnStartMenu = view_.Checked(ids::kChkSCutStartMenu);
  options.shortCutOnStartUp = view_.Checked(ids::kChkSCutStartUp);
  options.shortCutOnSendTo = view_.Checked(ids::kChkSCutSendTo);
  return options;
}

void ViewRunWindow::FreezeForUninstall() {
  view_.SetEnabled(ids::kBtnUnSetup, false);
  view_.SetEnabled(ids::kBtnEnd, false);
}

void ViewRunWindow::EndProgram() {
  view_.EnableBack();
  view_.SetModalResult(1);
}

}  // namespace qs
