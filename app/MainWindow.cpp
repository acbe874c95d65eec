#include "app/MainWindow.h"

#include <commctrl.h>

#include <vector>

#include "app/Back.h"
#include "flow/ControlIds.h"
#include "app/GroupBox.h"
#include "flow/MainLayout.h"
#include "core/Texts.h"

namespace qs::app {
namespace {

struct WindowKind {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

WindowKind KindOf(const ControlSpec& spec) {
  switch (spec.kind) {
    case ControlKind::GroupBox:
      return {kGroupBoxClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::Edit:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::CheckBox:
      return {L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case ControlKind::Label:
      return {L"STATIC",
              static_cast<DWORD>(spec.font == FontKind::Status ? SS_CENTER | SS_CENTERIMAGE
                                                               : SS_LEFTNOWORDWRAP),
              0};
    case ControlKind::Memo:
      return {L"EDIT", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::Progress:
      return {PROGRESS_CLASSW, 0, 0};
  }
  return {L"STATIC", 0, 0};
}

// comctl32 is not in the import table: it comes from the system folder.
HMODULE LoadCommonControls() {
  HMODULE module = ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitEx>(
      reinterpret_cast<void*>(::GetProcAddress(module, "InitCommonControlsEx")));
  if (init) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    init(&icc);
  }
  return module;
}

bool TabHandler(void* context, const MSG& msg) {
  return static_cast<TfrmMain*>(context)->HandleTab(msg);
}

}  // namespace

TfrmMain::TfrmMain(TfrmBack& back, Platform& platform, InstallPlan& plan)
    : frmBack_(back), form_(platform, *this, plan), commonControls_(LoadCommonControls()) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT rect = {0, 0, kMainClientWidth, kMainClientHeight};
  ::AdjustWindowRectEx(&rect, style, FALSE, WS_EX_CONTROLPARENT);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateForm(L"TfrmMain", text::kAppTitle, style, WS_EX_CONTROLPARENT, x, y, width, height,
             back.handle(), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  windowFont_ = MakeFont(kFacePGothic, 12);
  folderFont_ = MakeFont(kFacePGothic, 16);
  statusFont_ = MakeFont(kFacePGothic, 13);
  readmeFont_ = MakeFont(kFaceGothic, 12, false, true);
  ::SendMessageW(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
  CreateControls();
  dlgFolder_ = std::make_unique<ui::TFolderDialog>(handle());
  dlgFolder_->Title = text::kDlgFolderTitle;
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateControls() {
  HINSTANCE instance = Application::Instance().instance();
  RegisterGroupBox(instance);
  for (const ControlSpec& spec : MainControls()) {
    WindowKind kind = KindOf(spec);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style | (spec.visible ? WS_VISIBLE : 0) |
                  (spec.enabled ? 0 : WS_DISABLED);
    HWND parent = spec.parent ? Control(spec.parent) : handle();
    HWND hwnd = ::CreateWindowExW(kind.exStyle, kind.className, win32::Wide(spec.text), style,
                                  spec.x, spec.y, spec.width, spec.height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                  instance, nullptr);
    controls_.push_back({spec.id, hwnd});
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(spec.font)), FALSE);
    if (spec.checked) ::SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    switch (spec.kind) {
      case ControlKind::Progress:
        ::SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
        ::SendMessageW(hwnd, PBM_SETSTEP, 5, 0);
        break;
      case ControlKind::Memo:
        ::SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
        break;
      default:
        break;
    }
    // Later controls lie above earlier ones; labels lie beneath everything
    // else of their parent.
    ::SetWindowPos(hwnd, spec.kind == ControlKind::Label ? HWND_BOTTOM : HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

HFONT TfrmMain::FontFor(FontKind kind) const {
  switch (kind) {
    case FontKind::Folder: return folderFont_.get();
    case FontKind::Status: return statusFont_.get();
    case FontKind::Readme: return readmeFont_.get();
    default: return windowFont_.get();
  }
}

HWND TfrmMain::Control(int id) const {
  for (const auto& [known, hwnd] : controls_) {
    if (known == id) return hwnd;
  }
  return nullptr;
}

int TfrmMain::ShowModal() {
  modalResult_ = 0;
  Application& app = Application::Instance();
  app.SetDialogWindow(handle(), TabHandler, this);
  ::ShowWindow(handle(), SW_SHOW);
  ::SetForegroundWindow(handle());
  ::PostMessageW(handle(), kMsgActivated, 0, 0);
  MSG msg;
  for (;;) {
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      // The program is told to end with no question possible: end it as a
      // Yes to the close question would.
      quitting_ = true;
      form_.EndWithoutQuestion();
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    app.Pump(msg);
    if (modalResult_ != 0) {
      if (form_.FormCloseQuery()) break;
      modalResult_ = 0;
    }
  }
  app.SetDialogWindow(nullptr);
  ::ShowWindow(handle(), SW_HIDE);
  return modalResult_;
}

bool TfrmMain::HandleTab(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
  if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
  std::vector<HWND> stops;
  for (int id : MainTabOrder()) {
    HWND hwnd = Control(id);
    if (hwnd && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd) &&
        (::GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP)) {
      stops.push_back(hwnd);
    }
  }
  if (stops.empty()) return true;
  HWND focus = ::GetFocus();
  size_t at = stops.size();
  for (size_t i = 0; i < stops.size(); ++i) {
    if (stops[i] == focus) at = i;
  }
  bool back = ::GetKeyState(VK_SHIFT) < 0;
  size_t next = at == stops.size() ? (back ? stops.size() - 1 : 0)
                : back             ? (at + stops.size() - 1) % stops.size()
                                   : (at + 1) % stops.size();
  ::SetFocus(stops[next]);
  wchar_t className[16] = {};
  ::GetClassNameW(stops[next], className, 16);
  if (::lstrcmpiW(className, L"EDIT") == 0) ::SendMessageW(stops[next], EM_SETSEL, 0, -1);
  return true;
}

void TfrmMain::SetText(int id, const std::string& text) {
  ::SetWindowTextW(Control(id), win32::Wide(text));
}

std::string TfrmMain::Text(int id) {
  HWND hwnd = Control(id);
  std::vector<wchar_t> text(::GetWindowTextLengthW(hwnd) + 1, L'\0');
  int n = ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
  return win32::Narrow(text.data(), n);
}

void TfrmMain::SetVisible(int id, bool visible) {
  ::ShowWindow(Control(id), visible ? SW_SHOWNA : SW_HIDE);
}

bool TfrmMain::Visible(int id) {
  return (::GetWindowLongW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TfrmMain::SetEnabled(int id, bool enabled) { ::EnableWindow(Control(id), enabled); }

bool TfrmMain::Enabled(int id) { return ::IsWindowEnabled(Control(id)) != 0; }

bool TfrmMain::Checked(int id) {
  return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TfrmMain::SetProgress(int percent) {
  ::SendMessageW(Control(ids::kPrgStatus), PBM_SETPOS, percent, 0);
}

void TfrmMain::SetCaption(const std::string& caption) {
  ::SetWindowTextW(handle(), win32::Wide(caption));
}

void TfrmMain::DisableCloseCommand() {
  ::EnableMenuItem(::GetSystemMenu(handle(), FALSE), SC_CLOSE,
                   MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
}

void TfrmMain::FocusWindow() {
  ::SetActiveWindow(handle());
  ::SetFocus(handle());
}

void TfrmMain::SetBackTitle(const std::string& title) { frmBack_.SetTitle(title); }

bool TfrmMain::BackEnabled() { return frmBack_.Enabled(); }

void TfrmMain::EnableBack() { frmBack_.Enable(); }

bool TfrmMain::ProcessMessages() {
  if (!Application::Instance().ProcessMessages()) quitting_ = true;
  return !quitting_;
}

int TfrmMain::MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  return ::MessageBoxW(handle(), win32::Wide(text), win32::Wide(caption), flags);
}

std::optional<std::string> TfrmMain::BrowseForFolder() {
  if (!dlgFolder_->Execute()) return std::nullopt;
  return dlgFolder_->FolderName;
}

void TfrmMain::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case ids::kBtnContinue: form_.btnContinueClick(); break;
    case ids::kBtnRefer: form_.btnReferClick(); break;
    case ids::kBtnSetup: form_.btnSetupClick(); break;
    case ids::kBtnEnd: form_.btnEndClick(); break;
    case ids::kBtnCloseErrorLog: form_.btnCloseErrorLogClick(); break;
    case ids::kBtnUnSetup: form_.btnUnSetupClick(); break;
    default: break;
  }
}

void TfrmMain::AfterError() { form_.AfterRunError(); }

LRESULT TfrmMain::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgActivated:
      form_.FormActivate();
      return 0;
    case WM_COMMAND:
      if (lp != 0) OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CLOSE:
      // A close request (system shutdown, a close message) goes through the
      // close query of the modal loop.
      if (modalResult_ == 0) modalResult_ = 2;
      return 0;
    case WM_QUERYENDSESSION:
      // A run is never cut off half-way: the system is asked to wait.
      if (form_.Running()) return FALSE;
      return form_.FormCloseQuery() ? TRUE : FALSE;
    default:
      return Form::WndProc(msg, wp, lp);
  }
}

}  // namespace qs::app
