// Whitespace-delimited reading of words, numbers and characters.
#include "machine/formatted_input.h"

namespace rotorwerk {

int FormattedInput::get() {
  if (!pushback_.empty()) {
    const auto c = static_cast<unsigned char>(pushback_.back());
    pushback_.pop_back();
    return c;
  }
  return std::getc(file_);
}

int FormattedInput::peek() {
  const int c = get();
  if (c != EOF) pushback_.push_back(static_cast<char>(c));
  return c;
}

void FormattedInput::unget(const std::string& consumed) {
  pushback_.append(consumed.rbegin(), consumed.rend());
}

bool FormattedInput::skipWhitespace() {
  int c = get();
  while (c != EOF && isSpace(c)) c = get();
  if (c == EOF) return false;
  pushback_.push_back(static_cast<char>(c));
  return true;
}

ReadStatus FormattedInput::readWord(Word& word, std::size_t keep) {
  word = {};
  if (!skipWhitespace()) return ReadStatus::kEnd;
  for (int c = get(); c != EOF; c = get()) {
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
  std::string consumed;
  bool negative = false;
  if (const int sign = peek(); sign == '+' || sign == '-') {
    negative = sign == '-';
    consumed.push_back(static_cast<char>(get()));
  }
  // Accumulating the magnitude as unsigned keeps the smallest value representable.
  std::uint64_t limit = 0;
  if (negative && min < 0) limit = static_cast<std::uint64_t>(-(min + 1)) + 1U;
  if (!negative && max > 0) limit = static_cast<std::uint64_t>(max);
  std::uint64_t magnitude = 0;
  bool inRange = true;
  std::size_t digits = 0;
  for (int c = peek(); c >= '0' && c <= '9'; c = peek()) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > limit / 10U || (magnitude == limit / 10U && digit > limit % 10U)) {
      // The rest of the digits stay in the stream, so a huge number costs no memory.
      inRange = false;
      break;
    }
    consumed.push_back(static_cast<char>(get()));
    ++digits;
    magnitude = magnitude * 10U + digit;
  }
  if (digits > 0 && inRange) {
    value =
        negative ? static_cast<std::int64_t>(0U - magnitude) : static_cast<std::int64_t>(magnitude);
    if (value >= min && value <= max) return ReadStatus::kOk;
  }
  value = 0;
  unget(consumed);
  return ReadStatus::kFailed;
}

ReadStatus FormattedInput::readChar(char& c) {
  c = 0;
  if (!skipWhitespace()) return ReadStatus::kEnd;
  c = static_cast<char>(get());
  return ReadStatus::kOk;
}

std::string FormattedInput::takePending() {
  std::string pending(pushback_.rbegin(), pushback_.rend());
  pushback_.clear();
  return pending;
}

}  // namespace rotorwerk
