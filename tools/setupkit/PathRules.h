// What Windows makes of a path the definition file leads to: the names it
// cannot hold, the steps it resolves before any use, and the names that
// stand for devices. The program itself never asks; check and plan do.
#pragma once

#include <string>

namespace qs::kit {

// Why Windows would not make or keep a file or folder under path as
// written; empty when nothing is wrong. Paths are UTF-8, separated by "\";
// a drive letter and its colon may start a full path, never a relative one.
//   ".." steps: the path leaves the folder it names, and the record keeps
//     the step
//   < > " | ? * and control characters: no name holds them
//   "/": a separator to the system, none to the program
//   ":" after the drive: the name of a stream of the file before it on
//     NTFS, no file of its own
//   CON, PRN, AUX, NUL, COM1-9, LPT1-9 (with any extension): devices
std::string PathProblem(const std::string& path, bool full = true);

}  // namespace qs::kit
