// The negative control of the DLL-planting test: a program that does the
// work SETUP.EXE does with the system (a window with common controls, a
// shell link saved to disk, the folder browser, a message box) without
// restricting where DLLs are loaded from. Planted DLLs beside it get mapped.
// Usage: unhardened.exe FOLDER (where the link is saved).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

// Closes the folder browser as soon as it is shown.
int CALLBACK CloseAtOnce(HWND dialog, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED) ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return 0;
}

void SaveLink(const std::string& folder) {
  IShellLinkA* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
    return;
  }
  link->SetPath("C:\\windows\\notepad.exe");
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    std::wstring path(folder.begin(), folder.end());
    path += L"\\control.lnk";
    file->Save(path.c_str(), TRUE);
    file->Release();
  }
  link->Release();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  HWND window = ::CreateWindowExA(0, "STATIC", "control", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  300, 200, nullptr, nullptr, nullptr, nullptr);
  ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, window,
                    nullptr, nullptr, nullptr);
  ::CreateWindowExA(0, "BUTTON", "button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 40, 100, 24,
                    window, nullptr, nullptr, nullptr);
  if (__argc > 1) SaveLink(__argv[1]);
  BROWSEINFOA request = {};
  request.hwndOwner = window;
  request.lpfn = CloseAtOnce;
  request.ulFlags = BIF_RETURNONLYFSDIRS;
  if (LPITEMIDLIST list = ::SHBrowseForFolderA(&request)) ::CoTaskMemFree(list);
  ::DestroyWindow(window);
  ::CoUninitialize();
  return 0;
}
