// The tables of the machine without plugs, and how a candidate names its key.
#include "analysis/search.h"

namespace rotorwerk::stages {

// The machine of the slot choice, without plugs: the search tries the plugboard itself.
FactoredMachine factoredFor(const RotorMachine& wiring, std::array<int, 3> slots) {
  RotorMachine machine = wiring;
  for (std::size_t k = 0; k < 3; ++k) machine.slotRotors[k] = slots[k];
  machine.plugboard = straightRow();
  return FactoredMachine(machine);
}

// What each letter deciphers to without plugs at a counter state.
void fillCore(const FactoredMachine& factored, std::size_t state, std::uint8_t* row) {
  for (std::size_t x = 0; x < kLetterCount; ++x) {
    row[x] = static_cast<std::uint8_t>(factored.throughRotors(x, state));
  }
}

// A candidate's letters deciphered without plugs: per letter, what each letter going in
// comes out as, at the letter's state.
std::vector<Core> coresOf(const FactoredMachine& factored, std::size_t start,
                          const std::vector<std::uint32_t>& positions) {
  std::vector<Core> cores(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    fillCore(factored, (start + 1 + positions[i]) % kStates, cores[i].data());
  }
  return cores;
}

std::uint16_t slotCode(const Search& search, std::size_t choice) {
  const std::size_t rotors = at(static_cast<int>(search.wiring.rotorCount));
  return static_cast<std::uint16_t>(choice / (rotors * rotors) * 100 +
                                    choice / rotors % rotors * 10 + choice % rotors);
}

AttackKey keyOf(const Candidate& candidate, const Core& plugs) {
  AttackKey key;
  key.slots = slotsOf(candidate.slots);
  key.offsets = {static_cast<int>(candidate.start / (kLetterCount * kLetterCount)),
                 static_cast<int>(candidate.start / kLetterCount % kLetterCount),
                 static_cast<int>(candidate.start % kLetterCount)};
  for (std::size_t x = 0; x < kLetterCount; ++x)
    key.plugboard[x] = static_cast<std::int8_t>(plugs[x]);
  return key;
}

}  // namespace rotorwerk::stages
