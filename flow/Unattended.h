// The program without a window (/S): the main window's start-up runs on a
// view held in memory, and the install or uninstall run gets a window seam
// that answers every question with the answer that keeps the user's data,
// and logs. Mutex, record, registration and failure rules are the runs' own,
// so what /S installs the window uninstalls and the other way round.
#pragma once

#include <string>

#include "flow/CommandLine.h"
#include "flow/MemoryView.h"
#include "flow/RunLog.h"
#include "core/RunWindow.h"
#include "platform/Platform.h"

namespace qs {

// The main window in memory: a message box goes to the log, a question in
// it is answered No.
class HeadlessView : public MemoryView {
 public:
  explicit HeadlessView(RunLog& log) : log_(log) {}
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override;

 private:
  RunLog& log_;
};

// The run's window under /S: no window, no wait. Questions get the answer
// that keeps the user's data: a missing install folder is made (it holds
// nothing yet); an existing file is not replaced; a file flagged for
// confirmation is not deleted; the failure list is not shown (the log has
// it). The run's outcome becomes the exit code.
class QuietRunWindow : public RunWindow {
 public:
  explicit QuietRunWindow(RunOptions options) : options_(std::move(options)) {}

  void ShowStatus(const std::string&) override {}
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override;
  void ShowProgress(bool) override {}
  void SetProgress(int) override {}
  void ShowFailureList(const std::string&, const std::string&) override {}
  RunOptions FreezeForInstall() override { return options_; }
  void FreezeForUninstall() override {}
  void EndProgram() override { ended_ = true; }
  void NoteFailures(const std::string&) override { failed_ = true; }
  void NoteError(const std::string&) override { stopped_ = true; }

  // kExitDone, kExitFailures or kExitError.
  int ExitCode() const;

 private:
  RunOptions options_;
  bool ended_ = false;
  bool failed_ = false;
  bool stopped_ = false;
};

// The platform as the switches change it: the first argument is the one
// the command line parser found (a line that starts with a switch has
// none), and under /S there are no pauses. (Whether the file named for
// after setup is opened is the run's own choice, RunOptions; everything the
// runs do reaches the log as steps they tell the window: LoggingRunWindow.)
template <class Base>
class SwitchedPlatform : public Base {
 public:
  explicit SwitchedPlatform(const CommandLine& line) : line_(line) {}

  std::string FirstArgument() override { return line_.argument; }
  void Sleep(uint32_t milliseconds) override {
    if (!line_.silent) Base::Sleep(milliseconds);
  }

 private:
  const CommandLine& line_;
};

// Settles the mode as the main window does, then runs the install or the
// uninstall without a window. Returns the exit code; the log gets every
// step, the answers, the failed steps and the errors. watcher, when given,
// is told what the run tells.
int RunUnattended(Platform& platform, const CommandLine& line, RunLog& log,
                  RunWatcher* watcher = nullptr);

}  // namespace qs
