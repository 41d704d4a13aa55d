// Stage 3: every start of every slot choice scored with plug pairs added greedily,
// the best few of each slot choice climbed.
#include <algorithm>
#include <vector>

#include "analysis/greedy_plugs.h"
#include "analysis/plug_climb.h"
#include "analysis/search.h"

namespace rotorwerk::stages {
namespace {

// The sweep adds kScreenPairs plug pairs at every start of a slot choice, kGreedyPairs at
// its best kScreened, climbs its best kSweepKept of those on coincidences and the best
// kSweepClimbed of them on trigrams.
constexpr int kScreenPairs = 5;
constexpr std::size_t kScreened = 64;
constexpr int kGreedyPairs = 10;
constexpr std::size_t kSweepKept = 8;
constexpr std::size_t kSweepClimbed = 2;

}  // namespace

// What stage 2 climbed is passed over, and the slot choices that hold more of the first
// stage's best candidates, which are likelier, are swept first.
void orderSweep(Search& search) {
  for (std::size_t i = 0; i < search.climbing; ++i) {
    search.tried.emplace_back(search.candidates[i].slots, search.candidates[i].start);
  }
  std::sort(search.tried.begin(), search.tried.end());
  std::vector<std::size_t> held(1000);
  for (const Candidate& candidate : search.candidates) ++held[candidate.slots];
  for (std::size_t choice = 0; choice < search.slotChoices; ++choice) {
    search.sweepOrder.push_back(slotCode(search, choice));
  }
  std::stable_sort(search.sweepOrder.begin(), search.sweepOrder.end(),
                   [&](std::uint16_t x, std::uint16_t y) { return held[x] > held[y]; });
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

}  // namespace rotorwerk::stages
