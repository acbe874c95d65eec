// Program entry: guards against a second copy, then wires the real platform
// to the two windows and runs the message loop.
#include <objbase.h>

#include <cstdlib>
#include <string>

#include "app/Application.h"
#include "app/Back.h"
#include "app/Main.h"
#include "core/Texts.h"
#include "install/InstallPlan.h"
#include "platform/win32/Win32Platform.h"

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler prints the exception's demangled
// type to a console that a GUI program does not have; the demangler alone
// is a seventh of the program. Ending at once says as much here.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

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

// DLLs that the system's own components (common controls, the shell, COM,
// themes) load late, by bare name. Some loaders still look for a late DLL's
// dependencies in the program's folder, and older systems lack the call
// above: mapped now from the system folder, later lookups find them loaded.
void PreloadSystemDlls() {
  static const char* const kNames[] = {
      "uxtheme", "dwmapi",  "propsys",   "oleacc",  "msimg32",  "winmm",    "userenv",
      "profapi", "shfolder", "riched20", "cryptbase", "apphelp", "textshaping", "version"};
  char folder[MAX_PATH];
  UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 20) return;
  for (const char* name : kNames) {
    std::string path = std::string(folder) + "\\" + name + ".dll";
    ::LoadLibraryExA(path.c_str(), nullptr, 0x00000008 /* LOAD_WITH_ALTERED_SEARCH_PATH */);
  }
}

constexpr DWORD kMutexAllAccess = 0x1F0001;
constexpr const char* kMutexName = "QLOSETUP";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  PreloadSystemDlls();
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
