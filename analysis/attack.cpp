// The attack. With a crib, a bombe-like stage first deduces the plugboard from it for
// every rotor choice, start and place, and climbs what stands. Then, or without one: an
// exhaustive first stage over rotor choices and starts without plugs, scored by
// coincidences; its best starts climbed at once (stage 2), on coincidences, then on
// trigrams; then a sweep (stage 3) of every start of every slot choice with plug pairs
// added greedily on coincidences, whose best few per slot choice are climbed likewise;
// then, while time remains, the rest of the first stage's best (stage 4).
// Each result is judged by evidenceOf as it comes.
#include "analysis/attack.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "analysis/ngram_scores.h"
#include "machine/check_letters.h"
#include "machine/keystream.h"

namespace rotorwerk {
namespace {

constexpr std::size_t kStates = Keystream::kStates;
constexpr std::size_t kLetterCount = kLetters;
// Candidates of the first stage kept: the best are climbed at once, and the slot choices
// that hold most of them are swept first.
constexpr std::size_t kCandidates = 200000;
// Candidates climbed on trigrams straight after the first stage.
constexpr std::size_t kFirstTried = 256;
// The sweep adds kScreenPairs plug pairs at every start of a slot choice, kGreedyPairs at
// its best kScreened, climbs its best kSweepKept of those on coincidences and the best
// kSweepClimbed of them on trigrams.
constexpr int kScreenPairs = 5;
constexpr std::size_t kScreened = 64;
constexpr int kGreedyPairs = 10;
constexpr std::size_t kSweepKept = 8;
constexpr std::size_t kSweepClimbed = 2;

constexpr int kMaxPairs = 13;
// A crib without a place is sought among the first message's first letters.
constexpr std::size_t kCribSpan = 60;

using Clock = std::chrono::steady_clock;
using Core = std::array<std::uint8_t, kLetterCount>;

std::size_t at(int value) { return static_cast<std::size_t>(value); }

Core straightPlugs() {
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

std::array<int, 3> slotsOf(std::uint16_t code) {
  return {code / 100 + 1, code / 10 % 10 + 1, code % 10 + 1};
}

// The machine of the slot choice, without plugs: the search tries the plugboard itself.
FactoredMachine factoredFor(const RotorMachine& wiring, std::array<int, 3> slots) {
  RotorMachine machine = wiring;
  for (std::size_t k = 0; k < 3; ++k) machine.slotRotors[k] = slots[k];
  machine.plugboard = straightRow();
  return FactoredMachine(machine);
}

// What each letter deciphers to without plugs at a counter state.
void fillCore(const FactoredMachine& factored, std::size_t state, std::uint8_t* row) {
  for (std::size_t x = 0; x < kLetterCount; ++x) {
    row[x] = static_cast<std::uint8_t>(factored.throughRotors(x, state));
  }
}

// A candidate's letters deciphered without plugs: per letter, what each letter going in
// comes out as, at the letter's state.
std::vector<Core> coresOf(const FactoredMachine& factored, std::size_t start,
                          const std::vector<std::uint32_t>& positions) {
  std::vector<Core> cores(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    fillCore(factored, (start + 1 + positions[i]) % kStates, cores[i].data());
  }
  return cores;
}

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

// The first stage for one slot choice: every start, the text deciphered without plugs,
// its coincidences counted. Four counters, so that repeated letters do not wait on one
// another.
void scoreStarts(const StateTable& table, const std::vector<std::uint32_t>& offsets,
                 std::uint16_t slots, Best& best, const std::atomic<bool>& done) {
  const std::size_t n = offsets.size();
  for (std::size_t start = 0; start < kStates; ++start) {
    // A stop is seen within a few milliseconds, however many threads share the cores.
    if (start % 1024 == 0 && done.load(std::memory_order_relaxed)) return;
    const std::uint8_t* rows = table.row(start + 1);
    std::array<std::array<std::uint16_t, 32>, 4> counts{};
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
      ++counts[0][rows[offsets[i]]];
      ++counts[1][rows[offsets[i + 1]]];
      ++counts[2][rows[offsets[i + 2]]];
      ++counts[3][rows[offsets[i + 3]]];
    }
    for (; i < n; ++i) ++counts[0][rows[offsets[i]]];
    std::int64_t sum = 0;
    for (std::size_t x = 0; x < kLetterCount; ++x) {
      const std::int64_t c = counts[0][x] + counts[1][x] + counts[2][x] + counts[3][x];
      sum += c * (c - 1);
    }
    best.offer({static_cast<std::int32_t>(sum), 0, slots, static_cast<std::uint16_t>(start)});
  }
}

// Coincidences of a candidate's text under any plugboard, fast: the plugs going in
// choose, per cipher letter c, which letter a = plug(c) meets the rotors, and the plugs
// going out only rename letters, which coincidences do not see. So the counts are sums
// of per (c, a) counts kept once, and a move changes only the few letters it replugs.
class CoincidenceScore {
 public:
  CoincidenceScore(const std::vector<Core>& cores, const std::vector<std::uint8_t>& cipher)
      : counts_(kLetterCount * kLetterCount) {
    for (std::size_t i = 0; i < cores.size(); ++i) {
      for (std::size_t a = 0; a < kLetterCount; ++a) {
        ++counts_[cipher[i] * kLetterCount + a][cores[i][a]];
      }
    }
  }
  void accept(const Core& plugs) {
    plugs_ = plugs;
    total_.fill(0);
    for (std::size_t c = 0; c < kLetterCount; ++c) {
      const auto& column = counts_[c * kLetterCount + plugs[c]];
      for (std::size_t y = 0; y < kLetterCount; ++y) total_[y] += column[y];
    }
  }
  std::int64_t operator()(const Core& trial) const {
    std::array<std::int32_t, kLetterCount> total = total_;
    for (std::size_t c = 0; c < kLetterCount; ++c) {
      if (trial[c] == plugs_[c]) continue;
      const auto& now = counts_[c * kLetterCount + plugs_[c]];
      const auto& then = counts_[c * kLetterCount + trial[c]];
      for (std::size_t y = 0; y < kLetterCount; ++y) total[y] += then[y] - now[y];
    }
    std::int64_t sum = 0;
    for (const std::int64_t n : total) sum += n * (n - 1);
    return sum;
  }

 private:
  std::vector<std::array<std::uint16_t, kLetterCount>> counts_;  // [c * 26 + a][y]
  std::array<std::int32_t, kLetterCount> total_{};
  Core plugs_{};
};

// Coincidences of a candidate's text as plug pairs are added one at a time, each the pair
// that raises them most: cheap enough to run at every start, and with ten pairs or more
// it singles out the right start where coincidences without plugs do not.
//
// With per (cipher letter c, letter a that meets the rotors) counts h[c][a] of the
// letters coming out, the totals T for a plugboard are the sum of h[c][plug(c)], and
// plugging free letters a and b changes them by d = h[a][b] + h[b][a] - h[a][a] - h[b][b]:
// the sum of squares rises by 2 T.d + d.d. The dot products T.h come from one pass per
// step; the few best pairs by 2 T.d are then measured exactly.
class GreedyPlugs {
 public:
  // Letters' places in the table's rows: `letters[i]` deciphered at row `positions[i]`.
  GreedyPlugs(const std::vector<std::uint8_t>& letters, const std::vector<std::uint32_t>& positions)
      : counts_(std::make_unique<Counts>()) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
      groups_[letters[i]].push_back(positions[i] * static_cast<std::uint32_t>(kLetterCount));
    }
  }

  // Sum of c * (c - 1) over the letters' counts once `pairs` pairs are plugged (fewer
  // when no pair raises it), for the start whose first letter's row is `rows`; the
  // plugboard it chose in `plugs` when asked.
  std::int32_t operator()(const std::uint8_t* rows, int pairs, Core* plugs = nullptr);

  // Lanes of a letter's counts: 26, padded so that vector units take them whole.
  static constexpr std::size_t kLanes = 32;
  using Lanes = std::array<std::int16_t, kLanes>;
  struct Counts {
    alignas(64) std::array<std::array<Lanes, kLetterCount>, kLetterCount> h;  // [c][a][y]
  };

 private:
  std::array<std::vector<std::uint32_t>, kLetterCount> groups_;  // row offsets per cipher letter
  std::unique_ptr<Counts> counts_;
};

namespace greedy {

inline std::int32_t dot(const GreedyPlugs::Lanes& x, const GreedyPlugs::Lanes& y) {
  std::int32_t sum = 0;
  for (std::size_t k = 0; k < GreedyPlugs::kLanes; ++k) sum += std::int32_t{x[k]} * y[k];
  return sum;
}

// The search itself, inlined into a version for each instruction set.
inline std::int32_t search(const std::array<std::vector<std::uint32_t>, kLetterCount>& groups,
                           GreedyPlugs::Counts& counts, const std::uint8_t* rows, int pairs,
                           Core* plugs) {
  auto& h = counts.h;
  std::int32_t letters = 0;
  for (std::size_t c = 0; c < kLetterCount; ++c) {
    for (auto& lanes : h[c]) lanes.fill(0);
    for (const std::uint32_t offset : groups[c]) {
      const std::uint8_t* row = rows + offset;
      for (std::size_t a = 0; a < kLetterCount; ++a) ++h[c][a][row[a]];
    }
    letters += static_cast<std::int32_t>(groups[c].size());
  }
  GreedyPlugs::Lanes totals{};
  for (std::size_t c = 0; c < kLetterCount; ++c) {
    for (std::size_t y = 0; y < GreedyPlugs::kLanes; ++y) {
      totals[y] = static_cast<std::int16_t>(totals[y] + h[c][c][y]);
    }
  }
  std::int32_t squares = dot(totals, totals);
  std::array<std::uint8_t, kLetterCount> free{};
  for (std::size_t x = 0; x < kLetterCount; ++x) free[x] = static_cast<std::uint8_t>(x);
  std::size_t unplugged = kLetterCount;
  if (plugs != nullptr) *plugs = straightPlugs();
  for (int pair = 0; pair < pairs; ++pair) {
    std::array<std::array<std::int32_t, kLetterCount>, kLetterCount> along{};  // T.h[c][a]
    for (std::size_t i = 0; i < unplugged; ++i) {
      for (std::size_t j = 0; j < unplugged; ++j)
        along[free[i]][free[j]] = dot(h[free[i]][free[j]], totals);
    }
    // The four best pairs by 2 T.d, best first.
    constexpr std::size_t kMeasured = 4;
    std::array<std::pair<std::int32_t, std::uint16_t>, kMeasured> best;
    best.fill({std::numeric_limits<std::int32_t>::min(), 0});
    for (std::size_t i = 0; i < unplugged; ++i) {
      const std::size_t a = free[i];
      for (std::size_t j = i + 1; j < unplugged; ++j) {
        const std::size_t b = free[j];
        const std::int32_t rise = along[a][b] + along[b][a] - along[a][a] - along[b][b];
        if (rise <= best.back().first) continue;
        best.back() = {rise, static_cast<std::uint16_t>(a * kLetterCount + b)};
        for (std::size_t k = kMeasured - 1; k > 0 && best[k].first > best[k - 1].first; --k) {
          std::swap(best[k], best[k - 1]);
        }
      }
    }
    std::int32_t most = squares;
    std::size_t chosen = 0;
    GreedyPlugs::Lanes then{};
    for (const auto& [rise, code] : best) {
      if (rise == std::numeric_limits<std::int32_t>::min()) break;
      const std::size_t a = code / kLetterCount;
      const std::size_t b = code % kLetterCount;
      GreedyPlugs::Lanes trial;
      for (std::size_t y = 0; y < GreedyPlugs::kLanes; ++y) {
        trial[y] = static_cast<std::int16_t>(totals[y] + h[a][b][y] + h[b][a][y] - h[a][a][y] -
                                             h[b][b][y]);
      }
      const std::int32_t value = dot(trial, trial);
      if (value > most) {
        most = value;
        chosen = code;
        then = trial;
      }
    }
    if (most == squares) break;
    squares = most;
    totals = then;
    const std::size_t a = chosen / kLetterCount;
    const std::size_t b = chosen % kLetterCount;
    if (plugs != nullptr) {
      (*plugs)[a] = static_cast<std::uint8_t>(b);
      (*plugs)[b] = static_cast<std::uint8_t>(a);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < unplugged; ++i) {
      if (free[i] != a && free[i] != b) free[kept++] = free[i];
    }
    unplugged = kept;
  }
  return squares - letters;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) std::int32_t searchAvx2(
    const std::array<std::vector<std::uint32_t>, kLetterCount>& groups, GreedyPlugs::Counts& counts,
    const std::uint8_t* rows, int pairs, Core* plugs) {
  return search(groups, counts, rows, pairs, plugs);
}
#endif

}  // namespace greedy

std::int32_t GreedyPlugs::operator()(const std::uint8_t* rows, int pairs, Core* plugs) {
#if defined(__x86_64__)
  static const bool avx2 = kernelSupported(Kernel::kAvx2);
  if (avx2) return greedy::searchAvx2(groups_, *counts_, rows, pairs, plugs);
#endif
  return greedy::search(groups_, *counts_, rows, pairs, plugs);
}

// The trigram score of a candidate's text deciphered with a plugboard, which stands on
// both sides of the rotors; each message is scored apart, so that no trigram spans two.
class TrigramScore {
 public:
  TrigramScore(const TrigramTable& table, const std::vector<Core>& cores,
               const std::vector<std::uint8_t>& cipher, const std::vector<std::size_t>& ends)
      : table_(table), cores_(cores), cipher_(cipher), ends_(ends), plain_(cores.size()) {}
  void accept(const Core&) {}
  std::int64_t operator()(const Core& plugs) {
    for (std::size_t i = 0; i < cores_.size(); ++i) {
      plain_[i] = plugs[cores_[i][plugs[cipher_[i]]]];
    }
    std::int64_t score = 0;
    std::size_t begin = 0;
    for (const std::size_t end : ends_) {
      score += trigramScore(table_, plain_.data() + begin, end - begin);
      begin = end;
    }
    return score;
  }

 private:
  const TrigramTable& table_;
  const std::vector<Core>& cores_;
  const std::vector<std::uint8_t>& cipher_;
  const std::vector<std::size_t>& ends_;
  std::vector<std::uint8_t> plain_;
};

int pairsOf(const Core& plugs) {
  int pairs = 0;
  for (std::size_t x = 0; x < kLetterCount; ++x) pairs += plugs[x] > x ? 1 : 0;
  return pairs;
}

void unplug(Core& plugs, std::size_t x) {
  const std::size_t partner = plugs[x];
  plugs[partner] = static_cast<std::uint8_t>(partner);
  plugs[x] = static_cast<std::uint8_t>(x);
}

// Hill climbing: each move plugs two letters together (freeing their partners, which
// may be plugged to each other instead) or pulls a pair out; a move is kept when the
// score rises, until no move does.
template <class Score>
std::int64_t climb(Score& score, Core& plugs, const std::atomic<bool>& done) {
  score.accept(plugs);
  std::int64_t best = score(plugs);
  for (bool rising = true; rising && !done.load(std::memory_order_relaxed);) {
    rising = false;
    for (std::size_t a = 0; a < kLetterCount; ++a) {
      for (std::size_t b = a + 1; b < kLetterCount; ++b) {
        const std::size_t oldA = plugs[a];
        const std::size_t oldB = plugs[b];
        std::array<Core, 2> trials{plugs, plugs};
        std::size_t count = 1;
        if (oldA == b) {
          unplug(trials[0], a);
        } else {
          for (Core& trial : trials) {
            unplug(trial, a);
            unplug(trial, b);
            trial[a] = static_cast<std::uint8_t>(b);
            trial[b] = static_cast<std::uint8_t>(a);
          }
          if (oldA != a && oldB != b) {
            trials[1][oldA] = static_cast<std::uint8_t>(oldB);
            trials[1][oldB] = static_cast<std::uint8_t>(oldA);
            count = 2;
          }
        }
        for (std::size_t t = 0; t < count; ++t) {
          if (pairsOf(trials[t]) > kMaxPairs) continue;
          const std::int64_t value = score(trials[t]);
          if (value > best) {
            best = value;
            plugs = trials[t];
            score.accept(plugs);
            rising = true;
          }
        }
      }
    }
  }
  return best;
}

AttackKey keyOf(const Candidate& candidate, const Core& plugs) {
  AttackKey key;
  key.slots = slotsOf(candidate.slots);
  key.offsets = {static_cast<int>(candidate.start / (kLetterCount * kLetterCount)),
                 static_cast<int>(candidate.start / kLetterCount % kLetterCount),
                 static_cast<int>(candidate.start % kLetterCount)};
  for (std::size_t x = 0; x < kLetterCount; ++x)
    key.plugboard[x] = static_cast<std::int8_t>(plugs[x]);
  return key;
}

// Whether every message's check letters decipher to the start offsets, with the key's
// plugs: the letters after a body's last continue the same count.
bool checkLettersHold(const RotorMachine& wiring, const AttackKey& key,
                      const CipherSample& sample) {
  RotorMachine machine = wiring;
  for (std::size_t k = 0; k < 3; ++k) {
    machine.slotRotors[k] = key.slots[k];
    machine.startOffsets[k] = key.offsets[k];
  }
  machine.plugboard = key.plugboard;
  const std::size_t start = at(key.offsets[0]) * kLetterCount * kLetterCount +
                            at(key.offsets[1]) * kLetterCount + at(key.offsets[2]);
  bool any = false;
  for (const CipherMessage& message : sample.messages) {
    if (message.checkWord.empty()) continue;
    const std::size_t state = (start + message.totalLetters % kStates) % kStates;
    const RotorPositions after{static_cast<std::int64_t>(state / (kLetterCount * kLetterCount)),
                               static_cast<std::int64_t>(state / kLetterCount % kLetterCount),
                               static_cast<std::int64_t>(state % kLetterCount)};
    const auto holds = verifyCheckLetters(machine, after, message.checkWord);
    if (!(holds[0] && holds[1] && holds[2])) return false;
    any = true;
  }
  return any;
}

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
  // Where there are no threads: the stage's limits checked between its items.
  std::function<void()> watch;

  // The next item of a stage of `total`, unless the search is done.
  bool take(std::size_t& index, std::size_t total) {
    if (watch) watch();
    if (done) return false;
    index = next++;
    return index < total;
  }
};

double perLetter(std::int64_t score, const Search& search, bool lettered) {
  const std::size_t count = search.letters.size();
  if (!lettered) return indexOfCoincidence(score, count);
  // Each message's first two letters begin no trigram.
  const std::size_t trigrams = count - std::min(count, 2 * search.ends.size());
  return trigrams == 0 ? 0 : static_cast<double>(score) / (100.0 * static_cast<double>(trigrams));
}

}  // namespace

Evidence evidenceOf(const AttackResult& result, bool lettered, std::size_t letters) {
  if (lettered && letters >= kShortText && result.score >= kEnglishThreshold) {
    return Evidence::kLanguage;
  }
  if (!result.checkLettersVerify) return Evidence::kNone;
  // Among this many candidates a wrong one's check letters would match by chance.
  const double expectedByChance = static_cast<double>(result.candidatesChecked) /
                                  std::pow(static_cast<double>(kStates), result.checkWords);
  if (expectedByChance <= kCheckChance) return Evidence::kCheckLetters;
  if (lettered && letters >= kShortCheckedText && result.score >= kCheckedEnglishThreshold) {
    return Evidence::kCheckLettersAndLanguage;
  }
  return Evidence::kNone;
}

namespace {

// The code of slot choice number `choice` (0 to rotors^3 - 1, left slot first).
std::uint16_t slotCode(const Search& search, std::size_t choice) {
  const std::size_t rotors = at(static_cast<int>(search.wiring.rotorCount));
  return static_cast<std::uint16_t>(choice / (rotors * rotors) * 100 +
                                    choice / rotors % rotors * 10 + choice % rotors);
}

void firstStage(Search& search) {
  const std::size_t n = search.letters.size();
  std::vector<std::uint32_t> offsets(n);
  for (std::size_t i = 0; i < n; ++i)
    offsets[i] = static_cast<std::uint32_t>(search.positions[i] * kLetterCount + search.letters[i]);
  Best best(kCandidates);
  for (std::size_t choice; search.take(choice, search.slotChoices);) {
    const std::uint16_t code = slotCode(search, choice);
    const StateTable table(factoredFor(search.wiring, slotsOf(code)), search.longest + 1);
    scoreStarts(table, offsets, code, best, search.done);
    ++search.finished;
  }
  const std::lock_guard lock(search.mutex);
  auto& items = best.items();
  search.candidates.insert(search.candidates.end(), items.begin(), items.end());
}

// A climbed candidate judged, and kept when it is the best so far; a confident one ends
// the search.
void offer(Search& search, const Candidate& candidate, const Core& plugs, std::int64_t score,
           TextLanguage language) {
  const bool english = search.sample.lettered;
  AttackResult result;
  result.key = keyOf(candidate, plugs);
  result.score = perLetter(score, search, english);
  result.language = language;
  result.scored = true;
  result.checkLettersVerify = checkLettersHold(search.wiring, result.key, search.sample);
  const std::lock_guard lock(search.mutex);
  result.candidatesChecked = ++search.checked;
  result.checkWords = search.checkWords;
  result.evidence = evidenceOf(result, english, search.letters.size());
  result.confident = result.evidence != Evidence::kNone;
  const auto rank = [](const AttackResult& r) { return std::pair(r.confident, r.score); };
  if (!search.haveBest || rank(result) > rank(search.best)) {
    search.best = result;
    search.haveBest = true;
  }
  if (result.confident) search.done = true;
}

// A candidate's plugboard climbed on coincidences.
struct Climbed {
  Candidate candidate;
  std::vector<Core> cores;
  Core plugs{};
  std::int64_t coincidences = 0;
};

Climbed climbCoincidences(Search& search, const Candidate& candidate,
                          const FactoredMachine& factored, const Core& plugs) {
  Climbed climbed{candidate, coresOf(factored, candidate.start, search.positions), plugs, 0};
  CoincidenceScore coincidence(climbed.cores, search.letters);
  climbed.coincidences = climb(coincidence, climbed.plugs, search.done);
  return climbed;
}

// Then from there on each language's trigrams, the best per letter judged; a text of
// another language keeps the coincidences' plugboard and counts on the check letters.
void climbTrigramsAndOffer(Search& search, const Climbed& climbed) {
  if (!search.sample.lettered) {
    offer(search, climbed.candidate, climbed.plugs, climbed.coincidences, TextLanguage::kEnglish);
    return;
  }
  std::optional<std::pair<std::int64_t, TextLanguage>> best;
  Core bestPlugs = climbed.plugs;
  for (const TextLanguage language : search.sample.languages) {
    Core plugs = climbed.plugs;
    TrigramScore trigrams(trigramsOf(language), climbed.cores, search.letters, search.ends);
    const std::int64_t score = climb(trigrams, plugs, search.done);
    if (!best || score > best->first) {
      best = {score, language};
      bestPlugs = plugs;
    }
  }
  offer(search, climbed.candidate, bestPlugs, best->first, best->second);
}

// Stage 2: the first stage's best candidates, best first, each climbed from no plugs.
void secondStage(Search& search) {
  for (std::size_t index; search.take(index, search.climbing);) {
    const Candidate& candidate = search.candidates[index];
    const FactoredMachine factored = factoredFor(search.wiring, slotsOf(candidate.slots));
    climbTrigramsAndOffer(search, climbCoincidences(search, candidate, factored, straightPlugs()));
    ++search.finished;
  }
}

// Stage 4, when the sweep did not do and time remains: the rest of the first stage's
// candidates, per slot choice, each plugboard climbed on coincidences from none, which
// ranks them far better than coincidences without plugs; stage 2 then climbs them best
// first. Short texts under few plugs need that, where the sweep keeps too few.
void rankStage(Search& search) {
  for (std::size_t group; search.take(group, std::max<std::size_t>(search.groups.size(), 1) - 1);) {
    const std::size_t first = search.groups[group];
    const std::size_t last = search.groups[group + 1];
    const FactoredMachine factored =
        factoredFor(search.wiring, slotsOf(search.candidates[first].slots));
    for (std::size_t index = first; index < last && !search.done; ++index) {
      Candidate& candidate = search.candidates[index];
      candidate.climbed = static_cast<std::int32_t>(
          climbCoincidences(search, candidate, factored, straightPlugs()).coincidences);
    }
    search.finished += last - first;
  }
}

// Stage 3, when stage 2's candidates did not do: every start of every slot choice, those
// that held most of the first stage's best first, scored by coincidences with plug pairs
// added greedily; each slot choice's best few are climbed on coincidences from the pairs
// found, and the best of those on trigrams.
void sweepStage(Search& search) {
  GreedyPlugs greedy(search.letters, search.positions);
  for (std::size_t index; search.take(index, search.sweepOrder.size());) {
    const std::uint16_t code = search.sweepOrder[index];
    const FactoredMachine factored = factoredFor(search.wiring, slotsOf(code));
    const StateTable table(factored, search.longest + 1);
    Best screen(kScreened);
    for (std::size_t start = 0; start < kStates; ++start) {
      if (start % 256 == 0 && search.done.load(std::memory_order_relaxed)) return;
      screen.offer(
          {greedy(table.row(start + 1), kScreenPairs), 0, code, static_cast<std::uint16_t>(start)});
    }
    Best best(kSweepKept);
    for (Candidate candidate : screen.items()) {
      candidate.coincidences = greedy(table.row(candidate.start + 1), kGreedyPairs);
      best.offer(candidate);
    }
    std::vector<Climbed> climbed;
    for (const Candidate& candidate : best.items()) {
      // Stage 2 climbed it already.
      if (std::binary_search(search.tried.begin(), search.tried.end(),
                             std::pair(candidate.slots, candidate.start))) {
        continue;
      }
      Core plugs{};
      greedy(table.row(candidate.start + 1), kGreedyPairs, &plugs);
      climbed.push_back(climbCoincidences(search, candidate, factored, plugs));
    }
    // Climbing on trigrams costs more: the right start's coincidences stand out once
    // climbed.
    std::sort(climbed.begin(), climbed.end(),
              [](const Climbed& x, const Climbed& y) { return x.coincidences > y.coincidences; });
    for (std::size_t k = 0; k < std::min(climbed.size(), kSweepClimbed) && !search.done; ++k) {
      climbTrigramsAndOffer(search, climbed[k]);
    }
    ++search.finished;
  }
}

// The crib's letters at one place, as a bombe's menu: each crib letter links the
// cipher letter and the plain letter through the rotors at its state, both ways, since
// the machine without plugs is its own inverse there.
struct Menu {
  std::size_t place = 0;
  // For each letter, the crib letters (their index) it stands in and its partner there.
  std::array<std::vector<std::pair<std::uint8_t, std::uint8_t>>, kLetterCount> links;
  std::uint8_t most = 0;  // the letter whose partner is guessed
  // Crib letters that lead from `most` round a loop back to it, when the menu has one:
  // the guessed partner must then come back to itself through their rotors.
  std::vector<std::uint8_t> loop;
};

// A loop of the menu through which `most` is reached again: the first crib letter that
// joins two letters already joined closes one, with the path between them.
void findLoop(Menu& menu, const std::vector<std::array<std::uint8_t, 3>>& edges) {
  // A forest of the edges so far, as each letter's neighbours through crib letters.
  std::array<std::vector<std::pair<std::uint8_t, std::uint8_t>>, kLetterCount> tree;
  for (const auto& [j, u, v] : edges) {
    // The path from u to v in the forest, if there is one.
    std::array<int, kLetterCount> from;
    from.fill(-1);
    std::array<std::uint8_t, kLetterCount> via{};
    std::vector<std::uint8_t> queue = {u};
    from[u] = u;
    for (std::size_t k = 0; k < queue.size() && from[v] < 0; ++k) {
      for (const auto& [letter, index] : tree[queue[k]]) {
        if (from[letter] >= 0) continue;
        from[letter] = queue[k];
        via[letter] = index;
        queue.push_back(letter);
      }
    }
    if (u != v && from[v] >= 0) {
      std::vector<std::uint8_t> path;
      for (std::uint8_t at = v; at != u; at = static_cast<std::uint8_t>(from[at])) {
        path.push_back(via[at]);
      }
      // From u along the path to v, then back to u by this crib letter.
      menu.loop.assign(path.rbegin(), path.rend());
      menu.loop.push_back(j);
      menu.most = u;
      return;
    }
    tree[u].push_back({v, j});
    tree[v].push_back({u, j});
  }
}

Menu menuAt(const Search& search, std::size_t place) {
  const Crib& crib = *search.sample.crib;
  assert(crib.letters.size() <= kMaxCribLetters);  // each is named by a byte
  Menu menu;
  menu.place = place;
  for (std::size_t j = 0; j < crib.letters.size(); ++j) {
    const std::uint8_t cipher = search.letters[place + j];
    const std::uint8_t plain = crib.letters[j];
    menu.links[cipher].push_back({static_cast<std::uint8_t>(j), plain});
    menu.links[plain].push_back({static_cast<std::uint8_t>(j), cipher});
  }
  for (std::size_t x = 0; x < kLetterCount; ++x) {
    if (menu.links[x].size() > menu.links[menu.most].size())
      menu.most = static_cast<std::uint8_t>(x);
  }
  std::vector<std::array<std::uint8_t, 3>> edges;
  for (std::size_t j = 0; j < crib.letters.size(); ++j) {
    edges.push_back({static_cast<std::uint8_t>(j), search.letters[place + j], crib.letters[j]});
  }
  findLoop(menu, edges);
  return menu;
}

constexpr std::uint8_t kUnknown = 0xFF;

// Plugs x and y together, unless either has another partner already: false then.
bool plugTogether(Core& plugs, std::array<std::uint8_t, kLetterCount + 1>& queue,
                  std::size_t& queued, std::uint8_t x, std::uint8_t y) {
  if (plugs[x] == y) return true;
  if (plugs[x] != kUnknown || plugs[y] != kUnknown) return false;
  plugs[x] = y;
  plugs[y] = x;
  queue[queued++] = x;
  if (x != y) queue[queued++] = y;
  return true;
}

// The bombe's test of one start: for each guess of the most linked letter's partner,
// every implied partner follows, until one letter would need two. A guess that holds
// gives the plugs it deduced (letters it did not reach stay unplugged).
bool deduce(const Menu& menu, const StateTable& table, std::size_t start, Core& found) {
  const std::uint8_t* rows = table.row(start + 1 + menu.place);
  for (std::uint8_t guess = 0; guess < kLetterCount; ++guess) {
    // Round the loop first: most guesses do not come back, and that is cheap to see.
    std::uint8_t round = guess;
    for (const std::uint8_t j : menu.loop) round = rows[j * kLetterCount + round];
    if (round != guess) continue;
    Core plugs;
    plugs.fill(kUnknown);
    std::array<std::uint8_t, kLetterCount + 1> queue{};
    std::size_t queued = 0;
    bool holds = plugTogether(plugs, queue, queued, menu.most, guess);
    for (std::size_t next = 0; holds && next < queued; ++next) {
      const std::uint8_t letter = queue[next];
      for (const auto& [j, partner] : menu.links[letter]) {
        const std::uint8_t through = rows[j * kLetterCount + plugs[letter]];
        holds = plugTogether(plugs, queue, queued, partner, through);
        if (!holds) break;
      }
    }
    if (!holds) continue;
    for (std::size_t x = 0; x < kLetterCount; ++x) {
      found[x] = plugs[x] == kUnknown ? static_cast<std::uint8_t>(x) : plugs[x];
    }
    return true;
  }
  return false;
}

// The crib's stage, in place of the first two: every slot choice, start and place of
// the crib through the bombe's test.
void cribStage(Search& search) {
  std::vector<Menu> menus;
  for (const std::size_t place : search.cribPlaces) menus.push_back(menuAt(search, place));
  std::vector<std::pair<Candidate, Core>> stops;
  std::vector<std::uint8_t> plain(search.letters.size());
  const TrigramTable& ranking = trigramsOf(search.sample.languages.front());
  for (std::size_t choice; search.take(choice, search.slotChoices);) {
    const std::uint16_t code = slotCode(search, choice);
    const StateTable table(factoredFor(search.wiring, slotsOf(code)), search.longest + 1);
    for (std::size_t start = 0; start < kStates; ++start) {
      if (start % 1024 == 0 && search.done.load(std::memory_order_relaxed)) break;
      for (const Menu& menu : menus) {
        Core plugs{};
        if (deduce(menu, table, start, plugs) && pairsOf(plugs) <= kMaxPairs) {
          // Ranked by how English the text reads with only the deduced plugs: the
          // right start's reads far better than a chance stop's.
          for (std::size_t i = 0; i < search.letters.size(); ++i) {
            plain[i] = plugs[table.row(start + 1 + search.positions[i])[plugs[search.letters[i]]]];
          }
          std::int64_t score = 0;
          std::size_t begin = 0;
          for (const std::size_t end : search.ends) {
            score += trigramScore(ranking, plain.data() + begin, end - begin);
            begin = end;
          }
          stops.emplace_back(Candidate{0, static_cast<std::int32_t>(score), code,
                                       static_cast<std::uint16_t>(start)},
                             plugs);
        }
      }
    }
    ++search.finished;
  }
  const std::lock_guard lock(search.mutex);
  search.cribStops.insert(search.cribStops.end(), stops.begin(), stops.end());
}

// The crib's letters that a plugboard deciphers right, weighed so that the climb keeps
// what the crib says unless the text strongly says otherwise.
class CribAndTrigramScore {
 public:
  CribAndTrigramScore(const TrigramTable& table, const std::vector<Core>& cores,
                      const Search& search, std::size_t place)
      : trigrams_(table, cores, search.letters, search.ends),
        cores_(cores),
        cipher_(search.letters),
        crib_(search.sample.crib->letters),
        place_(place) {}
  void accept(const Core&) {}
  std::int64_t operator()(const Core& plugs) { return trigrams_(plugs) + kWeight * matches(plugs); }
  int matches(const Core& plugs) const {
    int matched = 0;
    for (std::size_t j = 0; j < crib_.size(); ++j) {
      const std::size_t i = place_ + j;
      matched += plugs[cores_[i][plugs[cipher_[i]]]] == crib_[j] ? 1 : 0;
    }
    return matched;
  }

 private:
  static constexpr std::int64_t kWeight = 400;  // about a wrong letter's three trigrams
  TrigramScore trigrams_;
  const std::vector<Core>& cores_;
  const std::vector<std::uint8_t>& cipher_;
  const std::vector<std::uint8_t>& crib_;
  std::size_t place_;
};

// What the bombe left standing, climbed from the plugs it deduced.
void cribClimbStage(Search& search) {
  for (std::size_t index; search.take(index, search.cribStops.size());) {
    const auto& [candidate, deduced] = search.cribStops[index];
    const FactoredMachine factored = factoredFor(search.wiring, slotsOf(candidate.slots));
    const auto cores = coresOf(factored, candidate.start, search.positions);
    std::size_t place = search.cribPlaces.front();
    // The place whose menu let it stand: where the deduced plugs read the crib best.
    const TrigramTable& first = trigramsOf(search.sample.languages.front());
    int best = -1;
    for (const std::size_t each : search.cribPlaces) {
      const int matched = CribAndTrigramScore(first, cores, search, each).matches(deduced);
      if (matched > best) {
        best = matched;
        place = each;
      }
    }
    std::optional<std::pair<std::int64_t, TextLanguage>> bestScore;
    Core bestPlugs = deduced;
    for (const TextLanguage language : search.sample.languages) {
      Core plugs = deduced;
      CribAndTrigramScore score(trigramsOf(language), cores, search, place);
      climb(score, plugs, search.done);
      TrigramScore trigrams(trigramsOf(language), cores, search.letters, search.ends);
      const std::int64_t value = trigrams(plugs);
      if (!bestScore || value > bestScore->first) {
        bestScore = {value, language};
        bestPlugs = plugs;
      }
    }
    offer(search, candidate, bestPlugs, bestScore->first, bestScore->second);
    ++search.finished;
  }
}

// What a callback or an allocation that failed says, once the search is stopped.
Fault failureOf(AttackFailure why, std::string reason = {}) {
  return Fault{FaultKind::kAttackFailed, {}, static_cast<int>(why), 0, std::move(reason)};
}

std::string wordsOf(const std::exception& failure) { return failure.what(); }

// Memory that ran out stops the search with its fault; the first fault is kept.
void failed(Search& search, Fault fault) {
  const std::lock_guard lock(search.mutex);
  if (!search.failure) search.failure = std::move(fault);
  search.done = true;
}

template <class Work>
void guarded(Search& search, const Work& work) {
  try {
    work();
  } catch (const std::bad_alloc&) {
    failed(search, failureOf(AttackFailure::kNoMemory));
  }
}

// The caller's callbacks, whose exceptions end the search with a fault, not the
// program.
bool stopAsked(Search& search, const AttackLimits& limits) {
  if (!limits.stopRequested) return false;
  try {
    return limits.stopRequested();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& failure) {
    failed(search, failureOf(AttackFailure::kStopFailed, wordsOf(failure)));
  } catch (...) {
    failed(search, failureOf(AttackFailure::kStopFailed));
  }
  return true;
}

void tell(Search& search, const AttackLimits& limits, const AttackProgress& progress) {
  try {
    limits.progress(progress);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& failure) {
    failed(search, failureOf(AttackFailure::kProgressFailed, wordsOf(failure)));
  } catch (...) {
    failed(search, failureOf(AttackFailure::kProgressFailed));
  }
}

// The stage on the calling thread, its limits watched between its items.
void runHere(Search& search, void (*work)(Search&), const std::function<void()>& watch) {
  auto last = Clock::now() - std::chrono::seconds(1);
  search.watch = [&] {
    if (Clock::now() - last < std::chrono::milliseconds(100)) return;
    last = Clock::now();
    watch();
  };
  guarded(search, [&] { work(search); });
  search.watch = nullptr;
}

// The stage on `threads` threads while this one watches; on as many as can start, and
// here when none can (a browser's page has one thread, a system may grant no more).
void runStage(Search& search, void (*work)(Search&), unsigned threads,
              const std::function<void()>& watch) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  (void)threads;
  runHere(search, work, watch);
#else
  std::vector<std::thread> workers;
  guarded(search, [&] { workers.reserve(threads); });
  for (unsigned t = 0; t < threads && workers.capacity() == threads; ++t) {
    try {
      workers.emplace_back([&search, work] { guarded(search, [&] { work(search); }); });
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  if (workers.empty()) {
    if (!search.done) runHere(search, work, watch);
    return;
  }
  while (search.finished < search.stageItems && !search.done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    watch();
  }
  for (auto& worker : workers) worker.join();
#endif
}

// The whole search, its stages in order.
Result<AttackResult> searchAll(const RotorMachine& wiring, const CipherSample& sample,
                               const AttackLimits& limits) {
  Search search(wiring, sample);
  for (const CipherMessage& message : sample.messages) {
    const std::size_t taken =
        std::min(message.letters.size(), kAttackLetters - search.letters.size());
    for (std::size_t i = 0; i < taken; ++i) {
      search.letters.push_back(message.letters[i]);
      search.positions.push_back(static_cast<std::uint32_t>(i));
    }
    search.longest = std::max(search.longest, static_cast<std::uint32_t>(taken));
    if (taken > 0) search.ends.push_back(search.letters.size());
    search.checkWords += message.checkWord.empty() ? 0 : 1;
  }
  const auto rotors = at(static_cast<int>(wiring.rotorCount));
  search.slotChoices = rotors * rotors * rotors;
  const auto begin = Clock::now();
  // More threads than cores only take turns, and each stops later.
  const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
  const unsigned threads = std::clamp(limits.threads, 1U, cores);
  // Runs one stage on every thread, telling its progress, until it is through, found
  // what it sought, runs out of time or is asked to stop.
  const auto run = [&](int stage, void (*work)(Search&), std::size_t total) {
    search.next = 0;
    search.finished = 0;
    search.stageItems = total;
    const auto watch = [&] {
      const std::chrono::duration<double> used = Clock::now() - begin;
      if (used >= limits.timeLimit || stopAsked(search, limits)) search.done = true;
      if (limits.progress) {
        AttackProgress progress;
        progress.stage = stage;
        progress.share =
            total == 0 ? 1 : static_cast<double>(search.finished) / static_cast<double>(total);
        {
          const std::lock_guard lock(search.mutex);
          progress.best = search.best.score;
        }
        progress.secondsLeft = std::max(0.0, (limits.timeLimit - used).count());
        tell(search, limits, progress);
      }
    };
    runStage(search, work, threads, [&] { guarded(search, watch); });
  };
  if (sample.crib && !search.ends.empty()) {
    // The places the crib may stand: where no letter of it would encipher to itself.
    const Crib& crib = *sample.crib;
    const std::size_t first = search.ends.front();
    const std::size_t length = crib.letters.size();
    // Without a place: anywhere it fits within the first kCribSpan letters.
    const std::size_t span = crib.position ? *crib.position + length : std::min(kCribSpan, first);
    for (std::size_t place = crib.position.value_or(0); place + length <= std::min(span, first);
         ++place) {
      bool possible = true;
      for (std::size_t j = 0; j < length; ++j) {
        possible = possible && search.letters[place + j] != crib.letters[j];
      }
      if (possible) search.cribPlaces.push_back(place);
    }
    if (!search.cribPlaces.empty()) {
      run(1, cribStage, search.slotChoices);
      std::stable_sort(
          search.cribStops.begin(), search.cribStops.end(),
          [](const auto& x, const auto& y) { return x.first.climbed > y.first.climbed; });
      if (!search.done) run(2, cribClimbStage, search.cribStops.size());
    }
  }
  if (!search.done) run(1, firstStage, search.slotChoices);
  const bool firstDone = !search.done;
  const std::chrono::duration<double> firstStageTime = Clock::now() - begin;
  const std::uint64_t firstStageLetters =
      std::uint64_t{search.finished} * kStates * search.letters.size();
  std::sort(search.candidates.begin(), search.candidates.end(), std::greater<>());
  if (search.candidates.size() > kCandidates) search.candidates.resize(kCandidates);
  // A long text or few plugs leave the right candidate among the very first: they are
  // tried at once, before the slower ranking.
  search.climbing = std::min(search.candidates.size(), kFirstTried);
  if (firstDone) run(2, secondStage, search.climbing);
  if (firstDone && !search.done) {
    for (std::size_t i = 0; i < search.climbing; ++i) {
      search.tried.emplace_back(search.candidates[i].slots, search.candidates[i].start);
    }
    std::sort(search.tried.begin(), search.tried.end());
    // Slot choices that hold more of the first stage's best candidates are likelier.
    std::vector<std::size_t> held(1000);
    for (const Candidate& candidate : search.candidates) ++held[candidate.slots];
    for (std::size_t choice = 0; choice < search.slotChoices; ++choice) {
      search.sweepOrder.push_back(slotCode(search, choice));
    }
    std::stable_sort(search.sweepOrder.begin(), search.sweepOrder.end(),
                     [&](std::uint16_t x, std::uint16_t y) { return held[x] > held[y]; });
    run(3, sweepStage, search.sweepOrder.size());
  }
  if (firstDone && !search.done) {
    auto& candidates = search.candidates;
    candidates.erase(candidates.begin(),
                     candidates.begin() + static_cast<std::ptrdiff_t>(search.climbing));
    // Each slot choice's candidates together, so that its tables are made once.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.slots < y.slots; });
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (i == 0 || candidates[i].slots != candidates[i - 1].slots) search.groups.push_back(i);
    }
    search.groups.push_back(candidates.size());
    run(4, rankStage, candidates.size());
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.climbed > y.climbed; });
    search.climbing = candidates.size();
    if (!search.done) run(4, secondStage, search.climbing);
  }
  if (search.failure) return *search.failure;
  AttackResult result = search.best;
  result.firstStageLetters = firstStageLetters;
  result.firstStageSeconds = firstStageTime.count();
  result.searched = result.confident || !search.done;
  return result;
}

}  // namespace

Result<AttackResult> attack(const RotorMachine& wiring, const CipherSample& sample,
                            const AttackLimits& limits) {
  // No thread runs once the search returns or throws: what it could not allocate ends
  // it here.
  try {
    return searchAll(wiring, sample, limits);
  } catch (const std::bad_alloc&) {
    return failureOf(AttackFailure::kNoMemory);
  }
}

}  // namespace rotorwerk
