// The attack behind the library: code files read into a sample, searched, and what was
// found told in plain terms.
#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <thread>

#include "analysis/attack.h"
#include "api/library_internals.h"
#include "codefile/code_sample.h"
#include "machine/keystream.h"

namespace rotorwerk::api {

namespace {

Fault cannotAttack(AttackInput why, std::string file = {}, std::string other = {}) {
  return Fault{FaultKind::kAttackInput, std::move(file), static_cast<int>(why), 0,
               std::move(other)};
}

// A crib as the user wrote it: TEXT, or TEXT@N for text from the N-th letter (from 1).
// Its non-letters are passed over and its case ignored, as the machine passes them; but
// an @ followed by no letter and no whole number (@-1, @ 26, @) is a place mistyped,
// which taken as text would search everywhere in silence.
Result<Crib> cribOf(const std::string& word) {
  Crib crib;
  std::string text = word;
  const std::size_t at = word.rfind('@');
  const auto isLetter = [](char c) {
    return letterIndexOf(static_cast<unsigned char>(c)).has_value();
  };
  if (at != std::string::npos &&
      std::none_of(word.begin() + static_cast<std::ptrdiff_t>(at), word.end(), isLetter) &&
      (at + 1 == word.size() ||
       word.find_first_not_of("0123456789", at + 1) != std::string::npos)) {
    return cannotAttack(AttackInput::kCribPlace, {}, word.substr(at + 1));
  }
  if (at != std::string::npos && at + 1 < word.size() &&
      word.find_first_not_of("0123456789", at + 1) == std::string::npos) {
    const std::string digits = word.substr(at + 1);
    const std::size_t number = digits.size() > 9 ? 0 : std::stoul(digits);
    // Letter 0 does not exist: such a crib stands nowhere.
    crib.position = number == 0 ? std::numeric_limits<std::size_t>::max() / 2 : number - 1;
    text = word.substr(0, at);
  }
  for (const char c : text) {
    const std::optional<LetterIndex> letter = letterIndexOf(static_cast<unsigned char>(c));
    if (letter && crib.letters.size() < kMaxCribLetters) {
      crib.letters.push_back(static_cast<std::uint8_t>(*letter));
    }
  }
  return crib;
}

// The languages an attack scores by, as --language names them.
Result<std::vector<TextLanguage>> languagesOf(const std::string& word) {
  if (word == "auto")
    return std::vector<TextLanguage>(kTextLanguages.begin(), kTextLanguages.end());
  const std::optional<TextLanguage> language = textLanguageOf(word);
  if (!language) return cannotAttack(AttackInput::kNoLanguage, {}, word);
  return std::vector<TextLanguage>{*language};
}

// The start file the attack found.
Start startOf(const AttackKey& key) {
  Start start;
  for (std::size_t k = 0; k < 3; ++k) {
    start.slots[k] = key.slots[k];
    start.offsets[k] = key.offsets[k];
  }
  for (std::size_t x = 0; x < key.plugboard.size(); ++x) {
    const auto y = static_cast<std::size_t>(key.plugboard[x]);
    if (y > x) start.plugs.push_back({static_cast<char>('a' + x), static_cast<char>('a' + y)});
  }
  return start;
}

// The codes as one sample: code files under one start file share the keystream from
// their first letter.
Result<AttackOutcome> attackReading(const std::function<Result<CodeSample>(std::size_t)>& read,
                                    const std::vector<std::string>& names, const Settings& wiring,
                                    const AttackOptions& options) {
  const Wiring& rotors = wiring.data().settings.wiring;
  if (rotors.rotors.empty()) return cannotAttack(AttackInput::kNoRotors);
  auto languages = languagesOf(options.language);
  if (!languages) return languages.fault();
  std::vector<CodeSample> codes;
  CipherSample sample;
  for (std::size_t k = 0; k < names.size(); ++k) {
    auto code = read(k);
    if (!code) return code.fault();
    if (code->totalLetters == 0) return cannotAttack(AttackInput::kNoLetters, names[k]);
    if (!codes.empty() && code->language != codes.front().language) {
      return cannotAttack(AttackInput::kMixedLabels, names[k], names.front());
    }
    CipherMessage message;
    message.letters = code->letters;
    message.totalLetters = code->totalLetters;
    if (code->trailer.code == kCheckedCode) message.checkWord = code->trailer.check;
    sample.messages.push_back(std::move(message));
    codes.push_back(std::move(*code));
  }
  AttackPlan plan{codes.size(), 0, codes.front().language == Language::kEnglish};
  for (const CodeSample& each : codes) {
    plan.letters += std::min<std::uint64_t>(each.totalLetters, kAttackLetters);
  }
  sample.lettered = plan.lettered;
  sample.languages = std::move(*languages);
  if (!options.crib.empty()) {
    auto written = cribOf(options.crib);
    if (!written) return written.fault();
    sample.crib = std::move(*written);
    const Crib& crib = *sample.crib;
    const std::size_t room = sample.messages.front().letters.size();
    if (crib.letters.empty() || crib.letters.size() > room ||
        (crib.position && *crib.position + crib.letters.size() > room)) {
      return cannotAttack(AttackInput::kCribOutside, names.front());
    }
  }
  if (options.onPlan) {
    const auto go = guarded<void>({}, [&] { return options.onPlan(plan); });
    if (!go) return go.fault();
  }

  rotorwerk::Settings settings{rotors, Start{{}, {1, 1, 1}, {0, 0, 0}}};
  AttackLimits limits;
  limits.threads = options.threads > 0 ? options.threads : std::thread::hardware_concurrency();
  limits.timeLimit = options.timeLimit;
  limits.stopRequested = options.stopRequested;
  if (options.progress) {
    limits.progress = [&](const AttackProgress& p) {
      options.progress({p.stage, p.share, p.best, p.secondsLeft});
    };
  }
  const auto searched = attack(buildMachine(settings), sample, limits);
  if (!searched) return searched.fault();
  const AttackResult& result = *searched;

  settings.start = startOf(result.key);
  const RotorMachine found = buildMachine(settings);
  AttackOutcome outcome;
  outcome.firstLine = codes.front().firstLine;
  Keystream(found, found.startPositions())
      .apply(outcome.firstLine.data(), outcome.firstLine.size());
  constexpr const char* kEvidence[] = {"none", "language", "check-letters",
                                       "check-letters-and-language"};
  const bool anyCheck = std::any_of(sample.messages.begin(), sample.messages.end(),
                                    [](const CipherMessage& m) { return !m.checkWord.empty(); });
  outcome.scored = result.scored;
  outcome.confident = result.confident;
  outcome.searched = result.searched;
  outcome.evidence = kEvidence[static_cast<int>(result.evidence)];
  outcome.scoredBy = plan.lettered ? std::string(codeOf(result.language)) : "letter-frequencies";
  outcome.score = result.score;
  outcome.checkLetters = !anyCheck ? "none" : result.checkLettersVerify ? "verify" : "fail";
  outcome.candidatesChecked = result.candidatesChecked;
  outcome.slots = settings.start.slots;
  outcome.offsets = settings.start.offsets;
  for (const auto& [x, y] : settings.start.plugs) outcome.plugPairs.push_back({x, y});
  outcome.startText = formatStart(settings.start);
  return outcome;
}

// Memory that runs out while the codes are read or the key is told ends the attack
// with a fault, as it does in the search. `read` gives the sample of the k-th code.
Result<AttackOutcome> attackReadingAll(const std::function<Result<CodeSample>(std::size_t)>& read,
                                       const std::vector<std::string>& names,
                                       const Settings& wiring, const AttackOptions& options) {
  if (names.empty()) return cannotAttack(AttackInput::kNoLetters);
  try {
    return attackReading(read, names, wiring, options);
  } catch (const std::bad_alloc&) {
    return Fault{FaultKind::kAttackFailed, {}, static_cast<int>(AttackFailure::kNoMemory)};
  }
}

}  // namespace

Result<AttackOutcome> attack(const std::vector<std::string>& codes, const Settings& wiring,
                             const AttackOptions& options) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < codes.size(); ++k) names.push_back("code " + std::to_string(k + 1));
  return attackReadingAll(
      [&](std::size_t k) { return readCodeSample(codes[k], names[k], kAttackLetters); }, names,
      wiring, options);
}

Result<AttackOutcome> attackFiles(const std::vector<std::string>& codePaths, const Settings& wiring,
                                  const AttackOptions& options) {
  std::vector<File> inputs;
  for (const std::string& path : codePaths) {
    if (auto sound = refuseNul(path, FaultKind::kFileNotFound); !sound) return sound.fault();
  }
  for (const std::string& path : codePaths) {
    auto input = openInput(path);
    if (!input) return input.fault();
    inputs.push_back(std::move(*input));
  }
  return attackReadingAll(
      [&](std::size_t k) {
        return readCodeSample(std::move(inputs[k]), codePaths[k], kAttackLetters);
      },
      codePaths, wiring, options);
}

}  // namespace rotorwerk::api
