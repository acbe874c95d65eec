// The contract suite on Windows: each world is a fresh folder under the
// system's temporary folder, removed with everything in it afterwards.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"
#include "tests/contract/PlatformContract.h"

namespace qs::contract {
namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  // Closed before the folder goes: an open search keeps it.
  if (win32::ScopedFind find{::FindFirstFileA((folder + "\\*").c_str(), &data)}) {
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
    } while (::FindNextFileA(find.get(), &data));
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
  qs::win32::ComInitialization com;  // shell links need it, as in the program
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
