// Whitespace-delimited reading of words, numbers and characters from a byte stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/byte_stream.h"

namespace rotorwerk {

enum class ReadStatus {
  kOk,
  kFailed,  // the item is there but is not what was asked for; nothing was consumed
  kEnd,     // only whitespace remained before the end of the input
};

struct Word {
  std::string text;        // at most the first `keep` bytes of the word
  std::size_t length = 0;  // the whole word's length
  bool truncated() const { return length > text.size(); }
};

// Reads the way formatted stream input does in the classic "C" locale, but with
// rules that do not depend on the standard library: a failed number consumes
// nothing, so the word that failed can be read again whole, sign included.
class FormattedInput {
 public:
  // Reads a file as text, or any source; the source must outlive the reader.
  explicit FormattedInput(std::FILE* file) : file_(file), source_(&file_) {}
  explicit FormattedInput(ByteSource& source) : file_(nullptr), source_(&source) {}
  FormattedInput(const FormattedInput&) = delete;
  FormattedInput& operator=(const FormattedInput&) = delete;

  // A word ends at whitespace; only its first `keep` bytes are stored, so a huge
  // word costs no memory. Reading stops after `limit` bytes of the word, leaving the
  // rest unread, so that an endless word costs no time either.
  ReadStatus readWord(Word& word, std::size_t keep, std::size_t limit = kNoLimit);
  // An optional sign and decimal digits; reading stops at the first other
  // character. A value outside [min, max] fails like a missing number.
  ReadStatus readNumber(std::int64_t& value, std::int64_t min, std::int64_t max);
  // The next non-whitespace character.
  ReadStatus readChar(char& c);
  // True when the input ends or whitespace follows: an item read last ended there.
  bool atItemEnd();
  // Passes over a UTF-8 byte-order mark, which Windows editors put before a text.
  void skipByteOrderMark();

  static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

  // Bytes taken from the stream but not yet consumed (such as the whitespace that
  // ended a word), in stream order; they are no longer this reader's afterwards.
  std::string takePending();

 private:
  int get();
  int peek();
  void unget(const std::string& digits, std::uint64_t leadingZeros, const std::string& sign);
  bool skipWhitespace();

  FileSource file_;
  ByteSource* source_;
  std::string pushback_;  // read back to front
  // A run of '0' bytes given back by a failed number, which may be endless: it is
  // read right after the first `zeroRunAt_` bytes of the pushback, counted not stored.
  std::uint64_t zeroRun_ = 0;
  std::size_t zeroRunAt_ = 0;
};

constexpr bool isSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace rotorwerk
