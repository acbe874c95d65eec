// Program entry: a command line with deployment switches goes its own way
// (app/Deploy.h); a plain one guards against a second copy, then wires the
// real platform to the two windows and runs the message loop.
#include <objbase.h>

#include <cstdlib>

#include "app/Deploy.h"
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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace qs::app;
  RestrictDllSearch();
  qs::CommandLine line = qs::ParseCommandLine(::GetCommandLineA());
  if (line.switched) return RunSwitched(instance, line);
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
    qs::win32::Win32Platform platform;
    RunWindows(instance, platform, nullptr);
  }

  ::ReleaseMutex(mutex);
  ::CoUninitialize();
  return 0;
}
