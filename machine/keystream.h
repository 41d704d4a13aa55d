// The machine applied to runs of bytes: letters stepped and transformed, fast.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/rotor_machine.h"

namespace rotorwerk {

// Gives exactly what stepPositions and transformLetter give letter by letter, from
// one table lookup per letter. The machine has only 26 x 26 x 26 rotor states, so a
// 26-entry substitution per state, built from transformLetter itself, is the whole
// cipher. Tables are built for a (left, middle) pair when the text first reaches it.
class Keystream {
 public:
  // The machine's settings must be sound and stay unchanged while this lives.
  Keystream(const RotorMachine& machine, RotorPositions start);

  // Enciphers (or, being its own inverse, deciphers) every byte with the value of a
  // letter in place, keeping its case; the positions step before each letter.
  void apply(char* data, std::size_t size);

  RotorPositions positions() const { return positions_; }

 private:
  static constexpr std::size_t kBlock = kLetters * kLetters;

  void step();
  void enterSegment();

  const RotorMachine& machine_;
  RotorPositions positions_;
  // Steps left that only add one to the right position: no carry, no wrap-around.
  std::uint64_t plainSteps_ = 0;
  std::size_t right_ = 0;  // the right position's residue
  const std::uint8_t* block_ = nullptr;
  std::vector<std::uint8_t> tables_;
  std::array<bool, kBlock> built_{};
};

}  // namespace rotorwerk
