// The Win32 frame of the program: the application window that carries the
// application title (the taskbar text), window classes, fonts, the message
// pump, and the one place where a run's error becomes the standard report.
#pragma once

#include <string>

#include "platform/win32/Handles.h"
#include "platform/win32/WinApi.h"
#include "platform/win32/Wide.h"

namespace qs::app {

inline constexpr UINT kMsgActivated = WM_APP + 1;  // posted once after a form is shown

// A top-level window with a C++ object behind it. Messages reach WndProc;
// a SetupError thrown there is reported and does not cross the Win32 frame.
class Form {
 public:
  virtual ~Form();
  HWND handle() const { return hwnd_; }

 protected:
  // Registers the class (once) and creates the window.
  void CreateForm(const wchar_t* className, const char* caption, DWORD style, DWORD exStyle,
                  int x, int y, int width, int height, HWND owner, HBRUSH background);
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  // Called after a run's error has been reported.
  virtual void AfterError() {}

 private:
  static LRESULT CALLBACK Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

class Application {
 public:
  static Application& Instance();

  // Creates the application window with the title.
  void Initialize(HINSTANCE instance, const char* title);
  HINSTANCE instance() const { return instance_; }
  HWND handle() const { return hwnd_; }

  // The window whose keyboard interface (Tab, Alt+letter) the pump serves,
  // with its own tab handler.
  using TabHandler = bool (*)(void* context, const MSG& msg);
  void SetDialogWindow(HWND hwnd, TabHandler tab = nullptr, void* context = nullptr) {
    dialog_ = hwnd;
    tab_ = tab;
    tabContext_ = context;
  }
  // Translates and dispatches one message.
  void Pump(MSG& msg);
  // Handles every pending message, then returns. false once WM_QUIT was seen
  // (it is posted again for the outer loop).
  bool ProcessMessages();
  // Runs the message loop until WM_QUIT; returns its exit code.
  int Run();
  void Terminate() { ::PostQuitMessage(0); }
  // A close request to any of the program's windows: the main window's close
  // question decides while it is shown; without it the program ends.
  void RequestClose();
  // The main window's answer to a shutdown query (TRUE without one).
  LRESULT QueryEndSession(WPARAM wp, LPARAM lp);

  // The standard error report: a message box captioned with the application
  // title, error icon, OK.
  void ShowError(const std::string& message);

 private:
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND dialog_ = nullptr;
  TabHandler tab_ = nullptr;
  void* tabContext_ = nullptr;
};

// A font of the given face and character height, in the Shift-JIS character
// set: a system without the face picks a Japanese font of its own.
win32::ScopedFont MakeFont(const wchar_t* face, int height, bool italic = false,
                           bool fixedPitch = false);
inline constexpr const wchar_t* kFacePGothic = L"ＭＳ Ｐゴシック";
inline constexpr const wchar_t* kFaceGothic = L"ＭＳ ゴシック";

}  // namespace qs::app
