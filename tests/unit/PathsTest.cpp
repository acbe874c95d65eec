#include <gtest/gtest.h>

#include "core/Paths.h"
#include "tests/support/FakePlatform.h"

namespace qs {
namespace {

std::string Add(const std::string& path, const std::string& side) {
  return AddBackslash(path, side, kCp932);
}
std::string Del(const std::string& path, const std::string& side) {
  return DelBackslash(path, side, kCp932);
}

TEST(AddBackslash, EnsuresOneBackslashAtTheGivenEnd) {
  EXPECT_EQ("\\", Add("", "T"));
  EXPECT_EQ("\\", Add("", "B"));
  EXPECT_EQ("\\", Add("\\", "T"));
  EXPECT_EQ("\\", Add("\\", "B"));
  EXPECT_EQ("C:\\", Add("C:", "B"));
  EXPECT_EQ("\\C", Add("C", "T"));
  EXPECT_EQ("C\\", Add("C", "B"));
  EXPECT_EQ("C:\\Dir\\", Add("C:\\Dir\\", "B"));
  EXPECT_EQ("\\Dir", Add("\\Dir", "Top"));
  EXPECT_EQ("Dir\\", Add("Dir", "Bottom"));
  EXPECT_EQ("\\Dir", Add("Dir", "Top"));
}

TEST(AddBackslash, OnlyAnUpperCaseTOrBSelectsASide) {
  for (const char* side : {"t", "b", "", "x", "bottom"}) {
    EXPECT_EQ("Dir", Add("Dir", side)) << side;
    EXPECT_EQ("\\Dir\\", Del("\\Dir\\", side)) << side;
  }
}

TEST(DelBackslash, RemovesAtMostOneBackslash) {
  EXPECT_EQ("", Del("\\", "T"));
  EXPECT_EQ("", Del("\\", "B"));
  EXPECT_EQ("", Del("", "B"));
  EXPECT_EQ("", Del("", "T"));
  EXPECT_EQ("C:\\Dir\\", Del("C:\\Dir\\\\", "B"));
  EXPECT_EQ("C:", Del("C:\\", "B"));
  EXPECT_EQ("C", Del("C", "T"));
  EXPECT_EQ("C", Del("C", "B"));
  EXPECT_EQ("Dir\\", Del("\\Dir\\", "Top"));
  EXPECT_EQ("\\Dir", Del("\\Dir\\", "Bottom"));
}

// 表, ソ, 能 and 十 end in byte 5C in Shift-JIS: a scan of Shift-JIS steps
// over them; in the engine's UTF-8 no byte of them is a backslash at all.
TEST(Backslash, CharactersEndingIn5CAreNotBackslashes) {
  const std::pair<CodePage, std::vector<std::string>> texts[] = {
      {kCp932, {"C:\\\x95\x5c", "C:\\\x83\x5c", "C:\\\x94\x5c", "C:\\\x8f\x5c"}},
      {kUtf8, {"C:\\表", "C:\\ソ", "C:\\能", "C:\\十", "C:\\𠮷"}}};
  for (const auto& [cp, folders] : texts) {
    for (const std::string& folder : folders) {
      EXPECT_EQ(folder + "\\", AddBackslash(folder, "B", cp)) << folder;
      EXPECT_EQ(folder, DelBackslash(folder, "B", cp)) << folder;
      EXPECT_EQ(folder, DelBackslash(folder + "\\", "B", cp)) << folder;
      EXPECT_EQ(folder + "\\x", JoinPath(folder, "x", cp));
      EXPECT_EQ(folder, ParentFolder(folder + "\\WIN", cp));
    }
  }
  // A single-byte code page sees plain bytes.
  EXPECT_EQ("C:\\\x95", DelBackslash("C:\\\x95\x5c", "B", CodePage(1252)));
}

TEST(PathParts, FileNameFolderAndParent) {
  EXPECT_EQ("SETUP.INI", FileNamePart("C:\\A\\SETUP.INI", kCp932));
  EXPECT_EQ("X.INI", FileNamePart("C:X.INI", kCp932));
  EXPECT_EQ("NAME", FileNamePart("NAME", kCp932));
  EXPECT_EQ("表.txt", FileNamePart("C:\\表\\表.txt", kUtf8));
  EXPECT_EQ("C:\\表\\", FolderPart("C:\\表\\表.txt", kUtf8));
  EXPECT_EQ("", FolderPart("NAME", kCp932));
  EXPECT_EQ("C:\\", ParentFolder("C:\\WINDOWS", kCp932));
  EXPECT_EQ("C:\\OS", ParentFolder("C:\\OS\\WIN", kCp932));
  EXPECT_EQ("\\\\", ParentFolder("\\\\server", kCp932));
  EXPECT_EQ("C:", ParentFolder("C:WIN", kCp932));
  EXPECT_EQ("", ParentFolder("WINDOWS", kCp932));
  EXPECT_EQ("C:\\Tools\\x.exe", JoinPath("C:\\Tools\\", "\\x.exe", kCp932));
  // Roots: drives and shares, nothing below them.
  for (const char* root : {"C:", "C:\\", "\\\\srv", "\\\\srv\\apps"}) {
    EXPECT_TRUE(IsRootPath(root)) << root;
  }
  for (const char* folder : {"C:\\A", "\\\\srv\\apps\\Tool"}) {
    EXPECT_FALSE(IsRootPath(folder)) << folder;
  }
}

TEST(ProfileRoutines, ReadAndWriteThroughThePlatform) {
  test::FakePlatform os;
  os.AddFile("C:\\S\\SETUP.INI", "[Title]\r\nSetup=" + std::string(300, 'a') + "\r\n");
  EXPECT_EQ(std::string(254, 'a'), ReadIniString(os, "Title", "Setup", "", "C:\\S\\SETUP.INI"));
  EXPECT_EQ("(Prg)\\", ReadIniString(os, "DefaultFolder", "Folder", "(Prg)\\", "C:\\S\\SETUP.INI"));
  EXPECT_TRUE(WriteIniString(os, "A", "K", "", "C:\\S\\OUT.INI"));
  EXPECT_EQ("", ReadIniString(os, "A", "K", "default", "C:\\S\\OUT.INI"));
  EXPECT_FALSE(WriteIniString(os, "A", "K", "v", "C:\\NOWHERE\\OUT.INI"));
}

TEST(MapUpperCase, MapsAsciiAndKeepsInputOnFailure) {
  test::FakePlatform os;
  EXPECT_EQ("C:\\表\\ABC512", MapUpperCase(os, "c:\\表\\abc512", kLcmapUppercase));
  EXPECT_EQ("", MapUpperCase(os, "", kLcmapUppercase));
  EXPECT_TRUE(SamePath(os, "c:\\app\\", "C:\\APP\\"));
  EXPECT_FALSE(SamePath(os, "c:\\app", "C:\\APP\\"));
}

}  // namespace
}  // namespace qs
