// Breaking a code file whose wiring is known and whose start file is not: which rotors
// stand in the slots, where they start and how the plugboard is wired.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/ngram_scores.h"
#include "machine/rotor_machine.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

// What the attack reads of one code file.
struct CipherMessage {
  std::vector<std::uint8_t> letters;  // the body's first letters, as indices 0..25
  std::uint64_t totalLetters = 0;     // all the body's letters: the check letters follow them
  std::string checkWord;              // the check letters, or empty without them
};

// Text known to stand in the first message: its letters (at most kMaxCribLetters),
// from the letter numbered `position` (from 0), or anywhere when no position is given.
struct Crib {
  std::vector<std::uint8_t> letters;
  std::optional<std::size_t> position;
};

// What the attack reads: one code file, or several enciphered under one start file,
// whose keystreams therefore begin together, so that their evidence adds up.
struct CipherSample {
  std::vector<CipherMessage> messages;
  // Scored by the trigram statistics of `languages`, each tried and the best kept;
  // false (RW-Chn, a letter coding of Chinese): by letter frequencies only.
  bool lettered = true;
  std::vector<TextLanguage> languages{TextLanguage::kEnglish};
  std::optional<Crib> crib;
};

// More known letters than a crib needs for its deductions.
inline constexpr std::size_t kMaxCribLetters = 255;

// Letters the search works on: more would slow the first stage and add little.
inline constexpr std::size_t kAttackLetters = 800;
// Below this many letters a break is rarely certain: the user is warned.
inline constexpr std::size_t kFewLetters = 200;

struct AttackKey {
  std::array<int, 3> slots{1, 1, 1};  // rotor numbers, left, middle, right
  std::array<int, 3> offsets{};       // start offsets 0..25, left, middle, right
  WiringRow plugboard = straightRow();
};

// What makes a key found with confidence: evidence that a wrong key, among all the
// candidates the search looked at, would show only by a rare chance.
enum class Evidence {
  kNone,
  kLanguage,                // the text scores like its language, as no climbed noise does
  kCheckLetters,            // the check letters verify, and few candidates were checked
  kCheckLettersAndLanguage  // both, each alone too weak for this text
};

struct AttackResult {
  AttackKey key;
  // Per letter: the mean trigram score in log10 in `language`, else the index of
  // coincidence.
  double score = 0;
  TextLanguage language = TextLanguage::kEnglish;
  bool scored = false;  // false: stopped before any candidate was scored
  // Every message's check letters verify (false when none has any).
  bool checkLettersVerify = false;
  // How many messages bring check letters: each matches by chance once in 26^3.
  int checkWords = 0;
  // Candidates whose check letters were tried up to this one.
  std::uint64_t candidatesChecked = 0;
  Evidence evidence = Evidence::kNone;
  bool confident = false;
  bool searched = false;  // false: the time limit or a stop request ended it early
  // The first stage's work: letters deciphered without plugs, and its time.
  std::uint64_t firstStageLetters = 0;
  double firstStageSeconds = 0;
};

struct AttackProgress {
  // 1: every rotor choice and start, without plugs (or with a crib, the crib's test);
  // 2: the best of those climbed; 3: every start swept with plug pairs; 4: the rest of
  // stage 1's best climbed.
  int stage = 1;
  double share = 0;  // of the stage, 0..1
  double best = 0;   // the best score so far, as in AttackResult
  double secondsLeft = 0;
};

struct AttackLimits {
  // Where fewer threads can start, the others' share is done by those that did, or by
  // the calling thread when none did.
  unsigned threads = 1;
  std::chrono::duration<double> timeLimit{300};
  // Both may be empty, and may throw: the search then stops and gives kAttackFailed.
  std::function<bool()> stopRequested;
  std::function<void(const AttackProgress&)> progress;  // a few times a second
};

// Searches every slot choice (1..rotor count each, repeats included) and start of
// `wiring` (whose slots, offsets and plugboard are ignored) for the key that deciphers
// `sample` into language. Gives the best key found, or kAttackFailed when memory ran
// out or a callback threw.
Result<AttackResult> attack(const RotorMachine& wiring, const CipherSample& sample,
                            const AttackLimits& limits);

// Where a sound English break's score lies: a text of kShortText letters or more
// deciphered right scores above this per letter; the best that climbing makes of
// letters at random, or of a text under a wrong wiring, stays below.
inline constexpr double kEnglishThreshold = -3.6;
// Below this many letters a climb can make random letters score like English.
inline constexpr std::size_t kShortText = 100;
// The check letters alone confirm a key only while a match by chance among the
// candidates checked is this unlikely: among the first 35 of them.
inline constexpr double kCheckChance = 0.002;
// Check letters checked too late to count alone, on a text of at least this many
// letters that also scores this well: climbed noise of 56 to 72 letters reached -3.62.
inline constexpr std::size_t kShortCheckedText = 50;
inline constexpr double kCheckedEnglishThreshold = -3.4;

// What evidence a scored candidate gives, `letters` long, scored by trigrams or not. A chance
// match of the check letters is weighed against how many candidates were checked.
Evidence evidenceOf(const AttackResult& result, bool lettered, std::size_t letters);

}  // namespace rotorwerk
