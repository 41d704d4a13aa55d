// The machine applied to runs of bytes: the factored tables and the portable kernel.
#include "machine/keystream.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace rotorwerk {
namespace {

constexpr bool inAlphabet(std::int64_t position) { return position >= 0 && position < kLetters; }

// For every byte: its letter index, or 26 for a byte that is no letter.
constexpr std::array<std::uint8_t, 256> kLetterOf = [] {
  std::array<std::uint8_t, 256> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    table[byte] = static_cast<std::uint8_t>(
        letterIndexOf(static_cast<unsigned char>(byte)).value_or(kLetters));
  }
  return table;
}();

std::size_t at(std::int64_t value) { return static_cast<std::size_t>(value); }

// The portable kernel works on 8-byte groups held in one word, the first byte lowest.
constexpr std::uint64_t kEach = 0x0101010101010101U;  // times a byte value: it in every byte
constexpr std::uint64_t kTop = kEach * 0x80U;

std::uint64_t loadGroup(const char* from) {
  std::array<unsigned char, 8> b{};
  std::memcpy(b.data(), from, b.size());
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t word = 0;
    std::memcpy(&word, b.data(), sizeof word);
    return word;
  }
  std::uint64_t word = 0;
  for (std::size_t k = 0; k < b.size(); ++k) word |= std::uint64_t{b[k]} << (8 * k);
  return word;
}

// 0x80 in each byte with the value of a letter, 0 in the others. No sum leaves its byte:
// the case bit is set and the top bit cleared first, and the top bit is checked apart.
std::uint64_t letterBits(std::uint64_t bytes) {
  const std::uint64_t folded = (bytes | kEach * 0x20U) & ~kTop;
  const std::uint64_t fromA = folded + kEach * (0x80U - 'a');
  const std::uint64_t pastZ = folded + kEach * (0x80U - 'z' - 1U);
  return fromA & ~pastZ & ~bytes & kTop;
}

// For each byte of a group: where its XOR value lies from the group's first row. A letter
// steps first, so it is its row (the letters up to and including it) times the row length
// plus its index; any other byte takes its row's zero entry. At most 8 * 27 + 26 = 242, so
// every byte's sum stays within it. The top byte of `counted` is the group's letter count.
std::uint64_t rowOffsets(std::uint64_t bytes, std::uint64_t& counted) {
  const std::uint64_t letters = letterBits(bytes) >> 7;
  const std::uint64_t isLetter = letters * 0xFFU;
  // With the top bit set, no byte's subtraction borrows from the next.
  const std::uint64_t lowerIndex = ((bytes | kEach * 0x20U | kTop) - kEach * 'a') & ~kTop;
  const std::uint64_t index = (lowerIndex & isLetter) | (kEach * kLetters & ~isLetter);
  counted = letters * kEach;
  return counted * (kLetters + 1) + index;
}

// A letter byte, whose index is `letter`, enciphered at a state of the counter. The
// letters start at 0x41 and 0x61, so the top three bits keep the case.
char encipherAt(const FactoredMachine& machine, unsigned char byte, std::size_t letter,
                std::size_t state) {
  const std::size_t out = machine.throughRotors(machine.plug[letter], state);
  return static_cast<char>((byte & 0xE0U) | (machine.plug[out] + 1U));
}

}  // namespace

FactoredMachine::FactoredMachine(const RotorMachine& machine) : inner(kPairs + kWrapTables) {
  const auto& slots = machine.slotRotors;
  const WiringRow& leftRow = machine.forward[at(slots[0])];
  const WiringRow& middleRow = machine.forward[at(slots[1])];
  const WiringRow& rightRow = machine.forward[at(slots[2])];
  const WiringRow& leftInverse = machine.inverse[at(slots[0])];
  const WiringRow& middleInverse = machine.inverse[at(slots[1])];
  const WiringRow& rightInverse = machine.inverse[at(slots[2])];
  for (std::size_t x = 0; x < kLetters; ++x)
    plug[x] = static_cast<std::uint8_t>(machine.plugboard[x]);
  // The same steps as transformLetter, composed once per (left, middle) pair.
  for (std::size_t left = 0; left < kLetters; ++left) {
    for (std::size_t middle = 0; middle < kLetters; ++middle) {
      Table& table = inner[left * kLetters + middle];
      for (std::size_t in = 0; in < kLetters; ++in) {
        const auto y1 = at(rightRow[in]);
        const auto y2 = at(middleRow[(y1 + middle) % kLetters]);
        const auto y3 = at(leftRow[(y2 + left) % kLetters]);
        const auto z = at(machine.reflector[y3]);
        const std::size_t x4 = (at(leftInverse[z]) + kLetters - left) % kLetters;
        const std::size_t x5 = (at(middleInverse[x4]) + kLetters - middle) % kLetters;
        table[in] = static_cast<std::uint8_t>(rightInverse[x5]);
      }
    }
  }
  std::copy_n(inner.begin(), kWrapTables, inner.begin() + kPairs);
}

bool kernelSupported(Kernel kernel) {
  switch (kernel) {
    case Kernel::kPortable: return true;
#if defined(__x86_64__)
    case Kernel::kAvx2: return static_cast<bool>(__builtin_cpu_supports("avx2"));
    case Kernel::kAvx512Vbmi:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi");
#else
    case Kernel::kAvx2:
    case Kernel::kAvx512Vbmi: return false;
#endif
  }
  return false;
}

Kernel chosenKernel() {
  const char* named = std::getenv("ROTORWERK_KERNEL");
  const std::string_view name = named != nullptr ? named : "";
  if (name == "portable") return Kernel::kPortable;
  if (name == "avx2" && kernelSupported(Kernel::kAvx2)) return Kernel::kAvx2;
  if (name == "avx512vbmi" && kernelSupported(Kernel::kAvx512Vbmi)) return Kernel::kAvx512Vbmi;
  if (kernelSupported(Kernel::kAvx512Vbmi)) return Kernel::kAvx512Vbmi;
  return kernelSupported(Kernel::kAvx2) ? Kernel::kAvx2 : Kernel::kPortable;
}

Keystream::Keystream(const RotorMachine& machine, RotorPositions start, Kernel kernel)
    : Keystream(machine, start,
                kernel == Kernel::kAvx2         ? applyAvx2
                : kernel == Kernel::kAvx512Vbmi ? applyAvx512Vbmi
                                                : VectorKernel{nullptr}) {}

Keystream::Keystream(const RotorMachine& machine, RotorPositions start, VectorKernel kernel)
    : vector_(kernel), factored_(machine), positions_(start) {
  if (vector_ == nullptr) buildRows();
  counting_ = inAlphabet(start.left) && inAlphabet(start.middle) && inAlphabet(start.right);
  if (counting_) {
    state_ =
        at(start.left) * FactoredMachine::kPairs + at(start.middle) * kLetters + at(start.right);
  }
}

void Keystream::buildRows() {
  rows_.assign((kStates + kGroup) * kRow, 0);
  std::uint8_t* row = rows_.data();
  for (std::size_t state = 0; state < kStates; ++state, row += kRow) {
    for (std::size_t letter = 0; letter < kLetters; ++letter) {
      const std::size_t out = factored_.throughRotors(factored_.plug[letter], state);
      // The case bit is the same on both sides, so it cancels out of the XOR.
      row[letter] = static_cast<std::uint8_t>((factored_.plug[out] + 'A') ^ (letter + 'A'));
    }
  }
  // The first rows again after the last, so that a group may count past the end.
  std::copy_n(rows_.begin(), kGroup * kRow, rows_.begin() + kStates * kRow);
}

std::size_t Keystream::applyStepwise(char* data, std::size_t size) {
  std::size_t i = 0;
  for (; i < size && !counting_; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    const std::size_t letter = kLetterOf[byte];
    if (letter == kLetters) continue;
    stepPositions(positions_);
    const RotorPositions& p = positions_;
    // Only the residues matter to the transform.
    const std::size_t state = at(mod26(p.left)) * FactoredMachine::kPairs +
                              at(mod26(p.middle)) * kLetters + at(mod26(p.right));
    data[i] = encipherAt(factored_, byte, letter, state);
    if (inAlphabet(p.left) && inAlphabet(p.middle) && inAlphabet(p.right)) {
      counting_ = true;
      state_ = state;
    }
  }
  return i;
}

std::size_t Keystream::applyCounting(char* data, std::size_t size) {
  if (vector_ != nullptr) {
    // What is left after the last whole group goes letter by letter.
    for (std::size_t i = vector_(factored_, data, size, state_); i < size; ++i) {
      const auto byte = static_cast<unsigned char>(data[i]);
      const std::size_t letter = kLetterOf[byte];
      if (letter == kLetters) continue;
      state_ = state_ + 1 == kStates ? 0 : state_ + 1;
      data[i] = encipherAt(factored_, byte, letter, state_);
    }
    return size;
  }
  // Branch-free: letters and other bytes are mixed unpredictably in real text. A group's
  // letters are found and counted in one word, which gives each byte its row offset from
  // the group's first row, so the eight lookups do not wait for one another; a byte that
  // is no letter reads a zero whatever its row.
  static_assert(kGroup * kRow + kLetters <= 0xFF && kRow == kLetters + 1);
  const std::uint8_t* rows = rows_.data();
  std::size_t state = state_;
  std::size_t i = 0;
  for (; i + kGroup <= size; i += kGroup) {
    const std::uint64_t bytes = loadGroup(data + i);
    std::uint64_t counted = 0;
    const std::uint64_t offsets = rowOffsets(bytes, counted);
    const std::uint8_t* base = rows + state * kRow;
    // Two offsets at a time: the low and high byte of 16 bits are read without a shift.
    for (std::size_t k = 0; k < kGroup; k += 2) {
      const auto two = static_cast<std::uint16_t>(offsets >> (8 * k));
      data[i + k] = static_cast<char>(data[i + k] ^ base[two & 0xFFU]);
      data[i + k + 1] = static_cast<char>(data[i + k + 1] ^ base[two >> 8]);
    }
    state += counted >> 56;
    state = state >= kStates ? state - kStates : state;
  }
  for (; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    const std::size_t letter = kLetterOf[byte];
    state += letter != kLetters ? 1 : 0;
    state = state == kStates ? 0 : state;
    data[i] = static_cast<char>(byte ^ rows[state * kRow + letter]);
  }
  state_ = state;
  return size;
}

void Keystream::apply(char* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    done += counting_ ? applyCounting(data + done, size - done)
                      : applyStepwise(data + done, size - done);
  }
}

RotorPositions Keystream::positions() const {
  if (!counting_) return positions_;
  return {static_cast<std::int64_t>(state_ / FactoredMachine::kPairs),
          static_cast<std::int64_t>(state_ / kLetters % kLetters),
          static_cast<std::int64_t>(state_ % kLetters)};
}

}  // namespace rotorwerk
