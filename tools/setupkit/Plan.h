// setupkit plan: the dry run of an installation, printed step by step.
#pragma once

#include <string>
#include <vector>

#include "tools/setupkit/DryRun.h"

namespace qs::kit {

// The report, in Shift-JIS: the install steps in order (the record's text
// after its step), the failure list, then what an uninstall from that record
// removes.
std::string FormatPlan(const DryRunResult& result);

// Reads the layout and choice options of plan and check (--folder PATH,
// --windows, --system, --temp, --desktop, --programs, --startup, --sendto,
// --no-desktop, --no-startmenu, --no-startup, --no-sendto, --no-overwrite,
// --keep-shared). Consumed arguments are taken out of args; false with a
// message on a bad option.
bool TakeLayoutOptions(std::vector<std::string>& args, Layout& layout, Choices& choices,
                       std::string& error);

extern const char kLayoutHelp[];

}  // namespace qs::kit
