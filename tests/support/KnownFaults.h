// KNOWN FAULTS, BEING MENDED ON MAIN: cases the hardening checks meet that
// belong to faults already filed and under repair. A check that meets one of
// these counts it as "known" and prints it instead of failing. Delete each
// entry (and this file when empty) once its mend is merged: the checks then
// hold the mend.
#pragma once

#include <string>

namespace qs::test::known {

inline bool Has(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// A compressed file whose expansion ends short of the length its header
// gives is installed short and counted as copied.
inline bool ShortExpansionInstalled(const std::string& fault) {
  return Has(fault, "_ (short read)") && Has(fault, "Read ");
}

// An old EXPAND.QST that cannot be deleted (or looked at) makes the run
// install the old scratch file's bytes.
inline bool StaleScratchInstalled(const std::string& fault) {
  return Has(fault, "EXPAND.QST");
}

// A [DeleteRegistry] key with fewer than two components below its root is
// deleted, whole hive branch and all.
inline bool ShallowRegistryKeyDeleted(const std::string& key) {
  size_t first = key.find('\\');
  return first == std::string::npos || key.find('\\', first + 1) == std::string::npos;
}

// --- Found by the fault sweep, not mended yet (see the hardening note) ---

// The expansion cannot tell a file of the expanded name in the temporary
// folder that it may not look at from no file: Attributes gives the same
// answer for both. Such a file is then cut to length zero and overwritten.
// Mending it needs the reason of the failure at the platform seam.
inline bool UnreadableTempNameCut(const std::string& fault, const std::string& problem) {
  return Has(fault, "Attributes C:\\TEMP\\") && Has(problem, "changed or lost: C:\\TEMP\\");
}

}  // namespace qs::test::known
