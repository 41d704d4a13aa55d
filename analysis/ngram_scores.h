// How much a run of letters reads like language: the scores the attack climbs on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace rotorwerk {

inline constexpr std::size_t kTrigramCount = 26 * 26 * 26;

// The languages whose statistics the attack knows.
enum class TextLanguage { kEnglish, kGerman, kFrench, kSpanish };
inline constexpr std::array<TextLanguage, 4> kTextLanguages = {
    TextLanguage::kEnglish, TextLanguage::kGerman, TextLanguage::kFrench, TextLanguage::kSpanish};
// Their codes, as --language and the attack's findings name them, in that order.
inline constexpr std::array<std::string_view, 4> kTextLanguageCodes = {"en", "de", "fr", "es"};

constexpr std::string_view codeOf(TextLanguage language) {
  return kTextLanguageCodes[static_cast<std::size_t>(language)];
}
// The language a code names; none for a word that names no language known.
constexpr std::optional<TextLanguage> textLanguageOf(std::string_view code) {
  for (std::size_t k = 0; k < kTextLanguages.size(); ++k) {
    if (kTextLanguageCodes[k] == code) return kTextLanguages[k];
  }
  return std::nullopt;
}

// round(100 * log10 p) of every trigram of a language, indexed (a * 26 + b) * 26 + c,
// taken from large texts that Debian ships (tools/derive_trigrams.py names them).
using TrigramTable = std::array<std::int16_t, kTrigramCount>;
const TrigramTable& trigramsOf(TextLanguage language);

// The sum of the trigram scores of `letters` (indices 0..25): higher reads more like
// the table's language.
std::int64_t trigramScore(const TrigramTable& table, const std::uint8_t* letters,
                          std::size_t count);

// The numerator of the index of coincidence, the sum of n(n - 1) over the letters'
// counts: high for any language, low for letters drawn at random. It does not change
// when the letters are renamed, so it needs no statistics of a language.
std::int64_t coincidences(const std::uint8_t* letters, std::size_t count);

// The index of coincidence itself, for people: about 0.067 for English, 0.038 at random.
double indexOfCoincidence(std::int64_t coincidences, std::size_t count);

}  // namespace rotorwerk
