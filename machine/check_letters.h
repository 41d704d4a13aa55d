// The check letters of a code file: the one rule by which they are made and verified.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "machine/rotor_machine.h"

namespace rotorwerk {

// What goes in for start offset `offset`: its low 8 bits, as a signed letter index.
LetterIndex checkLetterInput(std::int64_t offset);

// The three check letters, continuing from the positions after the body's last letter:
// for the left, middle and right start offset in turn the positions step and the
// offset's letter is enciphered.
std::string makeCheckLetters(const RotorMachine& machine, RotorPositions positions);

// Which of the three start offsets the check word confirms: each letter, deciphered at
// the same positions, gives back its offset. A missing letter is a failed check.
std::array<bool, 3> verifyCheckLetters(const RotorMachine& machine, RotorPositions positions,
                                       std::string_view word);

}  // namespace rotorwerk
