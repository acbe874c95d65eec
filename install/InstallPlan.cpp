#include "install/InstallPlan.h"

namespace qs {

void InstallPlan::Reset() {
  folders.clear();
  files.clear();
  shortCuts.clear();
}

}  // namespace qs
