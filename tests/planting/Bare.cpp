// Imports what SETUP.EXE imports and ends at once: whatever the system maps
// while this process starts is mapped before any code of ours could run.
// The DLL-planting test leaves those names out.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

// One function of each imported DLL; the table keeps them imported.
const void* const volatile kImports[] = {
    reinterpret_cast<const void*>(&::GetDC),           reinterpret_cast<const void*>(&::CreateFontA),
    reinterpret_cast<const void*>(&::RegCreateKeyExA), reinterpret_cast<const void*>(&::ShellExecuteA),
    reinterpret_cast<const void*>(&::CoInitialize)};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int imported = 0;
  for (const void* function : kImports) imported += function != nullptr;
  return imported == 5 ? 0 : 1;
}
