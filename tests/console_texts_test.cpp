// The console texts: their two encodings agree and the screens' boxes line up.
#include <gtest/gtest.h>
#include <iconv.h>

#include <sstream>

#include "console/texts.h"

namespace rotorwerk {
namespace {

std::string toGbk(std::string_view utf8) {
  iconv_t converter = iconv_open("GBK", "UTF-8");
  EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
  std::string in(utf8);
  std::string out(in.size() * 2 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  EXPECT_NE(iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
  iconv_close(converter);
  out.resize(out.size() - outLeft);
  return out;
}

TEST(ConsoleTexts, GbkFormIsTheUtf8FormConverted) {
  for (const auto& text : texts::kAll) {
    EXPECT_EQ(toGbk(text.utf8), text.gbk) << text.utf8;
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
