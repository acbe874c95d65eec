#include "flow/MainForm.h"

#include <gtest/gtest.h>

#include "flow/ControlIds.h"
#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "tests/support/BundleImages.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeView.h"
#include "ui/FolderOptions.h"

namespace qs {
namespace {

ControlKind KindOf(int id) {
  for (const ControlSpec& spec : MainControls()) {
    if (spec.id == id) return spec.kind;
  }
  ADD_FAILURE() << "no control " << id;
  return ControlKind::Label;
}

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest() : form(os, view, plan) {
    os.modulePath = "C:\\CD\\SETUP.EXE";
    os.tempFolder = "C:\\TEMP\\";
    os.AddFolder("C:\\TEMP");
  }
  void Ini(const std::string& text) { os.AddFile("C:\\CD\\SETUP.INI", text); }
  test::FakeView::State& At(int id) { return view.At(id); }

  test::FakePlatform os;
  test::FakeView view;
  InstallPlan plan;
  MainForm form;
};

TEST_F(MainFormTest, NoDefinitionFileLeavesOnlyTheEndButton) {
  form.FormActivate();
  EXPECT_TRUE(view.closeCommandDisabled);
  // Without a definition file there is no title: the window and the
  // backdrop keep their own.
  EXPECT_EQ(test::FakeView::kNeverSet, view.caption);
  EXPECT_EQ(test::FakeView::kNeverSet, view.backTitle);
  EXPECT_EQ("セットアップ・アンセットアップ情報ファイルが見つかりません．\r",
            At(ids::kLblMessage).text);
  EXPECT_EQ("C:\\Program Files\\", At(ids::kTxtFolder).text);
  EXPECT_EQ("終了(&E)", At(ids::kBtnEnd).text);
  for (const auto& [id, state] : view.controls) {
    bool button = id == ids::kBtnEnd || id == ids::kBtnCloseErrorLog;
    ControlKind kind = KindOf(id);
    bool container = kind == ControlKind::GroupBox || kind == ControlKind::Label ||
                     kind == ControlKind::Memo || kind == ControlKind::Progress;
    if (!button && !container) {
      EXPECT_FALSE(state.enabled) << id;
    }
  }
  EXPECT_TRUE(At(ids::kBtnEnd).enabled);
  EXPECT_FALSE(At(ids::kBtnContinue).visible);
  EXPECT_TRUE(At(ids::kBtnSetup).visible);
  EXPECT_TRUE(At(ids::kBtnUnSetup).visible);
}

TEST_F(MainFormTest, StartUpErrorsAppearInStepOrder) {
  os.windowsFolder = "";
  os.systemFolder = "";
  form.FormActivate();
  EXPECT_EQ("セットアップ・アンセットアップ情報ファイルが見つかりません．\r"
            "Windowsフォルダの取得に失敗しました．\r"
            "WindowsSystemフォルダの取得に失敗しました．\r",
            At(ids::kLblMessage).text);
  EXPECT_EQ("\\Program Files\\", At(ids::kTxtFolder).text);
}

TEST_F(MainFormTest, ReadyToInstallWithTitlesMessageAndShortCutPlaces) {
  Ini("[Title]\r\nSetup=Acme\r\n[ShortCut]\r\nName7=(Dsk)(Sen)Viewer\r\nName2=Plain\r\n"
      "[TopMessage]\r\nMessage2=Hello\r\n[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n");
  plan.files.push_back({"(App)\\OLD", ",/C"});
  form.FormActivate();
  EXPECT_EQ("Acme", view.caption);
  EXPECT_EQ("Acme", view.backTitle);
  EXPECT_EQ("Acme", form.values().unSetupTitle);
  EXPECT_EQ("\rHello\r\r\r\r", At(ids::kLblMessage).text);
  EXPECT_EQ("C:\\Program Files\\Acme\\", At(ids::kTxtFolder).text);
  EXPECT_TRUE(At(ids::kChkSCutDesktop).enabled);
  EXPECT_TRUE(At(ids::kChkSCutSendTo).enabled);
  EXPECT_FALSE(At(ids::kChkSCutStartMenu).enabled);
  EXPECT_FALSE(At(ids::kChkSCutStartUp).enabled);
  EXPECT_TRUE(At(ids::kChkSCutStartUp).checked);
  for (int id : {ids::kTxtFolder, ids::kBtnRefer, ids::kChkOverWrite, ids::kBtnSetup, ids::kBtnEnd}) {
    EXPECT_TRUE(At(id).enabled) << id;
  }
  EXPECT_FALSE(At(ids::kBtnUnSetup).visible);
  EXPECT_EQ("セットアップ終了(&E)", At(ids::kBtnEnd).text);
  EXPECT_TRUE(plan.files.empty());
  EXPECT_GT(view.focused, 0);
}

TEST_F(MainFormTest, AllMessageLinesEmptyGivesTheStandardMessage) {
  Ini("[TopMessage]\r\nMessage1=\r\n[DefaultFolder]\r\nFolder=(prg)\\Tools\r\n");
  form.FormActivate();
  EXPECT_EQ("セットアップを行います．", At(ids::kLblMessage).text);
  EXPECT_EQ("(prg)\\Tools\\", At(ids::kTxtFolder).text);
}

TEST_F(MainFormTest, ReadmeIsShownWithOrWithoutLeadingBackslash) {
  for (const char* name : {"README.TXT", "\\README.TXT"}) {
    test::FakeView fresh;
    MainForm readme(os, fresh, plan);
    Ini(std::string("[Readme]\r\nFile=") + name + "\r\n");
    os.AddFile("C:\\CD\\README.TXT", "one\ntwo\rthree\r\nfour");
    readme.FormActivate();
    EXPECT_TRUE(fresh.At(ids::kFraReadme).visible) << name;
    EXPECT_EQ("", fresh.At(ids::kFraReadme).text);
    EXPECT_EQ("one\r\ntwo\r\nthree\r\nfour", fresh.At(ids::kTxtReadme).text);
    EXPECT_TRUE(fresh.At(ids::kBtnContinue).enabled);
    EXPECT_TRUE(fresh.At(ids::kBtnEnd).enabled);
    EXPECT_FALSE(fresh.At(ids::kBtnSetup).enabled);
    EXPECT_EQ("", fresh.At(ids::kLblMessage).text);

    readme.btnContinueClick();
    EXPECT_FALSE(fresh.At(ids::kFraReadme).visible);
    EXPECT_FALSE(fresh.At(ids::kBtnContinue).visible);
    EXPECT_TRUE(fresh.At(ids::kBtnSetup).enabled);
  }
}

TEST_F(MainFormTest, UnreadableReadmeShowsAnEmptyFrame) {
  Ini("[Readme]\r\nFile=README.TXT\r\nTitle=Read me\r\n");
  os.AddFile("C:\\CD\\README.TXT", "text");
  auto lock = os.OpenForRead("C:\\CD\\README.TXT", true);
  form.FormActivate();
  EXPECT_TRUE(At(ids::kFraReadme).visible);
  EXPECT_EQ("Read me", At(ids::kFraReadme).text);
  EXPECT_EQ("", At(ids::kTxtReadme).text);
}

TEST_F(MainFormTest, ReadmeCaptionAndMissingReadme) {
  Ini("[Readme]\r\nFile=MISSING.TXT\r\nTitle=Read me\r\n");
  form.FormActivate();
  EXPECT_FALSE(At(ids::kFraReadme).visible);
  EXPECT_TRUE(At(ids::kBtnSetup).enabled);
  EXPECT_EQ(ToEditLineEnds("a\n\nb\r\r\n"), "a\r\n\r\nb\r\n\r\n");
}

TEST_F(MainFormTest, UninstallModeFromTheRecordNamedOnTheCommandLine) {
  os.AddFile("C:\\Program Files\\Acme\\UNSETUP.INI",
             "[Title]\r\nUnSetup=Acme remover\r\n[Readme]\r\nFile=R.TXT\r\n"
             "[ShortCut]\r\nName1=(Dsk)X\r\n");
  os.AddFile("C:\\CD\\R.TXT", "readme");
  os.firstArgument = "C:\\Program Files\\Acme\\UNSETUP.INI";
  form.FormActivate();
  EXPECT_EQ(Mode::Uninstall, form.mode());
  const std::string copy = form.values().tempFolder + "UNSETUP.INI";
  EXPECT_EQ(copy, form.values().infoFile);
  EXPECT_TRUE(os.Contents(copy).has_value());
  EXPECT_EQ("Acme remover", view.caption);
  EXPECT_EQ("Acme remover", view.backTitle);
  EXPECT_EQ("Quillo! Setup for Windows32", form.values().setupTitle);
  EXPECT_FALSE(At(ids::kFraReadme).visible);
  EXPECT_EQ("アンセットアップ（アンインストール）を行います．\r\r"
            "開始するには，「アンセットアップ開始（Ｓ）」を選択してください．",
            At(ids::kLblMessage).text);
  EXPECT_TRUE(At(ids::kBtnUnSetup).enabled);
  EXPECT_FALSE(At(ids::kBtnSetup).visible);
  EXPECT_EQ("アンセットアップ終了(&E)", At(ids::kBtnEnd).text);
  EXPECT_FALSE(At(ids::kTxtFolder).enabled);
  EXPECT_FALSE(At(ids::kChkSCutDesktop).enabled);
  EXPECT_EQ("C:\\Program Files\\", At(ids::kTxtFolder).text);

  // Confirming the end deletes the temporary copy, never the record.
  view.answers = {kIdYes};
  EXPECT_TRUE(form.FormCloseQuery());
  EXPECT_FALSE(os.Contents(copy).has_value());
  EXPECT_TRUE(os.Contents("C:\\Program Files\\Acme\\UNSETUP.INI").has_value());
}

// Told to end by the system, with no question possible: as a Yes would.
TEST_F(MainFormTest, EndingWithoutAQuestionIsAYes) {
  os.AddFile("C:\\App\\UNSETUP.INI", "[Title]\r\nUnSetup=Acme remover\r\n");
  os.firstArgument = "C:\\App\\UNSETUP.INI";
  form.FormActivate();
  form.EndWithoutQuestion();
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(1, view.modalResult);
  EXPECT_TRUE(view.backEnabled);
  EXPECT_FALSE(os.Contents(form.values().infoFile).has_value());
  EXPECT_TRUE(os.Contents("C:\\App\\UNSETUP.INI").has_value());
}

TEST_F(MainFormTest, OnlyTheExactRecordNameSelectsUninstallMode) {
  Ini("[Title]\r\nSetup=Acme\r\n");
  os.AddFile("C:\\X\\unsetup.ini", "[Title]\r\nUnSetup=No\r\n");
  os.firstArgument = "C:\\X\\unsetup.ini";
  form.FormActivate();
  EXPECT_EQ(Mode::Install, form.mode());
  EXPECT_EQ("Acme", view.caption);
  EXPECT_FALSE(os.Contents("C:\\TEMP\\UNSETUP.INI").has_value());
}

// The record is read only from the copy in the program's own folder. An old
// UNSETUP.INI in TEMP is another product's: never used, never removed. A
// record that cannot be copied (missing, or, where no folder of its own can
// be had, an old copy in the way) is a missing file.
TEST(MainFormRecordCopy, OnlyTheRunsOwnCopyIsRead) {
  const std::string stale = "[Title]\r\nUnSetup=Old product\r\n";
  struct Case {
    const char* what;
    bool recordThere;
    bool staleCopy;
    bool noWorkFolder;
    bool link = false;
  } cases[] = {{"record missing", false, false, false},
               {"record missing, old copy", false, true, false},
               {"old copy beside the work folder", true, true, false},
               {"no work folder, old copy cannot be replaced", true, true, true},
               {"no work folder, a link in the copy's place", true, true, true, true}};
  for (const Case& c : cases) {
    test::FakePlatform os;
    test::FakeView view;
    InstallPlan plan;
    MainForm form(os, view, plan);
    os.modulePath = "C:\\CD\\SETUP.EXE";
    os.AddFolder("C:\\TEMP");
    os.privateFolderFails = c.noWorkFolder;
    if (c.recordThere) os.AddFile("C:\\App\\UNSETUP.INI", "[Title]\r\nUnSetup=New\r\n");
    if (c.staleCopy) {
      os.AddFile("C:\\TEMP\\UNSETUP.INI", stale);
      if (c.noWorkFolder && !c.link) os.DenyWrite("C:\\TEMP\\UNSETUP.INI");
      if (c.link) os.SetAttributes("C:\\TEMP\\UNSETUP.INI", kAttrReparsePoint);
    }
    os.firstArgument = "C:\\App\\UNSETUP.INI";
    form.FormActivate();
    bool ready = c.recordThere && !c.noWorkFolder;
    EXPECT_EQ(ready, view.At(ids::kBtnUnSetup).enabled) << c.what;
    EXPECT_EQ(ready ? "New" : test::FakeView::kNeverSet, view.backTitle) << c.what;
    if (!ready) {
      EXPECT_EQ("セットアップ・アンセットアップ情報ファイルが見つかりません．\r",
                view.At(ids::kLblMessage).text) << c.what;
    }
    // Where TEMP itself must serve, the user is told so first.
    EXPECT_EQ(c.noWorkFolder ? 1u : 0u, view.boxes.size()) << c.what;
    view.answers = {kIdYes};
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(c.staleCopy ? std::optional<std::string>(stale) : std::nullopt,
              os.Contents("C:\\TEMP\\UNSETUP.INI")) << c.what;
  }
}

// An install with a compressed file and an uninstall work in a folder of
// their own: files planted in TEMP under the fixed names are never read,
// written or removed, and nothing of the program's stays in TEMP.
TEST(MainFormWorkFolder, RunsNeverTouchTheFixedNamesInTemp) {
  test::FakePlatform os;
  os.modulePath = "C:\\CD\\SETUP.EXE";
  os.AddFolder("C:\\WINDOWS\\SYSTEM32");
  os.AddFolder("C:\\Program Files\\Acme");
  os.AddFile("C:\\Victim.txt", "keep");
  const std::map<std::string, std::string> planted = {
      {"C:\\TEMP\\UNSETUP.INI", "[DeleteFile]\r\nFile1=C:\\Victim.txt,/F\r\n"},
      {"C:\\TEMP\\EXPAND.QST", "planted bytes"},
      {"C:\\TEMP\\ZZZZZZZZ.ZZZ", "planted aside"},
      {"C:\\TEMP\\TOOL.TXT", "planted name"}};
  for (const auto& [path, bytes] : planted) os.AddFile(path, bytes);
  os.AddFile("C:\\CD\\SETUP.INI",
             "[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n[CopyFile]\r\nFile1=(App)\\TOOL.TX_\r\n");
  os.AddFile("C:\\CD\\TOOL.TX_", SzddCompress("the tool", 'T'));
  os.AddFile("C:\\CD\\SETUP.EXE", "MZ");
  auto run = [&os](const std::string& argument, void (MainForm::*button)()) {
    test::FakeView view;
    InstallPlan plan;
    MainForm form(os, view, plan);
    os.firstArgument = argument;
    form.FormActivate();
    EXPECT_NE("C:\\TEMP\\", form.values().tempFolder);
    EXPECT_EQ(0u, form.values().tempFolder.rfind("C:\\TEMP\\", 0)) << form.values().tempFolder;
    (form.*button)();
    EXPECT_EQ(1, view.modalResult);
  };
  run("", &MainForm::btnSetupClick);
  EXPECT_EQ("the tool", os.Contents("C:\\Program Files\\Acme\\TOOL.TXT"));
  run("C:\\Program Files\\Acme\\UNSETUP.INI", &MainForm::btnUnSetupClick);
  EXPECT_FALSE(os.Contents("C:\\Program Files\\Acme\\TOOL.TXT"));
  EXPECT_EQ("keep", os.Contents("C:\\Victim.txt"));
  std::vector<std::string> temp;
  for (const auto& [path, bytes] : planted) {
    temp.push_back(path);
    EXPECT_EQ(bytes, os.Contents(path)) << path;
  }
  EXPECT_EQ(temp, os.ListTree("C:\\TEMP"));
}

TEST_F(MainFormTest, CloseQuestion) {
  form.FormActivate();
  view.answers = {kIdNo};
  EXPECT_FALSE(form.FormCloseQuery());
  EXPECT_EQ(0, view.modalResult);
  EXPECT_FALSE(view.backEnabled);
  ASSERT_EQ(1u, view.boxes.size());
  EXPECT_EQ("終了確認", view.boxes[0].caption);
  EXPECT_EQ(36u, view.boxes[0].flags);
  EXPECT_EQ("セットアップ・アンセットアップは終了していません．\rよろしいですか？",
            view.boxes[0].text);
  view.answers = {kIdYes};
  EXPECT_TRUE(form.FormCloseQuery());
  EXPECT_EQ(1, view.modalResult);
  EXPECT_TRUE(view.backEnabled);
  // Once the backdrop is enabled nothing more is asked.
  EXPECT_TRUE(form.FormCloseQuery());
  EXPECT_EQ(2u, view.boxes.size());
}

TEST_F(MainFormTest, BrowsingEnsuresOneTrailingBackslash) {
  Ini("");
  form.FormActivate();
  view.browseResult = "C:\\Apps";
  form.btnReferClick();
  EXPECT_EQ("C:\\Apps\\", At(ids::kTxtFolder).text);
  view.browseResult = "D:\\";
  form.btnReferClick();
  EXPECT_EQ("D:\\", At(ids::kTxtFolder).text);
  view.browseResult = "C:\\表";
  form.btnReferClick();
  EXPECT_EQ("C:\\表\\", At(ids::kTxtFolder).text);
  view.browseResult.reset();
  form.btnReferClick();
  EXPECT_EQ("C:\\表\\", At(ids::kTxtFolder).text);
}

TEST_F(MainFormTest, FailureListWaitsUntilClosed) {
  int rounds = 0;
  view.onPump = [&] {
    if (++rounds == 3) form.btnCloseErrorLogClick();
    return true;
  };
  form.viewWindow().ShowFailureList("Failed", "<File> C:\\A\r\n");
  EXPECT_EQ("<File> C:\\A\r\n", At(ids::kTxtReadme).text);
  EXPECT_EQ("Failed", At(ids::kFraReadme).text);
  EXPECT_FALSE(At(ids::kFraReadme).visible);
  EXPECT_FALSE(At(ids::kBtnCloseErrorLog).visible);
  EXPECT_EQ((std::vector<uint32_t>{200, 200, 200}), os.sleeps);

  // A program being shut down does not wait for ever.
  view.onPump = [] { return false; };
  form.viewWindow().ShowFailureList("Failed", "x");
  EXPECT_EQ(4u, os.sleeps.size());
}

TEST_F(MainFormTest, FreezingForInstallDisablesInOrderAndReadsOptions) {
  Ini("[ShortCut]\r\nName1=(Dsk)A\r\n");
  form.FormActivate();
  view.At(ids::kChkSCutDesktop).checked = false;
  view.disabledOrder.clear();
  RunOptions options = form.viewWindow().FreezeForInstall();
  EXPECT_EQ((std::vector<int>{ids::kTxtFolder, ids::kBtnRefer, ids::kChkOverWrite,
                              ids::kChkSCutDesktop, ids::kChkSCutStartMenu, ids::kChkSCutStartUp,
                              ids::kChkSCutSendTo, ids::kBtnSetup, ids::kBtnEnd}),
            view.disabledOrder);
  EXPECT_EQ("C:\\Program Files\\", options.installFolder);
  EXPECT_FALSE(options.shortCutOnDesktop);
  EXPECT_TRUE(options.shortCutOnStartMenu);  // disabled, still checked
  EXPECT_TRUE(options.overwriteAll);
  form.viewWindow().EndProgram();
  EXPECT_TRUE(view.backEnabled);
  EXPECT_EQ(1, view.modalResult);
}

TEST(MainLayout, TabOrderFollowsTheListThenTheTable) {
  std::vector<int> order = MainTabOrder();
  EXPECT_EQ(MainControls().size(), order.size());
  EXPECT_EQ(ids::kFraReadme, order[0]);
  EXPECT_EQ(ids::kTxtReadme, order[1]);
  EXPECT_EQ(ids::kGrpMessage, order[2]);
  EXPECT_EQ(ids::kBtnCloseErrorLog, order.back());
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

TEST(FolderOptions, EachOptionAddsItsBrowseFlag) {
  EXPECT_EQ(16, kDefaultFolderDlgOptions);
  EXPECT_EQ(0x0001u, BrowseFlags(kDefaultFolderDlgOptions));
  EXPECT_EQ(0x300Fu, BrowseFlags(0x3F));
  EXPECT_EQ(0u, BrowseFlags(0));
  EXPECT_EQ(0x1000u | 0x0004u, BrowseFlags(OptionBit(bifBrowseForComputer) | OptionBit(bifStatusText)));
}

// A one-file SETUP.EXE shows its unpacking only once that has taken about a
// second, up to 100%, hides it again, and runs from what it unpacked; when
// the program ends, what it unpacked goes, read-only files too.
TEST(MainFormBundle, UnpackingShowsItsProgressOnlyWhenItTakesASecond) {
  struct Clocked : test::FakePlatform {
    uint64_t Milliseconds() override { return tick += step; }
    uint64_t tick = 0, step = 0;
  };
  const std::string bundle = test::BundleOf(
      {{"SETUP.INI", "[Title]\r\nSetup=Acme\r\n"}, {"BIG.BIN", std::string(3 << 20, 'x')},
       {"SUB\\KEPT.TXT", "read-only", 0, kAttrReadOnly}},
      test::ProgramImage("the program part"));
  for (uint64_t step : {0, 100, 1500}) {
    SCOPED_TRACE(step);
    Clocked os;
    os.step = step;
    os.modulePath = "C:\\DL\\SETUP.EXE";
    os.AddFile(os.modulePath, bundle);
    os.AddFolder("C:\\TEMP");
    test::FakeView view;
    InstallPlan plan;
    {
      MainForm form(os, view, plan);
      std::vector<int> shown;  // the progress at each pump while the frame is up
      view.onPump = [&] {
        if (view.At(ids::kFraStatus).visible) shown.push_back(view.progress);
        return true;
      };
      form.FormActivate();
      EXPECT_EQ(step > 1000, !shown.empty());
      if (!shown.empty()) {
        EXPECT_EQ(100, shown.back());
      }
      EXPECT_FALSE(view.At(ids::kFraStatus).visible);
      EXPECT_EQ("Acme", view.caption);
      EXPECT_FALSE(os.ListTree("C:\\TEMP").empty());
    }
    EXPECT_EQ(os.ListTree("C:\\TEMP"), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace qs
