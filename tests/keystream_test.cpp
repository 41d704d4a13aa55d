// The table-driven keystream against the plain transform and stepping, letter by letter.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

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

// Every kernel this CPU runs; each must give the plain machine's bytes.
std::vector<Kernel> kernels() {
  std::vector<Kernel> supported;
  for (const Kernel kernel : {Kernel::kPortable, Kernel::kAvx2}) {
    if (kernelSupported(kernel)) supported.push_back(kernel);
  }
  return supported;
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
    for (const Kernel kernel : kernels()) {
      // Chunks of every size, so that nothing depends on where a block ends.
      Keystream keystream(machine, machine.startPositions(), kernel);
      std::string actual = text;
      for (std::size_t at = 0; at < actual.size();) {
        const std::size_t size = std::min<std::size_t>(actual.size() - at, random() % 700);
        keystream.apply(actual.data() + at, size);
        at += size;
      }
      const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin());
      ASSERT_EQ(mismatch.first, actual.end())
          << "seed " << seed << ", kernel " << static_cast<int>(kernel)
          << ": first difference at byte " << (mismatch.first - actual.begin());
      ASSERT_EQ(keystream.positions(), plainPositions) << "seed " << seed;
    }
  }
}

TEST(Keystream, CountsThroughTheWrapAroundOfTheRightPosition) {
  test::ScratchDir dir;
  test::writeSettings(dir, test::straightSettings(3, 4, kMax - 2));
  const RotorMachine machine = test::loadMachine(dir.path());
  for (const Kernel kernel : kernels()) {
    Keystream keystream(machine, machine.startPositions(), kernel);
    std::string text(5, 'a');
    keystream.apply(text.data(), text.size());
    EXPECT_EQ(keystream.positions(), (RotorPositions{3, 4, kMin + 2}));
    RotorPositions plain = machine.startPositions();
    EXPECT_EQ(text, plainCipher(machine, std::string(5, 'a'), plain));
  }
}

}  // namespace
}  // namespace rotorwerk
