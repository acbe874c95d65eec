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
};

// An action of a run: its kind ("delete", "remove-folder", "delete-key"),
// what it acted on (a path, or a key as "HKLM\..."), and its outcome.
struct RunStep {
  std::string kind;
  std::string subject;
  bool done = true;
};

class RunWindow {
 public:
  virtual ~RunWindow() = default;
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

  // Told, not asked: the window may keep these for a log. The failed steps
  // of a run, one tagged line each (CR LF), before the run offers them.
  virtual void NoteFailures(const std::string& /*list*/) {}
  // A raised error has ended the run; report is the standard report's text.
  virtual void NoteError(const std::string& /*report*/) {}
  // One action of the run, told where it is taken: what was done, to what,
  // and whether it was done.
  virtual void NoteStep(const RunStep& /*step*/) {}
};

// Tells window the step; returns done, so that a run's test reads as one.
inline bool Tell(RunWindow& window, const char* kind, std::string subject, bool done) {
  window.NoteStep({kind, std::move(subject), done});
  return done;
}

}  // namespace qs
