#include "flow/MainForm.h"

#include "flow/ControlIds.h"
#include "core/Paths.h"
#include "core/SetupError.h"
#include "core/Texts.h"
#include "install/InstallRun.h"
#include "uninstall/UninstallRun.h"

namespace qs {
namespace {

constexpr uint32_t kCloseQuestionFlags = kMbYesNo | kMbIconQuestion;

// Runs a run; a raised error is told to the window, then goes on to the
// window's dispatch, which reports it.
template <class Run>
void NotingErrors(RunWindow& window, Run run) {
  try {
    run();
  } catch (const SetupError& error) {
    window.NoteError(ErrorReportText(error.what()));
    throw;
  }
}

// Running() is true for as long as the run is going, also when it throws.
struct RunningFlag {
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  bool& flag_;
};

}  // namespace

MainForm::MainForm(Platform& platform, MainView& view, InstallPlan& plan)
    : platform_(platform),
      view_(view),
      plan_(plan),
      cp_(kUtf8),
      startUp_(platform, view, plan),
      viewWindow_(platform, view) {}

void MainForm::btnReferClick() {
  std::optional<std::string> folder = view_.BrowseForFolder();
  if (!folder) return;
  std::string chosen = *folder;
  if (chosen.size() > 1) chosen = AddBackslash(chosen, PathEnd::Trailing, cp_);
  view_.SetText(ids::kTxtFolder, chosen);
}

void MainForm::btnSetupClick() {
  RunningFlag running(running_);
  NotingErrors(*runWindow_,
               [&] { InstallRun(platform_, *runWindow_, plan_, values(), cp_).Run(); });
}

void MainForm::btnEndClick() { view_.SetModalResult(1); }

bool MainForm::FormCloseQuery() {
  if (view_.BackEnabled()) return true;
  if (view_.MessageBox(text::kCloseQueryText, text::kCloseQueryCaption, kCloseQuestionFlags) !=
      kIdYes) {
    return false;
  }
  EndWithoutQuestion();
  return true;
}

void MainForm::EndWithoutQuestion() {
  if (view_.BackEnabled()) return;
  startUp_.DropRecordCopy();
  viewWindow_.EndProgram();
}

void MainForm::btnCloseErrorLogClick() { view_.SetVisible(ids::kBtnCloseErrorLog, false); }

void MainForm::btnUnSetupClick() {
  RunningFlag running(running_);
  NotingErrors(*runWindow_, [&] { UninstallRun(platform_, *runWindow_, values(), cp_).Run(); });
}

void MainForm::AfterRunError() { view_.SetEnabled(ids::kBtnEnd, true); }

}  // namespace qs
