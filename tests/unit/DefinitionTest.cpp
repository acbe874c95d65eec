#include <gtest/gtest.h>

#include <cctype>

#include "data/Definition.h"
#include "tests/support/FakePlatform.h"

namespace qs {
namespace {

MarkerFolders Folders() {
  return {"C:\\Program Files\\Tools\\", "C:\\Program Files", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
}

TEST(ResolveMarkerPath, EachMarkerSelectsItsBase) {
  MarkerFolders f = Folders();
  EXPECT_EQ("C:\\Program Files\\Tools\\bin\\A.EXE", ResolveMarkerPath("(App)\\bin\\A.EXE", f, kCp932));
  EXPECT_EQ("C:\\Program Files\\Tools\\A.EXE", ResolveMarkerPath("(App)A.EXE", f, kCp932));
  EXPECT_EQ("C:\\Program Files\\X", ResolveMarkerPath("(Prg)\\X", f, kCp932));
  EXPECT_EQ("C:\\WINDOWS\\X.INI", ResolveMarkerPath("(Win)X.INI", f, kCp932));
  EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\X.DLL", ResolveMarkerPath("(Sys)\\X.DLL", f, kCp932));
  EXPECT_EQ("C:\\BOOT.INI", ResolveMarkerPath("(Boo)\\BOOT.INI", f, kCp932));
  f.windowsFolder = "D:\\OS\\WIN";
  EXPECT_EQ("D:\\OS\\X", ResolveMarkerPath("(Boo)X", f, kCp932));
  EXPECT_EQ("C:\\Program Files\\Tools\\", ResolveMarkerPath("(App)", f, kCp932));
}

TEST(ResolveMarkerPath, WithoutAMarkerTheFirstFiveCharactersAreTheBase) {
  MarkerFolders f = Folders();
  EXPECT_EQ("C:\\To\\ols\\x.exe", ResolveMarkerPath("C:\\Tools\\x.exe", f, kCp932));
  EXPECT_EQ("(app)\\x", ResolveMarkerPath("(app)\\x", f, kCp932));
  EXPECT_EQ("abc\\", ResolveMarkerPath("abc", f, kCp932));
  EXPECT_EQ("C:\\表\\x", ResolveMarkerPath("(App)x", {"C:\\表", "", "", ""}, kCp932));
}

TEST(ResolveDefaultFolder, JoinsDirectlyAndEnsuresATrailingBackslash) {
  MarkerFolders f = Folders();
  EXPECT_EQ("C:\\Program Files\\Tools\\", ResolveDefaultFolder("(Prg)\\Tools", f, kCp932));
  EXPECT_EQ("C:\\Program FilesTools\\", ResolveDefaultFolder("(Prg)Tools", f, kCp932));
  EXPECT_EQ("C:\\Program Files\\", ResolveDefaultFolder("(Prg)\\", f, kCp932));
  EXPECT_EQ("C:\\WINDOWS\\", ResolveDefaultFolder("(Win)", f, kCp932));
  EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\", ResolveDefaultFolder("(Sys)", f, kCp932));
  EXPECT_EQ("C:\\Apps\\", ResolveDefaultFolder("(Boo)\\Apps", f, kCp932));
  EXPECT_EQ("D:\\Apps\\", ResolveDefaultFolder("D:\\Apps", f, kCp932));
  EXPECT_EQ("\\", ResolveDefaultFolder("", f, kCp932));
  EXPECT_EQ("(prg)\\Tools\\", ResolveDefaultFolder("(prg)\\Tools", f, kCp932));
  EXPECT_EQ("(App)\\X\\", ResolveDefaultFolder("(App)\\X", f, kCp932));
}

TEST(CopyFileValue, SplitsAtTheFirstComma) {
  CopyFileValue v = SplitCopyFileValue("(App)\\bin\\TOOL.EX_,/C");
  EXPECT_EQ("(App)\\bin\\TOOL.EX_", v.path);
  EXPECT_EQ(",/C", v.flag);
  v = SplitCopyFileValue("(App)\\A,/Fxyz,/L");
  EXPECT_EQ(",/F", v.flag);
  v = SplitCopyFileValue("(App)\\A,");
  EXPECT_EQ("(App)\\A", v.path);
  EXPECT_EQ(",", v.flag);
  v = SplitCopyFileValue("(App)\\A");
  EXPECT_EQ("", v.flag);
}

TEST(ShortCutName, NamesWithoutAPlaceGoToTheStartMenu) {
  EXPECT_EQ("(Sta)Viewer", ShortCutNameWithPlace("Viewer"));
  EXPECT_EQ("(Sta)Default", ShortCutNameWithPlace("Default"));
  EXPECT_EQ("(Dsk)Viewer", ShortCutNameWithPlace("(Dsk)Viewer"));
  EXPECT_EQ("(Sta)Tools\\Viewer", ShortCutNameWithPlace("(Sta)Tools\\Viewer"));
  // Either sign of a marker keeps the name as it is.
  EXPECT_EQ("(abcdef", ShortCutNameWithPlace("(abcdef"));
  EXPECT_EQ("Abcd)ef", ShortCutNameWithPlace("Abcd)ef"));
  EXPECT_TRUE(ContainsMarker("(Sta)(Dsk)X", "(Dsk)"));
  EXPECT_FALSE(ContainsMarker("(dsk)X", "(Dsk)"));
}

TEST(RegistryKey, RootMarkers) {
  RegistryKeyRef k = ParseRegistryKey("(Local)Software\\Acme");
  EXPECT_EQ(RegRoot::LocalMachine, k.root);
  EXPECT_EQ("Software\\Acme", k.path);
  EXPECT_EQ(RegRoot::ClassesRoot, ParseRegistryKey("(Class).acme").root);
  EXPECT_EQ(RegRoot::Users, ParseRegistryKey("(Users).DEFAULT\\X").root);
  k = ParseRegistryKey("(Cuser)Software\\Acme");
  EXPECT_EQ(RegRoot::CurrentUser, k.root);
  EXPECT_EQ("Software\\Acme", k.path);
  k = ParseRegistryKey("Software\\Acme");
  EXPECT_EQ(RegRoot::CurrentUser, k.root);
  EXPECT_EQ("Software\\Acme", k.path);
  k = ParseRegistryKey("(local)Software\\Acme");  // other seven characters
  EXPECT_EQ(RegRoot::CurrentUser, k.root);
  EXPECT_EQ("Software\\Acme", k.path);
}

TEST(RegistryValue, TypeMarkersAndNumbers) {
  RegValue v = ParseRegistryValue("(Str)Hello");
  EXPECT_EQ(RegValue::Kind::String, v.kind);
  EXPECT_EQ("Hello", v.text);
  v = ParseRegistryValue("Hello");
  EXPECT_EQ("Hello", v.text);
  v = ParseRegistryValue("(str)Hello");
  EXPECT_EQ("(str)Hello", v.text);
  v = ParseRegistryValue("(Int)12");
  EXPECT_EQ(RegValue::Kind::Dword, v.kind);
  EXPECT_EQ(12u, v.number);
  EXPECT_EQ(0u, ParseRegistryValue("(Int)12x").number);
  EXPECT_EQ(-5, ParseIntValue("  -5"));
  EXPECT_EQ(7, ParseIntValue("+7"));
  EXPECT_EQ(255, ParseIntValue("$FF"));
  EXPECT_EQ(-1, ParseIntValue("$FFFFFFFF"));
  EXPECT_EQ(0, ParseIntValue("$100000000"));
  EXPECT_EQ(255, ParseIntValue("$0000000FF"));
  EXPECT_EQ(-1, ParseIntValue("$000000000FFFFFFFF"));
  EXPECT_EQ(0, ParseIntValue("$0000000100000000"));
  EXPECT_EQ(2147483647, ParseIntValue("2147483647"));
  EXPECT_EQ(-2147483647 - 1, ParseIntValue("-2147483648"));
  EXPECT_EQ(0, ParseIntValue("2147483648"));
  EXPECT_EQ(0, ParseIntValue("99999999999999999999"));
  EXPECT_EQ(0, ParseIntValue(""));
  EXPECT_EQ(0, ParseIntValue("-"));
  EXPECT_EQ(0, ParseIntValue("$"));
  EXPECT_EQ(0, ParseIntValue("1 "));
}

class DefinitionReading : public ::testing::Test {
 protected:
  void Ini(const std::string& text) { os.AddFile(kFile, text); }
  DefinitionFile Read() { return DefinitionFile(os, kFile); }
  test::FakePlatform os;
  const std::string kFile = "C:\\SETUP\\SETUP.INI";
};

TEST_F(DefinitionReading, TitlesAndTheirDefaults) {
  Ini("");
  EXPECT_EQ("Quillo! Setup for Windows32", ReadTitles(Read()).setup);
  EXPECT_EQ("Quillo! Setup for Windows32", ReadTitles(Read()).unSetup);
  Ini("[Title]\r\nSetup=Acme\r\n");
  EXPECT_EQ("Acme", ReadTitles(Read()).unSetup);
  Ini("[Title]\r\nSetup=Acme\r\nUnSetup=Acme remover\r\n");
  EXPECT_EQ("Acme remover", ReadTitles(Read()).unSetup);
}

TEST_F(DefinitionReading, UninstallKeyAndFileOpenedAfterSetup) {
  Ini("[Title]\r\nUnSetup=Acme remover\r\n");
  EXPECT_EQ("Acme remover", ReadUnSetupKey(Read(), "Acme remover"));
  EXPECT_EQ("", Read().Get(keys::kExecuteFile));
  Ini("[Title]\r\nUnSetupKey=AcmeKey\r\n[ExecuteFile]\r\nFile=(App)\\README.TXT\r\n");
  EXPECT_EQ("AcmeKey", ReadUnSetupKey(Read(), "Acme remover"));
  EXPECT_EQ("(App)\\README.TXT", Read().Get(keys::kExecuteFile));
  Ini("[Title]\r\nUnSetupKey=\r\n");  // present but empty: as if missing
  EXPECT_EQ("Acme remover", ReadUnSetupKey(Read(), "Acme remover"));
}

TEST_F(DefinitionReading, TopMessageLines) {
  Ini("[TopMessage]\r\n");
  EXPECT_EQ("セットアップを行います．", ReadTopMessage(Read()));
  Ini("[TopMessage]\r\nMessage2=Hello\r\n");
  EXPECT_EQ("\rHello\r\r\r\r", ReadTopMessage(Read()));
  Ini("[TopMessage]\r\nMessage1=A\r\nMessage5=E\r\nMessage6=F\r\n");
  EXPECT_EQ("A\r\r\r\rE\r", ReadTopMessage(Read()));
}

TEST_F(DefinitionReading, ShortCutPlacesFoundAnywhereInNames) {
  Ini("[ShortCut]\r\nName7=(Dsk)(Sen)Viewer\r\nName21=(Sup)Late\r\nName3=Plain\r\n");
  ShortCutPlaces p = ReadShortCutPlaces(Read());
  EXPECT_TRUE(p.desktop);
  EXPECT_TRUE(p.sendTo);
  EXPECT_FALSE(p.startMenu);
  EXPECT_FALSE(p.startUp);
}

// The reader gives each key its number and line, as the profile rules read
// it: the first section and the first key of a name, whatever the line ends
// and the byte-order mark.
TEST_F(DefinitionReading, NumberedKeysSkipGapsStopAtTheLimitAndKeepTheirLines) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    for (const char* mark : {"", "\xEF\xBB\xBF"}) {
      auto line = [&](const std::string& text) { return text + end; };
      Ini(mark + line("; a comment") + line("[copyfile]") + line("File2=B") + line("File1=") +
          line("") + line("file99 = 'Z'") + line("File100=late") + line("File01=zero") +
          line("File2=second") + line("[CopyFile]") + line("File3=never"));
      SCOPED_TRACE(std::string("mark ") + (*mark ? "yes" : "no") + ", line end " +
                   std::to_string(std::string(end).size()));
      std::vector<DefinitionEntry> files = Read().List(keys::kCopyFile);
      ASSERT_EQ(2u, files.size());
      EXPECT_EQ(2, files[0].number);
      EXPECT_EQ("B", files[0].value);
      EXPECT_EQ(3, files[0].line);
      EXPECT_EQ(99, files[1].number);
      EXPECT_EQ("Z", files[1].value);  // quotes removed
      EXPECT_EQ(6, files[1].line);
      ASSERT_TRUE(Read().Find(keys::kCopyFile, 1).has_value());  // empty, but there
      EXPECT_EQ(4, Read().Find(keys::kCopyFile, 1)->line);
      EXPECT_FALSE(Read().Find(keys::kCopyFile, 3).has_value());
      EXPECT_EQ("fallback", Read().Get(keys::kCopyFile, 3, "fallback"));
      EXPECT_EQ(std::string(254, 'x'),
                DefinitionFile(os, "C:\\NONE.INI").Get(keys::kSetup, std::string(300, 'x')));
    }
  }
}

// Every key name of the table is found as itself, in any ASCII letter case;
// numbers without a leading zero, beyond the limit too (the caller tells).
TEST(DefinitionKeys, EachNameIsFoundWithItsNumber) {
  for (const DefinitionKey* key : kDefinitionKeys) {
    int number = -1;
    const int n = key->limit ? key->limit : 0;
    EXPECT_EQ(key, FindDefinitionKey(key->section, KeyName(*key, n), &number)) << key->name;
    EXPECT_EQ(n, number);
    std::string lower = KeyName(*key, n);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(key, FindDefinitionKey(key->section, lower, &number)) << lower;
    if (key->limit) {
      EXPECT_EQ(key, FindDefinitionKey(key->section, KeyName(*key, key->limit + 1), &number));
      EXPECT_EQ(key->limit + 1, number);
      EXPECT_EQ(nullptr, FindDefinitionKey(key->section, std::string(key->name) + "01", &number));
      EXPECT_EQ(nullptr, FindDefinitionKey(key->section, std::string(key->name) + "0", &number));
      EXPECT_EQ(nullptr, FindDefinitionKey(key->section, key->name, &number));
      EXPECT_EQ(nullptr, FindDefinitionKey(key->section, std::string(key->name) + "1x", &number));
    } else {
      EXPECT_EQ(nullptr, FindDefinitionKey(key->section, KeyName(*key, 1), &number));
    }
    EXPECT_EQ(nullptr, FindDefinitionKey("Other", KeyName(*key, n), &number));
  }
}

}  // namespace
}  // namespace qs
