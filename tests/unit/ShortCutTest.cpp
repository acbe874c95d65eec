#include "core/ShortCut.h"

#include <gtest/gtest.h>

#include "core/Paths.h"
#include "core/SetupError.h"
#include "data/Definition.h"
#include "tests/support/FakePlatform.h"

namespace qs {
namespace {

class ShortCutTest : public ::testing::Test {
 protected:
  ShortCutTest() {
    os.specialFolders[kCsidlDesktop] = "C:\\WINDOWS\\Desktop";
    os.specialFolders[kCsidlPrograms] = "C:\\WINDOWS\\Start Menu\\Programs\\";
    os.specialFolders[kCsidlStartup] = "C:\\";
    for (const auto& [csidl, folder] : os.specialFolders) os.AddFolder(folder);
  }
  std::string Make(const std::string& name, int csidl = kCsidlDesktop) {
    return MakeShortCut(os, watcher, "C:\\Tools\\app.exe", name, csidl, kCp932);
  }
  test::FakePlatform os;
  RunWatcher watcher;
};

TEST_F(ShortCutTest, OneBackslashBetweenFolderAndName) {
  EXPECT_EQ("C:\\WINDOWS\\Desktop\\Viewer.lnk", Make("Viewer"));
  EXPECT_EQ("C:\\WINDOWS\\Desktop\\Viewer.lnk", Make("\\Viewer"));
  EXPECT_EQ("C:\\Viewer.lnk", Make("Viewer", kCsidlStartup));
  EXPECT_EQ("C:\\WINDOWS\\Desktop\\Viewer.lnk.lnk", Make("Viewer.lnk"));
  EXPECT_EQ("C:\\WINDOWS\\Desktop\\.lnk", Make(""));
  EXPECT_EQ("C:\\Tools\\app.exe|C:\\Tools\\", *os.Contents("C:\\WINDOWS\\Desktop\\Viewer.lnk"));
  EXPECT_EQ(0, os.liveLinks);
}

TEST_F(ShortCutTest, OneMissingSubFolderIsMadeTwoAreAnError) {
  std::string link = Make("Tools\\Viewer", kCsidlPrograms);
  EXPECT_EQ("C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Viewer.lnk", link);
  EXPECT_TRUE(os.Contents(link).has_value());
  EXPECT_THROW(Make("A\\B\\Viewer", kCsidlPrograms), SetupError);
  EXPECT_FALSE(FolderExists(os, "C:\\WINDOWS\\Start Menu\\Programs\\A"));
  // A colon in the name is part of the name: no folder is looked for there.
  EXPECT_EQ("C:\\WINDOWS\\Start Menu\\Programs\\Acme: Manual.lnk",
            Make("Acme: Manual", kCsidlPrograms));
  EXPECT_FALSE(FolderExists(os, "C:\\WINDOWS\\Start Menu\\Programs\\Acme:"));
  EXPECT_EQ(0, os.liveLinks);
}

TEST_F(ShortCutTest, AFolderWithoutPathMakesNothingQuietly) {
  EXPECT_EQ("", Make("Viewer", kCsidlSendTo));
  EXPECT_EQ(0, os.liveLinks);
}

TEST_F(ShortCutTest, ALinkObjectThatCannotBeMadeRaisesItsCode) {
  os.shellLinkError = static_cast<int32_t>(0x80040154);
  try {
    Make("Viewer");
    FAIL() << "no error";
  } catch (const SetupError& error) {
    EXPECT_EQ("OLE ｴﾗｰ 80040154", std::string(error.what()));
  }
  os.errorTexts[static_cast<int32_t>(0x80040154)] = "Class not registered";
  EXPECT_THROW(Make("Viewer"), SetupError);
  os.shellLinkError = 0;
  os.shellLinkNoInterface = true;
  try {
    Make("Viewer");
    FAIL() << "no error";
  } catch (const SetupError& error) {
    EXPECT_EQ("Interface はｻﾎﾟｰﾄされていません", std::string(error.what()));
  }
}

TEST(ShortCutPlace, MarkersSelectSpecialFolders) {
  EXPECT_EQ(kCsidlDesktop, CsidlOfPlace("(Dsk)"));
  EXPECT_EQ(kCsidlPrograms, CsidlOfPlace("(Sta)"));
  EXPECT_EQ(kCsidlStartup, CsidlOfPlace("(Sup)"));
  EXPECT_EQ(kCsidlSendTo, CsidlOfPlace("(Sen)"));
  EXPECT_EQ(kCsidlPrograms, CsidlOfPlace("abcd)"));
  EXPECT_EQ(kCsidlPrograms, CsidlOfPlace("(dsk)"));
}

}  // namespace
}  // namespace qs
