#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Expand.h"
#include "core/Szdd.h"
#include "tests/support/FakePlatform.h"
#include "core/SzddFiles.h"

namespace qs {
namespace {

using Tree = std::vector<std::string>;

const std::string kText = [] {
  std::string s;
  for (int i = 0; s.size() < 200000; ++i) s += "line " + std::to_string(i % 977) + " of the manual\r\n";
  return s;
}();

// A fake whose new files stop taking writes after a number of bytes.
class ShortDiskPlatform : public test::FakePlatform {
 public:
  size_t room = 0;
  std::unique_ptr<FileWriter> CreateNew(const std::string& path) override {
    auto inner = FakePlatform::CreateNew(path);
    if (!inner) return nullptr;
    return std::make_unique<Writer>(std::move(inner), room);
  }

 private:
  class Writer : public FileWriter {
   public:
    Writer(std::unique_ptr<FileWriter> inner, size_t room) : inner_(std::move(inner)), room_(room) {}
    bool Write(const void* data, size_t size) override {
      if (size > room_) return false;
      room_ -= size;
      return inner_->Write(data, size);
    }
    bool Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<FileWriter> inner_;
    size_t room_;
  };
};

class ExpandTest : public ::testing::Test {
 protected:
  std::string Expand(const std::string& source, const std::string& temp = "C:\\TEMP\\") {
    ExpandResult result = ExpandCompressedFile(fake, source, temp, kCp932);
    return result.scratch + "," + result.name;
  }
  Tree TempTree() const { return fake.ListTree("C:\\TEMP"); }

  test::FakePlatform fake;
  void SetUp() override {
    fake.AddFolder("C:\\TEMP");
    fake.AddFile("C:\\SRC\\README.TX_", SzddCompress(kText, 'T'));
    fake.AddFile("C:\\SRC\\PLAIN.DAT", "not compressed at all");
  }
};

TEST_F(ExpandTest, ExpandsIntoExpandQstUnderTheExpandedName) {
  fake.AddFile("C:\\TEMP\\EXPAND.QST", "an old one");
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,README.TXT", Expand("C:\\SRC\\README.TX_"));
  EXPECT_EQ(kText, fake.Contents("C:\\TEMP\\EXPAND.QST"));
  EXPECT_EQ(Tree{"C:\\TEMP\\EXPAND.QST"}, TempTree());
  EXPECT_TRUE(fake.Contents("C:\\SRC\\README.TX_"));
  EXPECT_EQ(0, fake.beeps);
}

TEST_F(ExpandTest, CopiesAFileThatIsNotCompressedUnderItsOwnName) {
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,PLAIN.DAT", Expand("C:\\SRC\\PLAIN.DAT"));
  EXPECT_EQ("not compressed at all", fake.Contents("C:\\TEMP\\EXPAND.QST"));
  fake.AddFile("C:\\SRC\\TINY.TX_", "SZDD");  // the magic, but too short for a header
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,TINY.TX_", Expand("C:\\SRC\\TINY.TX_"));
  EXPECT_EQ("SZDD", fake.Contents("C:\\TEMP\\EXPAND.QST"));
  fake.AddFile("C:\\SRC\\EMPTY.TXT", "");
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,EMPTY.TXT", Expand("C:\\SRC\\EMPTY.TXT"));
  EXPECT_EQ("", fake.Contents("C:\\TEMP\\EXPAND.QST"));
}

// Only EXPAND.QST holding this source's whole expansion counts: data cut
// short of its header's length, or an old EXPAND.QST that cannot be
// replaced, is no expansion, and a stale file is never offered as one.
TEST_F(ExpandTest, OnlyAWholeExpansionIsComplete) {
  const std::string whole = SzddCompress(kText, 'T');
  struct Case {
    const char* what;
    std::string file;
    bool staleLocked;
    bool complete;
  } cases[] = {
      {"whole", whole, false, true},
      {"plain", kText, false, true},
      {"cut in half", whole.substr(0, whole.size() / 2), false, false},
      {"last byte missing", whole.substr(0, whole.size() - 1), false, false},
      {"header only", whole.substr(0, kSzddHeaderSize), false, false},
      {"old EXPAND.QST locked", whole, true, false},
  };
  for (const Case& c : cases) {
    test::FakePlatform os;
    os.AddFolder("C:\\TEMP");
    os.AddFile("C:\\SRC\\README.TX_", c.file);
    if (c.staleLocked) {
      os.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
      os.DenyWrite("C:\\TEMP\\EXPAND.QST");
    }
    std::string name = c.file == kText ? "README.TX_" : "README.TXT";
    ExpandResult result = ExpandCompressedFile(os, "C:\\SRC\\README.TX_", "C:\\TEMP", kCp932);
    EXPECT_EQ("C:\\TEMP\\EXPAND.QST", result.scratch) << c.what;
    EXPECT_EQ(name, result.name) << c.what;
    EXPECT_EQ(c.complete, result.complete) << c.what;
    if (c.complete) {
      EXPECT_EQ(kText, os.Contents("C:\\TEMP\\EXPAND.QST")) << c.what;
    } else {
      Tree left = c.staleLocked ? Tree{"C:\\TEMP\\EXPAND.QST"} : Tree{};
      EXPECT_EQ(left, os.ListTree("C:\\TEMP")) << c.what;
    }
  }
}

// A link planted under any of the names is neither written through, nor
// moved, nor deleted: the expansion fails instead.
TEST(ExpandLinks, NothingIsWrittenThroughAPlantedLink) {
  for (const char* name : {"EXPAND.QST", "ZZZZZZZZ.ZZZ", "README.TXT"}) {
    test::FakePlatform os;
    os.AddFolder("C:\\TEMP");
    os.AddFile("C:\\SRC\\README.TX_", SzddCompress(kText, 'T'));
    const std::string link = std::string("C:\\TEMP\\") + name;
    os.AddFile(link, "a link");
    os.SetAttributes(link, kAttrReparsePoint);
    EXPECT_FALSE(ExpandCompressedFile(os, "C:\\SRC\\README.TX_", "C:\\TEMP", kCp932).complete)
        << name;
    EXPECT_EQ(Tree{link}, os.ListTree("C:\\TEMP")) << name;
    EXPECT_EQ("a link", os.Contents(link)) << name;
  }
}

TEST_F(ExpandTest, AFileOfTheExpandedNameComesBackUnchanged) {
  fake.AddFile("C:\\TEMP\\README.TXT", "keep me");
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,README.TXT", Expand("C:\\SRC\\README.TX_"));
  EXPECT_EQ("keep me", fake.Contents("C:\\TEMP\\README.TXT"));
  EXPECT_EQ(kText, fake.Contents("C:\\TEMP\\EXPAND.QST"));
  EXPECT_EQ((Tree{"C:\\TEMP\\EXPAND.QST", "C:\\TEMP\\README.TXT"}), TempTree());
}

TEST_F(ExpandTest, ALeftOverScratchFileTakesTheExpandedName) {
  // Nothing is moved aside, yet the scratch file is renamed at the end.
  fake.AddFile("C:\\TEMP\\ZZZZZZZZ.ZZZ", "left over");
  Expand("C:\\SRC\\README.TX_");
  EXPECT_EQ("left over", fake.Contents("C:\\TEMP\\README.TXT"));
  EXPECT_EQ((Tree{"C:\\TEMP\\EXPAND.QST", "C:\\TEMP\\README.TXT"}), TempTree());

  // With a file of the expanded name present, the left-over may be a file
  // an earlier expansion could not move back: both stay, the copy fails.
  fake.AddFile("C:\\TEMP\\ZZZZZZZZ.ZZZ", "older");
  fake.AddFile("C:\\TEMP\\PLAIN.DAT", "mine");
  Expand("C:\\SRC\\PLAIN.DAT");
  EXPECT_EQ("mine", fake.Contents("C:\\TEMP\\PLAIN.DAT"));
  EXPECT_EQ("older", fake.Contents("C:\\TEMP\\ZZZZZZZZ.ZZZ"));
  EXPECT_FALSE(fake.Contents("C:\\TEMP\\EXPAND.QST"));
}

TEST_F(ExpandTest, TheTempFolderMayEndInABackslashOrNot) {
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,README.TXT", Expand("C:\\SRC\\README.TX_", "C:\\TEMP"));
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,README.TXT", Expand("C:\\SRC\\README.TX_", "C:\\TEMP\\"));
  // 表 ends in byte 5C; it is not a backslash to remove.
  fake.AddFolder("C:\\表");
  EXPECT_EQ("C:\\表\\EXPAND.QST,README.TXT", Expand("C:\\SRC\\README.TX_", "C:\\表"));
  EXPECT_EQ("C:\\表\\EXPAND.QST,README.TXT", Expand("C:\\SRC\\README.TX_", "C:\\表\\"));
  EXPECT_EQ(kText, fake.Contents("C:\\表\\EXPAND.QST"));
}

TEST_F(ExpandTest, AnUnreadableSourceBeepsAndUsesItsOwnName) {
  fake.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,MISSING.TX_", Expand("C:\\SRC\\MISSING.TX_"));
  EXPECT_EQ(1, fake.beeps);
  EXPECT_EQ(Tree{}, TempTree());
}

TEST_F(ExpandTest, AnUnknownModeLeavesNothingBehind) {
  std::string file = SzddCompress(kText, 'T');
  file[8] = 'B';
  fake.AddFile("C:\\SRC\\ODD.TX_", file);
  fake.AddFile("C:\\TEMP\\ODD.TXT", "keep me");
  fake.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
  EXPECT_EQ("C:\\TEMP\\EXPAND.QST,ODD.TXT", Expand("C:\\SRC\\ODD.TX_"));
  EXPECT_EQ(0, fake.beeps);
  EXPECT_EQ(Tree{"C:\\TEMP\\ODD.TXT"}, TempTree());
  EXPECT_EQ("keep me", fake.Contents("C:\\TEMP\\ODD.TXT"));
}

TEST_F(ExpandTest, AFileThatCannotBeCreatedLeavesNothingBehind) {
  fake.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
  fake.DenyWrite("C:\\TEMP\\README.TXT");
  Expand("C:\\SRC\\README.TX_");
  EXPECT_EQ(Tree{}, TempTree());
}

TEST_F(ExpandTest, AFileThatCannotBeMovedAsideIsNeverOverwritten) {
  // The scratch name is taken by a file that cannot be deleted.
  fake.AddFile("C:\\TEMP\\ZZZZZZZZ.ZZZ", "stuck");
  fake.DenyWrite("C:\\TEMP\\ZZZZZZZZ.ZZZ");
  fake.AddFile("C:\\TEMP\\PLAIN.DAT", "mine");
  fake.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
  Expand("C:\\SRC\\PLAIN.DAT");
  EXPECT_EQ((Tree{"C:\\TEMP\\PLAIN.DAT", "C:\\TEMP\\ZZZZZZZZ.ZZZ"}), TempTree());
  EXPECT_EQ("mine", fake.Contents("C:\\TEMP\\PLAIN.DAT"));
  EXPECT_EQ("stuck", fake.Contents("C:\\TEMP\\ZZZZZZZZ.ZZZ"));
}

TEST(ExpandFailure, AFailedWriteLeavesNoPartialFile) {
  for (const std::string& contents : {SzddCompress(kText, 'T'), kText}) {
    ShortDiskPlatform fake;
    fake.room = 100000;
    fake.AddFolder("C:\\TEMP");
    fake.AddFile("C:\\SRC\\README.TX_", contents);
    fake.AddFile("C:\\TEMP\\README.TXT", "keep me");
    fake.AddFile("C:\\TEMP\\EXPAND.QST", "stale");
    ExpandCompressedFile(fake, "C:\\SRC\\README.TX_", "C:\\TEMP", kCp932);
    EXPECT_EQ(Tree{"C:\\TEMP\\README.TXT"}, fake.ListTree("C:\\TEMP"));
    EXPECT_EQ("keep me", fake.Contents("C:\\TEMP\\README.TXT"));
  }
}

TEST_F(ExpandTest, AScratchFileThatCannotGoBackStaysUnderItsName) {
  fake.AddFile("C:\\TEMP\\ZZZZZZZZ.ZZZ", "left over");
  fake.DenyWrite("C:\\TEMP\\ZZZZZZZZ.ZZZ");
  Expand("C:\\SRC\\README.TX_");
  EXPECT_EQ("left over", fake.Contents("C:\\TEMP\\ZZZZZZZZ.ZZZ"));
  EXPECT_EQ(kText, fake.Contents("C:\\TEMP\\EXPAND.QST"));
}

}  // namespace
}  // namespace qs
