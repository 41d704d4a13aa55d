// The letter transform and the stepping rule.
#include "machine/rotor_machine.h"

#include <algorithm>
#include <cassert>

namespace rotorwerk {
namespace {

// mod(a + b) without forming a + b, which could overflow for extreme positions.
int modSum(std::int64_t a, std::int64_t b) { return mod26(mod26(a) + mod26(b)); }

// Increments with wrap-around from the largest to the smallest value instead of
// overflowing.
std::int64_t increment(std::int64_t value) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(value) + 1U);
}

}  // namespace

LetterTrace traceLetter(const RotorMachine& machine, LetterIndex letter, std::int64_t left,
                        std::int64_t middle, std::int64_t right) {
  const auto& rows = machine.forward;
  const auto& inverse = machine.inverse;
  const auto& slots = machine.slotRotors;
  LetterTrace trace;
  // A check letter may come from any offset's low 8 bits: only letters are plugged, and
  // any other value enters the rotors as the letter it reduces to, which is what it is
  // shown as.
  trace.in = mod26(letter);
  trace.plugged = letter >= 0 && letter < kLetters
                      ? machine.plugboard[static_cast<std::size_t>(letter)]
                      : trace.in;
  assert(std::all_of(slots.begin(), slots.end(),
                     [&](std::int64_t slot) { return slot >= 1 && slot <= machine.rotorCount; }));
  const WiringRow& leftRow = rows[static_cast<std::size_t>(slots[0])];
  const WiringRow& middleRow = rows[static_cast<std::size_t>(slots[1])];
  const WiringRow& rightRow = rows[static_cast<std::size_t>(slots[2])];
  // On the way in only the next rotor's position is added to what leaves a rotor.
  trace.right = rightRow[static_cast<std::size_t>(modSum(trace.plugged, right))];
  trace.middle = middleRow[static_cast<std::size_t>(modSum(trace.right, middle))];
  trace.left = leftRow[static_cast<std::size_t>(modSum(trace.middle, left))];
  trace.reflected = machine.reflector[static_cast<std::size_t>(mod26(trace.left))];
  const auto& leftInverse = inverse[static_cast<std::size_t>(slots[0])];
  const auto& middleInverse = inverse[static_cast<std::size_t>(slots[1])];
  const auto& rightInverse = inverse[static_cast<std::size_t>(slots[2])];
  trace.leftBack =
      modSum(leftInverse[static_cast<std::size_t>(mod26(trace.reflected))], -mod26(left));
  trace.middleBack =
      modSum(middleInverse[static_cast<std::size_t>(trace.leftBack)], -mod26(middle));
  trace.rightBack = modSum(rightInverse[static_cast<std::size_t>(trace.middleBack)], -mod26(right));
  trace.out = machine.plugboard[static_cast<std::size_t>(trace.rightBack)];
  return trace;
}

int transformLetter(const RotorMachine& machine, LetterIndex letter, std::int64_t left,
                    std::int64_t middle, std::int64_t right) {
  return traceLetter(machine, letter, left, middle, right).out;
}

void stepPositions(RotorPositions& positions) {
  positions.right = increment(positions.right);
  if (positions.right != kLetters) return;
  positions.right = 0;
  positions.middle = increment(positions.middle);
  if (positions.middle != kLetters) return;
  positions.middle = 0;
  positions.left = increment(positions.left);
  if (positions.left == kLetters) positions.left = 0;
}

}  // namespace rotorwerk
