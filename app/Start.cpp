#include "app/Start.h"

#include <optional>

#include "app/Application.h"
#include "app/Back.h"
#include "app/MainWindow.h"
#include "core/Texts.h"
#include "install/InstallPlan.h"

namespace qs::app {
namespace {

constexpr const wchar_t* kMutexName = L"QLOSETUP";

}  // namespace

ProgramSession::ProgramSession() {
  if (win32::ScopedKernelObject other{::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)}) {
    anotherCopyRuns_ = true;
    return;
  }
  mutex_.reset(::CreateMutexW(nullptr, FALSE, kMutexName));
}

void RunWindows(HINSTANCE instance, Platform& platform, RunLog* log) {
  Application& app = Application::Instance();
  app.Initialize(instance, text::kAppTitle);
  InstallPlan plan;
  TfrmBack frmBack;
  TfrmMain frmMain(frmBack, platform, plan);
  std::optional<LoggingRunWindow> logged;
  if (log) frmMain.form().SetRunWindow(logged.emplace(frmMain.form().viewWindow(), *log));
  frmBack.SetMainForm(&frmMain);
  frmBack.Show();
  app.Run();
}

}  // namespace qs::app
