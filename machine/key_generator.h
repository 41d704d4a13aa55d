// Fresh settings drawn from the operating system's cryptographic random source.
#pragma once

#include "machine/settings.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

inline constexpr int kDefaultKeyRotors = 5;
inline constexpr int kDefaultKeyPlugs = 10;
inline constexpr int kMaxPlugPairs = 13;

// A reflector pairing all 26 letters without fixed points, `rotors` (1..10) rotor
// permutations, `plugs` (0..13) plug pairs with no letter twice, three different rotors
// for the slots (as far as there are three) and offsets in 0..25. kNoRandomness when
// the random source fails.
Result<Settings> generateKey(int rotors, int plugs);

}  // namespace rotorwerk
