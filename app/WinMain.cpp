// Program entry: a command line with deployment switches goes its own way
// (app/Deploy.h); a plain one guards against a second copy, then wires the
// real platform to the two windows and runs the message loop.
#include "platform/win32/WinApi.h"

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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace qs::app;
  RestrictDllSearch();
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
