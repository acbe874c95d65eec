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
// Owned by the Administrators group; full control for SYSTEM and
// Administrators, nothing inherited from the parent and nothing for anyone
// else.
constexpr const wchar_t* kAdminsOnly = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Keeps a folder open: no one may delete or rename it meanwhile.
class HandleHold : public Hold {
 public:
  explicit HandleHold(ScopedFile file) : file_(std::move(file)) {}

 private:
  ScopedFile file_;
};

// path without trailing backslashes, but a drive root keeps its own.
std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

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

// Membership is asked of the token as it may be used: an administrator's
// token that UAC filtered holds the group for denying only.
Rights RightsOfProcess() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return Rights::User;
  ScopedKernelObject token(raw);
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD size = 0;
  if (::GetTokenInformation(token.get(), TokenUser, &info, sizeof info, &size) &&
      ::IsWellKnownSid(info.user.User.Sid, WinLocalSystemSid)) {
    return Rights::System;
  }
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD length = sizeof admins;
  BOOL member = FALSE;
  if (::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &length) &&
      ::CheckTokenMembership(nullptr, admins, &member) && member) {
    return Rights::Administrator;
  }
  return Rights::User;
}

std::string FullPathOf(const std::string& path) {
  Wide wide(path);
  DWORD size = ::GetFullPathNameW(wide, 0, nullptr, nullptr);
  if (size == 0) return path;
  std::vector<wchar_t> buffer(size + 1, L'\0');
  DWORD n = ::GetFullPathNameW(wide, size, buffer.data(), nullptr);
  return n == 0 || n >= size ? path : Narrow(buffer.data(), n);
}

// The final path comes as \\?\C:\... or \\?\UNC\server\share\...; the
// comparison ignores letter case as the file system does.
bool OpenedAt(HANDLE handle, const std::string& path) {
  DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, VOLUME_NAME_DOS);
  if (size < 8) return false;
  std::vector<wchar_t> buffer(size + 1, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(handle, buffer.data(), size, VOLUME_NAME_DOS);
  if (n < 4 || n >= size) return false;
  wchar_t* final = buffer.data() + 4;  // after \\?\ (present in both forms)
  if (::CompareStringOrdinal(final, 4, L"UNC\\", 4, TRUE) == CSTR_EQUAL) {
    final += 2;
    final[0] = L'\\';  // \\server\share
  }
  Wide expected(WithoutTrailingSeparators(FullPathOf(path)));
  return ::CompareStringOrdinal(final, -1, expected, expected.size(), TRUE) == CSTR_EQUAL;
}

PrivateFolder MakePrivateFolderIn(const std::string& parent, bool restricted) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (restricted &&
      !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kAdminsOnly, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
    return {};
  }
  ScopedLocal descriptor(attributes.lpSecurityDescriptor);
  const std::string base = WithoutTrailingBackslash(parent);
  for (int i = 0; i < kNameTries; ++i) {
    uint64_t bits = 0;
    if (!RandomBits(&bits)) break;
    std::string path = base + RandomName(bits);
    // CreateDirectory fails on any existing name, a planted link included.
    if (!::CreateDirectoryW(Wide(path), restricted ? &attributes : nullptr)) {
      if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
      continue;
    }
    // Read access counts in the system's sharing rules; attributes alone
    // would not keep anyone out.
    ScopedFile folder(::CreateFileW(Wide(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    if (folder && (!restricted || OpenedAt(folder.get(), path))) {
      return {path, std::make_unique<HandleHold>(std::move(folder))};
    }
    folder.reset();
    ::RemoveDirectoryW(Wide(path));
    break;
  }
  return {};
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
