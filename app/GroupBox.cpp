#include "app/GroupBox.h"

namespace qs::app {
namespace {

// The etched frame, halfway down the caption's line, and the caption on it.
void PaintGroupBox(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd, &paint);
  HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HFONT>(::GetWindowLongPtrW(hwnd, 0)));
  TEXTMETRICW metrics;
  ::GetTextMetricsW(dc, &metrics);
  RECT frame;
  ::GetClientRect(hwnd, &frame);
  frame.top += metrics.tmHeight / 2;
  ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  wchar_t caption[512] = {};
  int length = ::GetWindowTextW(hwnd, caption, 512);
  if (length > 0) {
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT text = {8, 0, frame.right - 8, metrics.tmHeight};
    ::DrawTextW(dc, caption, length, &text, DT_SINGLELINE | DT_LEFT | DT_TOP);
  }
  ::SelectObject(dc, oldFont);
  ::EndPaint(hwnd, &paint);
}

void EraseGroupBox(HWND hwnd, HDC dc) {
  RECT rect;
  ::GetClientRect(hwnd, &rect);
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
}

// The children's notifications and colour questions, which the main window
// answers.
bool IsForMainWindow(UINT msg) {
  return msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_CTLCOLORSTATIC ||
         msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORBTN;
}

// The font lives in the window's extra bytes.
LRESULT SetGroupBoxFont(HWND hwnd, WPARAM font, LPARAM redraw) {
  ::SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(font));
  if (LOWORD(redraw)) ::InvalidateRect(hwnd, nullptr, TRUE);
  return 0;
}

// A group box of our own: a real container that clears its inside, draws an
// etched frame with its caption, and passes its children's notifications on
// to the main window. (The system's group box is a button: its children's
// notifications would stop at it.)
LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (IsForMainWindow(msg)) return ::SendMessageW(::GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
  switch (msg) {
    case WM_SETFONT:
      return SetGroupBoxFont(hwnd, wp, lp);
    case WM_GETFONT:
      return ::GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
      LRESULT result = ::DefWindowProcW(hwnd, msg, wp, lp);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_ERASEBKGND:
      EraseGroupBox(hwnd, reinterpret_cast<HDC>(wp));
      return 1;
    case WM_PAINT:
      PaintGroupBox(hwnd);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

void RegisterGroupBox(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (::GetClassInfoExW(instance, kGroupBoxClass, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = GroupBoxProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kGroupBoxClass;
  ::RegisterClassExW(&wc);
}

}  // namespace qs::app
