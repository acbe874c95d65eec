// The end-to-end harness: prepared product folders, SETUP.EXE started under
// the shared Wine session, and the automation driver's view of the screen.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qs::e2e {

struct CommandResult {
  int code = -1;
  std::string out;
};

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
std::optional<Dump> DumpWindow(const std::string& window);
// Waits for a message box by caption, returns its text, clicks the button.
std::optional<std::string> AnswerBox(const std::string& caption, int button);
std::string Pixel(int x, int y);
void Screenshot(const std::string& name);

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

  // Starts SETUP.EXE with the given arguments (does not wait).
  void Launch(const std::vector<std::string>& args = {});
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

std::string WindowsPath(const std::string& unixPath);
// The Unix path of the session's Wine prefix.
std::string WinePrefix();
std::string ToSjis(const std::string& utf8);
std::string Unescape(const std::string& text);

}  // namespace qs::e2e
