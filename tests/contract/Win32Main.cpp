// The contract suite on Windows: each world is a fresh folder under the
// system's temporary folder, removed with everything in it afterwards.
#include "platform/win32/WinApi.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Wide.h"
#include "tests/contract/PlatformContract.h"

namespace qs::contract {
namespace {

// Wide throughout: the worlds' names may hold any character.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  // Closed before the folder goes: an open search keeps it.
  if (win32::ScopedFind find{::FindFirstFileW((folder + L"\\*").c_str(), &data)}) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link goes itself; what it points at is in the world already.
        if (!::RemoveDirectoryW(path.c_str())) ::DeleteFileW(path.c_str());
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  ::RemoveDirectoryW(folder.c_str());
}

void RemoveTree(const std::string& folder) { RemoveTree(std::wstring(win32::Wide(folder).get())); }

// The Unix path of a Windows one under Wine; empty on Windows.
std::string UnixPath(const std::wstring& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unixName ? unixName(path.c_str()) : nullptr;
  std::string result = name ? name : "";
  if (name) ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Runs a program of the host under Wine (Wine starts Unix programs too),
// with the arguments quoted; Wine does not wait for it, so until returns
// true or five seconds have passed.
template <typename Until>
void RunOnHost(const wchar_t* program, const std::vector<std::string>& args, Until until) {
  std::string command = "host";
  for (const std::string& arg : args) command += " \"" + arg + "\"";
  std::wstring line(win32::Wide(command).get());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 100 && !until(); ++i) ::Sleep(50);
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Under Wine, a link is made the Unix way, by ln (Wine 8 makes no symbolic
// links of its own); on Windows by CreateSymbolicLinkW, which needs the
// right to (developer mode, or an administrator).
bool MakeSymbolicLink(const std::wstring& path, const std::wstring& target, bool folder) {
  if (UnixPath(path).empty()) {
    DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2;  // unprivileged
    return ::CreateSymbolicLinkW(path.c_str(), target.c_str(), flags) != 0;
  }
  RunOnHost(L"Z:\\usr\\bin\\ln", {"-s", UnixPath(target), UnixPath(path)},
            [&] { return Exists(path); });
  return Exists(path);
}

// A registry link's target is a path of the registry's own: HKEY_CURRENT_USER
// is \Registry\User\<the user's SID>.
bool MakeUserRegistryLink(const std::wstring& path, const std::wstring& target) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  win32::ScopedKernelObject token(raw);
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  LPWSTR sid = nullptr;
  if (!::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
    return false;
  }
  std::wstring link = std::wstring(L"\\Registry\\User\\") + sid + L"\\" + target;
  ::LocalFree(sid);
  win32::ScopedRegKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                        REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return ::RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK,
                          reinterpret_cast<const BYTE*>(link.c_str()),
                          static_cast<DWORD>(link.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring W(const std::string& text) { return win32::Wide(text).get(); }

class Win32World : public World {
 public:
  Win32World() {
    static int counter = 0;
    root_ = platform_.TempFolder() + "qs-contract-" + std::to_string(::GetCurrentProcessId()) +
            "-" + std::to_string(++counter);
    RemoveTree(root_);
    ::CreateDirectoryW(win32::Wide(root_), nullptr);
  }
  // Wine cannot remove a Unix link to a folder: the host removes what is left.
  ~Win32World() override {
    RemoveTree(root_);
    const std::wstring root = W(root_);
    if (Exists(root) && !UnixPath(root).empty()) {
      RunOnHost(L"Z:\\usr\\bin\\rm", {"-rf", UnixPath(root)}, [&] { return !Exists(root); });
    }
  }
  Platform& platform() override { return platform_; }
  std::string root() override { return root_; }
  bool MakeLink(const std::string& path, const std::string& target, bool folder) override {
    return MakeSymbolicLink(W(path), W(target), folder);
  }
  bool MakeHardLink(const std::string& path, const std::string& existing) override {
    return ::CreateHardLinkW(W(path).c_str(), W(existing).c_str(), nullptr) != 0;
  }
  bool MakeRegistryLink(const std::string& path, const std::string& target) override {
    return MakeUserRegistryLink(W(path), W(target));
  }

 private:
  win32::Win32Platform platform_;
  std::string root_;
};

}  // namespace

std::unique_ptr<World> MakeWorld() { return std::make_unique<Win32World>(); }

}  // namespace qs::contract

int main(int argc, char** argv) {
  qs::win32::ComInitialization com;  // shell links need it, as in the program
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
