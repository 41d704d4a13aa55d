// The machine applied to runs of bytes: letters stepped and transformed, fast.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/rotor_machine.h"

namespace rotorwerk {

// The ways the keystream can run, fastest last. Each gives exactly the same bytes.
enum class Kernel {
  kPortable,    // one table lookup per byte
  kAvx2,        // 32 bytes at a time with AVX2 byte shuffles
  kAvx512Vbmi,  // 64 bytes at a time with AVX-512 VBMI byte permutes
};

struct FactoredMachine;

// A vector kernel: enciphers whole groups of `data` counting from `state`, which it
// advances, and gives how many bytes it did; the rest is left to the caller.
using VectorKernel = std::size_t (*)(const FactoredMachine& machine, char* data, std::size_t size,
                                     std::size_t& state);

// Whether this CPU can run the kernel.
bool kernelSupported(Kernel kernel);
// The fastest kernel this CPU runs, unless the environment variable ROTORWERK_KERNEL
// names a supported one ("portable", "avx2", "avx512vbmi"): tests and benchmarks force
// each path so.
Kernel chosenKernel();

// The factored machine at positions within 0..25: at (left, middle, right) a letter x
// becomes plug((inner[left][middle][(plug(x) + right) mod 26] - right) mod 26), where
// `inner` holds the right rotor's wiring, the middle and left rotors, the reflector and
// the way back, and changes only every 26 letters.
struct FactoredMachine {
  static constexpr std::size_t kPairs = std::size_t{kLetters} * kLetters;
  // Padded to 32 entries, so that a kernel can load each as two 16-byte halves.
  using Table = std::array<std::uint8_t, 32>;
  // The first tables stand again after the last, so that a kernel can load the tables
  // a group meets in one row, across the counter's wrap.
  static constexpr std::size_t kWrapTables = 3;

  explicit FactoredMachine(const RotorMachine& machine);

  // What a letter that has passed the plugboard comes out of the rotors as, at a
  // counter state (left * 676 + middle * 26 + right): the one lookup every user of
  // these tables makes.
  std::size_t throughRotors(std::size_t in, std::size_t state) const {
    const std::size_t right = state % kLetters;
    const std::size_t through = inner[state / kLetters][(in + right) % kLetters];
    return (through + kLetters - right) % kLetters;
  }

  Table plug{};
  std::vector<Table> inner;  // indexed by left * 26 + middle; kPairs + kWrapTables
};

// Gives exactly what stepPositions and transformLetter give letter by letter, for sound
// settings. Positions within 0..25 step like one base-26 counter over the 17,576 rotor
// states; the kernel runs there. Other positions are stepped one rule at a time, by the
// plain machine, until they reach that range.
class Keystream {
 public:
  // The machine's settings must be sound and stay unchanged while this lives.
  Keystream(const RotorMachine& machine, RotorPositions start, Kernel kernel = chosenKernel());
  // With a vector kernel built apart, such as one emulated for tests on any CPU.
  Keystream(const RotorMachine& machine, RotorPositions start, VectorKernel kernel);

  // Enciphers (or, being its own inverse, deciphers) every byte with the value of a
  // letter in place, keeping its case; the positions step before each letter.
  void apply(char* data, std::size_t size);

  RotorPositions positions() const;

  static constexpr std::size_t kStates = FactoredMachine::kPairs * kLetters;

 private:
  static constexpr std::size_t kRow = kLetters + 1;
  // Bytes the portable kernel takes at a time.
  static constexpr std::size_t kGroup = 8;

  std::size_t applyStepwise(char* data, std::size_t size);
  std::size_t applyCounting(char* data, std::size_t size);
  void buildRows();

  VectorKernel vector_ = nullptr;  // none: the portable kernel
  FactoredMachine factored_;
  bool counting_ = false;
  std::size_t state_ = 0;     // while counting: left * 676 + middle * 26 + right
  RotorPositions positions_;  // while not counting
  // For the portable kernel: per state, what each letter is XORed with, and a last
  // entry of zero for every other byte, so that its loop needs no branch; the first
  // kGroup rows stand again after the last.
  std::vector<std::uint8_t> rows_;
};

// The vector kernels, each only to be called where kernelSupported says so: whole
// 32-byte and 64-byte groups.
std::size_t applyAvx2(const FactoredMachine& machine, char* data, std::size_t size,
                      std::size_t& state);
std::size_t applyAvx512Vbmi(const FactoredMachine& machine, char* data, std::size_t size,
                            std::size_t& state);

}  // namespace rotorwerk
