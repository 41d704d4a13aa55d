// The check letters that let a reader verify its start positions.
#include "codefile/code_file.h"

namespace rotorwerk {
namespace {

int transformAt(const RotorMachine& machine, std::int8_t letter, const RotorPositions& p) {
  return transformLetter(machine, letter, p.left, p.middle, p.right);
}

}  // namespace

std::string makeCheckLetters(const RotorMachine& machine, RotorPositions positions) {
  std::string letters;
  for (const std::int64_t offset : machine.startOffsets) {
    stepPositions(positions);
    // Only the offset's low 8 bits go in, as a signed letter index.
    const auto letter = static_cast<std::int8_t>(static_cast<std::uint8_t>(offset & 0xFF));
    letters.push_back(static_cast<char>('a' + transformAt(machine, letter, positions)));
  }
  return letters;
}

std::array<bool, 3> verifyCheckLetters(const RotorMachine& machine, RotorPositions positions,
                                       std::string_view word) {
  std::array<bool, 3> holds{};
  for (std::size_t k = 0; k < holds.size(); ++k) {
    stepPositions(positions);
    if (k >= word.size()) continue;
    const auto letter = static_cast<std::int8_t>(
        static_cast<std::uint8_t>(static_cast<unsigned char>(word[k]) - 'a'));
    const auto result = static_cast<std::int8_t>(transformAt(machine, letter, positions));
    holds[k] = result == machine.startOffsets[k];
  }
  return holds;
}

}  // namespace rotorwerk
