// The main window's states on the real program under Wine: layout, texts,
// visible, enabled and checked states, the folder browser and the close
// question.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "flow/ControlIds.h"
#include "flow/MainLayout.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace {

class Shell : public ::testing::Test {
 protected:
  Dump Main() {
    std::optional<Dump> dump = DumpWindow(kMain);
    EXPECT_TRUE(dump.has_value()) << Drive({"windows"}).out;
    return dump.value_or(Dump{});
  }
  std::string BackTitle() {
    std::optional<Dump> back = DumpWindow(kBack);
    return back && back->Has(ids::kLblBackTitle) ? back->ById(ids::kLblBackTitle).text() : "?";
  }
  void Start(Product& product, const std::vector<std::string>& args = {}) {
    product.Launch(args);
    ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  }
  // Visible and enabled as expected: 'o' on, 's' shown but disabled, '-' hidden.
  void ExpectStates(const Dump& dump, const std::map<int, char>& states) {
    for (const auto& [id, state] : states) {
      const Control& c = dump.ById(id);
      EXPECT_EQ(state != '-', c.visible()) << "control " << id;
      if (state != '-') {
        EXPECT_EQ(state == 'o', c.enabled()) << "control " << id;
      }
    }
  }
};

TEST_F(Shell, WithoutDefinitionFileOnlyTheEndButtonWorks) {
  Product product("shell-noini");
  Start(product);
  Screenshot("startup-error");
  Dump dump = Main();
  SCOPED_TRACE(dump.raw);
  EXPECT_EQ("Quillo! Setup for Windows32", dump.window.text());
  EXPECT_EQ("", BackTitle());
  EXPECT_EQ("セットアップ・アンセットアップ情報ファイルが見つかりません．\r",
            dump.ById(ids::kLblMessage).text());
  EXPECT_EQ("C:\\Program Files\\", dump.ById(ids::kTxtFolder).text());
  EXPECT_EQ("終了(&E)", dump.ById(ids::kBtnEnd).text());
  ExpectStates(dump, {{ids::kTxtFolder, 's'}, {ids::kBtnRefer, 's'}, {ids::kChkOverWrite, 's'},
                      {ids::kChkSCutDesktop, 's'}, {ids::kChkSCutStartMenu, 's'},
                      {ids::kChkSCutStartUp, 's'}, {ids::kChkSCutSendTo, 's'},
                      {ids::kBtnSetup, 's'}, {ids::kBtnUnSetup, 's'}, {ids::kBtnEnd, 'o'},
                      {ids::kBtnContinue, '-'}, {ids::kFraReadme, '-'}, {ids::kFraStatus, '-'},
                      {ids::kBtnCloseErrorLog, '-'}});
  for (int id : {ids::kChkOverWrite, ids::kChkSCutDesktop, ids::kChkSCutSendTo}) {
    EXPECT_TRUE(dump.ById(id).checked()) << id;
  }

  // Every control sits where the layout puts it, in the parent it names.
  for (const ControlSpec& spec : MainControls()) {
    const Control& c = dump.ById(spec.id);
    EXPECT_EQ(spec.parent, c.Int("parent")) << spec.id;
    EXPECT_EQ(spec.x, c.Int("x")) << spec.id;
    EXPECT_EQ(spec.y, c.Int("y")) << spec.id;
    EXPECT_EQ(spec.width, c.Int("w")) << spec.id;
    EXPECT_EQ(spec.height, c.Int("h")) << spec.id;
  }
  // Siblings are listed top first: later controls above earlier ones, labels
  // beneath all the others of their parent.
  std::map<int, std::vector<int>> listed, expected;
  for (const Control& c : dump.controls) listed[c.Int("parent")].push_back(c.id());
  for (const ControlSpec& spec : MainControls()) {
    std::vector<int>& siblings = expected[spec.parent];
    if (spec.kind == ControlKind::Label) {
      siblings.push_back(spec.id);
    } else {
      siblings.insert(siblings.begin(), spec.id);
    }
  }
  EXPECT_EQ(expected, listed);

  // No keeps everything as it was.
  Click(ids::kBtnEnd);
  ASSERT_TRUE(AnswerBox("終了確認", kIdNo).has_value());
  ExpectBackAfterNo(product);
  Dump after = Main();
  EXPECT_EQ(dump.ById(ids::kLblMessage).text(), after.ById(ids::kLblMessage).text());
  EXPECT_TRUE(after.ById(ids::kBtnEnd).enabled());
  EndWithEndButton(product);
}

TEST_F(Shell, ReadmeThenReadyToInstall) {
  Product product("shell-readme");
  product.WriteSjis("SETUP.INI",
                    "[Title]\r\nSetup=サンプル\r\n[Readme]\r\nFile=\\README.TXT\r\nTitle=お読みください\r\n"
                    "[TopMessage]\r\nMessage1=一行目\r\nMessage3=三行目\r\n"
                    "[DefaultFolder]\r\nFolder=(Prg)\\Sample\r\n"
                    "[ShortCut]\r\nName3=(Sta)Tools\\View\r\nName20=(Sup)Start\r\n");
  product.WriteSjis("README.TXT", "表示するテキスト\nsecond line\n");
  Start(product);
  Screenshot("readme");
  Capture(kMain, "main");
  Capture(kBack, "title", {0, 0, 800, 64});
  Dump readme = Main();
  SCOPED_TRACE(readme.raw);
  EXPECT_EQ("サンプル", readme.window.text());
  EXPECT_EQ("サンプル", BackTitle());
  EXPECT_EQ("お読みください", readme.ById(ids::kFraReadme).text());
  EXPECT_EQ("表示するテキスト\r\nsecond line\r\n", readme.ById(ids::kTxtReadme).text());
  ExpectStates(readme, {{ids::kFraReadme, 'o'}, {ids::kBtnContinue, 'o'}, {ids::kBtnEnd, 'o'},
                        {ids::kBtnSetup, 's'}, {ids::kBtnUnSetup, 's'}});
  EXPECT_EQ("", readme.ById(ids::kLblMessage).text());

  Click(ids::kBtnContinue);
  ASSERT_TRUE(WaitEnabled(ids::kBtnSetup)) << "not ready to install";
  Dump ready = Main();
  Screenshot("ready-to-install");
  SCOPED_TRACE(ready.raw);
  EXPECT_EQ("一行目\r\r三行目\r\r\r", ready.ById(ids::kLblMessage).text());
  EXPECT_EQ("C:\\Program Files\\Sample\\", ready.ById(ids::kTxtFolder).text());
  ExpectStates(ready, {{ids::kFraReadme, '-'}, {ids::kBtnContinue, '-'}, {ids::kBtnSetup, 'o'},
                       {ids::kBtnUnSetup, '-'}, {ids::kBtnEnd, 'o'}, {ids::kTxtFolder, 'o'},
                       {ids::kBtnRefer, 'o'}, {ids::kChkOverWrite, 'o'},
                       {ids::kChkSCutDesktop, 's'}, {ids::kChkSCutStartMenu, 'o'},
                       {ids::kChkSCutStartUp, 'o'}, {ids::kChkSCutSendTo, 's'}});
  EXPECT_EQ("セットアップ終了(&E)", ready.ById(ids::kBtnEnd).text());

  // Browsing and cancelling leaves the folder as it was.
  Click(ids::kBtnRefer);
  EXPECT_EQ(0, Drive({"wait", "class:#32770"}).code);
  Screenshot("folder-browser");
  EXPECT_TRUE(AnswerBox("*", kIdCancel).has_value()) << Drive({"windows"}).out;
  EXPECT_TRUE(WaitEnabled(kMain, 0)) << "the folder browser did not close";
  EXPECT_EQ("C:\\Program Files\\Sample\\", Main().ById(ids::kTxtFolder).text());
  EndWithEndButton(product);
}

TEST_F(Shell, UninstallModeFromARecord) {
  ClearWorkFolders();
  Product product("shell-uninstall");
  product.WriteSjis("app/UNSETUP.INI",
                    "[Title]\r\nUnSetup=サンプル削除\r\n[SetupFolder]\r\nFolder=C:\\X\\\r\n");
  Start(product, {product.WinPath("app/UNSETUP.INI")});
  Screenshot("ready-to-uninstall");
  Dump dump = Main();
  SCOPED_TRACE(dump.raw);
  // The copy lives in the program's own folder in the administrators' Temp.
  std::vector<std::string> work = LeftWorkFolders();
  ASSERT_EQ(1u, work.size());
  std::filesystem::path copy = std::filesystem::path(WorkTemp()) / work[0] / "UNSETUP.INI";
  EXPECT_TRUE(std::filesystem::exists(copy)) << copy;
  EXPECT_EQ("サンプル削除", dump.window.text());
  EXPECT_EQ("サンプル削除", BackTitle());
  EXPECT_EQ("アンセットアップ（アンインストール）を行います．\r\r"
            "開始するには，「アンセットアップ開始（Ｓ）」を選択してください．",
            dump.ById(ids::kLblMessage).text());
  EXPECT_EQ("アンセットアップ終了(&E)", dump.ById(ids::kBtnEnd).text());
  ExpectStates(dump, {{ids::kBtnUnSetup, 'o'}, {ids::kBtnSetup, '-'}, {ids::kBtnEnd, 'o'},
                      {ids::kTxtFolder, 's'}, {ids::kBtnRefer, 's'}, {ids::kChkOverWrite, 's'},
                      {ids::kChkSCutDesktop, 's'}, {ids::kFraReadme, '-'}});
  // Ended through the backdrop: the temporary copy goes as with the end button.
  Drive({"close", kBack});
  ASSERT_TRUE(AnswerBox("終了確認", kIdYes).has_value()) << "no close question";
  ASSERT_TRUE(product.WaitExit(15000).has_value()) << "the program did not end";
  EXPECT_FALSE(std::filesystem::exists(copy)) << "the temporary copy was left behind";
  EXPECT_EQ(std::vector<std::string>{}, LeftWorkFolders());
  EXPECT_TRUE(std::filesystem::exists(product.folder() + "/app/UNSETUP.INI"));
}

// An old UNSETUP.INI in TEMP is another product's record: the program reads
// its own copy and leaves the old one as it was, whether it could replace
// it or (immutable: root under Wine replaces read-only files) not.
TEST_F(Shell, AnOldRecordCopyInTempIsNeitherUsedNorTouched) {
  Product product("shell-stale-record");
  product.WriteSjis("app/UNSETUP.INI", "[Title]\r\nUnSetup=新しい製品\r\n");
  std::filesystem::path stalePath = std::filesystem::path(WineTemp()) / "UNSETUP.INI";
  const std::string stale = "[Title]\r\nUnSetup=Old\r\n[SetupFolder]\r\nFolder=C:\\Old\\\r\n";
  std::filesystem::create_directories(stalePath.parent_path());
  for (bool replaceable : {true, false}) {
    SCOPED_TRACE(replaceable ? "replaceable" : "immutable");
    RemoveFile(stalePath.string());
    { std::ofstream(stalePath, std::ios::binary) << stale; }
    std::optional<Immutable> locked;
    if (!replaceable) locked.emplace(stalePath.string());
    Start(product, {product.WinPath("app/UNSETUP.INI")});
    Dump dump = Main();
    SCOPED_TRACE(dump.raw);
    EXPECT_EQ("新しい製品", dump.window.text());
    ExpectStates(dump, {{ids::kBtnUnSetup, 'o'}, {ids::kBtnEnd, 'o'}});
    EndWithEndButton(product);
    locked.reset();
    EXPECT_EQ(stale, ReadFile(stalePath.string()));
  }
  RemoveFile(stalePath.string());
}

TEST_F(Shell, TabFollowsTheListAndAltLettersPressButtons) {
  Product product("shell-keys");
  product.WriteSjis("SETUP.INI", "[ShortCut]\r\nName1=(Dsk)(Sta)(Sup)(Sen)All\r\n");
  Start(product);
  std::vector<int> expected = {ids::kTxtFolder, ids::kBtnRefer, ids::kChkOverWrite,
                               ids::kChkSCutDesktop, ids::kChkSCutStartMenu,
                               ids::kChkSCutStartUp, ids::kChkSCutSendTo, ids::kBtnSetup,
                               ids::kBtnEnd, ids::kTxtFolder};
  // Each key's effect is waited for: the focus where it should be next.
  std::vector<int> seen;
  for (int id : expected) {
    Drive({"keys", "TAB"});
    seen.push_back(WaitFocus(id));
  }
  EXPECT_EQ(expected, seen);
  Drive({"keys", "SHIFT+TAB"});
  EXPECT_EQ(ids::kBtnEnd, WaitFocus(ids::kBtnEnd));

  Drive({"keys", "ALT+R"});
  EXPECT_EQ(0, Drive({"wait", "class:#32770"}).code) << "Alt+R opened no folder browser";
  EXPECT_TRUE(AnswerBox("*", kIdCancel).has_value());
  ASSERT_TRUE(WaitEnabled(kMain, 0)) << "the folder browser did not close";
  Drive({"keys", "ALT+E"});
  EXPECT_TRUE(AnswerBox("終了確認", kIdNo).has_value()) << "Alt+E asked nothing";
  EndWithEndButton(product);
}

}  // namespace
}  // namespace qs::e2e
