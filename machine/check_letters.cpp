// The check letters of a code file.
#include "machine/check_letters.h"

namespace rotorwerk {
namespace {

int transformAt(const RotorMachine& machine, LetterIndex letter, const RotorPositions& p) {
  return transformLetter(machine, letter, p.left, p.middle, p.right);
}

}  // namespace

LetterIndex checkLetterInput(std::int64_t offset) {
  return static_cast<LetterIndex>(static_cast<std::uint8_t>(offset & 0xFF));
}

std::string makeCheckLetters(const RotorMachine& machine, RotorPositions positions) {
  std::string letters;
  for (const std::int64_t offset : machine.startOffsets) {
    stepPositions(positions);
    letters.push_back(
        static_cast<char>('a' + transformAt(machine, checkLetterInput(offset), positions)));
  }
  return letters;
}

std::array<bool, 3> verifyCheckLetters(const RotorMachine& machine, RotorPositions positions,
                                       std::string_view word) {
  std::array<bool, 3> holds{};
  for (std::size_t k = 0; k < holds.size(); ++k) {
    stepPositions(positions);
    if (k >= word.size()) continue;
    const auto letter = static_cast<LetterIndex>(
        static_cast<std::uint8_t>(static_cast<unsigned char>(word[k]) - 'a'));
    const auto result = static_cast<LetterIndex>(transformAt(machine, letter, positions));
    holds[k] = result == machine.startOffsets[k];
  }
  return holds;
}

}  // namespace rotorwerk
