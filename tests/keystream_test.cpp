// The table-driven keystream against the plain transform and stepping, letter by letter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#include "machine/emulated_kernels.h"
#include "machine/keystream.h"
#include "machine/settings.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
constexpr auto kMax = std::numeric_limits<std::int64_t>::max();

// The reference: one stepPositions and one transformLetter per letter.
std::string plainCipher(const RotorMachine& machine, std::string text, RotorPositions& positions) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool lower = byte >= 'a' && byte <= 'z';
    const bool upper = byte >= 'A' && byte <= 'Z';
    if (!lower && !upper) continue;
    stepPositions(positions);
    const char base = lower ? 'a' : 'A';
    c = static_cast<char>(base + transformLetter(machine, static_cast<LetterIndex>(byte - base),
                                                 positions.left, positions.middle,
                                                 positions.right));
  }
  return text;
}

std::string randomText(std::mt19937& random, std::size_t size) {
  std::string text(size, '\0');
  for (char& c : text) {
    // Mostly letters, so that carries are reached, with every other byte value too.
    const unsigned pick = random() % 10;
    c = static_cast<char>(pick < 4   ? 'a' + random() % 26
                          : pick < 8 ? 'A' + random() % 26
                                     : random() % 256);
  }
  return text;
}

// A kernel under test: one of the program's, or one built on SIMDe's portable
// intrinsics, which runs on any CPU.
struct TestedKernel {
  const char* name;
  Kernel kernel = Kernel::kPortable;
  VectorKernel emulated = nullptr;

  Keystream start(const RotorMachine& machine) const {
    return emulated != nullptr ? Keystream(machine, machine.startPositions(), emulated)
                               : Keystream(machine, machine.startPositions(), kernel);
  }
};

// Every kernel this CPU runs natively, and every emulated one; each must give the plain
// machine's bytes.
std::vector<TestedKernel> kernels() {
  std::vector<TestedKernel> tested;
  for (const TestedKernel& native :
       {TestedKernel{"portable", Kernel::kPortable}, TestedKernel{"avx2", Kernel::kAvx2},
        TestedKernel{"avx512vbmi", Kernel::kAvx512Vbmi}}) {
    if (kernelSupported(native.kernel)) tested.push_back(native);
  }
  tested.push_back({"avx2 emulated with SIMDe", Kernel::kPortable, applyAvx2Emulated});
  tested.push_back({"avx512vbmi emulated with SIMDe", Kernel::kPortable, applyAvx512VbmiEmulated});
  return tested;
}

TEST(Keystream, TellsWhichKernelsRun) {
  std::string ran;
  for (const TestedKernel& kernel : kernels())
    ran += std::string(ran.empty() ? "" : ", ") + kernel.name;
  std::printf("kernels tested: %s\n", ran.c_str());
  if (!kernelSupported(Kernel::kAvx512Vbmi)) {
    std::printf("native avx512vbmi kernel skipped: this CPU has no AVX-512 VBMI\n");
  }
  // Unless forced, the chosen kernel is the fastest this CPU runs.
  if (std::getenv("ROTORWERK_KERNEL") == nullptr) {
    EXPECT_EQ(chosenKernel() == Kernel::kAvx512Vbmi, kernelSupported(Kernel::kAvx512Vbmi));
  }
}

TEST(Keystream, MatchesThePlainMachineForEveryKindOfStartOffset) {
  const std::vector<std::int64_t> offsets = {
      0, 1, 24, 25, 26, 30, -1, -5, -27, -1000, kMax, kMax - 3, kMax - 40, kMin, kMin + 7, 1000003};
  std::mt19937 random(11);
  for (unsigned seed = 1; seed <= 150; ++seed) {
    test::ScratchDir dir;
    test::writeSettings(dir, test::randomSettings(seed, offsets));
    const RotorMachine machine = test::loadMachine(dir.path());
    const std::string text = randomText(random, 2000 + random() % 20000);
    RotorPositions plainPositions = machine.startPositions();
    const std::string expected = plainCipher(machine, text, plainPositions);
    for (const TestedKernel& kernel : kernels()) {
      // Chunks of every size, so that nothing depends on where a block ends.
      Keystream keystream = kernel.start(machine);
      std::string actual = text;
      for (std::size_t at = 0; at < actual.size();) {
        const std::size_t size = std::min<std::size_t>(actual.size() - at, random() % 700);
        keystream.apply(actual.data() + at, size);
        at += size;
      }
      const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin());
      ASSERT_EQ(mismatch.first, actual.end())
          << "seed " << seed << ", kernel " << kernel.name << ": first difference at byte "
          << (mismatch.first - actual.begin());
      ASSERT_EQ(keystream.positions(), plainPositions) << "seed " << seed;
    }
  }
}

TEST(Keystream, CountsThroughTheWrapAroundOfTheRightPosition) {
  test::ScratchDir dir;
  test::writeSettings(dir, test::straightSettings(3, 4, kMax - 2));
  const RotorMachine machine = test::loadMachine(dir.path());
  for (const TestedKernel& kernel : kernels()) {
    Keystream keystream = kernel.start(machine);
    std::string text(5, 'a');
    keystream.apply(text.data(), text.size());
    EXPECT_EQ(keystream.positions(), (RotorPositions{3, 4, kMin + 2}));
    RotorPositions plain = machine.startPositions();
    EXPECT_EQ(text, plainCipher(machine, std::string(5, 'a'), plain));
  }
}

// The last 70 states before the positions come round to 0 0 0, each reached with the
// text cut at another place, so that the wrap falls inside a vector group, at its
// edge and in the scalar tail alike.
TEST(Keystream, CountsThroughTheLastStatesOfTheCycle) {
  constexpr std::int64_t kStates = std::int64_t{kLetters} * kLetters * kLetters;
  std::mt19937 random(5);
  const std::string text = randomText(random, 300);
  for (std::int64_t k = 1; k <= 70; ++k) {
    const std::int64_t state = kStates - k;
    test::ScratchDir dir;
    test::SettingsText settings = test::randomSettings(static_cast<unsigned>(k), {0});
    // The start file ends with its three offsets, here "0 0 0 ".
    settings.start.resize(settings.start.size() - 6);
    settings.start += std::to_string(state / (kLetters * kLetters)) + " " +
                      std::to_string(state / kLetters % kLetters) + " " +
                      std::to_string(state % kLetters) + "\n";
    test::writeSettings(dir, settings);
    const RotorMachine machine = test::loadMachine(dir.path());
    RotorPositions plainPositions = machine.startPositions();
    const std::string expected = plainCipher(machine, text, plainPositions);
    for (const TestedKernel& kernel : kernels()) {
      Keystream keystream = kernel.start(machine);
      std::string actual = text;
      const auto cut = static_cast<std::size_t>(k);
      keystream.apply(actual.data(), cut);
      keystream.apply(actual.data() + cut, actual.size() - cut);
      ASSERT_EQ(actual, expected) << "state " << state << ", kernel " << kernel.name;
      ASSERT_EQ(keystream.positions(), plainPositions) << "state " << state;
    }
  }
}

// From each of the last 70 states before 0 0 0, texts of letters only whose lengths
// pass through whole vector groups and a scalar tail, each enciphered in one call, so
// that the counter wraps inside a group, at its edge and in the tail, for every kernel.
TEST(Keystream, WrapsTheCounterInsideOneCallAtEveryPlaceOfAGroup) {
  constexpr std::int64_t kStates = std::int64_t{kLetters} * kLetters * kLetters;
  test::ScratchDir dir;
  test::writeSettings(dir, test::randomSettings(3, {0}));
  const RotorMachine machine = test::loadMachine(dir.path());
  std::mt19937 random(9);
  std::string letters(200, 'a');
  for (char& c : letters) c = static_cast<char>((random() % 2 != 0 ? 'a' : 'A') + random() % 26);
  for (std::int64_t k = 1; k <= 70; ++k) {
    const std::int64_t state = kStates - k;
    const RotorPositions start{state / (kLetters * kLetters), state / kLetters % kLetters,
                               state % kLetters};
    for (const std::size_t size : {24U, 31U, 33U, 65U, 70U, 97U, 200U}) {
      RotorPositions plainPositions = start;
      const std::string expected = plainCipher(machine, letters.substr(0, size), plainPositions);
      for (const TestedKernel& kernel : kernels()) {
        Keystream keystream = kernel.emulated != nullptr
                                  ? Keystream(machine, start, kernel.emulated)
                                  : Keystream(machine, start, kernel.kernel);
        std::string actual = letters.substr(0, size);
        keystream.apply(actual.data(), actual.size());
        ASSERT_EQ(actual, expected)
            << "offsets " << start.left << " " << start.middle << " " << start.right << ", " << size
            << " letters, kernel " << kernel.name;
        ASSERT_EQ(keystream.positions(), plainPositions) << "state " << state;
      }
    }
  }
}

}  // namespace
}  // namespace rotorwerk
