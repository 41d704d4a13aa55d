// How much a run of letters reads like language: the scores the attack climbs on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace rotorwerk {

inline constexpr std::size_t kTrigramCount = 26 * 26 * 26;

// round(100 * log10 p) of every English trigram, indexed (a * 26 + b) * 26 + c, taken
// from a large English text (tools/derive_trigrams.py names it).
const std::array<std::int16_t, kTrigramCount>& englishTrigrams();

// The sum of the trigram scores of `letters` (indices 0..25): higher reads more English.
std::int64_t trigramScore(const std::uint8_t* letters, std::size_t count);

// The numerator of the index of coincidence, the sum of n(n - 1) over the letters'
// counts: high for any language, low for letters drawn at random. It does not change
// when the letters are renamed, so it needs no statistics of a language.
std::int64_t coincidences(const std::uint8_t* letters, std::size_t count);

// The index of coincidence itself, for people: about 0.067 for English, 0.038 at random.
double indexOfCoincidence(std::int64_t coincidences, std::size_t count);

}  // namespace rotorwerk
