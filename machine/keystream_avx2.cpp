// The AVX2 kernel: 32 bytes at a time, with the factored machine's tables as byte
// shuffles.
#include <immintrin.h>

#include <bit>

#include "machine/keystream.h"

#define ROTORWERK_AVX2 __attribute__((target("avx2")))

namespace rotorwerk {
namespace {

ROTORWERK_AVX2 __m256i broadcast(const std::uint8_t* sixteen) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sixteen)));
}

// A 32-entry table, held as its two 16-byte halves in both lanes, looked up per byte;
// indices 0..31 only.
struct Table32 {
  __m256i low;
  __m256i high;
};

ROTORWERK_AVX2 Table32 load(const FactoredMachine::Table& table) {
  return {broadcast(table.data()), broadcast(table.data() + 16)};
}

ROTORWERK_AVX2 __m256i lookup(const Table32& table, __m256i index) {
  const __m256i fromHigh = _mm256_cmpgt_epi8(index, _mm256_set1_epi8(15));
  return _mm256_blendv_epi8(_mm256_shuffle_epi8(table.low, index),
                            _mm256_shuffle_epi8(table.high, index), fromHigh);
}

// x mod 26 for bytes x in 0..51, and (x + 26) for x in -26..-1 taken as unsigned.
ROTORWERK_AVX2 __m256i reduceUp(__m256i x) {
  return _mm256_min_epu8(x, _mm256_sub_epi8(x, _mm256_set1_epi8(kLetters)));
}
ROTORWERK_AVX2 __m256i reduceDown(__m256i x) {
  return _mm256_min_epu8(x, _mm256_add_epi8(x, _mm256_set1_epi8(kLetters)));
}

}  // namespace

ROTORWERK_AVX2 std::size_t applyAvx2(const FactoredMachine& machine, char* data, std::size_t size,
                                     std::size_t& state) {
  const Table32 plug = load(machine.plug);
  std::size_t pair = state / kLetters;
  std::size_t right = state % kLetters;
  std::size_t done = 0;
  for (; done + 32 <= size; done += 32) {
    auto* group = reinterpret_cast<__m256i*>(data + done);
    const __m256i bytes = _mm256_loadu_si256(group);
    // Letters of either case have their index in the low five bits, less one.
    const __m256i index =
        _mm256_sub_epi8(_mm256_or_si256(bytes, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    const __m256i isLetter =
        _mm256_cmpeq_epi8(_mm256_min_epu8(index, _mm256_set1_epi8(kLetters - 1)), index);
    const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(isLetter));
    if (mask == 0) continue;
    // Each letter's step: the letters up to and including it, counted across lanes.
    __m256i count = _mm256_and_si256(isLetter, _mm256_set1_epi8(1));
    count = _mm256_add_epi8(count, _mm256_slli_si256(count, 1));
    count = _mm256_add_epi8(count, _mm256_slli_si256(count, 2));
    count = _mm256_add_epi8(count, _mm256_slli_si256(count, 4));
    count = _mm256_add_epi8(count, _mm256_slli_si256(count, 8));
    const __m256i lowTotal =
        _mm256_shuffle_epi8(_mm256_permute2x128_si256(count, count, 0x08), _mm256_set1_epi8(15));
    count = _mm256_add_epi8(count, lowTotal);
    // The right position of each letter, and how often the middle rotor has stepped
    // before it: at most twice in 32 letters.
    const __m256i stepped = _mm256_add_epi8(count, _mm256_set1_epi8(static_cast<char>(right)));
    const __m256i once = _mm256_cmpgt_epi8(stepped, _mm256_set1_epi8(kLetters - 1));
    const __m256i twice = _mm256_cmpgt_epi8(stepped, _mm256_set1_epi8(2 * kLetters - 1));
    const __m256i position = _mm256_sub_epi8(
        _mm256_sub_epi8(stepped, _mm256_and_si256(once, _mm256_set1_epi8(kLetters))),
        _mm256_and_si256(twice, _mm256_set1_epi8(kLetters)));
    const __m256i in = reduceUp(_mm256_add_epi8(lookup(plug, index), position));
    const std::size_t next = pair + 1 == FactoredMachine::kPairs ? 0 : pair + 1;
    const std::size_t afterNext = next + 1 == FactoredMachine::kPairs ? 0 : next + 1;
    __m256i through = lookup(load(machine.inner[pair]), in);
    through = _mm256_blendv_epi8(through, lookup(load(machine.inner[next]), in), once);
    through = _mm256_blendv_epi8(through, lookup(load(machine.inner[afterNext]), in), twice);
    const __m256i out = lookup(plug, reduceDown(_mm256_sub_epi8(through, position)));
    const __m256i letters = _mm256_or_si256(_mm256_and_si256(bytes, _mm256_set1_epi8(-32)),
                                            _mm256_add_epi8(out, _mm256_set1_epi8(1)));
    _mm256_storeu_si256(group, _mm256_blendv_epi8(bytes, letters, isLetter));
    const std::size_t total = right + static_cast<std::size_t>(std::popcount(mask));
    right = total % kLetters;
    pair = (pair + total / kLetters) % FactoredMachine::kPairs;
  }
  state = pair * kLetters + right;
  return done;
}

}  // namespace rotorwerk
