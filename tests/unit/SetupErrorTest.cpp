#include "core/SetupError.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

TEST(ErrorReport, APeriodFollowsTextsThatDoNotEndInPunctuation) {
  EXPECT_EQ("ｷｰ Software\\Acme の作成に失敗しました.",
            ErrorReportText("ｷｰ Software\\Acme の作成に失敗しました"));
  EXPECT_EQ("I/O ｴﾗｰ (32)", ErrorReportText("I/O ｴﾗｰ (32)"));  // ")" sorts before "."
  EXPECT_EQ("Done.", ErrorReportText("Done."));
  EXPECT_EQ("Stop!", ErrorReportText("Stop!"));  // '!' sorts before '.'
  EXPECT_EQ("", ErrorReportText(""));
  EXPECT_EQ("a/.", ErrorReportText("a/"));
}

}  // namespace
}  // namespace qs
