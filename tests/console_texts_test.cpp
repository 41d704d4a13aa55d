// The console texts: their two encodings agree (the exact screens are pinned end to end).
#include <gtest/gtest.h>

#include "test_support.h"
#include "texts/texts.h"

namespace rotorwerk {
namespace {

TEST(ConsoleTexts, GbkFormIsTheUtf8FormConverted) {
  // A cross toolchain's C library run under QEMU has no converter modules.
  if (test::toGbk("\xE4\xB8\xAD").empty()) GTEST_SKIP() << "the C library cannot convert to GBK";
  for (const auto& text : texts::kAll) {
    EXPECT_EQ(test::toGbk(text.utf8), text.gbk) << text.utf8;
  }
}

}  // namespace
}  // namespace rotorwerk
