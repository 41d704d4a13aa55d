// What makes a candidate found with confidence, and each climbed candidate judged.
#include <cmath>
#include <mutex>

#include "analysis/search.h"
#include "machine/check_letters.h"

namespace rotorwerk {

Evidence evidenceOf(const AttackResult& result, bool lettered, std::size_t letters) {
  if (lettered && letters >= kShortText && result.score >= kEnglishThreshold) {
    return Evidence::kLanguage;
  }
  if (!result.checkLettersVerify) return Evidence::kNone;
  // Among this many candidates a wrong one's check letters would match by chance.
  const double expectedByChance = static_cast<double>(result.candidatesChecked) /
                                  std::pow(static_cast<double>(stages::kStates), result.checkWords);
  if (expectedByChance <= kCheckChance) return Evidence::kCheckLetters;
  if (lettered && letters >= kShortCheckedText && result.score >= kCheckedEnglishThreshold) {
    return Evidence::kCheckLettersAndLanguage;
  }
  return Evidence::kNone;
}

namespace stages {
namespace {

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

double perLetter(std::int64_t score, const Search& search, bool lettered) {
  const std::size_t count = search.letters.size();
  if (!lettered) return indexOfCoincidence(score, count);
  // Each message's first two letters begin no trigram.
  const std::size_t trigrams = count - std::min(count, 2 * search.ends.size());
  return trigrams == 0 ? 0 : static_cast<double>(score) / (100.0 * static_cast<double>(trigrams));
}

}  // namespace

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

}  // namespace stages
}  // namespace rotorwerk
