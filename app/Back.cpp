#include "app/Back.h"

#include "flow/ControlIds.h"
#include "app/MainWindow.h"
#include "core/Texts.h"

namespace qs::app {
namespace {

constexpr COLORREF kTeal = RGB(0, 128, 128);

}  // namespace

TfrmBack::TfrmBack() : teal_(::CreateSolidBrush(kTeal)) {
  // Single fixed border with a caption bar but no border icons; disabled, so
  // it never takes input.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_DISABLED | WS_CLIPCHILDREN;
  RECT rect = {0, 0, 536, 348};
  ::AdjustWindowRectEx(&rect, style, FALSE, 0);
  CreateForm(L"TfrmBack", text::kBackCaption, style, 0, 200, 107, rect.right - rect.left,
             rect.bottom - rect.top, Application::Instance().handle(), teal_.get());
  windowFont_ = MakeFont(kFacePGothic, 12);
  titleFont_ = MakeFont(kFacePGothic, 32, true);
  ::SendMessageW(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
  lblBackTitle_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 16, 16,
                                    769, 32, handle(), reinterpret_cast<HMENU>(ids::kLblBackTitle),
                                    Application::Instance().instance(), nullptr);
  ::SendMessageW(lblBackTitle_, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.get()), FALSE);
}

void TfrmBack::Show() {
  ::ShowWindow(handle(), SW_SHOWMAXIMIZED);
  ::UpdateWindow(handle());
  ::PostMessageW(handle(), kMsgActivated, 0, 0);
}

void TfrmBack::SetTitle(const std::string& title) {
  ::SetWindowTextW(lblBackTitle_, win32::Wide(title));
}

void TfrmBack::FormActivate() {
  frmMain_->ShowModal();
  ::DestroyWindow(handle());
  Application::Instance().Terminate();
}

LRESULT TfrmBack::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgActivated:
      // Posted once the window is shown: its activation starts the main window.
      if (!activated_) {
        activated_ = true;
        FormActivate();
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetTextColor(dc, RGB(255, 255, 255));
      ::SetBkColor(dc, kTeal);
      return reinterpret_cast<LRESULT>(teal_.get());
    }
    case WM_CLOSE:
      Application::Instance().RequestClose();
      return 0;
    case WM_QUERYENDSESSION:
      return Application::Instance().QueryEndSession(wp, lp);
    default:
      return Form::WndProc(msg, wp, lp);
  }
}

}  // namespace qs::app
