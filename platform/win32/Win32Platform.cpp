#include "platform/win32/Win32Platform.h"

#include <shlobj.h>
#include <shellapi.h>
#include <objidl.h>

#include <vector>

#include "platform/Arguments.h"
#include "platform/win32/Elevated.h"
#include "platform/win32/Handles.h"

namespace qs::win32 {
namespace {

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

// Calls a Win32 "fill this buffer" function that returns the length it wrote,
// or the size it needs when the buffer is too small; empty on failure.
template <typename Fn>
std::string GrowingBuffer(Fn fill) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(n + 1);
  }
}

class Reader : public FileReader {
 public:
  explicit Reader(ScopedFile file) : file_(std::move(file)) {}
  int64_t Read(void* buffer, size_t size) override {
    DWORD got = 0;
    DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!::ReadFile(file_.get(), buffer, want, &got, nullptr)) return -1;
    return got;
  }

 private:
  ScopedFile file_;
};

class Writer : public FileWriter {
 public:
  explicit Writer(ScopedFile file) : file_(std::move(file)) {}
  bool Write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0 && ok_) {
      DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size), put = 0;
      ok_ = ::WriteFile(file_.get(), p, chunk, &put, nullptr) && put == chunk;
      p += put;
      size -= put;
    }
    return ok_;
  }
  bool Close() override {
    bool closed = file_ && ::CloseHandle(file_.release());
    return ok_ && closed;
  }

 private:
  ScopedFile file_;
  bool ok_ = true;
};

bool DeleteKeyTree(HKEY parent, const std::string& path) {
  {
    ScopedRegKey key;
    if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, key.out()) !=
        ERROR_SUCCESS) {
      return false;
    }
    // Delete the first sub-key until none is left.
    char name[256];
    for (;;) {
      DWORD size = sizeof name;
      if (::RegEnumKeyExA(key.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      if (!DeleteKeyTree(key.get(), name)) return false;
    }
  }
  return ::RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}

std::unique_ptr<FileWriter> CreateWriter(const std::string& path, DWORD disposition) {
  ScopedFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Writer>(std::move(file));
}

}  // namespace

uint32_t Win32Platform::Attributes(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

bool Win32Platform::SetAttributes(const std::string& path, uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}

std::optional<uint64_t> Win32Platform::FileSize(const std::string& path) {
  WIN32_FIND_DATAA data;
  ScopedFind find(::FindFirstFileA(path.c_str(), &data));
  if (!find) return std::nullopt;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::optional<uint64_t> Win32Platform::LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

bool Win32Platform::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  return ::CopyFileA(from.c_str(), to.c_str(), failIfExists) != 0;
}

bool Win32Platform::Move(const std::string& from, const std::string& to) {
  return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool Win32Platform::Delete(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

uint32_t Win32Platform::MakeFolder(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) ? 0 : ::GetLastError();
}

bool Win32Platform::RemoveFolder(const std::string& path) {
  return ::RemoveDirectoryA(path.c_str()) != 0;
}

uint32_t Win32Platform::SetCurrentFolder(const std::string& path) {
  return ::SetCurrentDirectoryA(path.c_str()) ? 0 : ::GetLastError();
}

std::unique_ptr<FileReader> Win32Platform::OpenForRead(const std::string& path, bool exclusive) {
  ScopedFile file(::CreateFileA(path.c_str(), GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Reader>(std::move(file));
}

std::string Win32Platform::FullPath(const std::string& path) {
  DWORD size = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::vector<char> buffer(size + 1, '\0');
  DWORD n = ::GetFullPathNameA(path.c_str(), size, buffer.data(), nullptr);
  return n == 0 || n >= size ? path : std::string(buffer.data(), n);
}

std::unique_ptr<FileWriter> Win32Platform::CreateForWrite(const std::string& path) {
  return CreateWriter(path, CREATE_ALWAYS);
}

std::unique_ptr<FileWriter> Win32Platform::CreateNew(const std::string& path) {
  return CreateWriter(path, CREATE_NEW);
}

std::string Win32Platform::ReadProfile(const std::string& section, const std::string& key,
                                       const std::string& defaultValue, const std::string& file,
                                       uint32_t bufferSize) {
  std::vector<char> buffer(bufferSize + 1, '\0');
  DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                       buffer.data(), bufferSize, file.c_str());
  return std::string(buffer.data(), n);
}

bool Win32Platform::WriteProfile(const std::string& section, const std::string& key,
                                 const std::string& value, const std::string& file) {
  return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                      file.c_str()) != 0;
}

void Win32Platform::FlushProfile(const std::string& file) {
  ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

std::optional<std::string> Win32Platform::MapString(const std::string& text, uint32_t flags) {
  int length = static_cast<int>(text.size());
  int needed = ::LCMapStringA(LOCALE_SYSTEM_DEFAULT, flags, text.data(), length, nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<char> buffer(needed + 1, '\0');
  if (::LCMapStringA(LOCALE_SYSTEM_DEFAULT, flags, text.data(), length, buffer.data(), needed) ==
      0) {
    return std::nullopt;
  }
  return std::string(buffer.data());
}

uint32_t Win32Platform::AnsiCodePage() { return ::GetACP(); }

bool Win32Platform::CreateRegistryKey(RegRoot root, const std::string& path) {
  ScopedRegKey key;
  return ::RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, key.out(), nullptr) == ERROR_SUCCESS;
}

bool Win32Platform::SetRegistryValue(RegRoot root, const std::string& path,
                                     const std::string& name, const RegValue& value) {
  ScopedRegKey key;
  if (::RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_SET_VALUE, key.out()) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result;
  if (value.kind == RegValue::Kind::Dword) {
    DWORD number = value.number;
    result = ::RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&number), sizeof number);
  } else {
    result = ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.text.c_str()),
                              static_cast<DWORD>(value.text.size() + 1));
  }
  return result == ERROR_SUCCESS;
}

std::optional<RegValue> Win32Platform::GetRegistryValue(RegRoot root, const std::string& path,
                                                        const std::string& name) {
  ScopedRegKey key;
  if (::RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> data(size + 1, 0);
  if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value;
  if (type == REG_DWORD && size == 4) {
    value.kind = RegValue::Kind::Dword;
    value.number = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
  } else {
    value.kind = RegValue::Kind::String;
    value.text = reinterpret_cast<const char*>(data.data());
  }
  return value;
}

bool Win32Platform::DeleteRegistryTree(RegRoot root, const std::string& path) {
  return !path.empty() && DeleteKeyTree(RootKey(root), path);
}

std::string Win32Platform::TempFolder() {
  return GrowingBuffer([](char* b, DWORD n) { return ::GetTempPathA(n, b); });
}

std::string Win32Platform::WindowsFolder() {
  return GrowingBuffer([](char* b, DWORD n) { return ::GetWindowsDirectoryA(b, n); });
}

std::string Win32Platform::SystemFolder() {
  return GrowingBuffer([](char* b, DWORD n) { return ::GetSystemDirectoryA(b, n); });
}

std::string Win32Platform::ModulePath() {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string FirstArgumentOf(const char* p) {
  NextArgument(p);  // the program's own name
  return NextArgument(p);
}

std::string Win32Platform::FirstArgument() { return FirstArgumentOf(::GetCommandLineA()); }

std::string Win32Platform::SpecialFolder(int csidl) {
  ScopedItemIdList list;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, list.out())) || !list) {
    return std::string();
  }
  char path[MAX_PATH + 1] = {};
  ::SHGetPathFromIDListA(list.get(), path);
  return path;
}

std::string Win32Platform::MakePrivateFolder(const std::string& parent) {
  return MakePrivateFolderIn(parent, RunsElevated());
}

// Elevated, the file is opened as the user who started setup; where the
// shell offers no way to, as the installer itself. The desktop shell does
// not say whether the open worked, so a file the shell has no program for
// is refused here first, as ShellExecute would refuse it.
bool Win32Platform::ShellOpen(const std::string& path) {
  if (RunsElevated()) {
    char program[MAX_PATH + 1] = {};
    if (reinterpret_cast<INT_PTR>(::FindExecutableA(path.c_str(), nullptr, program)) <= 32) {
      return false;
    }
    if (OpenAsDesktopUser(path)) return true;
  }
  HINSTANCE result = ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

namespace {

class Win32ShellLink : public ShellLink {
 public:
  void SetPath(const std::string& target) override { link_->SetPath(target.c_str()); }
  void SetWorkingDirectory(const std::string& folder) override {
    link_->SetWorkingDirectory(folder.c_str());
  }
  bool Save(const std::string& linkPath) override {
    int n = ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(n > 0 ? n : 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), n);
    return SUCCEEDED(file_->Save(wide.data(), FALSE));
  }

  ComPtr<IUnknown> object_;
  ComPtr<IShellLinkA> link_;
  ComPtr<IPersistFile> file_;
};

}  // namespace

ShellLinkResult Win32Platform::CreateShellLink() {
  auto link = std::make_unique<Win32ShellLink>();
  ShellLinkResult result;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_IUnknown, link->object_.out());
  if (FAILED(hr)) {
    result.error = hr;
    return result;
  }
  if (FAILED(link->object_->QueryInterface(IID_IShellLinkA, link->link_.out())) ||
      FAILED(link->object_->QueryInterface(IID_IPersistFile, link->file_.out()))) {
    result.noInterface = true;
    return result;
  }
  result.link = std::move(link);
  return result;
}

std::string Win32Platform::SystemErrorText(int32_t code) {
  ScopedLocal buffer;
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0,
                             reinterpret_cast<char*>(buffer.out()), 0, nullptr);
  std::string text =
      n && buffer ? std::string(static_cast<const char*>(buffer.get()), n) : std::string();
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

void Win32Platform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32Platform::Beep() { ::MessageBeep(0); }

}  // namespace qs::win32
