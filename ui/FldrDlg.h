// TFolderDialog: lets the user pick a folder in the system's folder browser.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/WinApi.h"
#include "ui/FolderOptions.h"

#include <shlobj.h>

namespace qs::ui {

class TFolderDialog {
 public:
  // owner: the window whose handle becomes the browser's parent; the owner
  // destroys the dialog with itself.
  explicit TFolderDialog(HWND owner);

  LPCITEMIDLIST Root = nullptr;  // not owned; none means the desktop
  std::string Title;
  TFolderDlgOptions Options = kDefaultFolderDlgOptions;
  BFFCALLBACK Callback = nullptr;
  LPARAM CallbackParam = 0;
  int32_t ImageIndex = 0;  // output: image index of the folder chosen last
  std::string FolderName;  // output: full path of the folder chosen last

  // Shows the browser modal to the owner. True when the user chose a folder
  // (FolderName and ImageIndex are then set); false, with no field changed,
  // when the user cancelled or the browser could not be opened.
  bool Execute();

 private:
  HWND owner_;
};

}  // namespace qs::ui
