#include <gtest/gtest.h>

#include "install/InstallPlan.h"

namespace qs {
namespace {

TEST(InstallPlan, ResetEmptiesFoldersFilesAndShortCutsButKeepsTheRegistry) {
  InstallPlan plan;
  plan.folders.push_back("(App)\\bin");
  plan.files.push_back({"(App)\\A.EXE", ",/C"});
  plan.shortCuts.push_back({"(App)\\A.EXE", "Default"});
  plan.registry.push_back({"K", "N", "V"});
  plan.Reset();
  EXPECT_TRUE(plan.folders.empty());
  EXPECT_TRUE(plan.files.empty());
  EXPECT_TRUE(plan.shortCuts.empty());
  ASSERT_EQ(1u, plan.registry.size());
  EXPECT_EQ("N", plan.registry[0].name);
}

}  // namespace
}  // namespace qs
