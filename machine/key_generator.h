// Fresh settings drawn from the operating system's cryptographic random source.
#pragma once

#include <optional>
#include <string>

namespace rotorwerk {

// The two settings files' texts.
struct KeyFiles {
  std::string wiring;
  std::string start;
};

inline constexpr int kDefaultKeyRotors = 5;
inline constexpr int kDefaultKeyPlugs = 10;
inline constexpr int kMaxPlugPairs = 13;

// A reflector pairing all 26 letters without fixed points, `rotors` (1..10) rotor
// permutations, `plugs` (0..13) plug pairs with no letter twice, three different rotors
// for the slots (as far as there are three) and offsets in 0..25. Nothing when the
// random source fails.
std::optional<KeyFiles> generateKey(int rotors, int plugs);

}  // namespace rotorwerk
