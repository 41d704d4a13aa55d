// The console texts: their two encodings agree and the screens' boxes line up.
#include <gtest/gtest.h>

#include <sstream>

#include "console/texts.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

TEST(ConsoleTexts, GbkFormIsTheUtf8FormConverted) {
  for (const auto& text : texts::kAll) {
    EXPECT_EQ(test::toGbk(text.utf8), text.gbk) << text.utf8;
  }
}

TEST(ConsoleTexts, ScreenLinesAre50GbkBytesWide) {
  for (const auto& screen : {texts::kBanner, texts::kHelpScreen}) {
    std::istringstream lines{std::string(screen.gbk)};
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
      EXPECT_EQ(line.size(), 50U) << line;
      EXPECT_EQ(line.front(), line[0] == '+' ? '+' : '|');
      EXPECT_EQ(line.back(), line[0]);
    }
    EXPECT_EQ(count, screen.gbk == texts::kBanner.gbk ? 4 : 19);
    EXPECT_EQ(screen.gbk.back(), '\n');
  }
}

}  // namespace
}  // namespace rotorwerk
