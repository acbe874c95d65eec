// The contract suite on Windows: each world is a fresh folder under the
// system's temporary folder, removed with everything in it afterwards.
#include <gtest/gtest.h>

#include <string>

#include <objbase.h>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinApi.h"
#include "tests/contract/PlatformContract.h"

namespace qs::contract {
namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(folder.c_str());
}

class Win32World : public World {
 public:
  Win32World() {
    static int counter = 0;
    root_ = platform_.TempFolder() + "qs-contract-" + std::to_string(::GetCurrentProcessId()) +
            "-" + std::to_string(++counter);
    RemoveTree(root_);
    ::CreateDirectoryA(root_.c_str(), nullptr);
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
  ::CoInitialize(nullptr);  // shell links need it, as in the program
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  ::CoUninitialize();
  return result;
}
