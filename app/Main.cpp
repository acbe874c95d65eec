#include "app/Main.h"

#include "app/Back.h"
#include "core/Texts.h"

namespace qs::app {
namespace {

constexpr int kClientWidth = 489;
constexpr int kClientHeight = 313;
constexpr int kIdYes = 6;

}  // namespace

TfrmMain::TfrmMain(TfrmBack& back) : frmBack_(back) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT rect = {0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&rect, style, FALSE, WS_EX_CONTROLPARENT);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateForm("TfrmMain", text::kAppTitle, style, WS_EX_CONTROLPARENT, x, y, width, height,
             back.handle(), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  font_ = MakeFont(kFacePGothic, 12);
  ::SendMessageA(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

int TfrmMain::ShowModal() {
  modalResult_ = 0;
  Application& app = Application::Instance();
  app.SetDialogWindow(handle());
  ::ShowWindow(handle(), SW_SHOW);
  ::SetForegroundWindow(handle());
  ::PostMessageA(handle(), kMsgActivated, 0, 0);
  MSG msg;
  for (;;) {
    if (::GetMessageA(&msg, nullptr, 0, 0) <= 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    app.Pump(msg);
    if (modalResult_ != 0) {
      if (FormCloseQuery()) break;
      modalResult_ = 0;
    }
  }
  app.SetDialogWindow(nullptr);
  ::ShowWindow(handle(), SW_HIDE);
  return modalResult_;
}

void TfrmMain::FormActivate() {
  ::EnableMenuItem(::GetSystemMenu(handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
}

bool TfrmMain::FormCloseQuery() {
  if (frmBack_.Enabled()) return true;
  int answer = ::MessageBoxA(handle(), text::kCloseQueryText, text::kCloseQueryCaption,
                             MB_YESNO | MB_ICONQUESTION);
  if (answer != kIdYes) return false;
  frmBack_.Enable();
  modalResult_ = 1;
  return true;
}

LRESULT TfrmMain::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgActivated:
      FormActivate();
      return 0;
    case WM_CLOSE:
      // A close request (system menu, shutdown) goes through the close query
      // of the modal loop.
      if (modalResult_ == 0) modalResult_ = 2;
      return 0;
    case WM_QUERYENDSESSION:
      return FormCloseQuery() ? TRUE : FALSE;
    default:
      return Form::WndProc(msg, wp, lp);
  }
}

}  // namespace qs::app
