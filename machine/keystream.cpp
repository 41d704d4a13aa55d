// The machine applied to runs of bytes, one table lookup per letter.
#include "machine/keystream.h"

#include <algorithm>
#include <limits>

namespace rotorwerk {
namespace {

constexpr bool inAlphabet(std::int64_t position) { return position >= 0 && position < kLetters; }

// For every byte: its letter index, or 26 for a byte that is no letter.
constexpr std::array<std::uint8_t, 256> kLetterOf = [] {
  std::array<std::uint8_t, 256> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    const bool upper = byte >= 'A' && byte <= 'Z';
    const bool lower = byte >= 'a' && byte <= 'z';
    table[byte] = static_cast<std::uint8_t>(upper ? byte - 'A' : lower ? byte - 'a' : kLetters);
  }
  return table;
}();

}  // namespace

Keystream::Keystream(const RotorMachine& machine, RotorPositions start)
    : machine_(machine), positions_(start), tables_(kStates * kRow) {
  enterSegment();
}

const std::uint8_t* Keystream::block(std::size_t key) {
  std::uint8_t* rows = tables_.data() + key * kLetters * kRow;
  if (!built_[key]) {
    const auto left = static_cast<std::int64_t>(key / kLetters);
    const auto middle = static_cast<std::int64_t>(key % kLetters);
    for (std::size_t r = 0; r < kLetters; ++r) {
      for (std::size_t letter = 0; letter < kLetters; ++letter) {
        const int out = transformLetter(machine_, static_cast<LetterIndex>(letter), left, middle,
                                        static_cast<std::int64_t>(r));
        // The case bit is the same on both sides, so it cancels out of the XOR.
        rows[r * kRow + letter] = static_cast<std::uint8_t>((out + 'A') ^ (letter + 'A'));
      }
    }
    built_[key] = true;
  }
  return rows;
}

void Keystream::enterSegment() {
  const RotorPositions& p = positions_;
  if (inAlphabet(p.left) && inAlphabet(p.middle) && inAlphabet(p.right)) {
    counting_ = true;
    state_ = static_cast<std::size_t>(p.left * static_cast<std::int64_t>(kBlock) +
                                      p.middle * kLetters + p.right);
    right_ = state_ % kLetters;
    block_ = block(state_ / kLetters);
    return;
  }
  // The step that reaches exactly 26 carries; the one from the largest value wraps.
  plainSteps_ = p.right < kLetters
                    ? static_cast<std::uint64_t>(kLetters - 1) - static_cast<std::uint64_t>(p.right)
                    : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) -
                          static_cast<std::uint64_t>(p.right);
  right_ = static_cast<std::size_t>(mod26(p.right));
  block_ = block(static_cast<std::size_t>(mod26(p.left)) * kLetters +
                 static_cast<std::size_t>(mod26(p.middle)));
}

void Keystream::step() {
  if (plainSteps_ == 0) {
    stepPositions(positions_);
    enterSegment();
    return;
  }
  --plainSteps_;
  ++positions_.right;
  right_ = right_ == kLetters - 1 ? 0 : right_ + 1;
}

std::size_t Keystream::applyStepwise(char* data, std::size_t size) {
  std::size_t i = 0;
  for (; i < size && !counting_; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    const std::size_t letter = kLetterOf[byte];
    if (letter == kLetters) continue;
    step();
    data[i] = static_cast<char>(byte ^ block_[right_ * kRow + letter]);
  }
  return i;
}

std::size_t Keystream::applyCounting(char* data, std::size_t size) {
  // A run of bytes moves the counter by at most its length; the blocks of every
  // state it can reach are built first.
  const std::size_t run = std::min<std::size_t>(size, 4096);
  for (std::size_t key = state_ / kLetters; key <= (state_ + run) / kLetters; ++key) {
    block(key % kBlock);
  }
  // Branch-free: letters and other bytes are mixed unpredictably in real text. The
  // row offset moves one row per letter and wraps after the last state.
  const std::uint8_t* rows = tables_.data();
  constexpr std::size_t kEnd = kStates * kRow;
  std::size_t row = state_ * kRow;
  for (std::size_t i = 0; i < run; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    const std::size_t letter = kLetterOf[byte];
    row += letter == kLetters ? 0 : kRow;
    row = row == kEnd ? 0 : row;
    data[i] = static_cast<char>(byte ^ rows[row + letter]);
  }
  state_ = row / kRow;
  return run;
}

void Keystream::apply(char* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    done += counting_ ? applyCounting(data + done, size - done)
                      : applyStepwise(data + done, size - done);
  }
}

RotorPositions Keystream::positions() const {
  if (!counting_) return positions_;
  return {static_cast<std::int64_t>(state_ / kBlock),
          static_cast<std::int64_t>(state_ / kLetters % kLetters),
          static_cast<std::int64_t>(state_ % kLetters)};
}

}  // namespace rotorwerk
