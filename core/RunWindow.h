// What the install and uninstall runs need of the main window. The real
// window implements it; unit tests use a script of answers and a transcript.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qs {

// Message box flags and answers the runs use.
inline constexpr uint32_t kMbOk = 0x00;
inline constexpr uint32_t kMbYesNo = 0x04;
inline constexpr uint32_t kMbIconError = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconWarning = 0x30;
inline constexpr uint32_t kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The options and the folder as the window shows them when a run starts.
struct RunOptions {
  std::string installFolder;
  bool overwriteAll = true;
  bool shortCutOnDesktop = true;
  bool shortCutOnStartMenu = true;
  bool shortCutOnStartUp = true;
  bool shortCutOnSendTo = true;
  // The file the definition names for after setup is opened (/S opens it
  // only with /OPEN, and never under SYSTEM).
  bool openAfterSetup = true;
  // Every missing level of the install folder is made, not only the last
  // (/S: nobody is there to pick a folder that exists).
  bool makeEveryLevel = false;
};

// An action of a run, told where the run takes it: its kind (folder, file,
// shortcut, registry, uninstaller, record, registration, open, not-opened,
// delete, remove-folder, delete-key), what it acted on (a path, or a key as
// "HKLM\..."), whether it was done, what the run knows of it (detail:
// "from A.TX_, 120 bytes, expanded", "the install folder", a registry
// value as "Name = REG_SZ "text""), and how a step not done is told when
// there is more to say than "fails" ("fails: " and the system's reason,
// "not there").
struct RunStep {
  std::string kind;
  std::string subject;
  bool done = true;
  std::string detail = {};
  std::string failure = {};
};

// A folder the run makes (what: "the install folder", "for a shortcut" or
// nothing): made, there already, or not made for the system's reason.
RunStep FolderStep(std::string path, uint32_t error, std::string what = {});

// value in decimal digits (a file's size in a detail).
std::string DecimalText(uint64_t value);

// The step's detail with its outcome: its failure (or "fails") after the
// detail of a step not done. The /LOG= line and setupkit plan both show
// this.
std::string StepDetail(const RunStep& step);

// What a run tells as it goes, without being asked: the half of the window
// seam that a log, a dry run or a test may watch.
class RunWatcher {
 public:
  virtual ~RunWatcher() = default;
  // The failed steps of a run, one tagged line each (CR LF), before the run
  // offers them.
  virtual void NoteFailures(const std::string& /*list*/) {}
  // A raised error has ended the run; report is the standard report's text.
  virtual void NoteError(const std::string& /*report*/) {}
  // One action of the run, told where it is taken.
  virtual void NoteStep(const RunStep& /*step*/) {}
};

class RunWindow : public RunWatcher {
 public:
  // Sets the message label, then handles pending window messages.
  virtual void ShowStatus(const std::string& text) = 0;
  // A modal message box owned by the application; returns the answer.
  virtual int Ask(const std::string& text, const std::string& caption, uint32_t flags) = 0;
  // Shows or hides the copy-progress frame.
  virtual void ShowProgress(bool shown) = 0;
  // Moves the progress bar and its percentage label.
  virtual void SetProgress(int percent) = 0;
  // Shows the list in the readme frame under the caption and waits until the
  // user has closed it.
  virtual void ShowFailureList(const std::string& caption, const std::string& list) = 0;
  // Disables the install run's controls, in the window's order, and reads the
  // options as they were then.
  virtual RunOptions FreezeForInstall() = 0;
  // Disables the uninstall button and the end button.
  virtual void FreezeForUninstall() = 0;
  // Ends the program: enables the backdrop, then sets the modal result.
  virtual void EndProgram() = 0;

};

// Tells watcher the step; returns done, so that a run's test reads as one.
bool Tell(RunWatcher& watcher, const RunStep& step);
bool Tell(RunWatcher& watcher, const char* kind, const std::string& subject, bool done,
          const std::string& detail = std::string());

// A window passed on to another, with what the run tells also told to a
// watcher first.
class WatchedRunWindow : public RunWindow {
 public:
  WatchedRunWindow(RunWindow& window, RunWatcher& watcher) : window_(window), watcher_(watcher) {}
  void ShowStatus(const std::string& text) override { window_.ShowStatus(text); }
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override {
    return window_.Ask(text, caption, flags);
  }
  void ShowProgress(bool shown) override { window_.ShowProgress(shown); }
  void SetProgress(int percent) override { window_.SetProgress(percent); }
  void ShowFailureList(const std::string& caption, const std::string& list) override {
    window_.ShowFailureList(caption, list);
  }
  RunOptions FreezeForInstall() override { return window_.FreezeForInstall(); }
  void FreezeForUninstall() override { window_.FreezeForUninstall(); }
  void EndProgram() override { window_.EndProgram(); }
  void NoteFailures(const std::string& list) override {
    watcher_.NoteFailures(list);
    window_.NoteFailures(list);
  }
  void NoteError(const std::string& report) override {
    watcher_.NoteError(report);
    window_.NoteError(report);
  }
  void NoteStep(const RunStep& step) override {
    watcher_.NoteStep(step);
    window_.NoteStep(step);
  }

 private:
  RunWindow& window_;
  RunWatcher& watcher_;
};

}  // namespace qs
