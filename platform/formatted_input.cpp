// Whitespace-delimited reading of words, numbers and characters.
#include "platform/formatted_input.h"

#include <string_view>

namespace rotorwerk {

int FormattedInput::get() {
  if (zeroRun_ > 0 && pushback_.size() == zeroRunAt_) {
    --zeroRun_;
    return '0';
  }
  if (!pushback_.empty()) {
    const auto c = static_cast<unsigned char>(pushback_.back());
    pushback_.pop_back();
    return c;
  }
  return source_->get();
}

int FormattedInput::peek() {
  const int c = get();
  if (c != EOF) pushback_.push_back(static_cast<char>(c));
  return c;
}

void FormattedInput::unget(const std::string& digits, std::uint64_t leadingZeros,
                           const std::string& sign) {
  pushback_.append(digits.rbegin(), digits.rend());
  // The digit loop reads every zero of an earlier run, so at most one run is pending.
  zeroRun_ = leadingZeros;
  zeroRunAt_ = pushback_.size();
  pushback_.append(sign);
}

bool FormattedInput::skipWhitespace() {
  int c = get();
  while (c != EOF && isSpace(c)) c = get();
  if (c == EOF) return false;
  pushback_.push_back(static_cast<char>(c));
  return true;
}

ReadStatus FormattedInput::readWord(Word& word, std::size_t keep, std::size_t limit) {
  word = {};
  if (!skipWhitespace()) return ReadStatus::kEnd;
  for (int c = 0; word.length < limit && (c = get()) != EOF;) {
    if (isSpace(c)) {
      // The whitespace that ends a word stays unread, as with formatted input.
      pushback_.push_back(static_cast<char>(c));
      break;
    }
    if (word.text.size() < keep) word.text.push_back(static_cast<char>(c));
    ++word.length;
  }
  return ReadStatus::kOk;
}

ReadStatus FormattedInput::readNumber(std::int64_t& value, std::int64_t min, std::int64_t max) {
  value = 0;
  if (!skipWhitespace()) return ReadStatus::kEnd;
  std::string sign;
  bool negative = false;
  if (const int c = peek(); c == '+' || c == '-') {
    negative = c == '-';
    sign.push_back(static_cast<char>(get()));
  }
  // Accumulating the magnitude as unsigned keeps the smallest value representable.
  std::uint64_t limit = 0;
  if (negative && min < 0) limit = static_cast<std::uint64_t>(-(min + 1)) + 1U;
  if (!negative && max > 0) limit = static_cast<std::uint64_t>(max);
  std::uint64_t magnitude = 0;
  bool inRange = true;
  // Leading zeros are only counted, so that an endless run of them costs no memory.
  std::uint64_t leadingZeros = 0;
  std::string digits;
  for (int c = peek(); c >= '0' && c <= '9'; c = peek()) {
    if (c == '0' && digits.empty()) {
      get();
      ++leadingZeros;
      continue;
    }
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > limit / 10U || (magnitude == limit / 10U && digit > limit % 10U)) {
      // The rest of the digits stay in the stream, so a huge number costs no memory.
      inRange = false;
      break;
    }
    digits.push_back(static_cast<char>(get()));
    magnitude = magnitude * 10U + digit;
  }
  if ((leadingZeros > 0 || !digits.empty()) && inRange) {
    value =
        negative ? static_cast<std::int64_t>(0U - magnitude) : static_cast<std::int64_t>(magnitude);
    if (value >= min && value <= max) return ReadStatus::kOk;
  }
  value = 0;
  unget(digits, leadingZeros, sign);
  return ReadStatus::kFailed;
}

bool FormattedInput::atItemEnd() {
  const int c = peek();
  return c == EOF || isSpace(c);
}

void FormattedInput::skipByteOrderMark() {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  std::string read;
  for (int c = 0; read.size() < kMark.size() && (c = get()) != EOF;) {
    read.push_back(static_cast<char>(c));
    if (read.back() != kMark[read.size() - 1]) break;
  }
  if (read != kMark) pushback_.append(read.rbegin(), read.rend());
}

ReadStatus FormattedInput::readChar(char& c) {
  c = 0;
  if (!skipWhitespace()) return ReadStatus::kEnd;
  c = static_cast<char>(get());
  return ReadStatus::kOk;
}

std::string FormattedInput::takePending() {
  std::string pending;
  while (!pushback_.empty() || zeroRun_ > 0) pending.push_back(static_cast<char>(get()));
  return pending;
}

}  // namespace rotorwerk
