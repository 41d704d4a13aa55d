// Loading the wiring file and the start file into the machine, and judging them.
#pragma once

#include <optional>
#include <string>

#include "machine/rotor_machine.h"

namespace rotorwerk {

inline constexpr const char* kWiringFileName = "enigma_config.ef";
inline constexpr const char* kStartFileName = "enigma_init.ef";

enum class SettingsFile { kWiring, kStart };

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
};

// The first thing wrong with the settings, in file order.
struct SettingsFault {
  SettingsFile file;
  SettingsItem item;
  std::int64_t number = 0;  // the rotor or plug pair, counted from 1

  friend bool operator==(const SettingsFault&, const SettingsFault&) = default;
};

// Reads both settings files from `directory` into the machine. The machine must not
// transform letters unless this returns no fault. It never reads or writes outside
// the machine's tables, whatever the files hold, and says nothing itself.
[[nodiscard]] std::optional<SettingsFault> loadSettings(RotorMachine& machine,
                                                        const std::string& directory = {});

}  // namespace rotorwerk
