// Scores of a candidate's text under a plugboard, and the hill climb that every stage
// uses to find the plugboard that scores best.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "analysis/ngram_scores.h"
#include "analysis/search.h"

namespace rotorwerk::stages {

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

inline int pairsOf(const Core& plugs) {
  int pairs = 0;
  for (std::size_t x = 0; x < kLetterCount; ++x) pairs += plugs[x] > x ? 1 : 0;
  return pairs;
}

inline void unplug(Core& plugs, std::size_t x) {
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

}  // namespace rotorwerk::stages
