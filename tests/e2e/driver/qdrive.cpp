// qdrive: a small automation driver for the end-to-end tests.
//
// Runs under the same Wine prefix and display as the program under test and
// prints what it finds as UTF-8, one record per line, fields separated by
// tabs, texts with \r, \n, \t and \\ escaped. Exit code 0 on success, 1 when
// the window or control was not found in time, 2 on a usage error; a
// failure always says what failed on stderr, so that an exit with nothing
// said is Wine's.
//
//   qdrive windows                          every visible top-level window
//   qdrive wait   WINDOW [-t MS]            wait until the window exists
//   qdrive gone   WINDOW [-t MS]            wait until it no longer exists
//   qdrive count  WINDOW                    how many such windows exist
//   qdrive dump   WINDOW                    the window and all its controls
//                                           (check boxes: checked; progress
//                                           bars: pos)
//   qdrive click  WINDOW ID                 post BM_CLICK to control ID
//   qdrive settext WINDOW ID TEXT           set a control's text
//   qdrive close  WINDOW                    post WM_CLOSE
//   qdrive answer CAPTION BUTTON [-t MS]    answer a message box (#32770) by
//                                           caption ("*": any): prints its
//                                           text, clicks the button (IDOK 1,
//                                           IDCANCEL 2, IDYES 6, IDNO 7)
//   qdrive pixel  X Y                       the screen pixel as RRGGBB
//   qdrive mouse  X Y                       a left click at a screen point
//                                           (queued, as keys)
//   qdrive foreground                       the foreground window's class
//   qdrive focus  WINDOW                    the id of the control with the focus
//   qdrive state  WINDOW ID STATE [-t MS]   wait until control ID (0: the
//                                           window itself) is "enabled"
//                                           (visible and enabled), "hidden"
//                                           or "focused"; prints the focus's
//                                           id at the end
//   qdrive launch MS PROGRAM [ARG...]       start a program and wait up to MS
//                                           for its end, watching for visible
//                                           top-level windows of its own:
//                                           prints "exit=CODE windows=N"
//   qdrive keys   KEY...                    keystrokes: TAB, SHIFT+TAB, ALT+R
//                                           ... (queued: wait for their
//                                           effect)
//   qdrive screenshot FILE.png              the whole screen as a PNG
//   qdrive capture WINDOW FILE.png [X Y W H] the window's client area (or a
//                                           part of it) as a PNG
//   qdrive regget KEY VALUE                 a registry value as "TYPE DATA"
//                                           (REG_SZ text, REG_DWORD 0xff), read
//                                           with the W functions; exit code 1
//                                           when the key or value is missing,
//                                           3 when reading it fails otherwise
//
// WINDOW is "class:NAME" (window class) or a caption.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TextOf(HWND hwnd) {
  // WM_GETTEXT through SendMessageTimeout, so a busy program cannot hang us.
  wchar_t buffer[8192] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 8191, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      2000, &got);
  return ToUtf8(buffer);
}

std::string ClassOf(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 255);
  return ToUtf8(buffer);
}

struct Finder {
  std::string spec;
  std::vector<HWND> found;
};

bool Matches(HWND hwnd, const std::string& spec) {
  if (spec.rfind("class:", 0) == 0) return ClassOf(hwnd) == spec.substr(6);
  return TextOf(hwnd) == spec;
}

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lp) {
  auto* finder = reinterpret_cast<Finder*>(lp);
  if (Matches(hwnd, finder->spec)) finder->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> FindTop(const std::string& spec) {
  Finder finder{spec, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&finder));
  return finder.found;
}

HWND WaitFor(const std::string& spec, DWORD timeout, bool visibleOnly = false) {
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND hwnd : FindTop(spec)) {
      if (!visibleOnly || IsWindowVisible(hwnd)) return hwnd;
    }
    if (GetTickCount() - start >= timeout) return nullptr;
    Sleep(50);
  }
}

void PrintWindow(const char* kind, HWND hwnd, HWND parent) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  POINT origin{rect.left, rect.top};
  if (parent) ScreenToClient(parent, &origin);
  LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  std::printf("%s\tid=%d\tclass=%s\tparent=%d\tx=%ld\ty=%ld\tw=%ld\th=%ld\tvisible=%d\tenabled=%d",
              kind, parent ? GetDlgCtrlID(hwnd) : 0, ClassOf(hwnd).c_str(),
              parent && parent != GetAncestor(hwnd, GA_ROOT) ? GetDlgCtrlID(parent) : 0,
              origin.x, origin.y, rect.right - rect.left, rect.bottom - rect.top,
              IsWindowVisible(hwnd) ? 1 : 0, IsWindowEnabled(hwnd) ? 1 : 0);
  if (!parent) {
    RECT client;
    GetClientRect(hwnd, &client);
    std::printf("\tclientw=%ld\tclienth=%ld\tmaximized=%d\tstyle=%08lx\texstyle=%08lx",
                client.right, client.bottom, IsZoomed(hwnd) ? 1 : 0,
                static_cast<unsigned long>(style),
                static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
  } else {
    LRESULT check = 0;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) {
      check = static_cast<LRESULT>(result);
    }
    std::printf("\tchecked=%d\tstyle=%08lx", check == BST_CHECKED ? 1 : 0,
                static_cast<unsigned long>(style));
    if (ClassOf(hwnd) == PROGRESS_CLASSA) {
      DWORD_PTR position = 0;
      SendMessageTimeoutW(hwnd, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position);
      std::printf("\tpos=%d", static_cast<int>(position));
    }
  }
  std::printf("\ttext=%s\n", Escape(TextOf(hwnd)).c_str());
}

BOOL CALLBACK PrintChild(HWND hwnd, LPARAM) {
  PrintWindow("ctrl", hwnd, GetParent(hwnd));
  return TRUE;
}

BOOL CALLBACK PrintTop(HWND hwnd, LPARAM) {
  if (IsWindowVisible(hwnd)) PrintWindow("window", hwnd, nullptr);
  return TRUE;
}

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  if (GetDlgCtrlID(hwnd) != s->id) return TRUE;
  s->found = hwnd;
  return FALSE;
}

HWND ChildById(HWND top, int id) {
  Search search{id, nullptr};
  EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int FocusId(HWND top) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info);
  return info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0;
}

bool InState(HWND top, int id, const std::string& state) {
  HWND hwnd = id == 0 ? top : ChildById(top, id);
  if (!hwnd) return false;
  if (state == "enabled") return IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
  if (state == "hidden") return !IsWindowVisible(hwnd);
  return state == "focused" && FocusId(top) == id;
}

struct Owned {
  DWORD process;
  int visible;
};

BOOL CALLBACK CountOwned(HWND hwnd, LPARAM lp) {
  auto* owned = reinterpret_cast<Owned*>(lp);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process == owned->process && IsWindowVisible(hwnd)) ++owned->visible;
  return TRUE;
}

// Starts the command line and waits for its end, looking for its windows
// every few milliseconds meanwhile.
int Launch(DWORD timeout, const std::wstring& commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "qdrive: cannot start %s\n", ToUtf8(commandLine).c_str());
    return 1;
  }
  int windows = 0;
  DWORD start = GetTickCount();
  bool ended = false;
  while (!ended && GetTickCount() - start < timeout) {
    ended = WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0;
    Owned owned{process.dwProcessId, 0};
    EnumWindows(CountOwned, reinterpret_cast<LPARAM>(&owned));
    windows = std::max(windows, owned.visible);
  }
  DWORD code = 0;
  if (!ended) TerminateProcess(process.hProcess, 1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("exit=%lu windows=%d\n", static_cast<unsigned long>(code), windows);
  return ended ? 0 : 1;
}

// The command line after the first n arguments of this one, as it was given.
std::wstring CommandLineAfter(int n) {
  const wchar_t* rest = GetCommandLineW();
  for (int i = 0; i < n; ++i) {
    bool quoted = false;
    while (*rest == L' ' || *rest == L'\t') ++rest;
    for (; *rest && (quoted || (*rest != L' ' && *rest != L'\t')); ++rest) {
      if (*rest == L'"') quoted = !quoted;
    }
  }
  while (*rest == L' ' || *rest == L'\t') ++rest;
  return rest;
}

// --- PNG writer: stored (uncompressed) deflate blocks, enough for a screenshot.

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static uint32_t table[256];
  if (!table[1]) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

bool WritePng(const char* file, int width, int height, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + size_t(y) * width * 3,
               rgb.begin() + size_t(y + 1) * width * 3);
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t pos = 0; pos < raw.size() || pos == 0;) {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(n & 0xFF);
    z.push_back(n >> 8);
    z.push_back(~n & 0xFF);
    z.push_back((~n >> 8) & 0xFF);
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
    if (last) break;
  }
  PutBe32(z, (b << 16) | a);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe32(header, width);
  PutBe32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  FILE* f = std::fopen(file, "wb");
  if (!f) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}

bool CaptureScreen(int& width, int& height, std::vector<uint8_t>& rgb) {
  width = GetSystemMetrics(SM_CXSCREEN);
  height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    rgb.resize(size_t(width) * height * 3);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
      rgb[i * 3] = p[i * 4 + 2];
      rgb[i * 3 + 1] = p[i * 4 + 1];
      rgb[i * 3 + 2] = p[i * 4];
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// One key with modifiers, as "SHIFT+TAB" or "ALT+R".
void SendKeys(const std::string& spec) {
  std::vector<WORD> keys;
  size_t start = 0;
  for (;;) {
    size_t plus = spec.find('+', start);
    std::string name = spec.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
    WORD key = name == "SHIFT" ? VK_SHIFT
               : name == "ALT" ? VK_MENU
               : name == "CTRL" ? VK_CONTROL
               : name == "TAB" ? VK_TAB
               : name == "ENTER" ? VK_RETURN
               : name == "SPACE" ? VK_SPACE
               : static_cast<WORD>(static_cast<unsigned char>(name[0]));
    keys.push_back(key);
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    inputs.push_back(in);
  }
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

DWORD TimeoutArg(int argc, char** argv, DWORD fallback) {
  for (int i = 0; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "-t") == 0) return std::strtoul(argv[i + 1], nullptr, 10);
  }
  return fallback;
}

// Prints a value as reg.exe shows it ("REG_SZ text", "REG_DWORD 0xff"),
// read with the W functions so that any character comes out exactly
// whatever the code page. KEY starts with its root's name, short (HKLM,
// HKCU, HKCR, HKU) or long (HKEY_LOCAL_MACHINE...). Exit code 0 found, 1 when the system says the key or
// the value is not there, 3 on any other failure (said on stderr).
int PrintRegistryValue(const std::string& path, const std::string& name) {
  const std::pair<const char*, HKEY> roots[] = {
      {"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
      {"HKCU\\", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
      {"HKCR\\", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
      {"HKU\\", HKEY_USERS},          {"HKEY_USERS\\", HKEY_USERS}};
  for (const auto& [prefix, root] : roots) {
    if (path.rfind(prefix, 0) != 0) continue;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(root, FromUtf8(path.substr(std::strlen(prefix))).c_str(), 0,
                                KEY_QUERY_VALUE, &key);
    DWORD type = 0, size = 0;
    std::wstring wideName = FromUtf8(name);
    std::vector<BYTE> data;
    if (result == ERROR_SUCCESS) {
      result = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
      if (result == ERROR_SUCCESS) {
        data.resize(size + sizeof(wchar_t), 0);
        result = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, data.data(), &size);
      }
      RegCloseKey(key);
    }
    if (result == ERROR_FILE_NOT_FOUND) {
      std::fprintf(stderr, "qdrive: no value %s in %s\n", name.c_str(), path.c_str());
      return 1;
    }
    if (result != ERROR_SUCCESS) {
      std::fprintf(stderr, "qdrive: %s %s: error %ld\n", path.c_str(), name.c_str(), result);
      return 3;
    }
    if (type == REG_DWORD) {
      std::printf("REG_DWORD 0x%lx\n", static_cast<unsigned long>(*reinterpret_cast<DWORD*>(data.data())));
    } else {
      std::printf("%s%s\n", type == REG_EXPAND_SZ ? "REG_EXPAND_SZ " : "REG_SZ ",
                  ToUtf8(reinterpret_cast<const wchar_t*>(data.data())).c_str());
    }
    return 0;
  }
  std::fprintf(stderr, "qdrive: %s: no root of the four\n", path.c_str());
  return 3;
}

int Usage() {
  std::fprintf(stderr, "usage: qdrive windows|wait|gone|count|dump|click|settext|close|answer|"
                       "pixel|mouse|foreground|focus|state|launch|keys|screenshot|capture|"
                       "regget ... (see the source's header)\n");
  return 2;
}

std::string Arg(char** argv, int i) {
  // Arguments arrive in the ANSI code page; re-read them as UTF-8 from the
  // wide command line so Japanese captions survive.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string out = i < count ? ToUtf8(wide[i]) : std::string(argv[i]);
  LocalFree(wide);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  const DWORD timeout = TimeoutArg(argc, argv, 10000);

  if (command == "windows") {
    EnumWindows(PrintTop, 0);
    return 0;
  }
  if (command == "pixel" && argc >= 4) {
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, std::atoi(argv[2]), std::atoi(argv[3]));
    ReleaseDC(nullptr, screen);
    std::printf("%02X%02X%02X\n", GetRValue(c), GetGValue(c), GetBValue(c));
    return 0;
  }
  if (command == "mouse" && argc >= 4) {
    SetCursorPos(std::atoi(argv[2]), std::atoi(argv[3]));
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
    return 0;
  }
  if (command == "keys") {
    for (int i = 2; i < argc; ++i) SendKeys(argv[i]);
    return 0;
  }
  if (command == "foreground") {
    HWND hwnd = GetForegroundWindow();
    std::printf("%s\n", hwnd ? ClassOf(hwnd).c_str() : "");
    return 0;
  }
  if (command == "launch" && argc >= 4) {
    return Launch(std::strtoul(argv[2], nullptr, 10), CommandLineAfter(3));
  }
  if (command == "screenshot" && argc >= 3) {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    if (!CaptureScreen(width, height, rgb) || !WritePng(argv[2], width, height, rgb)) {
      std::fprintf(stderr, "qdrive: screenshot failed\n");
      return 1;
    }
    return 0;
  }
  if (argc < 3) return Usage();
  std::string spec = Arg(argv, 2);
  if (command == "regget" && argc >= 4) return PrintRegistryValue(spec, Arg(argv, 3));

  if (command == "wait") {
    if (WaitFor(spec, timeout, true)) return 0;
    std::fprintf(stderr, "qdrive: no window %s in %lu ms\n", spec.c_str(), timeout);
    return 1;
  }
  if (command == "gone") {
    DWORD start = GetTickCount();
    while (!FindTop(spec).empty()) {
      if (GetTickCount() - start >= timeout) {
        std::fprintf(stderr, "qdrive: window %s still there after %lu ms\n", spec.c_str(), timeout);
        return 1;
      }
      Sleep(50);
    }
    return 0;
  }
  if (command == "count") {
    int visible = 0;
    for (HWND hwnd : FindTop(spec)) visible += IsWindowVisible(hwnd) ? 1 : 0;
    std::printf("%d\n", visible);
    return 0;
  }
  if (command == "answer") {
    if (argc < 4) return Usage();
    DWORD start = GetTickCount();
    for (;;) {
      for (HWND box : FindTop("class:#32770")) {
        if (!IsWindowVisible(box) || (spec != "*" && TextOf(box) != spec)) continue;
        HWND text = GetDlgItem(box, 0xFFFF);
        std::printf("%s\n", Escape(text ? TextOf(text) : std::string()).c_str());
        std::fflush(stdout);
        HWND button = GetDlgItem(box, std::atoi(argv[3]));
        if (!button) {
          std::fprintf(stderr, "qdrive: no button %s in the box\n", argv[3]);
          return 1;
        }
        PostMessageW(button, BM_CLICK, 0, 0);
        return 0;
      }
      if (GetTickCount() - start >= timeout) {
        std::fprintf(stderr, "qdrive: no box %s in %lu ms\n", spec.c_str(), timeout);
        return 1;
      }
      Sleep(50);
    }
  }

  HWND top = WaitFor(spec, timeout);
  if (!top) {
    std::fprintf(stderr, "qdrive: no window %s\n", spec.c_str());
    return 1;
  }
  if (command == "focus") {
    std::printf("%d\n", FocusId(top));
    return 0;
  }
  if (command == "state" && argc >= 5) {
    const int id = std::atoi(argv[3]);
    const std::string state = argv[4];
    DWORD start = GetTickCount();
    bool reached = false;
    while (!(reached = InState(top, id, state)) && GetTickCount() - start < timeout) Sleep(20);
    std::printf("%d\n", FocusId(top));
    return reached ? 0 : 1;
  }
  if (command == "dump") {
    PrintWindow("window", top, nullptr);
    EnumChildWindows(top, PrintChild, 0);
    return 0;
  }
  if (command == "close") {
    PostMessageW(top, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "capture" && argc >= 4) {
    // The client area as it is on the screen (the window is in front).
    RECT client;
    GetClientRect(top, &client);
    POINT origin{0, 0};
    if (argc >= 8) {
      origin = {std::atoi(argv[4]), std::atoi(argv[5])};
      client = {0, 0, std::min<LONG>(client.right - origin.x, std::atoi(argv[6])),
                std::min<LONG>(client.bottom - origin.y, std::atoi(argv[7]))};
    }
    ClientToScreen(top, &origin);
    int width = 0, height = 0;
    std::vector<uint8_t> screen;
    if (!CaptureScreen(width, height, screen)) {
      std::fprintf(stderr, "qdrive: cannot read the screen\n");
      return 1;
    }
    int w = std::min<int>(client.right, width - origin.x), h = std::min<int>(client.bottom, height - origin.y);
    if (origin.x < 0 || origin.y < 0 || w <= 0 || h <= 0) {
      std::fprintf(stderr, "qdrive: nothing of %s to capture on the screen\n", spec.c_str());
      return 1;
    }
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y) {
      auto row = screen.begin() + (size_t(origin.y + y) * width + origin.x) * 3;
      rgb.insert(rgb.end(), row, row + size_t(w) * 3);
    }
    if (WritePng(argv[3], w, h, rgb)) return 0;
    std::fprintf(stderr, "qdrive: cannot write %s\n", argv[3]);
    return 1;
  }
  if ((command == "click" || command == "settext") && argc >= 4) {
    HWND control = ChildById(top, std::atoi(argv[3]));
    if (!control) {
      std::fprintf(stderr, "qdrive: no control %s\n", argv[3]);
      return 1;
    }
    if (command == "click") {
      PostMessageW(control, BM_CLICK, 0, 0);
    } else {
      if (argc < 5) return Usage();
      SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(FromUtf8(Arg(argv, 4)).c_str()));
    }
    return 0;
  }
  return Usage();
}
