// The AVX2 kernel: 32 bytes at a time, with the factored machine's tables as byte
// shuffles. Built natively for x86-64, and for tests on any CPU against SIMDe's portable
// versions of the same intrinsics (ROTORWERK_EMULATED), which gives the function its
// other name.
#include "machine/keystream.h"

#include <bit>

#if defined(ROTORWERK_EMULATED)
#include <simde/x86/avx2.h>

#include "machine/emulated_kernels.h"
#define X(name) simde##name
#define ROTORWERK_AVX2
using Vector = simde__m256i;
using Half = simde__m128i;
#define ROTORWERK_KERNEL_NAME applyAvx2Emulated
#else
#include <immintrin.h>
#define X(name) name
#define ROTORWERK_AVX2 __attribute__((target("avx2")))
using Vector = __m256i;
using Half = __m128i;
#define ROTORWERK_KERNEL_NAME applyAvx2
#endif

namespace rotorwerk {
namespace {

ROTORWERK_AVX2 Vector broadcast(const std::uint8_t* sixteen) {
  return X(_mm256_broadcastsi128_si256)(X(_mm_loadu_si128)(reinterpret_cast<const Half*>(sixteen)));
}

// A 32-entry table, held as its two 16-byte halves in both lanes, looked up per byte;
// indices 0..31 only.
struct Table32 {
  Vector low;
  Vector high;
};

ROTORWERK_AVX2 Table32 load(const FactoredMachine::Table& table) {
  return {broadcast(table.data()), broadcast(table.data() + 16)};
}

ROTORWERK_AVX2 Vector lookup(const Table32& table, Vector index) {
  const Vector fromHigh = X(_mm256_cmpgt_epi8)(index, X(_mm256_set1_epi8)(15));
  return X(_mm256_blendv_epi8)(X(_mm256_shuffle_epi8)(table.low, index),
                               X(_mm256_shuffle_epi8)(table.high, index), fromHigh);
}

// x mod 26 for bytes x in 0..51, and (x + 26) for x in -26..-1 taken as unsigned.
ROTORWERK_AVX2 Vector reduceUp(Vector x) {
  return X(_mm256_min_epu8)(x, X(_mm256_sub_epi8)(x, X(_mm256_set1_epi8)(kLetters)));
}
ROTORWERK_AVX2 Vector reduceDown(Vector x) {
  return X(_mm256_min_epu8)(x, X(_mm256_add_epi8)(x, X(_mm256_set1_epi8)(kLetters)));
}

}  // namespace

ROTORWERK_AVX2 std::size_t ROTORWERK_KERNEL_NAME(const FactoredMachine& machine, char* data,
                                                 std::size_t size, std::size_t& state) {
  const Table32 plug = load(machine.plug);
  std::size_t pair = state / kLetters;
  std::size_t right = state % kLetters;
  std::size_t done = 0;
  for (; done + 32 <= size; done += 32) {
    auto* group = reinterpret_cast<Vector*>(data + done);
    const Vector bytes = X(_mm256_loadu_si256)(group);
    // Letters of either case have their index in the low five bits, less one.
    const Vector index = X(_mm256_sub_epi8)(X(_mm256_or_si256)(bytes, X(_mm256_set1_epi8)(0x20)),
                                            X(_mm256_set1_epi8)('a'));
    const Vector isLetter =
        X(_mm256_cmpeq_epi8)(X(_mm256_min_epu8)(index, X(_mm256_set1_epi8)(kLetters - 1)), index);
    const auto mask = static_cast<std::uint32_t>(X(_mm256_movemask_epi8)(isLetter));
    if (mask == 0) continue;
    // Each letter's step: the letters up to and including it, counted across lanes.
    Vector count = X(_mm256_and_si256)(isLetter, X(_mm256_set1_epi8)(1));
    count = X(_mm256_add_epi8)(count, X(_mm256_slli_si256)(count, 1));
    count = X(_mm256_add_epi8)(count, X(_mm256_slli_si256)(count, 2));
    count = X(_mm256_add_epi8)(count, X(_mm256_slli_si256)(count, 4));
    count = X(_mm256_add_epi8)(count, X(_mm256_slli_si256)(count, 8));
    const Vector lowTotal = X(_mm256_shuffle_epi8)(X(_mm256_permute2x128_si256)(count, count, 0x08),
                                                   X(_mm256_set1_epi8)(15));
    count = X(_mm256_add_epi8)(count, lowTotal);
    // The right position of each letter, and how often the middle rotor has stepped
    // before it: at most twice in 32 letters.
    const Vector stepped = X(_mm256_add_epi8)(count, X(_mm256_set1_epi8)(static_cast<char>(right)));
    const Vector once = X(_mm256_cmpgt_epi8)(stepped, X(_mm256_set1_epi8)(kLetters - 1));
    const Vector twice = X(_mm256_cmpgt_epi8)(stepped, X(_mm256_set1_epi8)(2 * kLetters - 1));
    const Vector position = X(_mm256_sub_epi8)(
        X(_mm256_sub_epi8)(stepped, X(_mm256_and_si256)(once, X(_mm256_set1_epi8)(kLetters))),
        X(_mm256_and_si256)(twice, X(_mm256_set1_epi8)(kLetters)));
    const Vector in = reduceUp(X(_mm256_add_epi8)(lookup(plug, index), position));
    const std::size_t next = pair + 1 == FactoredMachine::kPairs ? 0 : pair + 1;
    const std::size_t afterNext = next + 1 == FactoredMachine::kPairs ? 0 : next + 1;
    Vector through = lookup(load(machine.inner[pair]), in);
    through = X(_mm256_blendv_epi8)(through, lookup(load(machine.inner[next]), in), once);
    through = X(_mm256_blendv_epi8)(through, lookup(load(machine.inner[afterNext]), in), twice);
    const Vector out = lookup(plug, reduceDown(X(_mm256_sub_epi8)(through, position)));
    const Vector letters = X(_mm256_or_si256)(X(_mm256_and_si256)(bytes, X(_mm256_set1_epi8)(-32)),
                                              X(_mm256_add_epi8)(out, X(_mm256_set1_epi8)(1)));
    X(_mm256_storeu_si256)(group, X(_mm256_blendv_epi8)(bytes, letters, isLetter));
    const std::size_t total = right + static_cast<std::size_t>(std::popcount(mask));
    right = total % kLetters;
    pair = (pair + total / kLetters) % FactoredMachine::kPairs;
  }
  state = pair * kLetters + right;
  return done;
}

}  // namespace rotorwerk
