// Program entry: a command line with deployment switches goes its own way
// (app/Deploy.h); a plain one guards against a second copy, then wires the
// real platform to the two windows and runs the message loop.
#include "platform/win32/WinApi.h"

#include <string>

#include "app/Deploy.h"
#include "app/Start.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"

namespace {

// Load DLLs only from the system folder, never from the program's own
// folder. Systems without the call (Vista, Windows 7 without its 2011
// update) would look in the program's folder, which may be a download
// folder with anything in it: false there, and the program does not run.
bool RestrictDllSearch() {
  using SetDirs = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto set = reinterpret_cast<SetDirs>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  return set && set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// DLLs that the system's own components (common controls, the shell, COM,
// themes) load late, by bare name. Some loaders still look for a late DLL's
// dependencies in the program's folder: mapped now from the system folder,
// later lookups find them loaded.
void PreloadSystemDlls() {
  static const wchar_t* const kNames[] = {
      L"uxtheme", L"dwmapi",  L"propsys",  L"oleacc",   L"msimg32",   L"winmm",
      L"userenv", L"profapi", L"shfolder", L"riched20", L"cryptbase", L"apphelp",
      L"textshaping", L"version"};
  wchar_t path[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 20) return;
  for (const wchar_t* name : kNames) {
    ::wsprintfW(path + length, L"\\%s.dll", name);
    ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace qs::app;
  qs::CommandLine line =
      qs::ParseCommandLine(qs::win32::Narrow(::GetCommandLineW()).c_str());
  if (!RestrictDllSearch()) return RefuseToStart(line);
  PreloadSystemDlls();
  if (line.switched) return RunSwitched(instance, line);
  ProgramSession session;
  if (session.anotherCopyRuns()) {
    // Leave without a window or a word.
    ::PostQuitMessage(0);
    return 0;
  }
  qs::win32::Win32Platform platform;
  RunWindows(instance, platform, nullptr);
  return 0;
}
