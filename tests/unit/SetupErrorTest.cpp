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

namespace qs {
namespace {

TEST(ErrorReport, FolderErrorsByCode) {
  EXPECT_EQ("不正なﾌｧｲﾙ名です", IoErrorText(3));
  EXPECT_EQ("ﾌｧｲﾙへのｱｸｾｽが拒否されました", IoErrorText(5));
  EXPECT_EQ("I/O ｴﾗｰ (183)", IoErrorText(183));
}

}  // namespace
}  // namespace qs
