// What both entries of the program share (app/WinMain.cpp for a plain
// command line, app/Deploy.cpp for one with switches): the session every
// start holds until the program ends, and the windowed program.
#pragma once

#include "flow/RunLog.h"
#include "platform/Platform.h"
#include "platform/win32/Handles.h"

namespace qs::app {

// COM for the shell's objects, then the single-instance guard, the same for
// every command line: unless another copy holds the mutex, this copy's
// mutex is held until the session ends (not owned: its name alone tells a
// second copy that this one runs).
class ProgramSession {
 public:
  ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  // True when another copy held the mutex: this one must not run.
  bool anotherCopyRuns() const { return anotherCopyRuns_; }

 private:
  win32::ComInitialization com_;
  win32::ScopedKernelObject mutex_;
  bool anotherCopyRuns_ = false;
};

// The backdrop and the main window with their message loop, until the
// program ends. With a log, the runs' window seam also writes to it.
void RunWindows(HINSTANCE instance, Platform& platform, RunLog* log);

}  // namespace qs::app
