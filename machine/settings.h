// The settings of the wiring file and the start file: read, judged and written.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "machine/rotor_machine.h"
#include "platform/formatted_input.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

inline constexpr const char* kWiringFileName = "enigma_config.ef";
inline constexpr const char* kStartFileName = "enigma_init.ef";

// Where a settings fault is: Fault::item holds one of these.
enum class SettingsItem {
  kCannotOpen,
  kReflector,
  kRotorCount,
  kRotor,  // numbered
  kPlugCount,
  kPlug,  // numbered
  kLeftRotor,
  kMiddleRotor,
  kRightRotor,
  kLeftOffset,
  kMiddleOffset,
  kRightOffset,
  // Settings that cannot encipher: the wiring alone, or nothing (moved from).
  kNoStart,
  kMovedFrom,
};

// The wiring file: a reflector that pairs the letters, and up to ten rotors.
struct Wiring {
  WiringRow reflector{};
  std::vector<WiringRow> rotors;  // rotor number j is rotors[j - 1]
};

// The start file: plug pairs with no letter twice, the slots' rotor numbers
// (1..rotor count) and the start offsets, any 64-bit numbers.
struct Start {
  std::vector<std::array<char, 2>> plugs;  // as written: lowercase letters
  std::array<std::int64_t, 3> slots{};     // left, middle, right
  std::array<std::int64_t, 3> offsets{};   // left, middle, right
};

struct Settings {
  Wiring wiring;
  Start start;
};

// Read the items of each file in order and give the first fault, a kSettings fault
// without a file name (the caller knows it). Whatever the input holds, they read
// boundedly and never index outside the tables.
Result<Wiring> parseWiring(FormattedInput& input);
Result<Start> parseStart(FormattedInput& input, std::size_t rotorCount);

// The files' texts, as parseWiring and parseStart read them back.
std::string formatWiring(const Wiring& wiring);
std::string formatStart(const Start& start);

// The machine the settings describe.
RotorMachine buildMachine(const Settings& settings);

inline Fault settingsFault(SettingsItem item, std::int64_t number = 0) {
  return Fault{FaultKind::kSettings, {}, static_cast<int>(item), number};
}

}  // namespace rotorwerk
