// Program entry: guards against a second copy, then wires the real platform
// to the two windows and runs the message loop.
#include "platform/win32/WinApi.h"

#include "app/Application.h"
#include "app/Back.h"
#include "app/Main.h"
#include "core/Texts.h"
#include "install/InstallPlan.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace {

// Load DLLs only from the system folder, never from the program's own
// folder. Older systems lack the call, hence the lookup.
void RestrictDllSearch() {
  using SetDirs = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  auto set = reinterpret_cast<SetDirs>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

constexpr const char* kMutexName = "QLOSETUP";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  qs::win32::ComInitialization com;

  if (qs::win32::ScopedKernelObject other{::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName)}) {
    // Another copy is running: leave without a window or a word.
    ::PostQuitMessage(0);
    return 0;
  }
  // Not owned: its name alone tells a second copy that this one runs.
  qs::win32::ScopedKernelObject mutex{::CreateMutexA(nullptr, FALSE, kMutexName)};

  using namespace qs::app;
  Application& app = Application::Instance();
  app.Initialize(instance, qs::text::kAppTitle);
  qs::win32::Win32Platform platform;
  qs::InstallPlan plan;
  TfrmBack frmBack;
  TfrmMain frmMain(frmBack, platform, plan);
  frmBack.SetMainForm(&frmMain);
  frmBack.Show();
  app.Run();
  return 0;
}
