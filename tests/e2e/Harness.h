// The end-to-end harness: prepared product folders, SETUP.EXE started under
// the shared Wine session, and the automation driver's view of the screen.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qs::e2e {

struct CommandResult {
  int code = -1;
  std::string out;
};

// The Wine session's state folder: $QS_E2E_STATE when set (the sessions of
// other locales and users), else the build's own.
std::string StateDir();

// Runs a Linux command (a path, or a name looked up in PATH) to its end;
// stdout and stderr are captured together.
CommandResult RunCaptured(const std::vector<std::string>& argv);
// Runs a command inside the Wine session ("wine" is this machine's loader);
// stdout and stderr are captured together.
CommandResult RunInSession(const std::vector<std::string>& args);

// One line of the driver's dump: a window or a control.
struct Control {
  std::map<std::string, std::string> fields;
  std::string Get(const std::string& key) const;
  int Int(const std::string& key) const;
  int id() const { return Int("id"); }
  bool visible() const { return Int("visible") != 0; }
  bool enabled() const { return Int("enabled") != 0; }
  bool checked() const { return Int("checked") != 0; }
  std::string text() const;  // unescaped
};

struct Dump {
  Control window;
  std::vector<Control> controls;
  std::string raw;
  const Control& ById(int id) const;  // fails the test when missing
  bool Has(int id) const;
};

// The automation driver (see driver/qdrive.cpp for its commands).
CommandResult Drive(const std::vector<std::string>& args);
// The window and its controls; nullopt (saying why on stderr) when the
// driver fails.
std::optional<Dump> DumpWindow(const std::string& window);
// Waits for a message box by caption, returns its text, clicks the button.
std::optional<std::string> AnswerBox(const std::string& caption, int button,
                                     int timeoutMs = 10000);
std::string Pixel(int x, int y);
void Screenshot(const std::string& name);
// A window's client area (or the part rect gives: x, y, width, height) as a
// PNG in the screens folder, named after the test; its path. The sessions of
// every locale keep theirs, to be compared with each other.
std::string Capture(const std::string& window, const std::string& name,
                    const std::vector<int>& rect = {});

// A product folder with SETUP.EXE in it, made afresh for one test.
class Product {
 public:
  explicit Product(const std::string& name);
  ~Product();
  const std::string& folder() const { return folder_; }
  // Windows path (Z:\...) of a file in the folder.
  std::string WinPath(const std::string& name) const;
  // Writes a text file, turning the UTF-8 source into Shift-JIS.
  void WriteSjis(const std::string& name, const std::string& utf8) const;
  void WriteBytes(const std::string& name, const std::string& bytes) const;

  // Starts SETUP.EXE, or the given program (a Unix path), with the given
  // arguments (does not wait).
  void Launch(const std::vector<std::string>& args = {}, const std::string& program = "");
  // Starts another Windows program (a Unix path) with the Unix folder
  // unixFolder as its current folder (does not wait).
  void LaunchProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& unixFolder);
  // Starts another copy and waits for it; its exit code.
  std::optional<int> RunAgain(const std::vector<std::string>& args, int timeoutMs);
  // Waits for the launched copy to end; its exit code.
  std::optional<int> WaitExit(int timeoutMs);
  bool Running();

 private:
  std::string folder_;
  pid_t pid_ = -1;
};

// Message box answers and the main window.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
inline constexpr const char* kMain = "class:TfrmMain";
inline constexpr const char* kBack = "class:TfrmBack";

// Posts a click to a control of the main window; sets a control's text.
// Either fails the test when the driver cannot.
void Click(int id);
void SetText(int id, const std::string& text);
// Waits until the control is visible and enabled (a posted click has been
// handled).
bool WaitEnabled(int id);
// Waits until the control of the main window has the focus; the id of the
// control that has it at the end.
int WaitFocus(int id);
// Waits until no window of that caption or class is left.
bool WaitGone(const std::string& window);
// Waits for the completion message, confirms it and waits for the program to
// end; false (with a failure) when either does not come.
bool ConfirmCompletion(Product& product);
// Starts the product's installer, brings it to its ready state, sets the
// folder (when given), flips the given option boxes, checks that every box
// shows what was asked, and starts the run.
void StartInstall(Product& product, const std::string& folder, const std::set<int>& flip = {});
// Answers a run's failure question with Yes, returns the list it then shows
// and closes the list (a failure, and an empty text, when either is missing).
std::string ReadFailureList();
// Ends the program with the end button and Yes to the close question.
void EndWithEndButton(Product& product);
// After No to the close question: the question has gone and the program
// goes on, its one main window usable again (the next step that needs the
// program shows it did not end later either).
void ExpectBackAfterNo(Product& product);
// "TYPE DATA" of a registry value (as "REG_DWORD 0xff"), read with the W
// functions (exact under any code page); nullopt when the key or the value
// is missing. The driver failing any other way fails the test.
std::optional<std::string> RegData(const std::string& key, const std::string& name);
void RegDelete(const std::string& key);
inline constexpr const char* kUninstallKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string ReadFile(const std::string& path);
// A Shift-JIS file read back as UTF-8.
std::string ReadSjis(const std::string& path);
// A text file the program wrote, as UTF-8: UTF-16LE or UTF-8 after their
// byte-order marks, Shift-JIS without one (the record's forms).
std::string ReadText(const std::string& path);
// Line feeds become CR LF (profile files as an editor writes them).
std::string Crlf(const std::string& text);
// The values of one section of a profile file's text, in the file's order.
std::vector<std::string> IniValues(const std::string& text, const std::string& section);

// Removes a file, immutable or read-only as it may be.
void RemoveFile(const std::string& path);
// Sets a file's modification time, in seconds from now.
void SetAge(const std::string& path, int secondsFromNow);

// A file made immutable (chattr +i): even as root, Wine then gets Windows'
// refusal (access denied) for writing, replacing or deleting it. Undone on
// destruction.
class Immutable {
 public:
  explicit Immutable(std::string path);
  ~Immutable();
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;

 private:
  std::string path_;
};

// The current user's special folders in the session's prefix (Unix paths);
// the four places for shortcuts are made when missing.
struct ShellFolders {
  std::string desktop, programs, startup, sendTo, windows, system, temp;
};
ShellFolders UserFolders();

// Everything a run could leave behind or touch: the prefix's drive C (each
// entry's kind, and for files their size and modification time) and the
// whole registry as exported, minus what Wine changes by itself.
struct PrefixState {
  std::map<std::string, std::string> files;  // relative path -> "dir" or "size mtime"
  std::map<std::string, std::string> registry;  // "[key]\tname=data" -> "" (a set)
};
PrefixState CapturePrefix();
// Readable differences: "+ entry" only after, "- entry" only before,
// "~ entry" changed.
std::vector<std::string> Differences(const PrefixState& before, const PrefixState& after);
// The sample product as a packager ships it: texts in Shift-JIS, the manual
// compressed by the build.
void ShipSample(const Product& product);
// A fresh start for the sample: no uninstaller copy, no registry values, no
// links.
void ForgetSampleInstalls();

std::string WindowsPath(const std::string& unixPath);
// The Unix path of the session's Wine prefix.
std::string WinePrefix();
// The Windows user of the session (its profile folder's name).
std::string WineUser();
// The Unix path of the Wine user's TEMP folder.
std::string WineTemp();
// The Unix path of the folder the program makes its work folders in under
// Wine: the Windows folder's Temp, the administrators' own, for Wine's user
// is an administrator (a run with such rights never works in the user's
// TEMP).
std::string WorkTemp();
// The folders the program made for itself in its work folders' parent (or
// the given Unix folder) and left there.
std::vector<std::string> LeftWorkFolders(const std::string& temp = WorkTemp());
// Removes the working folders that runs ended from outside left behind, so
// that a test sees only its own.
void ClearWorkFolders();
std::string ToSjis(const std::string& utf8);
std::string FromSjis(const std::string& sjis);
// Waits until the control of the window is enabled and visible (a posted
// click has been handled).
bool WaitEnabled(const std::string& window, int id, int milliseconds = 10000);
std::string Unescape(const std::string& text);

}  // namespace qs::e2e
