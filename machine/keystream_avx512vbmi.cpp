// The AVX-512 VBMI kernel: 64 bytes at a time, with the factored machine's tables as
// byte permutes. Built natively for x86-64, and for tests on any CPU against SIMDe's
// portable versions of the same intrinsics (ROTORWERK_EMULATED), which gives the
// function its other name.
#include "machine/keystream.h"

#include <bit>

#if defined(ROTORWERK_EMULATED)
#include <simde/x86/avx512.h>

#include "machine/emulated_kernels.h"
#define X(name) simde##name
#define ROTORWERK_VBMI
using Vector = simde__m512i;
using Half = simde__m256i;
using Mask = simde__mmask64;
#define ROTORWERK_KERNEL_NAME applyAvx512VbmiEmulated
#else
#include <immintrin.h>
#define X(name) name
#define ROTORWERK_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
using Vector = __m512i;
using Half = __m256i;
using Mask = __mmask64;
#define ROTORWERK_KERNEL_NAME applyAvx512Vbmi
#endif

namespace rotorwerk {
namespace {

// Byte i holds i, to move bytes across the whole register with vpermb. Not on the stack:
// 64-bit Windows does not align it to 64 bytes.
constexpr std::array<std::uint8_t, 64> kLanes = [] {
  std::array<std::uint8_t, 64> lanes{};
  for (std::size_t i = 0; i < lanes.size(); ++i) lanes[i] = static_cast<std::uint8_t>(i);
  return lanes;
}();

ROTORWERK_VBMI Vector splat(int byte) { return X(_mm512_set1_epi8)(static_cast<char>(byte)); }

// A 32-byte table in the low half: vpermb looks up indices 0..63, and ours stay below 26.
ROTORWERK_VBMI Vector table(const FactoredMachine::Table& entries) {
  return X(_mm512_castsi256_si512)(
      X(_mm256_loadu_si256)(reinterpret_cast<const Half*>(entries.data())));
}

// A table looked up per byte. The masked form, since the plain one leaves GCC warning
// about its own undefined register.
ROTORWERK_VBMI Vector lookup(Vector table, Vector index) {
  return X(_mm512_maskz_permutexvar_epi8)(~Mask{0}, index, table);
}

// x mod 26 for bytes x in 0..51, and (x + 26) for x in -26..-1 taken as unsigned.
ROTORWERK_VBMI Vector reduceUp(Vector x) {
  return X(_mm512_min_epu8)(x, X(_mm512_sub_epi8)(x, splat(kLetters)));
}
ROTORWERK_VBMI Vector reduceDown(Vector x) {
  return X(_mm512_min_epu8)(x, X(_mm512_add_epi8)(x, splat(kLetters)));
}

}  // namespace

ROTORWERK_VBMI std::size_t ROTORWERK_KERNEL_NAME(const FactoredMachine& machine, char* data,
                                                 std::size_t size, std::size_t& state) {
  const Vector plug = table(machine.plug);
  const Vector lane = X(_mm512_loadu_si512)(kLanes.data());
  std::size_t pair = state / kLetters;
  std::size_t right = state % kLetters;
  std::size_t done = 0;
  for (; done + 64 <= size; done += 64) {
    const Vector bytes = X(_mm512_loadu_si512)(data + done);
    // Letters of either case have their index in the low five bits, less one.
    const Vector index = X(_mm512_sub_epi8)(X(_mm512_or_si512)(bytes, splat(0x20)), splat('a'));
    const Mask isLetter = X(_mm512_cmple_epu8_mask)(index, splat(kLetters - 1));
    if (isLetter == 0) continue;
    // Each letter's step: the letters up to and including it, summed across the register.
    Vector count = X(_mm512_maskz_mov_epi8)(isLetter, splat(1));
    for (int shift = 1; shift < 64; shift *= 2) {
      const Mask from = ~Mask{0} << shift;
      const Vector moved =
          X(_mm512_maskz_permutexvar_epi8)(from, X(_mm512_sub_epi8)(lane, splat(shift)), count);
      count = X(_mm512_add_epi8)(count, moved);
    }
    // The right position of each letter, and how often the middle rotor has stepped
    // before it: at most three times in 64 letters.
    Vector position = X(_mm512_add_epi8)(count, splat(static_cast<int>(right)));
    Vector carries = X(_mm512_setzero_si512)();
    for (int k = 0; k < 3; ++k) {
      const Mask over = X(_mm512_cmpge_epu8_mask)(position, splat(kLetters));
      position = X(_mm512_mask_sub_epi8)(position, over, position, splat(kLetters));
      carries = X(_mm512_mask_add_epi8)(carries, over, carries, splat(32));
    }
    const Vector in = reduceUp(X(_mm512_add_epi8)(lookup(plug, index), position));
    // The four tables a group can meet stand in a row, 32 bytes each: one two-register
    // permute looks each letter up in the table of its carry count.
    const auto* tables = reinterpret_cast<const std::uint8_t*>(machine.inner[pair].data());
    const Vector through =
        X(_mm512_permutex2var_epi8)(X(_mm512_loadu_si512)(tables), X(_mm512_add_epi8)(in, carries),
                                    X(_mm512_loadu_si512)(tables + 64));
    const Vector out = lookup(plug, reduceDown(X(_mm512_sub_epi8)(through, position)));
    const Vector letters = X(_mm512_or_si512)(X(_mm512_and_si512)(bytes, splat(0xE0)),
                                              X(_mm512_add_epi8)(out, splat(1)));
    X(_mm512_storeu_si512)(data + done, X(_mm512_mask_blend_epi8)(isLetter, bytes, letters));
    const std::size_t total = right + static_cast<std::size_t>(std::popcount(isLetter));
    right = total % kLetters;
    pair = (pair + total / kLetters) % FactoredMachine::kPairs;
  }
  state = pair * kLetters + right;
  return done;
}

}  // namespace rotorwerk
