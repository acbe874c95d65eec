#include <gtest/gtest.h>

#include "install/InstallPlan.h"

namespace qs {
namespace {

TEST(InstallPlan, DroppingTheLastEntryRestoresTheGroup) {
  InstallPlan plan;
  plan.AppendShortCut("(App)\\A.EXE", "(Dsk)A");
  plan.AppendShortCut("(App)\\B.EXE", "(Sta)B");
  plan.AppendShortCut("(App)\\C.EXE", "(Dsk)C");
  plan.DropLastShortCut();
  EXPECT_EQ(2, plan.shortCutCount);
  EXPECT_EQ("(Dsk)A", plan.shortCutNames[1]);
  EXPECT_EQ("(App)\\B.EXE", plan.shortCutTargets[2]);
  EXPECT_EQ("", plan.shortCutTargets[3]);
  EXPECT_EQ("", plan.shortCutNames[3]);
  plan.AppendShortCut("(App)\\D.EXE", "D");
  EXPECT_EQ("(App)\\D.EXE", plan.shortCutTargets[3]);

  plan.AppendRegistry("(Local)Software\\Acme", "", "");
  plan.DropLastRegistry();
  EXPECT_EQ(0, plan.registryCount);
  EXPECT_EQ("", plan.registryKeys[1]);
}

TEST(InstallPlan, ResetKeepsFlagsAndRegistry) {
  InstallPlan plan;
  plan.AppendFolder("(App)\\bin");
  plan.AppendFile("(App)\\A.EXE", ",/C");
  plan.AppendShortCut("(App)\\A.EXE", "Default");
  plan.AppendRegistry("K", "N", "V");
  plan.Reset();
  EXPECT_EQ(0, plan.folderCount);
  EXPECT_EQ(0, plan.fileCount);
  EXPECT_EQ(0, plan.shortCutCount);
  EXPECT_EQ("", plan.folders[1]);
  EXPECT_EQ("", plan.files[1]);
  EXPECT_EQ("", plan.shortCutNames[1]);
  EXPECT_EQ(",/C", plan.fileFlags[1]);
  EXPECT_EQ(1, plan.registryCount);
  EXPECT_EQ("N", plan.registryNames[1]);
  plan.AppendFile("(App)\\B.EXE", "");
  EXPECT_EQ("", plan.fileFlags[1]);
}

}  // namespace
}  // namespace qs
