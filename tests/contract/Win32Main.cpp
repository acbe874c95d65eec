// The contract suite on Windows: each world is a fresh folder under the
// system's temporary folder, removed with everything in it afterwards.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <string>

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
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  ::RemoveDirectoryW(folder.c_str());
}

void RemoveTree(const std::string& folder) { RemoveTree(std::wstring(win32::Wide(folder).get())); }

class Win32World : public World {
 public:
  Win32World() {
    static int counter = 0;
    root_ = platform_.TempFolder() + "qs-contract-" + std::to_string(::GetCurrentProcessId()) +
            "-" + std::to_string(++counter);
    RemoveTree(root_);
    ::CreateDirectoryW(win32::Wide(root_), nullptr);
  }
  ~Win32World() override { RemoveTree(root_); }
  Platform& platform() override { return platform_; }
  std::string root() override { return root_; }

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
