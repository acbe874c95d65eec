// The deployment log of /LOG=: one line per step a run takes, per question
// and its answer, per failed step and per error, each with the local time,
// written as the run goes so that a run that never ends still leaves its
// trail.
//
// The log is UTF-8 after a byte-order mark: the program's own text, so every
// path in it is exact, whatever the system's code page and whatever
// characters the path holds.
//
// Line format: "YYYY-MM-DD hh:mm:ss kind text", lines ended by CR LF. A text
// of several lines (the program's messages separate lines by CR) gives one
// log line per text line, each with the same time and kind, so that every
// line can be searched on its own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/RunWindow.h"
#include "platform/Platform.h"

namespace qs {

class RunLog {
 public:
  // clock gives the local time as "YYYY-MM-DD hh:mm:ss". A null file makes
  // a log that writes nothing. The byte-order mark starts an empty file
  // only: a log added to goes on after the earlier runs' lines.
  RunLog(std::unique_ptr<FileWriter> file, std::function<std::string()> clock,
         bool empty = true);
  ~RunLog();

  void Write(const std::string& kind, const std::string& text);

 private:
  std::unique_ptr<FileWriter> file_;
  std::function<std::string()> clock_;
};

// The local time now, in the log's format.
std::string LocalTimeNow();

// The run's view of the window, passed on to the real one, with every step,
// question, answer and failed step written to the log.
class LoggingRunWindow : public RunWindow {
 public:
  LoggingRunWindow(RunWindow& window, RunLog& log) : window_(window), log_(log) {}

  void ShowStatus(const std::string& text) override;
  int Ask(const std::string& text, const std::string& caption, uint32_t flags) override;
  void ShowProgress(bool shown) override {
    loggedTenths_ = 0;
    window_.ShowProgress(shown);
  }
  // Every tenth of the way gets a progress line.
  void SetProgress(int percent) override;
  void ShowFailureList(const std::string& caption, const std::string& list) override {
    window_.ShowFailureList(caption, list);
  }
  void NoteFailures(const std::string& list) override;
  RunOptions FreezeForInstall() override;
  void FreezeForUninstall() override;
  void EndProgram() override;
  void NoteError(const std::string& report) override;
  // "kind subject", or "kind-failed subject", then "  [detail]" when the
  // step has one (StepDetail).
  void NoteStep(const RunStep& step) override;

 private:
  RunWindow& window_;
  RunLog& log_;
  int loggedTenths_ = 0;  // the progress lines written in this frame
};

}  // namespace qs
