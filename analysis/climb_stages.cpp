// Stages 2 and 4: candidates climbed, first on coincidences, then on trigrams; and the
// rest of the first stage's best ranked by their climbed coincidences.
#include <algorithm>
#include <optional>
#include <utility>

#include "analysis/plug_climb.h"
#include "analysis/search.h"

namespace rotorwerk::stages {

Climbed climbCoincidences(Search& search, const Candidate& candidate,
                          const FactoredMachine& factored, const Core& plugs) {
  Climbed climbed{candidate, coresOf(factored, candidate.start, search.positions), plugs, 0};
  CoincidenceScore coincidence(climbed.cores, search.letters);
  climbed.coincidences = climb(coincidence, climbed.plugs, search.done);
  return climbed;
}

// From a candidate's plugs on each language's trigrams, the best per letter judged; a text of
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

// Stage 4 begins with what stage 2 did not climb: each slot choice's candidates
// together, so that its tables are made once.
void groupTheRest(Search& search) {
  auto& candidates = search.candidates;
  candidates.erase(candidates.begin(),
                   candidates.begin() + static_cast<std::ptrdiff_t>(search.climbing));
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& x, const Candidate& y) { return x.slots < y.slots; });
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (i == 0 || candidates[i].slots != candidates[i - 1].slots) search.groups.push_back(i);
  }
  search.groups.push_back(candidates.size());
}

// Then stage 2 climbs all of them, best ranked first.
void orderTheRanked(Search& search) {
  auto& candidates = search.candidates;
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& x, const Candidate& y) { return x.climbed > y.climbed; });
  search.climbing = candidates.size();
}

}  // namespace rotorwerk::stages
