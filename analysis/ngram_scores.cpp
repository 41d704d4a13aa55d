// Trigram and coincidence scores.
#include "analysis/ngram_scores.h"

namespace rotorwerk {

const TrigramTable& trigramsOf(TextLanguage language) {
  static constexpr TrigramTable kEnglish = {
#include "analysis/english_trigrams.inc"
  };
  static constexpr TrigramTable kGerman = {
#include "analysis/german_trigrams.inc"
  };
  static constexpr TrigramTable kFrench = {
#include "analysis/french_trigrams.inc"
  };
  static constexpr TrigramTable kSpanish = {
#include "analysis/spanish_trigrams.inc"
  };
  switch (language) {
    case TextLanguage::kEnglish: return kEnglish;
    case TextLanguage::kGerman: return kGerman;
    case TextLanguage::kFrench: return kFrench;
    case TextLanguage::kSpanish: return kSpanish;
  }
  return kEnglish;
}

namespace {

constexpr std::size_t kPairCount = std::size_t{26} * 26;

}  // namespace

std::int64_t trigramScore(const TrigramTable& table, const std::uint8_t* letters,
                          std::size_t count) {
  std::int64_t score = 0;
  if (count < 3) return score;
  std::size_t pair = letters[0] * 26U + letters[1];
  for (std::size_t i = 2; i < count; ++i) {
    const std::size_t trigram = pair * 26 + letters[i];
    score += table[trigram];
    pair = trigram % kPairCount;
  }
  return score;
}

std::int64_t coincidences(const std::uint8_t* letters, std::size_t count) {
  std::array<std::int64_t, 26> counts{};
  for (std::size_t i = 0; i < count; ++i) ++counts[letters[i]];
  std::int64_t sum = 0;
  for (const std::int64_t n : counts) sum += n * (n - 1);
  return sum;
}

double indexOfCoincidence(std::int64_t coincidences, std::size_t count) {
  if (count < 2) return 0;
  const auto n = static_cast<double>(count);
  return static_cast<double>(coincidences) / (n * (n - 1.0));
}

}  // namespace rotorwerk
