// Formatted reading: where words and numbers end, and what a failed number leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "platform/file.h"
#include "platform/formatted_input.h"

namespace rotorwerk {
namespace {

// Formatted input over an in-memory stream.
class Input {
 public:
  explicit Input(const std::string& bytes) : file_(std::tmpfile()), input_(file_) {
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::rewind(file_);
  }
  ~Input() { std::fclose(file_); }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  std::string word(std::size_t keep = 100) {
    Word w;
    return input_.readWord(w, keep) == ReadStatus::kOk ? w.text : "<end>";
  }
  ReadStatus number(std::int64_t& value, std::int64_t min = kMin, std::int64_t max = kMax) {
    return input_.readNumber(value, min, max);
  }
  FormattedInput& raw() { return input_; }

  static constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  static constexpr auto kMax = std::numeric_limits<std::int64_t>::max();

 private:
  std::FILE* file_;
  FormattedInput input_;
};

TEST(FormattedInput, WordsSkipAnyWhitespaceAndKeepAllOtherBytes) {
  Input in(" \t\r\n\v\fone two\xB0\xA1#\n\nthree");
  EXPECT_EQ(in.word(), "one");
  EXPECT_EQ(in.word(), "two\xB0\xA1#");
  EXPECT_EQ(in.word(), "three");
  EXPECT_EQ(in.word(), "<end>");
}

TEST(FormattedInput, HugeWordsAreCountedButOnlyTheirStartKept) {
  Input in(std::string(100000, 'x') + " y");
  Word w;
  ASSERT_EQ(in.raw().readWord(w, 2), ReadStatus::kOk);
  EXPECT_EQ(w.text, "xx");
  EXPECT_EQ(w.length, 100000U);
  EXPECT_TRUE(w.truncated());
  EXPECT_EQ(in.word(), "y");
}

TEST(FormattedInput, NumberStopsAtTheFirstOtherCharacter) {
  Input in("12abc -7 +5\n-0");
  std::int64_t value = 0;
  ASSERT_EQ(in.number(value), ReadStatus::kOk);
  EXPECT_EQ(value, 12);
  EXPECT_EQ(in.word(), "abc");
  ASSERT_EQ(in.number(value), ReadStatus::kOk);
  EXPECT_EQ(value, -7);
  ASSERT_EQ(in.number(value), ReadStatus::kOk);
  EXPECT_EQ(value, 5);
  ASSERT_EQ(in.number(value), ReadStatus::kOk);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(in.number(value), ReadStatus::kEnd);
}

TEST(FormattedInput, FailedNumberLeavesTheWholeWordUnread) {
  for (const std::string word : {"-h", "+x", "abc", "-", "9223372036854775808",
                                 "-9223372036854775809", "99999999999999999999999"}) {
    Input in("  " + word + " next");
    std::int64_t value = 42;
    EXPECT_EQ(in.number(value), ReadStatus::kFailed) << word;
    EXPECT_EQ(value, 0) << word;
    EXPECT_EQ(in.word(), word);
    EXPECT_EQ(in.word(), "next");
  }
}

TEST(FormattedInput, NumbersHonourTheirRangeToTheLastValue) {
  Input in("9223372036854775807 -9223372036854775808 2147483648 -2147483648 11");
  std::int64_t value = 0;
  ASSERT_EQ(in.number(value), ReadStatus::kOk);
  EXPECT_EQ(value, Input::kMax);
  ASSERT_EQ(in.number(value), ReadStatus::kOk);
  EXPECT_EQ(value, Input::kMin);
  EXPECT_EQ(in.number(value, -2147483648LL, 2147483647LL), ReadStatus::kFailed);
  EXPECT_EQ(in.word(), "2147483648");
  ASSERT_EQ(in.number(value, -2147483648LL, 2147483647LL), ReadStatus::kOk);
  EXPECT_EQ(value, -2147483648LL);
  EXPECT_EQ(in.number(value, 0, 10), ReadStatus::kFailed);
  EXPECT_EQ(in.word(), "11");
}

TEST(FormattedInput, CharactersAreTheNextNonWhitespaceBytes) {
  Input in("a b\n\nc");
  char c = 0;
  std::string seen;
  while (in.raw().readChar(c) == ReadStatus::kOk) seen.push_back(c);
  EXPECT_EQ(seen, "abc");
}

// Windows text: a CR LF split by a block's end is still one line end, and a CR
// before a CR LF stays, whatever the block size.
TEST(FormattedInput, LineEndsFoldAcrossBlockBoundaries) {
  const std::string stored = "a\r\r\nb\r\n\r\r\r\nc\r";
  for (std::size_t block = 1; block <= 6; ++block) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(stored.data(), 1, stored.size(), file);
    std::rewind(file);
    std::string text;
    std::string data(block, '\0');
    for (std::size_t got = 0; (got = std::fread(data.data(), 1, block, file)) > 0;) {
      text.append(data.data(), foldLineEnds(file, data.data(), got));
    }
    std::fclose(file);
    EXPECT_EQ(text, "a\r\nb\n\r\r\nc\r") << "block of " << block;
  }
}

}  // namespace
}  // namespace rotorwerk
