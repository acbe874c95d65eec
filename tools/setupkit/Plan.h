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
// The same as a JSON document (UTF-8): the install folder, the install's
// steps (kind, path, detail), whether it stopped, its error report and
// failure list (one string per line), the record's path and text, the
// uninstall's steps and failure list.
std::string FormatPlanJson(const DryRunResult& result);
// 0 when the installation completes, 1 when it stops or ends with an error
// report, 3 when there is no SETUP.INI.
int PlanExitCode(const DryRunResult& result);

// Reads the layout and choice options of plan and check (--folder PATH,
// --windows, --system, --temp, --desktop, --programs, --startup, --sendto,
// --no-desktop, --no-startmenu, --no-startup, --no-sendto, --no-overwrite,
// --keep-shared, --silent). Consumed arguments are taken out of args; false with a
// message on a bad option.
bool TakeLayoutOptions(std::vector<std::string>& args, Layout& layout, Choices& choices,
                       std::string& error);

extern const char kLayoutHelp[];

}  // namespace qs::kit
