// Breaking a code file whose wiring is known and whose start file is not: which rotors
// stand in the slots, where they start and how the plugboard is wired.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine/rotor_machine.h"

namespace rotorwerk {

// What the attack reads of a code file.
struct CipherSample {
  std::vector<std::uint8_t> letters;  // the body's first letters, as indices 0..25
  std::uint64_t totalLetters = 0;     // all the body's letters: the check letters follow them
  std::string checkWord;              // the check letters, or empty without them
  bool english = true;                // false: scored by letter frequencies only
};

// Letters the search works on: more would slow the first stage and add little.
inline constexpr std::size_t kAttackLetters = 800;
// Below this many letters a break is rarely certain: the user is warned.
inline constexpr std::size_t kFewLetters = 200;

struct AttackKey {
  std::array<int, 3> slots{1, 1, 1};  // rotor numbers, left, middle, right
  std::array<int, 3> offsets{};       // start offsets 0..25, left, middle, right
  WiringRow plugboard = straightRow();
};

struct AttackResult {
  AttackKey key;
  // Per letter: the mean trigram score in log10 for English, else the index of
  // coincidence.
  double score = 0;
  bool checkLettersVerify = false;
  bool confident = false;
  bool searched = false;  // false: the time limit or a stop request ended it early
  // The first stage's work: letters deciphered without plugs, and its time.
  std::uint64_t firstStageLetters = 0;
  double firstStageSeconds = 0;
};

struct AttackProgress {
  int stage = 1;     // 1: every rotor choice and start, no plugs; 2: the plugboard
  double share = 0;  // of the stage, 0..1
  double best = 0;   // the best score so far, as in AttackResult
  double secondsLeft = 0;
};

struct AttackLimits {
  unsigned threads = 1;
  std::chrono::duration<double> timeLimit{300};
  std::function<bool()> stopRequested;                  // may be empty
  std::function<void(const AttackProgress&)> progress;  // a few times a second; may be empty
};

// Searches every slot choice (1..rotor count each, repeats included) and start of
// `wiring` (whose slots, offsets and plugboard are ignored) for the key that deciphers
// `sample` into language. Gives the best key found.
AttackResult attack(const RotorMachine& wiring, const CipherSample& sample,
                    const AttackLimits& limits);

// Where a sound English break's score lies: a text deciphered right scores above this
// per letter, letters at random well below.
inline constexpr double kEnglishThreshold = -3.6;

}  // namespace rotorwerk
