// Start-up, the backdrop and the frame of the main window, on the real
// program under Wine.
#include <gtest/gtest.h>

#include "flow/ControlIds.h"
#include "tests/e2e/Harness.h"

namespace qs::e2e {
namespace {

const char* const kCloseCaption = "終了確認";

// Ends a running program through the close question.
void EndThroughCloseQuestion(Product& product) {
  Drive({"close", kMain});
  ASSERT_TRUE(AnswerBox(kCloseCaption, kIdYes).has_value()) << "no close question";
  std::optional<int> code = product.WaitExit(15000);
  ASSERT_TRUE(code.has_value()) << "the program did not end";
  EXPECT_EQ(0, *code);
}

TEST(Startup, BackdropFillsTheScreenBehindTheMainWindow) {
  Product product("backdrop");
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << Drive({"windows"}).out;
  Screenshot("opening");

  std::optional<Dump> back = DumpWindow(kBack);
  ASSERT_TRUE(back.has_value());
  SCOPED_TRACE(back->raw);
  EXPECT_EQ("Quillo! Setup for Windows32 Version1.41(Build:0777)", back->window.text());
  EXPECT_EQ(1, back->window.Int("maximized"));
  EXPECT_FALSE(back->window.enabled());
  EXPECT_EQ(1024, back->window.Int("clientw"));
  const Control& title = back->ById(ids::kLblBackTitle);
  EXPECT_EQ("Static", title.Get("class"));
  EXPECT_EQ(16, title.Int("x"));
  EXPECT_EQ(16, title.Int("y"));
  EXPECT_EQ(769, title.Int("w"));
  EXPECT_EQ(32, title.Int("h"));
  EXPECT_EQ("", title.text());  // no definition file
  EXPECT_EQ("008080", Pixel(20, 740));

  std::optional<Dump> main = DumpWindow(kMain);
  ASSERT_TRUE(main.has_value());
  SCOPED_TRACE(main->raw);
  EXPECT_EQ("Quillo! Setup for Windows32", main->window.text());
  EXPECT_EQ(489, main->window.Int("clientw"));
  EXPECT_EQ(313, main->window.Int("clienth"));
  int width = main->window.Int("w"), height = main->window.Int("h");
  EXPECT_NEAR((1024 - width) / 2, main->window.Int("x"), 1);
  EXPECT_NEAR((768 - height) / 2, main->window.Int("y"), 1);

  // A click on the backdrop changes nothing: the main window keeps the input.
  // Input is handled in the order it came, so the keys sent after the click
  // reach the main window only if the click left it the input.
  Drive({"mouse", "20", "740"});
  Drive({"keys", "ALT+E"});
  ASSERT_TRUE(AnswerBox(kCloseCaption, kIdNo).has_value()) << "the keys went elsewhere";
  ExpectBackAfterNo(product);
  EXPECT_EQ("TfrmMain\n", Drive({"foreground"}).out);
  EndThroughCloseQuestion(product);
}

// At once: on its own, without waiting for the first copy or for the user,
// and with no window of its own at any time, watched for while it runs.
TEST(Startup, ASecondCopyEndsAtOnceWithoutAWindow) {
  Product product("second");
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code);
  CommandResult second = Drive({"launch", "20000", product.WinPath("SETUP.EXE")});
  ASSERT_EQ(0, second.code) << "the second copy did not end: " << second.out;
  EXPECT_EQ("exit=0 windows=0\n", second.out);
  EXPECT_EQ("1\n", Drive({"count", kMain}).out);
  EXPECT_EQ("1\n", Drive({"count", kBack}).out);
  EXPECT_TRUE(product.Running());
  EndThroughCloseQuestion(product);

  // Once the first copy has ended, the program starts normally again.
  product.Launch();
  EXPECT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code);
  EndThroughCloseQuestion(product);
}

// The taskbar's window and the backdrop get close requests too ("End task",
// the taskbar menu): they go through the same question, and a Yes ends the
// whole program, mutex and all.
TEST(Startup, CloseRequestsToAnyWindowGoThroughTheQuestion) {
  Product product("close-others");
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code);
  for (const char* window : {"class:TApplication", kBack}) {
    Drive({"close", window});
    ASSERT_TRUE(AnswerBox(kCloseCaption, kIdNo).has_value()) << window << Drive({"windows"}).out;
    SCOPED_TRACE(window);
    ExpectBackAfterNo(product);
    EXPECT_EQ("1\n", Drive({"count", kBack}).out);
  }
  Drive({"close", "class:TApplication"});
  ASSERT_TRUE(AnswerBox(kCloseCaption, kIdYes).has_value());
  std::optional<int> code = product.WaitExit(15000);
  ASSERT_TRUE(code.has_value()) << "a process was left behind: " << Drive({"windows"}).out;
  EXPECT_EQ(0, *code);

  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code) << "the mutex was kept";
  Drive({"close", kBack});
  ASSERT_TRUE(AnswerBox(kCloseCaption, kIdYes).has_value());
  code = product.WaitExit(15000);
  ASSERT_TRUE(code.has_value()) << "a process was left behind: " << Drive({"windows"}).out;
}

TEST(Startup, ClosingAsksAndNoKeepsTheWindow) {
  Product product("close");
  product.Launch();
  ASSERT_EQ(0, Drive({"wait", kMain, "-t", "30000"}).code);
  Drive({"close", kMain});
  std::optional<std::string> question = AnswerBox(kCloseCaption, kIdNo);
  ASSERT_TRUE(question.has_value()) << Drive({"windows"}).out;
  EXPECT_EQ("セットアップ・アンセットアップは終了していません．\rよろしいですか？", *question);
  ExpectBackAfterNo(product);
  EndThroughCloseQuestion(product);
  EXPECT_EQ("0\n", Drive({"count", kBack}).out);
}

}  // namespace
}  // namespace qs::e2e
