#include "platform/win32/Win32Platform.h"

#include <shlobj.h>
#include <shellapi.h>
#include <objidl.h>

#include <algorithm>
#include <vector>

#include "platform/Arguments.h"
#include "platform/ProfileText.h"
#include "platform/win32/Elevated.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"

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
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return Narrow(buffer.data(), n);
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
  bool SetWriteTime(uint64_t time) override {
    FILETIME written = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    return ::SetFileTime(file_.get(), nullptr, nullptr, &written) != 0;
  }
  bool Close() override {
    bool closed = file_ && ::CloseHandle(file_.release());
    return ok_ && closed;
  }

 private:
  ScopedFile file_;
  bool ok_ = true;
};

constexpr REGSAM kDeleteAccess = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// Opens the key name below parent as itself: a registry link there is
// opened, not followed.
bool OpenUnfollowed(HKEY parent, const wchar_t* name, REGSAM access, ScopedRegKey& key) {
  return ::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, access, key.out()) == ERROR_SUCCESS;
}

bool IsRegistryLink(HKEY key) {
  DWORD type = REG_NONE;
  return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

// Deletes the open key: first its sub-keys, each opened as itself (a link
// among them goes, what it points at stays), then the key through its own
// handle (NtDeleteKey: RegDeleteKey would open the name again, following a
// link).
bool DeleteOpenKey(HKEY key) {
  if (!IsRegistryLink(key)) {
    wchar_t name[256];
    for (;;) {
      DWORD size = 256;
      if (::RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      ScopedRegKey sub;
      if (!OpenUnfollowed(key, name, kDeleteAccess, sub) || !DeleteOpenKey(sub.get())) return false;
    }
  }
  using NtDeleteKey = LONG(WINAPI*)(HANDLE);
  auto deleteKey = reinterpret_cast<NtDeleteKey>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  return deleteKey && deleteKey(key) == 0;
}

// The held file of HoldFile: read access, shared for reading only.
class Held : public HeldFile {
 public:
  explicit Held(ScopedFile file) : file_(std::move(file)) {}
  std::optional<uint64_t> LastWriteTime() override {
    FILETIME time;
    if (!::GetFileTime(file_.get(), nullptr, nullptr, &time)) return std::nullopt;
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  }
  bool CopyTo(const std::string& path) override {
    FILETIME time;
    LARGE_INTEGER start = {};
    ScopedFile out(::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || !::GetFileTime(file_.get(), nullptr, nullptr, &time) ||
        !::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN)) {
      return false;
    }
    std::vector<char> buffer(1 << 16);
    for (DWORD got = 0, put = 0;;) {
      if (!::ReadFile(file_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                      nullptr)) {
        return false;
      }
      if (got == 0) break;
      if (!::WriteFile(out.get(), buffer.data(), got, &put, nullptr) || put != got) return false;
    }
    return ::SetFileTime(out.get(), nullptr, nullptr, &time) && ::CloseHandle(out.release());
  }

 private:
  ScopedFile file_;
};

constexpr DWORD kFileLog = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// A file that exists is opened as it is (never the link at path's end);
// only a file this call makes may be deleted again.
ScopedFile OpenLogFile(const Wide& path, bool& made) {
  ScopedFile file(::CreateFileW(path, kFileLog, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  made = !file && ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if (made) {
    file.reset(::CreateFileW(path, kFileLog | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  }
  return file;
}

std::unique_ptr<FileWriter> CreateWriter(const std::string& path, DWORD disposition) {
  ScopedFile file(::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Writer>(std::move(file));
}


}  // namespace

uint32_t Win32Platform::Attributes(const std::string& path) {
  return ::GetFileAttributesW(Wide(path));
}

bool Win32Platform::SetAttributes(const std::string& path, uint32_t attributes) {
  return ::SetFileAttributesW(Wide(path), attributes) != 0;
}

std::optional<uint64_t> Win32Platform::FileSize(const std::string& path) {
  WIN32_FIND_DATAW data;
  ScopedFind find(::FindFirstFileW(Wide(path), &data));
  if (!find) return std::nullopt;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::optional<uint64_t> Win32Platform::LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data)) return std::nullopt;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

bool Win32Platform::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  return ::CopyFileW(Wide(from), Wide(to), failIfExists) != 0;
}

bool Win32Platform::Move(const std::string& from, const std::string& to) {
  return ::MoveFileW(Wide(from), Wide(to)) != 0;
}

bool Win32Platform::Delete(const std::string& path) { return ::DeleteFileW(Wide(path)) != 0; }

// Opened as itself (a link or junction, not what it points at), checked to
// be at path, and deleted through that handle: a link swapped in on the
// way afterwards changes nothing.
bool Win32Platform::RemoveInPlace(const std::string& path, bool folder) {
  ScopedFile file(::CreateFileW(Wide(path), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !::GetFileInformationByHandle(file.get(), &info) || !OpenedAt(file.get(), path)) {
    return false;
  }
  const bool link = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
  const bool directory = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  if (!link && directory != folder) return false;
  FILE_DISPOSITION_INFO dispose = {TRUE};
  return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof dispose);
}

uint32_t Win32Platform::MakeFolder(const std::string& path) {
  return ::CreateDirectoryW(Wide(path), nullptr) ? 0 : ::GetLastError();
}

bool Win32Platform::RemoveFolder(const std::string& path) {
  return ::RemoveDirectoryW(Wide(path)) != 0;
}

uint32_t Win32Platform::SetCurrentFolder(const std::string& path) {
  return ::SetCurrentDirectoryW(Wide(path)) ? 0 : ::GetLastError();
}

std::unique_ptr<FileReader> Win32Platform::OpenForRead(const std::string& path, bool exclusive) {
  ScopedFile file(::CreateFileW(Wide(path), GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Reader>(std::move(file));
}

std::string Win32Platform::FullPath(const std::string& path) { return FullPathOf(path); }

std::unique_ptr<HeldFile> Win32Platform::HoldFile(const std::string& path) {
  ScopedFile file(::CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Held>(std::move(file));
}

// What this call made is deleted again when it is refused (a link in the
// path led elsewhere): nothing of the program's stays there.
AppendFile Win32Platform::AppendTo(const std::string& path) {
  AppendFile opened;
  bool made = false;
  ScopedFile file = OpenLogFile(Wide(path), made);
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return opened;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      info.nNumberOfLinks != 1 || !OpenedAt(file.get(), path)) {
    FILE_DISPOSITION_INFO dispose = {TRUE};
    if (made) ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof dispose);
    return opened;
  }
  opened.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  opened.writer = std::make_unique<Writer>(std::move(file));
  return opened;
}

std::unique_ptr<FileWriter> Win32Platform::CreateForWrite(const std::string& path) {
  return CreateWriter(path, CREATE_ALWAYS);
}

std::unique_ptr<FileWriter> Win32Platform::CreateNew(const std::string& path) {
  return CreateWriter(path, CREATE_NEW);
}

// The profile functions are our own over the file's bytes: the system's
// would read a file without a byte-order mark in the system's code page.
std::string Win32Platform::ReadProfile(const std::string& section, const std::string& key,
                                       const std::string& defaultValue, const std::string& file,
                                       uint32_t bufferSize) {
  std::optional<std::string> bytes = ReadAll(OpenForRead(file, false));
  std::optional<ProfileText> parsed;
  if (bytes) parsed.emplace(DecodeText(*this, *bytes).text);
  return ProfileLookup(parsed ? &*parsed : nullptr, section, key, defaultValue, bufferSize);
}

bool Win32Platform::WriteProfile(const std::string& section, const std::string& key,
                                 const std::string& value, const std::string& file) {
  std::string bytes = ProfileUpdate(*this, ReadAll(OpenForRead(file, false)), section, key, value);
  std::unique_ptr<FileWriter> writer = CreateWriter(file, CREATE_ALWAYS);
  return writer && writer->Write(bytes.data(), bytes.size()) && writer->Close();
}

std::optional<std::string> Win32Platform::MapString(const std::string& text, uint32_t flags) {
  Wide wide(text);
  int needed = ::LCMapStringW(LOCALE_INVARIANT, flags, wide, wide.size(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<wchar_t> buffer(needed, L'\0');
  if (::LCMapStringW(LOCALE_INVARIANT, flags, wide, wide.size(), buffer.data(), needed) == 0) {
    return std::nullopt;
  }
  return Narrow(buffer.data(), needed);
}

std::optional<std::string> Win32Platform::FromCodePage(uint32_t codePage,
                                                       const std::string& bytes) {
  if (bytes.empty()) return std::string();
  int length = static_cast<int>(bytes.size());
  int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (n == 0) return std::nullopt;
  std::vector<wchar_t> wide(n);
  ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), n);
  return Narrow(wide.data(), n);
}

// No best fit, and only what converts back the same: a look-alike in
// Shift-JIS would name another file.
std::optional<std::string> Win32Platform::ToCodePage(uint32_t codePage, const std::string& text) {
  if (text.empty()) return std::string();
  Wide wide(text);
  BOOL lossy = FALSE;
  int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, wide.size(), nullptr, 0,
                                nullptr, &lossy);
  if (n == 0 || lossy) return std::nullopt;
  std::string bytes(n, '\0');
  ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, wide.size(), bytes.data(), n,
                        nullptr, &lossy);
  if (lossy || FromCodePage(codePage, bytes) != text) return std::nullopt;
  return bytes;
}

bool Win32Platform::CreateRegistryKey(RegRoot root, const std::string& path) {
  ScopedRegKey key;
  return ::RegCreateKeyExW(RootKey(root), Wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, key.out(), nullptr) == ERROR_SUCCESS;
}

bool Win32Platform::SetRegistryValue(RegRoot root, const std::string& path,
                                     const std::string& name, const RegValue& value) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(RootKey(root), Wide(path), 0, KEY_SET_VALUE, key.out()) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result;
  if (value.kind == RegValue::Kind::Dword) {
    DWORD number = value.number;
    result = ::RegSetValueExW(key.get(), Wide(name), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&number), sizeof number);
  } else {
    Wide text(value.text);
    result = ::RegSetValueExW(key.get(), Wide(name), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.get()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  return result == ERROR_SUCCESS;
}

std::optional<RegValue> Win32Platform::GetRegistryValue(RegRoot root, const std::string& path,
                                                        const std::string& name) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(RootKey(root), Wide(path), 0, KEY_QUERY_VALUE, key.out()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  Wide wideName(name);
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key.get(), wideName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> data(size + sizeof(wchar_t), 0);
  if (::RegQueryValueExW(key.get(), wideName, nullptr, &type, data.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value;
  if (type == REG_DWORD && size == 4) {
    value.kind = RegValue::Kind::Dword;
    value.number = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
  } else {
    value.kind = RegValue::Kind::String;
    value.text = Narrow(reinterpret_cast<const wchar_t*>(data.data()));
  }
  return value;
}

// A key whose presence cannot be read counts as there.
bool Win32Platform::RegistryKeyExists(RegRoot root, const std::string& path) {
  ScopedRegKey key;
  LONG result = ::RegOpenKeyExW(RootKey(root), Wide(path), 0, KEY_QUERY_VALUE, key.out());
  return result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED;
}

// Each step of the path is opened as itself; a link on the way ends the
// walk with nothing deleted.
bool Win32Platform::DeleteRegistryTree(RegRoot root, const std::string& path) {
  std::vector<std::string> steps;
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find('\\', start), path.size());
    if (end > start) steps.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  HKEY parent = RootKey(root);
  ScopedRegKey key;
  for (size_t i = 0; i < steps.size(); ++i) {
    const bool last = i + 1 == steps.size();
    if (i > 0 && IsRegistryLink(key.get())) return false;
    ScopedRegKey next;
    if (!OpenUnfollowed(parent, Wide(steps[i]), last ? kDeleteAccess : KEY_QUERY_VALUE, next)) {
      return false;
    }
    key = std::move(next);
    parent = key.get();
  }
  return !steps.empty() && DeleteOpenKey(key.get());
}

std::string Win32Platform::TempFolder() {
  return GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetTempPathW(n, b); });
}

// SYSTEM has a temporary folder of its own on systems that know
// GetTempPath2 (C:\Windows\SystemTemp); GetSystemWindowsDirectory is the
// shared Windows folder even where a user has one of their own.
std::string Win32Platform::AdminTempFolder() {
  using TempPath2 = DWORD(WINAPI*)(DWORD, LPWSTR);
  auto temp2 = reinterpret_cast<TempPath2>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
  if (temp2 && RightsOfProcess() == Rights::System) {
    std::string own = GrowingBuffer([&](wchar_t* b, DWORD n) { return temp2(n, b); });
    if (!own.empty()) return own;
  }
  std::string windows =
      GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetSystemWindowsDirectoryW(b, n); });
  if (windows.empty()) return windows;
  return windows + (windows.back() == '\\' ? "Temp\\" : "\\Temp\\");
}

Rights Win32Platform::ProcessRights() { return RightsOfProcess(); }

std::string Win32Platform::WindowsFolder() {
  return GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetWindowsDirectoryW(b, n); });
}

std::string Win32Platform::SystemFolder() {
  return GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetSystemDirectoryW(b, n); });
}

std::string Win32Platform::ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return Narrow(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string FirstArgumentOf(const char* p) {
  NextArgument(p);  // the program's own name
  return NextArgument(p);
}

std::string Win32Platform::FirstArgument() {
  return FirstArgumentOf(Narrow(::GetCommandLineW()).c_str());
}

std::string Win32Platform::LocalDate() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return std::to_string(now.wYear * 10000u + now.wMonth * 100u + now.wDay);
}

std::string Win32Platform::SpecialFolder(int csidl) {
  ScopedItemIdList list;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, list.out())) || !list) {
    return std::string();
  }
  wchar_t path[MAX_PATH + 1] = {};
  ::SHGetPathFromIDListW(list.get(), path);
  return Narrow(path);
}

PrivateFolder Win32Platform::MakePrivateFolder(const std::string& parent) {
  return MakePrivateFolderIn(parent, RightsOfProcess() != Rights::User);
}

// With more than a user's rights, the file is opened as the user who
// started setup; where the shell offers no way to, as the installer itself.
// The desktop shell does not say whether the open worked, so a file the
// shell has no program for is refused here first, as ShellExecute would
// refuse it. SYSTEM opens nothing: there is no user to open it as.
bool Win32Platform::ShellOpen(const std::string& path) {
  const Rights rights = RightsOfProcess();
  if (rights == Rights::System) return true;
  if (rights == Rights::Administrator) {
    wchar_t program[MAX_PATH + 1] = {};
    if (reinterpret_cast<INT_PTR>(::FindExecutableW(Wide(path), nullptr, program)) <= 32) {
      return false;
    }
    if (OpenAsDesktopUser(path)) return true;
  }
  HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", Wide(path), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

namespace {

class Win32ShellLink : public ShellLink {
 public:
  void SetPath(const std::string& target) override { link_->SetPath(Wide(target)); }
  void SetWorkingDirectory(const std::string& folder) override {
    link_->SetWorkingDirectory(Wide(folder));
  }
  bool Save(const std::string& linkPath) override {
    return SUCCEEDED(file_->Save(Wide(linkPath), FALSE));
  }

  ComPtr<IUnknown> object_;
  ComPtr<IShellLinkW> link_;
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
  if (FAILED(link->object_->QueryInterface(IID_IShellLinkW, link->link_.out())) ||
      FAILED(link->object_->QueryInterface(IID_IPersistFile, link->file_.out()))) {
    result.noInterface = true;
    return result;
  }
  result.link = std::move(link);
  return result;
}

std::string Win32Platform::SystemErrorText(int32_t code) {
  ScopedLocal buffer;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0,
                             reinterpret_cast<wchar_t*>(buffer.out()), 0, nullptr);
  std::string text =
      n && buffer ? Narrow(static_cast<const wchar_t*>(buffer.get()), n) : std::string();
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

uint64_t Win32Platform::Milliseconds() { return ::GetTickCount64(); }

void Win32Platform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

namespace {

// A thread of the process and two semaphores.
class ThreadBeside : public Beside {
 public:
  ThreadBeside() {
    for (ScopedKernelObject& counter : counters_) {
      counter.reset(::CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr));
    }
  }
  ~ThreadBeside() override { Join(); }
  bool Start(void (*work)(void*), void* context) override {
    if (thread_ || !counters_[0] || !counters_[1]) return false;
    work_ = work;
    context_ = context;
    thread_.reset(::CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    return static_cast<bool>(thread_);
  }
  void Join() override {
    if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }
  void Post(int counter) override { ::ReleaseSemaphore(counters_[counter].get(), 1, nullptr); }
  void Await(int counter) override { ::WaitForSingleObject(counters_[counter].get(), INFINITE); }
  bool Ready(int counter) override {
    return ::WaitForSingleObject(counters_[counter].get(), 0) == WAIT_OBJECT_0;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* beside = static_cast<ThreadBeside*>(self);
    beside->work_(beside->context_);
    return 0;
  }

  ScopedKernelObject counters_[2];
  ScopedKernelObject thread_;
  void (*work_)(void*) = nullptr;
  void* context_ = nullptr;
};

}  // namespace

std::unique_ptr<Beside> Win32Platform::MakeBeside() { return std::make_unique<ThreadBeside>(); }

void Win32Platform::Beep() { ::MessageBeep(0); }

}  // namespace qs::win32
