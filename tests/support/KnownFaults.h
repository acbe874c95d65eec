// KNOWN FAULTS, NOT MENDED YET: cases the hardening checks meet that belong
// to faults found and filed but not repaired. A check that meets one of
// these counts it as "known" and prints it instead of failing. Delete each
// entry (and this file when empty) once its mend is merged: the checks then
// hold the mend.
#pragma once

#include <string>

namespace qs::test::known {

inline bool Has(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
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
