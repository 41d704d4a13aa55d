// The machine applied to runs of bytes, one table lookup per letter.
#include "machine/keystream.h"

#include <limits>

namespace rotorwerk {

Keystream::Keystream(const RotorMachine& machine, RotorPositions start)
    : machine_(machine), positions_(start), tables_(kBlock * kBlock) {
  enterSegment();
}

void Keystream::enterSegment() {
  const std::int64_t right = positions_.right;
  // The step that reaches exactly 26 carries; the one from the largest value wraps.
  plainSteps_ = right < kLetters
      ? static_cast<std::uint64_t>(kLetters - 1) - static_cast<std::uint64_t>(right)
      : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) -
            static_cast<std::uint64_t>(right);
  right_ = static_cast<std::size_t>(mod26(right));
  const auto left = static_cast<std::size_t>(mod26(positions_.left));
  const auto middle = static_cast<std::size_t>(mod26(positions_.middle));
  const std::size_t key = left * kLetters + middle;
  std::uint8_t* block = tables_.data() + key * kBlock;
  if (!built_[key]) {
    for (std::size_t r = 0; r < kLetters; ++r) {
      for (std::size_t letter = 0; letter < kLetters; ++letter) {
        block[r * kLetters + letter] = static_cast<std::uint8_t>(transformLetter(
            machine_, static_cast<LetterIndex>(letter), static_cast<std::int64_t>(left),
            static_cast<std::int64_t>(middle), static_cast<std::int64_t>(r)));
      }
    }
    built_[key] = true;
  }
  block_ = block;
}

inline void Keystream::step() {
  if (plainSteps_ == 0) {
    stepPositions(positions_);
    enterSegment();
    return;
  }
  --plainSteps_;
  ++positions_.right;
  right_ = right_ == kLetters - 1 ? 0 : right_ + 1;
}

void Keystream::apply(char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    // Folding the case bit makes both cases of a letter land on 0..25.
    const unsigned letter = (byte | 0x20U) - static_cast<unsigned>('a');
    if (letter >= kLetters) continue;
    step();
    const unsigned out = block_[right_ * kLetters + letter];
    data[i] = static_cast<char>((static_cast<unsigned>('A') + out) | (byte & 0x20U));
  }
}

}  // namespace rotorwerk
