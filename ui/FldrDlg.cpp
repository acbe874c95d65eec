#include "ui/FldrDlg.h"

#include "platform/win32/Handles.h"

namespace qs::ui {

TFolderDialog::TFolderDialog(HWND owner) : owner_(owner) {}

bool TFolderDialog::Execute() {
  char buffer[MAX_PATH + 1] = {};
  BROWSEINFOA request = {};
  request.hwndOwner = owner_;
  request.pidlRoot = Root;
  request.pszDisplayName = buffer;
  request.lpszTitle = Title.c_str();
  request.ulFlags = BrowseFlags(Options);
  request.lpfn = Callback;
  request.lParam = CallbackParam;
  win32::ScopedItemIdList list(::SHBrowseForFolderA(&request));
  if (!list) return false;
  // The path replaces the display name the browser put into the buffer.
  ::SHGetPathFromIDListA(list.get(), buffer);
  buffer[MAX_PATH] = '\0';
  FolderName = buffer;
  ImageIndex = request.iImage;
  return true;
}

}  // namespace qs::ui
