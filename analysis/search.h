// What the attack's stages share: the search's state, its candidates, and the
// tables of the machine without plugs. Each stage is a file of its own; attack.cpp
// runs them in order.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/attack.h"
#include "machine/keystream.h"

namespace rotorwerk::stages {

inline constexpr std::size_t kStates = Keystream::kStates;
inline constexpr std::size_t kLetterCount = kLetters;
// Candidates of the first stage kept: the best are climbed at once, and the slot choices
// that hold most of them are swept first.
inline constexpr std::size_t kCandidates = 200000;
inline constexpr int kMaxPairs = 13;

using Clock = std::chrono::steady_clock;
using Core = std::array<std::uint8_t, kLetterCount>;

inline std::size_t at(int value) { return static_cast<std::size_t>(value); }

inline Core straightPlugs() {
  Core plugs{};
  for (std::size_t x = 0; x < kLetterCount; ++x) plugs[x] = static_cast<std::uint8_t>(x);
  return plugs;
}

// A slot choice and a start: the counter state before the first letter.
struct Candidate {
  std::int32_t coincidences = 0;  // without plugs; in the sweep, with the pairs it added
  std::int32_t climbed = 0;       // with the plugs climbed on coincidences
  std::uint16_t slots = 0;        // (left - 1) * 100 + (middle - 1) * 10 + right - 1
  std::uint16_t start = 0;

  friend bool operator>(const Candidate& a, const Candidate& b) {
    return a.coincidences > b.coincidences;
  }
};

inline std::array<int, 3> slotsOf(std::uint16_t code) {
  return {code / 100 + 1, code / 10 % 10 + 1, code % 10 + 1};
}

// The machine of the slot choice, without plugs: the search tries the plugboard itself.
FactoredMachine factoredFor(const RotorMachine& wiring, std::array<int, 3> slots);
// What each letter deciphers to without plugs at a counter state.
void fillCore(const FactoredMachine& factored, std::size_t state, std::uint8_t* row);
// A candidate's letters deciphered without plugs: per letter, what each letter going in
// comes out as, at the letter's state.
std::vector<Core> coresOf(const FactoredMachine& factored, std::size_t start,
                          const std::vector<std::uint32_t>& positions);

// The machine without plugs at every counter state. Row s is the state s, the rows of the
// first states stand again after the last, so that a text may run past the counter's
// wrap.
class StateTable {
 public:
  StateTable(const FactoredMachine& factored, std::size_t extra)
      : rows_((kStates + extra) * kLetterCount) {
    for (std::size_t state = 0; state < kStates + extra; ++state) {
      fillCore(factored, state % kStates, &rows_[state * kLetterCount]);
    }
  }
  const std::uint8_t* row(std::size_t state) const { return &rows_[state * kLetterCount]; }

 private:
  std::vector<std::uint8_t> rows_;
};

// The best candidates seen, the worst of them first out.
class Best {
 public:
  explicit Best(std::size_t size) : size_(size) {}
  std::int32_t floor() const { return heap_.size() < size_ ? -1 : heap_.front().coincidences; }
  void offer(const Candidate& candidate) {
    if (candidate.coincidences <= floor()) return;
    heap_.push_back(candidate);
    std::push_heap(heap_.begin(), heap_.end(), std::greater<>());
    if (heap_.size() > size_) {
      std::pop_heap(heap_.begin(), heap_.end(), std::greater<>());
      heap_.pop_back();
    }
  }
  std::vector<Candidate>& items() { return heap_; }

 private:
  std::size_t size_;
  std::vector<Candidate> heap_;
};

// What the stages share between the threads.
struct Search {
  Search(const RotorMachine& w, const CipherSample& s) : wiring(w), sample(s) {}
  const RotorMachine& wiring;
  const CipherSample& sample;
  // The letters searched on, at most kAttackLetters, one message after another, each
  // with its place in its message; `ends` is where each message's letters end.
  std::vector<std::uint8_t> letters;
  std::vector<std::uint32_t> positions;
  std::vector<std::size_t> ends;
  std::uint32_t longest = 0;  // letters of the longest message searched
  int checkWords = 0;         // messages with check letters
  // With a crib: the places in the first message where it may stand, and what the
  // bombe stage left standing, each with the plugs it deduced.
  std::vector<std::size_t> cribPlaces;
  std::vector<std::pair<Candidate, Core>> cribStops;  // `climbed`: trigrams with these plugs
  std::size_t slotChoices = 0;
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> finished{0};
  std::size_t stageItems = 0;     // items of the stage that runs
  std::atomic<bool> done{false};  // found, out of time, stopped or failed
  std::mutex mutex;               // guards what follows
  std::vector<Candidate> candidates;
  std::vector<std::size_t> groups;  // where each slot choice's candidates begin, and the end
  std::size_t climbing = 0;         // how many of the first candidates stage 2 takes
  // What stage 2 climbed, (slots, start) in order, and the slot choices in the order the
  // sweep takes them.
  std::vector<std::pair<std::uint16_t, std::uint16_t>> tried;
  std::vector<std::uint16_t> sweepOrder;
  std::uint64_t checked = 0;  // candidates whose check letters were tried
  AttackResult best;
  bool haveBest = false;
  std::optional<Fault> failure;  // what stopped the search without an answer
  // Where the stage runs on the calling thread: its limits checked between its items.
  std::function<void()> watch;

  // The next item of a stage of `total`, unless the search is done.
  bool take(std::size_t& index, std::size_t total) {
    if (watch) watch();
    if (done) return false;
    index = next++;
    return index < total;
  }
};

// The code of slot choice number `choice` (0 to rotors^3 - 1, left slot first).
std::uint16_t slotCode(const Search& search, std::size_t choice);
AttackKey keyOf(const Candidate& candidate, const Core& plugs);

// A candidate's plugboard climbed on coincidences.
struct Climbed {
  Candidate candidate;
  std::vector<Core> cores;
  Core plugs{};
  std::int64_t coincidences = 0;
};

Climbed climbCoincidences(Search& search, const Candidate& candidate,
                          const FactoredMachine& factored, const Core& plugs);
// Then from there on each language's trigrams, and the best judged.
void climbTrigramsAndOffer(Search& search, const Climbed& climbed);

// A climbed candidate judged, and kept when it is the best so far; a confident one ends
// the search.
void offer(Search& search, const Candidate& candidate, const Core& plugs, std::int64_t score,
           TextLanguage language);

// The stages, each run on every thread until `take` gives no more items; attack.cpp
// runs them in this order. With a crib: its places found, the bombe's test, its stops
// climbed.
void findCribPlaces(Search& search);
void cribStage(Search& search);
void cribClimbStage(Search& search);
// Stage 1, and its best kept for the next.
void firstStage(Search& search);
void keepFirstStageBest(Search& search);
// Stage 2: the first stage's best climbed; then the sweep's order, and the sweep.
void secondStage(Search& search);
void orderSweep(Search& search);
void sweepStage(Search& search);
// Stage 4: the rest of the first stage's best ranked, then climbed by stage 2.
void groupTheRest(Search& search);
void rankStage(Search& search);
void orderTheRanked(Search& search);

}  // namespace rotorwerk::stages
