// The greedy pairs' search, in a version for each instruction set.
#include "analysis/greedy_plugs.h"

#include <limits>
#include <utility>

namespace rotorwerk::stages {

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

}  // namespace rotorwerk::stages
