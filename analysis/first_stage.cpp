// Stage 1: every slot choice and start, the text deciphered without plugs and ranked
// by its coincidences; its best handed to stage 2.
#include <algorithm>
#include <functional>
#include <mutex>

#include "analysis/search.h"

namespace rotorwerk::stages {
namespace {

// Candidates climbed on trigrams straight after the first stage.
constexpr std::size_t kFirstTried = 256;

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

}  // namespace

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

// The best first, as many as are kept. A long text or few plugs leave the right
// candidate among the very first: they are tried at once, before the slower ranking.
void keepFirstStageBest(Search& search) {
  std::sort(search.candidates.begin(), search.candidates.end(), std::greater<>());
  if (search.candidates.size() > kCandidates) search.candidates.resize(kCandidates);
  search.climbing = std::min(search.candidates.size(), kFirstTried);
}

}  // namespace rotorwerk::stages
