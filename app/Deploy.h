// Program entry for command lines with deployment switches (app/CommandLine.h),
// and the windowed program that both entries share.
#pragma once

#include "app/CommandLine.h"
#include "app/RunLog.h"
#include "platform/Platform.h"
#include "platform/win32/Handles.h"

namespace qs::app {

// The single-instance guard, the same for every command line: true when
// another copy holds the mutex; otherwise this copy's mutex goes into
// mutex, held until the program ends (not owned: its name alone tells a
// second copy that this one runs).
bool AnotherCopyRuns(win32::ScopedKernelObject& mutex);

// The backdrop and the main window with their message loop, until the
// program ends. With a log, the runs' window seam also writes to it.
void RunWindows(HINSTANCE instance, Platform& platform, RunLog* log);

// Ends a program that cannot run safely on this system (it cannot keep
// DLLs to the system folder): the message in a box, or under /S in the
// /LOG= file; returns kExitError.
int RefuseToStart(const CommandLine& line);

// The whole program for a line that names a switch; returns the exit code.
int RunSwitched(HINSTANCE instance, const CommandLine& line);

}  // namespace qs::app
