#include "app/Application.h"

#include "core/SetupError.h"
#include "core/Texts.h"

namespace qs::app {

Form::~Form() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
}

void Form::CreateForm(const wchar_t* className, const char* caption, DWORD style,
                      DWORD exStyle, int x, int y, int width, int height, HWND owner,
                      HBRUSH background) {
  HINSTANCE instance = Application::Instance().instance();
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (!::GetClassInfoExW(instance, className, &wc)) {
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Dispatch;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    ::RegisterClassExW(&wc);
  }
  hwnd_ = ::CreateWindowExW(exStyle, className, win32::Wide(caption), style, x, y, width, height,
                            owner, nullptr, instance, this);
}

LRESULT Form::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK Form::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* form = static_cast<Form*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return ::DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return form->WndProc(msg, wp, lp);
  } catch (const SetupError& error) {
    Application::Instance().ShowError(error.what());
    form->AfterError();
    return 0;
  }
}

Application& Application::Instance() {
  static Application application;
  return application;
}

namespace {
// The taskbar's "close" and "End task" come here. Left to the default, they
// would destroy every window the application owns and leave the process
// running without one.
LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Application& app = Application::Instance();
  switch (msg) {
    case WM_CLOSE:
      app.RequestClose();
      return 0;
    case WM_QUERYENDSESSION:
      return app.QueryEndSession(wp, lp);
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}
}  // namespace

void Application::Initialize(HINSTANCE instance, const char* title) {
  instance_ = instance;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = AppWndProc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = L"TApplication";
  ::RegisterClassExW(&wc);
  // A visible window of no size: its caption is the taskbar text, and it owns
  // the program's windows so that they have no taskbar buttons of their own.
  int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
  hwnd_ = ::CreateWindowExW(0, L"TApplication", win32::Wide(title), WS_POPUP | WS_CLIPSIBLINGS,
                            x, y, 0, 0, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

void Application::RequestClose() {
  if (dialog_ && ::IsWindow(dialog_)) {
    ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
  } else {
    Terminate();
  }
}

LRESULT Application::QueryEndSession(WPARAM wp, LPARAM lp) {
  if (dialog_ && ::IsWindow(dialog_)) return ::SendMessageW(dialog_, WM_QUERYENDSESSION, wp, lp);
  return TRUE;
}

void Application::Pump(MSG& msg) {
  if (dialog_ && ::IsWindowEnabled(dialog_)) {
    // The window's own tab order first: the dialog manager follows the order
    // the controls were created in, not the order the layout lists.
    if (tab_ && tab_(tabContext_, msg)) return;
    if (::IsDialogMessageW(dialog_, &msg)) return;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

bool Application::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    Pump(msg);
  }
  return true;
}

int Application::Run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) Pump(msg);
  return static_cast<int>(msg.wParam);
}

void Application::ShowError(const std::string& message) {
  ::MessageBoxW(dialog_ ? dialog_ : hwnd_, win32::Wide(ErrorReportText(message)),
                win32::Wide(text::kAppTitle), MB_OK | MB_ICONERROR);
}

win32::ScopedFont MakeFont(const wchar_t* face, int height, bool italic, bool fixedPitch) {
  return win32::ScopedFont(::CreateFontW(
      -height, 0, 0, 0, FW_NORMAL, italic ? TRUE : FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
      (fixedPitch ? FIXED_PITCH : VARIABLE_PITCH) | FF_DONTCARE, face));
}

}  // namespace qs::app
