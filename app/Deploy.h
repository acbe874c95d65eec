// Program entry for command lines with deployment switches (flow/CommandLine.h).
#pragma once

#include "flow/CommandLine.h"
#include "platform/win32/WinApi.h"

namespace qs::app {

// Ends a program that cannot run safely on this system (it cannot keep
// DLLs to the system folder): the message in a box, or under /S in the
// /LOG= file; returns kExitError.
int RefuseToStart(const CommandLine& line);

// The whole program for a line that names a switch; returns the exit code.
int RunSwitched(HINSTANCE instance, const CommandLine& line);

}  // namespace qs::app
