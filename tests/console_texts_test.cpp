// The console texts: their two encodings agree (the exact screens are pinned end to end).
#include <gtest/gtest.h>

#include "console/texts.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

TEST(ConsoleTexts, GbkFormIsTheUtf8FormConverted) {
  for (const auto& text : texts::kAll) {
    EXPECT_EQ(test::toGbk(text.utf8), text.gbk) << text.utf8;
  }
}

}  // namespace
}  // namespace rotorwerk
