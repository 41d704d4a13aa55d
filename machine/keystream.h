// The machine applied to runs of bytes: letters stepped and transformed, fast.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/rotor_machine.h"

namespace rotorwerk {

// Gives exactly what stepPositions and transformLetter give letter by letter, from
// one table lookup per byte. The machine has only 26 x 26 x 26 rotor states, so one
// substitution row per state, built from transformLetter itself, is the whole cipher.
// Rows are built for a (left, middle) pair when the text first reaches it.
class Keystream {
 public:
  // The machine's settings must be sound and stay unchanged while this lives.
  Keystream(const RotorMachine& machine, RotorPositions start);

  // Enciphers (or, being its own inverse, deciphers) every byte with the value of a
  // letter in place, keeping its case; the positions step before each letter.
  void apply(char* data, std::size_t size);

  RotorPositions positions() const;

 private:
  static constexpr std::size_t kBlock = std::size_t{kLetters} * kLetters;
  static constexpr std::size_t kStates = kBlock * kLetters;
  // A row holds what each letter is XORed with at one state, and a last entry of
  // zero for every other byte, so that the inner loop needs no branch.
  static constexpr std::size_t kRow = kLetters + 1;

  std::size_t applyStepwise(char* data, std::size_t size);
  std::size_t applyCounting(char* data, std::size_t size);
  void step();
  void enterSegment();
  const std::uint8_t* block(std::size_t key);

  const RotorMachine& machine_;
  // Positions all within 0..25 step like one base-26 counter over every state, and
  // stay within; the others are stepped one rule at a time until they get there.
  bool counting_ = false;
  std::size_t state_ = 0;     // while counting: left * 676 + middle * 26 + right
  RotorPositions positions_;  // while not counting
  // Steps left that only add one to the right position: no carry, no wrap-around.
  std::uint64_t plainSteps_ = 0;
  std::size_t right_ = 0;  // the right position's residue
  const std::uint8_t* block_ = nullptr;
  std::vector<std::uint8_t> tables_;  // row `state` at `state * kRow`
  std::array<bool, kBlock> built_{};
};

}  // namespace rotorwerk
