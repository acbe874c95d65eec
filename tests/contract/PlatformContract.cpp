#include "tests/contract/PlatformContract.h"

#include <gtest/gtest.h>

#include "core/Paths.h"

namespace qs::contract {
namespace {

class PlatformContract : public ::testing::Test {
 protected:
  void SetUp() override { world_ = MakeWorld(); }

  Platform& os() { return world_->platform(); }
  std::string Path(const std::string& name) { return world_->root() + "\\" + name; }

  bool Write(const std::string& path, const std::string& contents) {
    auto writer = os().CreateForWrite(path);
    return writer && writer->Write(contents.data(), contents.size()) && writer->Close();
  }
  std::string Read(const std::string& path) {
    auto reader = os().OpenForRead(path, false);
    if (!reader) return "<cannot open>";
    std::string out;
    char buffer[4096];
    for (int64_t n; (n = reader->Read(buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    return out;
  }
  std::string Profile(const std::string& key, const std::string& def = "<default>",
                      const std::string& section = "S") {
    return ReadIniString(os(), section, key, def, Path("p.ini"));
  }

  std::unique_ptr<World> world_;
};

// Each private folder is new, inside the parent, usable, held against
// removal and renaming while the program has it, and removable after.
TEST_F(PlatformContract, PrivateFoldersAreNewEachTime) {
  PrivateFolder a = os().MakePrivateFolder(world_->root() + "\\");
  PrivateFolder b = os().MakePrivateFolder(world_->root());
  ASSERT_FALSE(a.path.empty());
  ASSERT_FALSE(b.path.empty());
  EXPECT_NE(a.path, b.path);
  EXPECT_EQ(world_->root() + "\\", FolderPart(a.path, kUtf8));
  EXPECT_TRUE(FolderExists(os(), a.path));
  ASSERT_TRUE(Write(a.path + "\\EXPAND.QST", "x"));
  EXPECT_EQ("x", Read(a.path + "\\EXPAND.QST"));
  EXPECT_TRUE(os().Delete(a.path + "\\EXPAND.QST"));
  EXPECT_FALSE(os().RemoveFolder(a.path));
  EXPECT_FALSE(os().Move(a.path, Path("renamed")));
  EXPECT_FALSE(os().RemoveInPlace(b.path, true));
  a.hold.reset();
  b.hold.reset();
  EXPECT_TRUE(os().RemoveFolder(a.path));
  EXPECT_TRUE(os().RemoveFolder(b.path));
  PrivateFolder none = os().MakePrivateFolder(Path("missing\\deeper"));
  EXPECT_EQ("", none.path);
  EXPECT_EQ(nullptr, none.hold);
}

TEST_F(PlatformContract, AttributesTellFilesFromFoldersAndMissingPaths) {
  ASSERT_TRUE(Write(Path("file.txt"), "abc"));
  ASSERT_EQ(0u, os().MakeFolder(Path("dir")));
  EXPECT_TRUE(FileExists(os(), Path("file.txt")));
  EXPECT_FALSE(FolderExists(os(), Path("file.txt")));
  EXPECT_TRUE(FolderExists(os(), Path("dir")));
  EXPECT_TRUE(FolderExists(os(), Path("dir\\")));
  EXPECT_FALSE(FileExists(os(), Path("dir")));
  EXPECT_EQ(kInvalidAttributes, os().Attributes(Path("missing")));
  EXPECT_FALSE(FolderExists(os(), Path("missing")));
  EXPECT_EQ(3u, os().FileSize(Path("file.txt")).value_or(99));
  EXPECT_FALSE(os().FileSize(Path("missing")).has_value());
  EXPECT_TRUE(os().LastWriteTime(Path("file.txt")).has_value());
  EXPECT_TRUE(FileExists(os(), MapUpperCase(os(), Path("file.txt"), kLcmapUppercase)));
}

TEST_F(PlatformContract, CopyHonoursFailIfExistsAndMissingFolders) {
  ASSERT_TRUE(Write(Path("a"), "new"));
  ASSERT_TRUE(Write(Path("b"), "old"));
  EXPECT_FALSE(os().Copy(Path("a"), Path("b"), true));
  EXPECT_EQ("old", Read(Path("b")));
  EXPECT_TRUE(os().Copy(Path("a"), Path("b"), false));
  EXPECT_EQ("new", Read(Path("b")));
  EXPECT_FALSE(os().Copy(Path("a"), Path("nodir\\c"), false));
  EXPECT_FALSE(os().Copy(Path("missing"), Path("c"), false));
  EXPECT_FALSE(FileExists(os(), Path("c")));
}

TEST_F(PlatformContract, AFileNamedWithATrailingBackslashIsNotFound) {
  ASSERT_TRUE(Write(Path("file.txt"), "x"));
  EXPECT_EQ(kInvalidAttributes, os().Attributes(Path("file.txt\\")));
  EXPECT_FALSE(os().Delete(Path("file.txt\\")));
  EXPECT_EQ(nullptr, os().OpenForRead(Path("file.txt\\"), false));
  EXPECT_TRUE(FileExists(os(), Path("file.txt")));
}

TEST_F(PlatformContract, MoveRenamesButNeverReplaces) {
  ASSERT_TRUE(Write(Path("a"), "A"));
  ASSERT_TRUE(Write(Path("b"), "B"));
  EXPECT_FALSE(os().Move(Path("a"), Path("b")));
  EXPECT_EQ("B", Read(Path("b")));
  EXPECT_TRUE(os().Move(Path("a"), Path("c")));
  EXPECT_FALSE(FileExists(os(), Path("a")));
  EXPECT_EQ("A", Read(Path("c")));
  EXPECT_FALSE(os().Move(Path("missing"), Path("d")));
}

TEST_F(PlatformContract, DeleteRefusesReadOnlyFilesAndFolders) {
  ASSERT_TRUE(Write(Path("ro"), "x"));
  ASSERT_TRUE(os().SetAttributes(Path("ro"), kAttrReadOnly));
  EXPECT_EQ(kAttrReadOnly, os().Attributes(Path("ro")) & kAttrReadOnly);
  EXPECT_FALSE(os().Delete(Path("ro")));
  EXPECT_TRUE(FileExists(os(), Path("ro")));
  ASSERT_TRUE(os().SetAttributes(Path("ro"), kAttrNormal));
  EXPECT_TRUE(os().Delete(Path("ro")));
  EXPECT_FALSE(FileExists(os(), Path("ro")));
  EXPECT_FALSE(os().Delete(Path("ro")));
  ASSERT_EQ(0u, os().MakeFolder(Path("dir")));
  EXPECT_FALSE(os().Delete(Path("dir")));
}

TEST_F(PlatformContract, FolderCreationAndRemovalErrors) {
  EXPECT_EQ(0u, os().MakeFolder(Path("dir")));
  EXPECT_EQ(kErrAlreadyExists, os().MakeFolder(Path("dir")));
  EXPECT_EQ(kErrPathNotFound, os().MakeFolder(Path("no\\sub")));
  ASSERT_TRUE(Write(Path("dir\\f"), "x"));
  EXPECT_FALSE(os().RemoveFolder(Path("dir")));
  ASSERT_TRUE(os().Delete(Path("dir\\f")));
  EXPECT_TRUE(os().RemoveFolder(Path("dir")));
  EXPECT_FALSE(FolderExists(os(), Path("dir")));
  EXPECT_FALSE(os().RemoveFolder(Path("dir")));
  EXPECT_NE(0u, os().SetCurrentFolder(Path("missing")));
}

TEST_F(PlatformContract, ReadersAndWriters) {
  std::string big(100000, 'q');
  big[5] = '\0';
  ASSERT_TRUE(Write(Path("big"), big));
  EXPECT_EQ(big, Read(Path("big")));
  ASSERT_TRUE(Write(Path("big"), "short"));
  EXPECT_EQ("short", Read(Path("big")));
  EXPECT_EQ(nullptr, os().OpenForRead(Path("missing"), false));
  EXPECT_EQ(nullptr, os().CreateForWrite(Path("nodir\\x")));
  // A new file is made only where nothing is: what is there stays whole.
  EXPECT_EQ(nullptr, os().CreateNew(Path("big")));
  EXPECT_EQ("short", Read(Path("big")));
  auto fresh = os().CreateNew(Path("fresh"));
  ASSERT_NE(nullptr, fresh);
  EXPECT_TRUE(fresh->Write("new", 3) && fresh->Close());
  fresh.reset();
  EXPECT_EQ("new", Read(Path("fresh")));
  auto exclusive = os().OpenForRead(Path("big"), true);
  ASSERT_NE(nullptr, exclusive);
  EXPECT_EQ(nullptr, os().OpenForRead(Path("big"), false));
  exclusive.reset();
  // A reader shares the file for reading only: it cannot be written,
  // renamed or deleted meanwhile, but read again.
  auto shared = os().OpenForRead(Path("big"), false);
  ASSERT_NE(nullptr, shared);
  EXPECT_NE(nullptr, os().OpenForRead(Path("big"), false));
  EXPECT_EQ(nullptr, os().CreateForWrite(Path("big")));
  EXPECT_FALSE(os().Move(Path("big"), Path("moved")));
  EXPECT_FALSE(os().Delete(Path("big")));
  shared.reset();
  EXPECT_TRUE(os().Delete(Path("big")));
}

// A held file keeps its bytes and its name until it is let go; its copy
// has its bytes and its last write time, however often it is made.
TEST_F(PlatformContract, AHeldFileStaysAsItWasAndCopiesWithItsTime) {
  ASSERT_TRUE(Write(Path("SETUP.EXE"), "MZ held bytes"));
  std::unique_ptr<HeldFile> held = os().HoldFile(Path("SETUP.EXE"));
  ASSERT_NE(nullptr, held);
  EXPECT_FALSE(os().Delete(Path("SETUP.EXE")));
  EXPECT_FALSE(os().Move(Path("SETUP.EXE"), Path("OTHER.EXE")));
  EXPECT_EQ(nullptr, os().CreateForWrite(Path("SETUP.EXE")));
  EXPECT_EQ("MZ held bytes", Read(Path("SETUP.EXE")));
  ASSERT_TRUE(Write(Path("COPY.EXE"), "an older copy, longer than the program"));
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(held->CopyTo(Path("COPY.EXE")));
    EXPECT_EQ("MZ held bytes", Read(Path("COPY.EXE")));
  }
  ASSERT_TRUE(held->LastWriteTime().has_value());
  EXPECT_EQ(os().LastWriteTime(Path("SETUP.EXE")), held->LastWriteTime());
  EXPECT_EQ(held->LastWriteTime(), os().LastWriteTime(Path("COPY.EXE")));
  EXPECT_FALSE(held->CopyTo(Path("nodir\\COPY.EXE")));
  held.reset();
  EXPECT_TRUE(os().Delete(Path("SETUP.EXE")));
  EXPECT_EQ(nullptr, os().HoldFile(Path("SETUP.EXE")));
}

// What RemoveInPlace takes: the named file, or the named empty folder,
// however the path is spelt; nothing of the wrong kind, read-only, in use
// or missing.
TEST_F(PlatformContract, RemoveInPlaceTakesTheNamedFileOrEmptyFolder) {
  ASSERT_EQ(0u, os().MakeFolder(Path("d")));
  ASSERT_TRUE(Write(Path("d\\f.txt"), "f"));
  ASSERT_TRUE(Write(Path("ro.txt"), "ro"));
  ASSERT_TRUE(os().SetAttributes(Path("ro.txt"), kAttrReadOnly));
  EXPECT_FALSE(os().RemoveInPlace(Path("d\\f.txt"), true));
  EXPECT_FALSE(os().RemoveInPlace(Path("d"), false));
  EXPECT_FALSE(os().RemoveInPlace(Path("d"), true));  // not empty
  EXPECT_FALSE(os().RemoveInPlace(Path("missing"), false));
  EXPECT_FALSE(os().RemoveInPlace(Path("ro.txt"), false));
  EXPECT_EQ("ro", Read(Path("ro.txt")));
  {
    auto reader = os().OpenForRead(Path("d\\f.txt"), false);
    EXPECT_FALSE(os().RemoveInPlace(Path("d\\f.txt"), false));
  }
  EXPECT_TRUE(os().RemoveInPlace(Path("d\\.\\..\\d\\f.txt"), false));
  EXPECT_FALSE(FileExists(os(), Path("d\\f.txt")));
  EXPECT_TRUE(os().RemoveInPlace(Path("d\\"), true));
  EXPECT_FALSE(FolderExists(os(), Path("d")));
  ASSERT_TRUE(os().SetAttributes(Path("ro.txt"), kAttrNormal));
}

// A link on the way is followed by every lookup, never by RemoveInPlace:
// what it points at stays. A link at the end goes itself where the system
// can open a link as itself; Wine 8 opens what it points at even then, and
// so removes nothing.
TEST_F(PlatformContract, NothingIsRemovedThroughALink) {
  ASSERT_EQ(0u, os().MakeFolder(Path("target")));
  ASSERT_TRUE(Write(Path("target\\kept.txt"), "kept"));
  ASSERT_TRUE(Write(Path("target\\plain.txt"), "plain"));
  if (!world_->MakeLink(Path("link"), Path("target"), true) ||
      !world_->MakeLink(Path("file.lnk"), Path("target\\plain.txt"), false)) {
    GTEST_SKIP() << "this system makes no symbolic links for the tests";
  }
  EXPECT_NE(0u, os().Attributes(Path("link")) & kAttrReparsePoint);
  EXPECT_EQ("kept", Read(Path("link\\kept.txt")));
  EXPECT_FALSE(os().RemoveInPlace(Path("link\\kept.txt"), false));
  EXPECT_EQ("kept", Read(Path("target\\kept.txt")));
  for (const auto& [link, folder] : {std::pair{"link", true}, {"file.lnk", false}}) {
    SCOPED_TRACE(link);
    bool removed = os().RemoveInPlace(Path(link), folder);
    EXPECT_EQ(removed, os().Attributes(Path(link)) == kInvalidAttributes);
  }
  EXPECT_EQ("kept", Read(Path("target\\kept.txt")));
  EXPECT_EQ("plain", Read(Path("target\\plain.txt")));
}

// A log is added to, never cut, and opened only where it is a plain file
// of one name: a link, a folder link on the way, a second hard link or a
// folder is refused, and what it would have reached stays as it was.
TEST_F(PlatformContract, AppendToAddsToAPlainFileOnly) {
  AppendFile fresh = os().AppendTo(Path("run.log"));
  ASSERT_NE(nullptr, fresh.writer);
  EXPECT_EQ(0u, fresh.size);
  ASSERT_TRUE(fresh.writer->Write("ab", 2));
  ASSERT_TRUE(fresh.writer->Close());
  fresh.writer.reset();
  AppendFile again = os().AppendTo(Path("run.log"));
  ASSERT_NE(nullptr, again.writer);
  EXPECT_EQ(2u, again.size);
  ASSERT_TRUE(again.writer->Write("cd", 2) && again.writer->Close());
  again.writer.reset();
  EXPECT_EQ("abcd", Read(Path("run.log")));
  ASSERT_EQ(0u, os().MakeFolder(Path("dir")));
  EXPECT_EQ(nullptr, os().AppendTo(Path("dir")).writer);
  EXPECT_EQ(nullptr, os().AppendTo(Path("nodir\\run.log")).writer);
  ASSERT_TRUE(Write(Path("system.dat"), "the system's"));
  ASSERT_TRUE(world_->MakeHardLink(Path("second.log"), Path("system.dat")));
  EXPECT_EQ(nullptr, os().AppendTo(Path("second.log")).writer);
  EXPECT_EQ(nullptr, os().AppendTo(Path("system.dat")).writer);
  EXPECT_EQ("the system's", Read(Path("system.dat")));
  ASSERT_TRUE(Write(Path("victim.dat"), "victim"));
  if (!world_->MakeLink(Path("linked.log"), Path("victim.dat"), false) ||
      !world_->MakeLink(Path("logs"), Path("dir"), true)) {
    GTEST_SKIP() << "this system makes no symbolic links for the tests";
  }
  EXPECT_EQ(nullptr, os().AppendTo(Path("linked.log")).writer);
  EXPECT_EQ("victim", Read(Path("victim.dat")));
  EXPECT_EQ(nullptr, os().AppendTo(Path("logs\\new.log")).writer);
  EXPECT_EQ(kInvalidAttributes, os().Attributes(Path("dir\\new.log")));
}

// "." and ".." steps are resolved before a path is looked up; names holding
// characters no file name may hold are refused, whatever is asked of them.
TEST_F(PlatformContract, PathStepsAndForbiddenNames) {
  ASSERT_EQ(0u, os().MakeFolder(Path("d")));
  ASSERT_TRUE(Write(Path("d\\..\\f.txt"), "up"));
  EXPECT_EQ("up", Read(Path("f.txt")));
  EXPECT_EQ("up", Read(Path(".\\d\\.\\..\\f.txt")));
  EXPECT_TRUE(os().Move(Path("d\\..\\f.txt"), Path("d\\g.txt")));
  EXPECT_EQ("up", Read(Path("d\\g.txt")));
  EXPECT_EQ(os().FullPath(Path("d")), os().FullPath(Path("d\\.\\..\\d")));
  EXPECT_EQ(os().FullPath(Path("d\\g.txt")), os().FullPath(Path("d/g.txt")));
  EXPECT_NE(os().FullPath(Path("d")), os().FullPath(Path("d\\g.txt")));
  for (const char* name : {"a<b", "a>b", "a\"b", "a|b", "a?b", "a*b"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(nullptr, os().CreateForWrite(Path(name)));
    EXPECT_NE(0u, os().MakeFolder(Path(name)));
    EXPECT_FALSE(os().Copy(Path("d\\g.txt"), Path(name), false));
    EXPECT_EQ(kInvalidAttributes, os().Attributes(Path(name)));
  }
}

TEST_F(PlatformContract, ProfileValuesAreTrimmedUnquotedAndCut) {
  std::string longValue(300, 'x');
  ASSERT_TRUE(Write(Path("p.ini"),
                    "[S]\r\n  spaced  =   value with blanks   \r\n"
                    "dq=\"quoted\"\r\nsq='single'\r\nhalf=\"open\r\n"
                    "long=" + longValue + "\r\nempty=\r\nnoequals\r\n"));
  EXPECT_EQ("value with blanks", Profile("spaced"));
  EXPECT_EQ("quoted", Profile("dq"));
  EXPECT_EQ("single", Profile("sq"));
  EXPECT_EQ("\"open", Profile("half"));
  EXPECT_EQ(std::string(254, 'x'), Profile("long"));
  EXPECT_EQ("", Profile("empty"));
  EXPECT_EQ("<default>", Profile("noequals"));
}

TEST_F(PlatformContract, ProfileMissingPiecesGiveTheDefault) {
  ASSERT_TRUE(Write(Path("p.ini"), "[S]\r\nk=v\r\n"));
  EXPECT_EQ("(Prg)\\", Profile("missing", "(Prg)\\"));
  EXPECT_EQ("", Profile("missing", ""));
  EXPECT_EQ("d", Profile("k", "d", "Nosection"));
  EXPECT_EQ("d", ReadIniString(os(), "S", "k", "d", Path("nofile.ini")));
  EXPECT_EQ(std::string(254, 'y'), Profile("missing", std::string(300, 'y')));
}

TEST_F(PlatformContract, ProfileNamesIgnoreCaseAndTheFirstOneWins) {
  ASSERT_TRUE(Write(Path("p.ini"), "[S]\r\nKey=first\r\nkey=second\r\n[s]\r\nother=x\r\n"));
  EXPECT_EQ("first", Profile("KEY", "<default>", "s"));
  EXPECT_EQ("<default>", Profile("other"));
}

// Odd bytes in a definition file, read as the system reads them: a lone
// carriage return ends a line, a NUL ends a value, and a file that starts
// with a UTF-8 or UTF-16 byte-order mark is read in that encoding.
TEST_F(PlatformContract, ProfileOddBytesAreReadAsTheSystemReadsThem) {
  const std::string odd("[S]\r\na=one\rb=two\r\nnul=x\0y\r\n", 27);
  ASSERT_TRUE(Write(Path("p.ini"), odd));
  EXPECT_EQ("one", Profile("a"));
  EXPECT_EQ("two", Profile("b"));
  EXPECT_EQ("x", Profile("nul"));
  ASSERT_TRUE(Write(Path("u8.ini"), "\xef\xbb\xbf[S]\r\nk=v\r\n"));
  EXPECT_EQ("v", ReadIniString(os(), "S", "k", "<default>", Path("u8.ini")));
  ASSERT_TRUE(Write(Path("u16.ini"), std::string("\xff\xfe[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0", 22)));
  EXPECT_EQ("v", ReadIniString(os(), "S", "k", "<default>", Path("u16.ini")));
}

TEST_F(PlatformContract, ProfileWritesAreReadBack) {
  std::string file = Path("w.ini");
  EXPECT_TRUE(WriteIniString(os(), "Sec", "Key", "Value", file));
  EXPECT_TRUE(WriteIniString(os(), "Sec", "Empty", "", file));
  EXPECT_TRUE(WriteIniString(os(), "Two", "Key", "表示", file));
  EXPECT_TRUE(WriteIniString(os(), "Sec", "Key", "Changed", file));
  EXPECT_EQ("Changed", ReadIniString(os(), "Sec", "Key", "", file));
  EXPECT_EQ("", ReadIniString(os(), "Sec", "Empty", "<default>", file));
  EXPECT_EQ("表示", ReadIniString(os(), "Two", "Key", "", file));
  EXPECT_FALSE(WriteIniString(os(), "Sec", "Key", "v", Path("nodir\\w.ini")));
}

TEST_F(PlatformContract, UpperCaseMappingKnowsEveryScript) {
  EXPECT_EQ("C:\\PROGRAM FILES\\表\\ABC", MapUpperCase(os(), "c:\\Program Files\\表\\abc", 512));
  EXPECT_EQ("", MapUpperCase(os(), "", 512));
  EXPECT_EQ("JÖRG NGUYỄN 𠮷田 ＡＢ ΑΒ ЖЁ", MapUpperCase(os(), "Jörg Nguyễn 𠮷田 ａｂ αβ жё", 512));
}

// Shift-JIS is code page 932 whatever the system's code page: the second
// bytes 5C of 表 and ソ, the wave dash as Windows maps it, half-width
// katakana; broken bytes and characters Shift-JIS lacks are refused rather
// than guessed at (no look-alike: the yen sign is not the backslash).
TEST_F(PlatformContract, ShiftJisIsCodePage932Exactly) {
  const std::pair<const char*, const char*> pairs[] = {
      {"\x95\x5c\x83\x5c", "表ソ"}, {"\x81\x60", "～"}, {"\xb1\xdd", "ｱﾝ"},
      {"C:\\a\x81\x5f", "C:\\a＼"}, {"", ""}};
  for (const auto& [bytes, text] : pairs) {
    EXPECT_EQ(text, os().FromCodePage(932, bytes).value_or("<refused>"));
    EXPECT_EQ(bytes, os().ToCodePage(932, text).value_or("<refused>"));
  }
  EXPECT_FALSE(os().FromCodePage(932, "ab\x82").has_value());
  for (const char* lacking : {"𠮷", "ö", "¥", "ễ"}) {
    EXPECT_FALSE(os().ToCodePage(932, lacking).has_value()) << lacking;
  }
}

// Names outside Shift-JIS (𠮷 outside the BMP, ö) and a Shift-JIS trail byte
// 5C (表) are held exactly by files, folders, links, profiles and keys.
TEST_F(PlatformContract, AnyNameRoundTrips) {
  const std::string name = "𠮷ö表";
  const std::string folder = Path(name);
  ASSERT_EQ(0u, os().MakeFolder(folder));
  EXPECT_TRUE(FolderExists(os(), folder + "\\"));
  ASSERT_TRUE(Write(folder + "\\" + name + ".txt", "x"));
  EXPECT_EQ("x", Read(Path(name + "\\" + name + ".txt")));
  EXPECT_EQ(folder + "\\" + name + ".txt", os().FullPath(folder + "\\.\\" + name + ".txt"));
  EXPECT_TRUE(os().Copy(folder + "\\" + name + ".txt", folder + "\\コピー.txt", true));
  EXPECT_TRUE(os().Move(folder + "\\コピー.txt", folder + "\\Jörg.txt"));
  EXPECT_EQ("x", Read(folder + "\\Jörg.txt"));
  const std::string ini = folder + "\\" + name + ".ini";
  EXPECT_TRUE(WriteIniString(os(), name, name, folder, ini));
  EXPECT_EQ(folder, ReadIniString(os(), name, name, "", ini));
  ShellLinkResult made = os().CreateShellLink();
  ASSERT_NE(nullptr, made.link);
  made.link->SetPath(folder + "\\Jörg.txt");
  EXPECT_TRUE(made.link->Save(folder + "\\" + name + ".lnk"));
  EXPECT_TRUE(FileExists(os(), folder + "\\" + name + ".lnk"));
  const std::string key = "Software\\QuilloContract\\" + name;
  ASSERT_TRUE(os().CreateRegistryKey(RegRoot::CurrentUser, key));
  EXPECT_TRUE(os().SetRegistryValue(RegRoot::CurrentUser, key, name, {RegValue::Kind::String, folder, 0}));
  auto value = os().GetRegistryValue(RegRoot::CurrentUser, key, name);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(folder, value->text);
  EXPECT_TRUE(os().DeleteRegistryTree(RegRoot::CurrentUser, "Software\\QuilloContract"));
}

// A profile file keeps its bytes while its text fits in Shift-JIS, and
// becomes UTF-16LE with a byte-order mark (which the system's own profile
// functions read) once a value does not; UTF-8 after a mark reads too.
TEST_F(PlatformContract, ProfileFilesKeepShiftJisUntilAValueDoesNotFit) {
  const std::string file = Path("rec.ini");
  ASSERT_TRUE(WriteIniString(os(), "Title", "UnSetup", "サンプル", file));
  ASSERT_TRUE(WriteIniString(os(), "Files", "File1", "C:\\表\\A.TXT", file));
  EXPECT_EQ("[Title]\r\nUnSetup=\x83\x54\x83\x93\x83\x76\x83\x8b\r\n\r\n"
            "[Files]\r\nFile1=C:\\\x95\x5c\\A.TXT\r\n",
            Read(file));
  ASSERT_TRUE(WriteIniString(os(), "Files", "File2", "C:\\𠮷田\\B.TXT", file));
  const std::string bytes = Read(file);
  EXPECT_EQ(std::string("\xff\xfe[\0T\0", 6), bytes.substr(0, 6));
  EXPECT_EQ("サンプル", ReadIniString(os(), "Title", "UnSetup", "", file));
  EXPECT_EQ("C:\\表\\A.TXT", ReadIniString(os(), "Files", "File1", "", file));
  EXPECT_EQ("C:\\𠮷田\\B.TXT", ReadIniString(os(), "Files", "File2", "", file));
  ASSERT_TRUE(Write(Path("u8.ini"), "\xef\xbb\xbf[S]\r\nk=𠮷野家\r\n"));
  EXPECT_EQ("𠮷野家", ReadIniString(os(), "S", "k", "", Path("u8.ini")));
}

// Values are cut as the program's 255-byte buffer always cut them, counted
// in Shift-JIS bytes and never through a character.
TEST_F(PlatformContract, ProfileValuesAreCutToWholeCharacters) {
  ASSERT_TRUE(Write(Path("p.ini"), "[S]\r\nkanji=" + std::string(253, 'x') + "\x95\x5c\r\n"
                                   "kana=" + std::string(253, 'x') + "\xb1\xb1\r\n"));
  EXPECT_EQ(std::string(253, 'x'), Profile("kanji"));
  EXPECT_EQ(std::string(253, 'x') + "ｱ", Profile("kana"));
}

TEST_F(PlatformContract, RegistryKeysValuesAndTrees) {
  const std::string key = "Software\\QuilloContract\\" + world_->root().substr(world_->root().rfind('\\') + 1);
  ASSERT_TRUE(os().CreateRegistryKey(RegRoot::CurrentUser, key + "\\Sub\\Deeper"));
  RegValue text{RegValue::Kind::String, "表示", 0};
  RegValue number{RegValue::Kind::Dword, "", 0xFFFFFFFEu};
  EXPECT_TRUE(os().SetRegistryValue(RegRoot::CurrentUser, key, "Text", text));
  EXPECT_TRUE(os().SetRegistryValue(RegRoot::CurrentUser, key + "\\Sub", "Number", number));
  EXPECT_FALSE(os().SetRegistryValue(RegRoot::CurrentUser, key + "\\Missing", "X", text));
  auto readText = os().GetRegistryValue(RegRoot::CurrentUser, key, "text");
  ASSERT_TRUE(readText.has_value());
  EXPECT_EQ("表示", readText->text);
  auto readNumber = os().GetRegistryValue(RegRoot::CurrentUser, key + "\\Sub", "Number");
  ASSERT_TRUE(readNumber.has_value());
  EXPECT_EQ(RegValue::Kind::Dword, readNumber->kind);
  EXPECT_EQ(0xFFFFFFFEu, readNumber->number);
  EXPECT_TRUE(os().DeleteRegistryTree(RegRoot::CurrentUser, key));
  EXPECT_FALSE(os().GetRegistryValue(RegRoot::CurrentUser, key + "\\Sub", "Number").has_value());
  EXPECT_FALSE(os().DeleteRegistryTree(RegRoot::CurrentUser, key));
  // A trailing backslash names the same key (records may carry one).
  ASSERT_TRUE(os().CreateRegistryKey(RegRoot::CurrentUser, key + "\\Tail\\"));
  EXPECT_TRUE(os().DeleteRegistryTree(RegRoot::CurrentUser, key + "\\Tail\\"));
  EXPECT_FALSE(os().DeleteRegistryTree(RegRoot::CurrentUser, key + "\\Tail"));
  os().DeleteRegistryTree(RegRoot::CurrentUser, "Software\\QuilloContract");
}

// The day where the system is, as the registration's InstallDate holds it.
TEST_F(PlatformContract, TheLocalDateIsADayOfEightDigits) {
  const std::string date = os().LocalDate();
  ASSERT_EQ(8u, date.size()) << date;
  for (char c : date) ASSERT_TRUE(c >= '0' && c <= '9') << date;
  EXPECT_GE(std::stoi(date.substr(0, 4)), 2000) << date;
  EXPECT_GE(std::stoi(date.substr(4, 2)), 1) << date;
  EXPECT_LE(std::stoi(date.substr(4, 2)), 12) << date;
  EXPECT_GE(std::stoi(date.substr(6, 2)), 1) << date;
  EXPECT_LE(std::stoi(date.substr(6, 2)), 31) << date;
}

// A registry link is followed by every lookup and never by a deletion: a
// path through it deletes nothing; a link among the sub-keys goes itself,
// and what it points at stays.
TEST_F(PlatformContract, RegistryLinksAreDeletedNeverFollowed) {
  const std::string base =
      "Software\\QuilloContract\\" + world_->root().substr(world_->root().rfind('\\') + 1);
  ASSERT_TRUE(os().CreateRegistryKey(RegRoot::CurrentUser, base + "\\Target\\Sub"));
  ASSERT_TRUE(os().CreateRegistryKey(RegRoot::CurrentUser, base + "\\Holder"));
  EXPECT_TRUE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Target\\Sub"));
  EXPECT_FALSE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Missing"));
  struct Cleanup {
    Platform& os;
    std::string key;
    ~Cleanup() { os.DeleteRegistryTree(RegRoot::CurrentUser, "Software\\QuilloContract"); }
  } cleanup{os(), base};
  if (!world_->MakeRegistryLink(base + "\\Holder\\Link", base + "\\Target") ||
      !world_->MakeRegistryLink(base + "\\Alone", base + "\\Target")) {
    GTEST_SKIP() << "this system makes no registry links for the tests";
  }
  EXPECT_TRUE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Holder\\Link\\Sub"));
  EXPECT_FALSE(os().DeleteRegistryTree(RegRoot::CurrentUser, base + "\\Holder\\Link\\Sub"));
  EXPECT_TRUE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Target\\Sub"));
  EXPECT_TRUE(os().DeleteRegistryTree(RegRoot::CurrentUser, base + "\\Alone"));
  EXPECT_FALSE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Alone"));
  EXPECT_TRUE(os().DeleteRegistryTree(RegRoot::CurrentUser, base + "\\Holder"));
  EXPECT_FALSE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Holder"));
  EXPECT_TRUE(os().RegistryKeyExists(RegRoot::CurrentUser, base + "\\Target\\Sub"));
}

TEST_F(PlatformContract, ShellLinksAreSavedWhereAsked) {
  ShellLinkResult made = os().CreateShellLink();
  ASSERT_NE(nullptr, made.link) << made.error;
  ASSERT_TRUE(Write(Path("app.exe"), "MZ"));
  made.link->SetPath(Path("app.exe"));
  made.link->SetWorkingDirectory(world_->root() + "\\");
  EXPECT_TRUE(made.link->Save(Path("App.lnk")));
  EXPECT_TRUE(FileExists(os(), Path("App.lnk")));
  EXPECT_FALSE(made.link->Save(Path("nodir\\App.lnk")));
}

// A second thread, where the platform has one: its work runs beside the
// caller, each side's turn comes by the other's counter (and with it what
// the other wrote), waited for or looked for, and is taken once; it starts
// once, and Join waits for its end.
TEST_F(PlatformContract, ASecondThreadTakesTurnsByTheCounters) {
  std::unique_ptr<Beside> beside = os().MakeBeside();
  if (!beside) GTEST_SKIP() << "no second thread here: unpacking decodes and writes in turn";
  struct Turns {
    Beside* beside;
    std::vector<int> seen;
    static void Run(void* self) {
      auto& t = *static_cast<Turns*>(self);
      for (int i = 0; i < 200; ++i) {
        t.beside->Await(0);
        t.seen.push_back(i);
        t.beside->Post(1);
      }
    }
  } turns{beside.get(), {}};
  ASSERT_TRUE(beside->Start(&Turns::Run, &turns));
  EXPECT_FALSE(beside->Start(&Turns::Run, &turns)) << "started twice";
  EXPECT_FALSE(beside->Ready(1)) << "a turn that was never given";
  for (int i = 0; i < 200; ++i) {
    beside->Post(0);
    if (i % 2 == 0) {
      beside->Await(1);
    } else {
      while (!beside->Ready(1)) {
      }
    }
    ASSERT_EQ(turns.seen.size(), static_cast<size_t>(i + 1));
    ASSERT_EQ(turns.seen.back(), i);
  }
  EXPECT_FALSE(beside->Ready(1)) << "a turn taken twice";
  beside->Join();
  beside->Join();
}

}  // namespace
}  // namespace qs::contract
