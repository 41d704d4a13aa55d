// Loading and judging the two settings files.
#include "machine/settings.h"

#include <array>
#include <cstdio>
#include <limits>

#include "platform/file.h"
#include "platform/formatted_input.h"

namespace rotorwerk {
namespace {

constexpr auto kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr auto kInt64Max = std::numeric_limits<std::int64_t>::max();

File openSettingsFile(const std::string& directory, const char* name) {
  return openForReading(joinPath(directory, name).c_str());
}

// No sound settings word is this long; a longer one (an endless device) is a fault,
// found without reading it to its end.
constexpr std::size_t kMaxWordLength = 4096;

// Reads a wiring word into `row` when its first 26 characters are lowercase letters.
bool readWiringWord(FormattedInput& input, WiringRow& row) {
  Word word;
  if (input.readWord(word, kLetters, kMaxWordLength + 1) != ReadStatus::kOk ||
      word.text.size() < kLetters || word.length > kMaxWordLength) {
    return false;
  }
  for (std::size_t k = 0; k < kLetters; ++k) {
    const char c = word.text[k];
    if (c < 'a' || c > 'z') return false;
    row[k] = static_cast<std::int8_t>(c - 'a');
  }
  return true;
}

// A settings number must end where its item ends: "1O" or "0x1f" is no number.
bool readNumberItem(FormattedInput& input, std::int64_t& value, std::int64_t min,
                    std::int64_t max) {
  return input.readNumber(value, min, max) == ReadStatus::kOk && input.atItemEnd();
}

bool isPermutation(const WiringRow& row) {
  std::array<bool, kLetters> seen{};
  for (const auto entry : row) {
    if (seen[static_cast<std::size_t>(entry)]) return false;
    seen[static_cast<std::size_t>(entry)] = true;
  }
  return true;
}

bool isFixedPointFreePairing(const WiringRow& row) {
  for (std::size_t k = 0; k < kLetters; ++k) {
    const auto partner = static_cast<std::size_t>(row[k]);
    if (partner == k || static_cast<std::size_t>(row[partner]) != k) return false;
  }
  return true;
}

std::optional<SettingsFault> loadWiring(FormattedInput& input, RotorMachine& machine) {
  const auto fault = [](SettingsItem item, std::int64_t number = 0) {
    return SettingsFault{SettingsFile::kWiring, item, number};
  };
  if (!readWiringWord(input, machine.reflector) || !isFixedPointFreePairing(machine.reflector)) {
    return fault(SettingsItem::kReflector);
  }
  if (!readNumberItem(input, machine.rotorCount, 0, kMaxRotors)) {
    return fault(SettingsItem::kRotorCount);
  }
  for (std::int64_t j = 1; j <= machine.rotorCount; ++j) {
    auto& row = machine.forward[static_cast<std::size_t>(j)];
    if (!readWiringWord(input, row) || !isPermutation(row)) {
      return fault(SettingsItem::kRotor, j);
    }
    for (std::size_t k = 0; k < kLetters; ++k) {
      machine.inverse[static_cast<std::size_t>(j)][static_cast<std::size_t>(row[k])] =
          static_cast<std::int8_t>(k);
    }
  }
  return std::nullopt;
}

std::optional<SettingsFault> loadStart(FormattedInput& input, RotorMachine& machine) {
  const auto fault = [](SettingsItem item, std::int64_t number = 0) {
    return SettingsFault{SettingsFile::kStart, item, number};
  };
  if (!readNumberItem(input, machine.plugPairCount, 0, kInt64Max)) {
    return fault(SettingsItem::kPlugCount);
  }
  // Every pair uses up at least one letter, so a huge count fails within 27 pairs.
  std::array<bool, kLetters> used{};
  for (std::int64_t i = 1; i <= machine.plugPairCount; ++i) {
    char x = 0;
    char y = 0;
    if (input.readChar(x) != ReadStatus::kOk || input.readChar(y) != ReadStatus::kOk) {
      return fault(SettingsItem::kPlug, i);
    }
    for (const char c : {x, y}) {
      if (c < 'a' || c > 'z' || used[static_cast<std::size_t>(c - 'a')]) {
        return fault(SettingsItem::kPlug, i);
      }
    }
    used[static_cast<std::size_t>(x - 'a')] = used[static_cast<std::size_t>(y - 'a')] = true;
    machine.plugboard[x - 'a'] = y - 'a';
    machine.plugboard[y - 'a'] = x - 'a';
  }
  constexpr SettingsItem kSlotItems[] = {SettingsItem::kLeftRotor, SettingsItem::kMiddleRotor,
                                         SettingsItem::kRightRotor};
  for (std::size_t k = 0; k < 3; ++k) {
    // Rotor 0 is the all-zero row, which would turn every text into one letter.
    if (!readNumberItem(input, machine.slotRotors[k], 1, machine.rotorCount)) {
      machine.slotRotors[k] = 0;
      return fault(kSlotItems[k]);
    }
  }
  constexpr SettingsItem kOffsetItems[] = {SettingsItem::kLeftOffset, SettingsItem::kMiddleOffset,
                                           SettingsItem::kRightOffset};
  for (std::size_t k = 0; k < 3; ++k) {
    if (!readNumberItem(input, machine.startOffsets[k], kInt64Min, kInt64Max)) {
      return fault(kOffsetItems[k]);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<SettingsFault> loadSettings(RotorMachine& machine, const std::string& directory) {
  // The plugboard holds exactly the current start file's pairs.
  machine.plugboard.clear();
  const File wiring = openSettingsFile(directory, kWiringFileName);
  if (!wiring) return SettingsFault{SettingsFile::kWiring, SettingsItem::kCannotOpen};
  FormattedInput wiringInput(wiring.get());
  if (auto fault = loadWiring(wiringInput, machine)) return fault;
  const File start = openSettingsFile(directory, kStartFileName);
  if (!start) return SettingsFault{SettingsFile::kStart, SettingsItem::kCannotOpen};
  FormattedInput startInput(start.get());
  return loadStart(startInput, machine);
}

}  // namespace rotorwerk
