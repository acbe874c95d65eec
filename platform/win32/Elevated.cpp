#include "platform/win32/Elevated.h"

#include <exdisp.h>
#include <sddl.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstdint>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"

namespace qs::win32 {
namespace {

constexpr int kNameTries = 8;
// Full control for SYSTEM and the Administrators group, nothing inherited
// from TEMP and nothing for anyone else.
constexpr const wchar_t* kAdminsOnly = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// 64 bits from the system's random generator (RtlGenRandom, which advapi32
// exports under this name); false when there is none.
bool RandomBits(uint64_t* out) {
  using Generate = BOOLEAN(WINAPI*)(PVOID, ULONG);
  auto generate = reinterpret_cast<Generate>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"advapi32.dll"), "SystemFunction036")));
  return generate && generate(out, sizeof *out);
}

// "\QS" and sixteen hex digits.
std::string RandomName(uint64_t bits) {
  std::string name = "\\QS";
  for (int shift = 60; shift >= 0; shift -= 4) name += "0123456789ABCDEF"[(bits >> shift) & 0xF];
  return name;
}

// parent without one trailing backslash.
std::string WithoutTrailingBackslash(const std::string& parent) {
  if (!parent.empty() && parent.back() == '\\') return parent.substr(0, parent.size() - 1);
  return parent;
}

// The desktop's shell dispatch object, which lives in the shell's own
// process and so runs what it opens with the shell's (the user's) token.
bool DesktopShellDispatch(ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, windows.out()))) {
    return false;
  }
  VARIANT location = {}, root = {};
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  long hwnd = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                              reinterpret_cast<IDispatch**>(desktop.out())) != S_OK ||
      !desktop) {
    return false;
  }
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.out())) &&
         SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                            browser.out())) &&
         SUCCEEDED(browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.out()))) &&
         SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out())) &&
         SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.out())) &&
         SUCCEEDED(folderView->get_Application(
             reinterpret_cast<IDispatch**>(application.out()))) &&
         SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.out()));
}

}  // namespace

bool RunsElevated() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  ScopedKernelObject token(raw);
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size) &&
         type == TokenElevationTypeFull;
}

std::string MakePrivateFolderIn(const std::string& parent, bool restricted) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (restricted &&
      !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kAdminsOnly, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
    return std::string();
  }
  ScopedLocal descriptor(attributes.lpSecurityDescriptor);
  const std::string base = WithoutTrailingBackslash(parent);
  for (int i = 0; i < kNameTries; ++i) {
    uint64_t bits = 0;
    if (!RandomBits(&bits)) break;
    std::string path = base + RandomName(bits);
    // CreateDirectory fails on any existing name, a planted link included.
    if (::CreateDirectoryW(Wide(path), restricted ? &attributes : nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return std::string();
}

bool OpenAsDesktopUser(const std::string& path) {
  ComPtr<IShellDispatch2> shell;
  if (!DesktopShellDispatch(shell)) return false;
  // BSTRs come from oleaut32, which the program does not import: it is
  // loaded from the system folder only, like every late DLL.
  ScopedModule oleaut(::LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!oleaut) return false;
  using Alloc = BSTR(WINAPI*)(const OLECHAR*);
  using Free = void(WINAPI*)(BSTR);
  auto alloc = reinterpret_cast<Alloc>(
      reinterpret_cast<void*>(::GetProcAddress(oleaut.get(), "SysAllocString")));
  auto free = reinterpret_cast<Free>(
      reinterpret_cast<void*>(::GetProcAddress(oleaut.get(), "SysFreeString")));
  if (!alloc || !free) return false;
  BSTR file = alloc(Wide(path));
  BSTR verb = alloc(L"open");
  VARIANT empty = {}, operation = {}, show = {};
  operation.vt = VT_BSTR;
  operation.bstrVal = verb;
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  HRESULT hr = file && verb ? shell->ShellExecute(file, empty, empty, operation, show) : E_FAIL;
  free(file);
  free(verb);
  return SUCCEEDED(hr);
}

}  // namespace qs::win32
