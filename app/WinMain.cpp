// Program entry: guards against a second copy, then wires the real platform
// to the two windows and runs the message loop.
#include <objbase.h>

#include "app/Application.h"
#include "app/Back.h"
#include "app/Main.h"
#include "core/Texts.h"
#include "install/InstallPlan.h"
#include "platform/win32/Win32Platform.h"

namespace {

// Load DLLs only from the system folder, never from the program's own
// folder. Older systems lack the call, hence the lookup.
void RestrictDllSearch() {
  using SetDirs = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  auto set = reinterpret_cast<SetDirs>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set) set(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

constexpr DWORD kMutexAllAccess = 0x1F0001;
constexpr const char* kMutexName = "QLOSETUP";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  ::CoInitialize(nullptr);

  if (HANDLE other = ::OpenMutexA(kMutexAllAccess, FALSE, kMutexName)) {
    // Another copy is running: leave without a window or a word.
    ::CloseHandle(other);
    ::PostQuitMessage(0);
    ::CoUninitialize();
    return 0;
  }
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kMutexName);

  {
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
  }

  ::ReleaseMutex(mutex);
  ::CoUninitialize();
  return 0;
}
