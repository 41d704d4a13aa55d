// Fresh settings drawn from the operating system's cryptographic random source.
#include "machine/key_generator.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <numeric>
#include <utility>

#include "machine/rotor_machine.h"
#include "platform/random.h"

namespace rotorwerk {
namespace {

// Uniform numbers below a bound, by rejection, from the system's random bytes.
class RandomSource {
 public:
  std::uint32_t below(std::uint32_t bound) {
    const std::uint32_t limit = UINT32_MAX - UINT32_MAX % bound;
    std::uint32_t value = 0;
    do {
      std::array<unsigned char, 4> bytes{};
      failed_ = failed_ || !fillRandom(bytes.data(), bytes.size());
      value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8U |
              static_cast<std::uint32_t>(bytes[2]) << 16U |
              static_cast<std::uint32_t>(bytes[3]) << 24U;
    } while (!failed_ && value >= limit);
    return value % bound;
  }
  // A uniform shuffle (Fisher-Yates).
  template <typename T, std::size_t N>
  void shuffle(std::array<T, N>& items) {
    for (std::size_t i = N - 1; i > 0; --i) {
      std::swap(items[i], items[below(static_cast<std::uint32_t>(i + 1))]);
    }
  }
  bool failed() const { return failed_; }

 private:
  bool failed_ = false;
};

using Letters = std::array<char, kLetters>;

std::size_t index(char letter) { return static_cast<std::size_t>(letter - 'a'); }

Letters alphabet() {
  Letters letters{};
  std::iota(letters.begin(), letters.end(), 'a');
  return letters;
}

}  // namespace

Result<Settings> generateKey(int rotors, int plugs) {
  // Outside these ranges the draws below would divide by zero or read past the
  // alphabet; the argument parser keeps callers inside them.
  assert(rotors >= 1 && rotors <= kMaxRotors);
  assert(plugs >= 0 && plugs <= kMaxPlugPairs);
  RandomSource random;
  Settings key;
  // Consecutive letters of a shuffled alphabet are paired: a pairing with no letter
  // left alone, so no letter is reflected to itself.
  Letters order = alphabet();
  random.shuffle(order);
  for (std::size_t k = 0; k < kLetters; k += 2) {
    key.wiring.reflector[index(order[k])] = static_cast<std::int8_t>(order[k + 1] - 'a');
    key.wiring.reflector[index(order[k + 1])] = static_cast<std::int8_t>(order[k] - 'a');
  }
  for (int r = 0; r < rotors; ++r) {
    Letters wiring = alphabet();
    random.shuffle(wiring);
    WiringRow& row = key.wiring.rotors.emplace_back();
    for (std::size_t k = 0; k < kLetters; ++k) row[k] = static_cast<std::int8_t>(wiring[k] - 'a');
  }
  random.shuffle(order);
  for (std::size_t p = 0; p < static_cast<std::size_t>(plugs); ++p) {
    key.start.plugs.push_back({order[2 * p], order[2 * p + 1]});
  }
  std::array<int, kMaxRotors> numbers{};
  std::iota(numbers.begin(), numbers.end(), 1);
  for (std::size_t k = 0; k < 3; ++k) {
    // The first three of a shuffle of 1..N differ; with fewer rotors they repeat.
    if (rotors >= 3) {
      const auto left = static_cast<std::uint32_t>(rotors) - static_cast<std::uint32_t>(k);
      std::swap(numbers[k], numbers[k + random.below(left)]);
    } else {
      numbers[k] = 1 + static_cast<int>(random.below(static_cast<std::uint32_t>(rotors)));
    }
    key.start.slots[k] = numbers[k];
  }
  for (auto& offset : key.start.offsets) offset = random.below(kLetters);
  if (random.failed()) return Fault{FaultKind::kNoRandomness};
  return key;
}

}  // namespace rotorwerk
