// The group box the main window's frames are made of: a window class of
// our own, registered once per program.
#pragma once

#include "platform/win32/WinApi.h"

namespace qs::app {

inline constexpr const wchar_t* kGroupBoxClass = L"TGroupBox";

// Registers kGroupBoxClass in the instance unless it is there already.
void RegisterGroupBox(HINSTANCE instance);

}  // namespace qs::app
