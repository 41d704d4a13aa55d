// The three-rotor machine: its tables, the letter transform and the stepping rule.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace rotorwerk {

// A letter as 0..25: 'a' and 'A' are both 0.
using LetterIndex = std::int8_t;

inline constexpr int kLetters = 26;
inline constexpr int kMaxRotors = 10;

// The letter a byte stands for: only the 26 ASCII letters of either case are letters,
// every other byte (a digit, a control, each byte of a UTF-8 or GBK character) passes
// the machine as it is. Every layer asks this one rule.
constexpr std::optional<LetterIndex> letterIndexOf(unsigned char byte) {
  const unsigned folded = (byte | 0x20U) - static_cast<unsigned>('a');
  if (folded >= static_cast<unsigned>(kLetters)) return std::nullopt;
  return static_cast<LetterIndex>(folded);
}

// Positions of the left, middle and right (fast) rotor. They are reduced only when
// used, so a start offset outside 0..25 keeps counting.
struct RotorPositions {
  std::int64_t left = 0;
  std::int64_t middle = 0;
  std::int64_t right = 0;

  friend bool operator==(const RotorPositions&, const RotorPositions&) = default;
};

using WiringRow = std::array<std::int8_t, kLetters>;

// Every letter to itself: a wiring, or a plugboard without plugs.
constexpr WiringRow straightRow() {
  WiringRow row{};
  for (std::size_t k = 0; k < row.size(); ++k) row[k] = static_cast<std::int8_t>(k);
  return row;
}

struct RotorMachine {
  // Row r wires rotor number r; row 0 is never loaded and stays all zero.
  std::array<WiringRow, kMaxRotors + 1> forward{};
  std::array<WiringRow, kMaxRotors + 1> inverse{};
  WiringRow reflector{};
  std::array<std::int64_t, 3> slotRotors{};    // left, middle, right
  std::array<std::int64_t, 3> startOffsets{};  // left, middle, right
  std::int64_t rotorCount = 0;
  // Both directions of every plug pair; an unplugged letter goes to itself.
  WiringRow plugboard = straightRow();

  RotorPositions startPositions() const {
    return {startOffsets[0], startOffsets[1], startOffsets[2]};
  }
};

// The exact residue of x modulo 26, in 0..25 also for negative x.
constexpr int mod26(std::int64_t x) {
  const auto r = static_cast<int>(x % kLetters);
  return r < 0 ? r + kLetters : r;
}

// Sends one letter through plugboard, rotors, reflector and back at the given positions.
// The slots must name loaded rotors (1..rotorCount).
int transformLetter(const RotorMachine& machine, LetterIndex letter, std::int64_t left,
                    std::int64_t middle, std::int64_t right);

// A letter's way through the machine: the letter index after each stage, in order.
struct LetterTrace {
  int in = 0;
  int plugged = 0;  // after the plugboard
  int right = 0;    // after the right, middle and left rotor on the way in
  int middle = 0;
  int left = 0;
  int reflected = 0;  // after the reflector
  int leftBack = 0;   // after the left, middle and right rotor on the way back
  int middleBack = 0;
  int rightBack = 0;
  int out = 0;  // after the plugboard again: what transformLetter gives
};

// transformLetter, stage by stage: what a trace shows is what enciphers.
LetterTrace traceLetter(const RotorMachine& machine, LetterIndex letter, std::int64_t left,
                        std::int64_t middle, std::int64_t right);

// Advances the positions by one letter, odometer fashion.
void stepPositions(RotorPositions& positions);

}  // namespace rotorwerk
