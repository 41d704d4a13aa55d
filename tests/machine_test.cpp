// The machine's arithmetic: stepping, residues, the transform and its symmetry.
#include <gtest/gtest.h>

#include <limits>

#include "machine/rotor_machine.h"
#include "machine/settings.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
constexpr auto kMax = std::numeric_limits<std::int64_t>::max();

RotorMachine loaded(const test::SettingsText& settings) {
  test::ScratchDir dir;
  test::writeSettings(dir, settings);
  const RotorMachine machine = test::loadMachine(dir.path());
  return machine;
}

RotorPositions stepped(RotorPositions positions) {
  stepPositions(positions);
  return positions;
}

TEST(Stepping, CountsLikeAnOdometerAndCarriesOnlyAtExactly26) {
  EXPECT_EQ(stepped({0, 0, 24}), (RotorPositions{0, 0, 25}));
  EXPECT_EQ(stepped({0, 0, 25}), (RotorPositions{0, 1, 0}));
  EXPECT_EQ(stepped({0, 25, 25}), (RotorPositions{1, 0, 0}));
  EXPECT_EQ(stepped({25, 25, 25}), (RotorPositions{0, 0, 0}));
  EXPECT_EQ(stepped({5, 3, 30}), (RotorPositions{5, 3, 31}));
  EXPECT_EQ(stepped({40, 30, 25}), (RotorPositions{40, 31, 0}));
  EXPECT_EQ(stepped({-3, 25, 25}), (RotorPositions{-2, 0, 0}));
}

TEST(Stepping, WrapsFromTheLargestToTheSmallestValue) {
  EXPECT_EQ(stepped({1, 2, kMax}), (RotorPositions{1, 2, kMin}));
  EXPECT_EQ(stepped({1, 2, kMin}), (RotorPositions{1, 2, kMin + 1}));
}

TEST(Residue, IsExactForNegativeAndLargeValues) {
  EXPECT_EQ(mod26(-5), 21);
  EXPECT_EQ(mod26(30), 4);
  EXPECT_EQ(mod26(-27), 25);
  EXPECT_EQ(mod26(-26), 0);
  EXPECT_EQ(mod26(kMax), 7);  // 2^63 - 1 = 26 * 354745078340568300 + 7
  EXPECT_EQ(mod26(kMin), 18);
}

// With straight rotors the result is mod(U[mod(letter + sum)] - sum).
int straightFormula(int letter, std::int64_t sum) {
  const int reflected = mod26(letter + mod26(sum)) ^ 1;  // neighbour pairing
  return mod26(reflected - mod26(sum));
}

TEST(Transform, StraightRotorsDependOnlyOnThePositionSum) {
  const RotorMachine machine = loaded(test::straightSettings(0, 0, 0));
  EXPECT_EQ(transformLetter(machine, 0, 0, 0, 1), 25);  // 'a' becomes 'z'
  EXPECT_EQ(transformLetter(machine, 1, 0, 0, 1), 2);   // 'b' becomes 'c'
  const std::int64_t positions[][3] = {{0, 0, 1},         {3, 7, 11},      {-5, 0, 0},
                                       {30, -27, 4},      {kMax, kMin, 5}, {kMin, kMin, kMin},
                                       {kMax, kMax, kMax}};
  for (const auto& p : positions) {
    // The exact sum, reduced piecewise so that it cannot overflow.
    const std::int64_t sum = mod26(p[0]) + mod26(p[1]) + mod26(p[2]);
    for (int letter = 0; letter < kLetters; ++letter) {
      EXPECT_EQ(transformLetter(machine, static_cast<LetterIndex>(letter), p[0], p[1], p[2]),
                straightFormula(letter, sum))
          << letter << " at " << p[0] << "," << p[1] << "," << p[2];
    }
  }
}

TEST(Transform, NegativePositionsActLikeTheirResidues) {
  const RotorMachine machine = loaded(test::randomSettings(7, {0}));
  for (int letter = 0; letter < kLetters; ++letter) {
    const auto index = static_cast<LetterIndex>(letter);
    EXPECT_EQ(transformLetter(machine, index, -5, 30, -27),
              transformLetter(machine, index, 21, 4, 25));
  }
}

TEST(Transform, OnlyTheNextRotorsPositionIsAddedOnTheWayIn) {
  // Rotor 2 in the middle shifts by one; rotors 1 and 3 are straight. The letter
  // enters the middle rotor at y1 + middle, not y1 + middle - right.
  test::SettingsText settings = test::straightSettings(0, 0, 0);
  settings.wiring =
      "badcfehgjilknmporqtsvuxwzy\n3\nabcdefghijklmnopqrstuvwxyz\n"
      "bcdefghijklmnopqrstuvwxyza\nabcdefghijklmnopqrstuvwxyz\n";
  const RotorMachine machine = loaded(settings);
  // 'a' at (0, 2, 3): x1 = 3, y1 = 3, x2 = 5, y2 = 6, x3 = 6, y3 = 6, z = 7,
  // x4 = 7, x5 = 6 - 2 = 4 (inverse of the shift), out = 4 - 3 = 1.
  EXPECT_EQ(transformLetter(machine, 0, 0, 2, 3), 1);
}

TEST(Transform, PlugboardSwapsBeforeAndAfterTheRotors) {
  const RotorMachine plain = loaded(test::straightSettings(0, 0, 1));
  const RotorMachine plugged = loaded(test::straightSettings(0, 0, 1, "1 ab"));
  for (int letter = 0; letter < kLetters; ++letter) {
    const int swappedIn = letter < 2 ? 1 - letter : letter;
    int expected = transformLetter(plain, static_cast<LetterIndex>(swappedIn), 0, 0, 1);
    if (expected < 2) expected = 1 - expected;
    EXPECT_EQ(transformLetter(plugged, static_cast<LetterIndex>(letter), 0, 0, 1), expected);
  }
}

TEST(Transform, IsItsOwnInverseAndHasNoFixedPointsForSoundSettings) {
  const std::vector<std::int64_t> offsets = {0, 5, 25, 26, -1, -27, 1000003, kMax, kMin};
  for (unsigned seed = 1; seed <= 60; ++seed) {
    const RotorMachine machine = loaded(test::randomSettings(seed, offsets));
    RotorPositions positions = machine.startPositions();
    for (int step = 0; step < 700; ++step) {
      stepPositions(positions);
      const int letter = (step * 7 + static_cast<int>(seed)) % kLetters;
      const int out = transformLetter(machine, static_cast<LetterIndex>(letter), positions.left,
                                      positions.middle, positions.right);
      ASSERT_NE(out, letter) << "seed " << seed << " step " << step;
      ASSERT_EQ(transformLetter(machine, static_cast<LetterIndex>(out), positions.left,
                                positions.middle, positions.right),
                letter)
          << "seed " << seed << " step " << step;
    }
  }
}

}  // namespace
}  // namespace rotorwerk
