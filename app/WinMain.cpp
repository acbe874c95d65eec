// Program entry: a command line with deployment switches goes its own way
// (app/Deploy.h); a plain one guards against a second copy, then wires the
// real platform to the two windows and runs the message loop.
#include "platform/win32/WinApi.h"

#include <string>

#include "app/Deploy.h"
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
    ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace qs::app;
  RestrictDllSearch();
  PreloadSystemDlls();
  qs::CommandLine line = qs::ParseCommandLine(::GetCommandLineA());
  if (line.switched) return RunSwitched(instance, line);
  qs::win32::ComInitialization com;
  qs::win32::ScopedKernelObject mutex;
  if (AnotherCopyRuns(mutex)) {
    // Leave without a window or a word.
    ::PostQuitMessage(0);
    return 0;
  }
  qs::win32::Win32Platform platform;
  RunWindows(instance, platform, nullptr);
  return 0;
}
