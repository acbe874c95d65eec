#include "ui/FldrDlg.h"

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"

namespace qs::ui {

TFolderDialog::TFolderDialog(HWND owner) : owner_(owner) {}

bool TFolderDialog::Execute() {
  wchar_t buffer[MAX_PATH + 1] = {};
  win32::Wide title(Title);
  BROWSEINFOW request = {};
  request.hwndOwner = owner_;
  request.pidlRoot = Root;
  request.pszDisplayName = buffer;
  request.lpszTitle = title;
  request.ulFlags = BrowseFlags(Options);
  request.lpfn = Callback;
  request.lParam = CallbackParam;
  win32::ScopedItemIdList list(::SHBrowseForFolderW(&request));
  if (!list) return false;
  // The path replaces the display name the browser put into the buffer.
  ::SHGetPathFromIDListW(list.get(), buffer);
  buffer[MAX_PATH] = L'\0';
  FolderName = win32::Narrow(buffer);
  ImageIndex = request.iImage;
  return true;
}

}  // namespace qs::ui
