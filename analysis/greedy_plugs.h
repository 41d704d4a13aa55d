// Plug pairs added one at a time, each the pair that raises the coincidences most: the
// sweep's score of every start.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/search.h"

namespace rotorwerk::stages {

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

}  // namespace rotorwerk::stages
