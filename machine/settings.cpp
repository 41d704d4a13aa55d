// Reading, judging and writing the two settings files.
#include "machine/settings.h"

#include <cassert>
#include <limits>

namespace rotorwerk {
namespace {

constexpr auto kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr auto kInt64Max = std::numeric_limits<std::int64_t>::max();

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

std::string letters(const WiringRow& row) {
  std::string word;
  for (const auto entry : row) word.push_back(static_cast<char>('a' + entry));
  return word;
}

std::size_t at(std::int64_t value) { return static_cast<std::size_t>(value); }

}  // namespace

Result<Wiring> parseWiring(FormattedInput& input) {
  Wiring wiring;
  if (!readWiringWord(input, wiring.reflector) || !isFixedPointFreePairing(wiring.reflector)) {
    return settingsFault(SettingsItem::kReflector);
  }
  std::int64_t count = 0;
  if (!readNumberItem(input, count, 0, kMaxRotors)) return settingsFault(SettingsItem::kRotorCount);
  wiring.rotors.resize(at(count));
  for (std::size_t j = 0; j < wiring.rotors.size(); ++j) {
    if (!readWiringWord(input, wiring.rotors[j]) || !isPermutation(wiring.rotors[j])) {
      return settingsFault(SettingsItem::kRotor, static_cast<std::int64_t>(j + 1));
    }
  }
  return wiring;
}

Result<Start> parseStart(FormattedInput& input, std::size_t rotorCount) {
  Start start;
  std::int64_t pairs = 0;
  if (!readNumberItem(input, pairs, 0, kInt64Max)) return settingsFault(SettingsItem::kPlugCount);
  // Every pair uses up at least one letter, so a huge count fails within 27 pairs.
  std::array<bool, kLetters> used{};
  for (std::int64_t i = 1; i <= pairs; ++i) {
    std::array<char, 2> pair{};
    if (input.readChar(pair[0]) != ReadStatus::kOk || input.readChar(pair[1]) != ReadStatus::kOk) {
      return settingsFault(SettingsItem::kPlug, i);
    }
    for (const char c : pair) {
      if (c < 'a' || c > 'z' || used[at(c - 'a')]) return settingsFault(SettingsItem::kPlug, i);
    }
    used[at(pair[0] - 'a')] = used[at(pair[1] - 'a')] = true;
    start.plugs.push_back(pair);
  }
  constexpr SettingsItem kSlotItems[] = {SettingsItem::kLeftRotor, SettingsItem::kMiddleRotor,
                                         SettingsItem::kRightRotor};
  for (std::size_t k = 0; k < 3; ++k) {
    // Rotor 0 is the all-zero row, which would turn every text into one letter.
    if (!readNumberItem(input, start.slots[k], 1, static_cast<std::int64_t>(rotorCount))) {
      return settingsFault(kSlotItems[k]);
    }
  }
  constexpr SettingsItem kOffsetItems[] = {SettingsItem::kLeftOffset, SettingsItem::kMiddleOffset,
                                           SettingsItem::kRightOffset};
  for (std::size_t k = 0; k < 3; ++k) {
    if (!readNumberItem(input, start.offsets[k], kInt64Min, kInt64Max)) {
      return settingsFault(kOffsetItems[k]);
    }
  }
  return start;
}

std::string formatWiring(const Wiring& wiring) {
  std::string text = letters(wiring.reflector) + "\n" + std::to_string(wiring.rotors.size()) + "\n";
  for (const auto& rotor : wiring.rotors) text += letters(rotor) + "\n";
  return text;
}

std::string formatStart(const Start& start) {
  std::string text = std::to_string(start.plugs.size()) + "\n";
  for (std::size_t p = 0; p < start.plugs.size(); ++p) {
    text += {start.plugs[p][0], start.plugs[p][1], p + 1 < start.plugs.size() ? ' ' : '\n'};
  }
  for (const auto& numbers : {start.slots, start.offsets}) {
    text += std::to_string(numbers[0]) + " " + std::to_string(numbers[1]) + " " +
            std::to_string(numbers[2]) + "\n";
  }
  return text;
}

RotorMachine buildMachine(const Settings& settings) {
  assert(settings.wiring.rotors.size() <= kMaxRotors);
  RotorMachine machine;
  machine.reflector = settings.wiring.reflector;
  machine.rotorCount = static_cast<std::int64_t>(settings.wiring.rotors.size());
  for (std::size_t j = 1; j <= settings.wiring.rotors.size(); ++j) {
    machine.forward[j] = settings.wiring.rotors[j - 1];
    for (std::size_t k = 0; k < kLetters; ++k) {
      machine.inverse[j][at(machine.forward[j][k])] = static_cast<std::int8_t>(k);
    }
  }
  for (const auto& [x, y] : settings.start.plugs) {
    machine.plugboard[at(x - 'a')] = static_cast<std::int8_t>(y - 'a');
    machine.plugboard[at(y - 'a')] = static_cast<std::int8_t>(x - 'a');
  }
  machine.slotRotors = settings.start.slots;
  machine.startOffsets = settings.start.offsets;
  return machine;
}

}  // namespace rotorwerk
