// Micro-benchmark of the letter path alone: the keystream against the plain machine.
#include <benchmark/benchmark.h>

#include <numeric>
#include <random>
#include <string>

#include "machine/keystream.h"

namespace {

using rotorwerk::RotorMachine;

RotorMachine sampleMachine() {
  RotorMachine machine;
  std::mt19937 random(5);
  for (std::size_t r = 1; r <= 3; ++r) {
    std::iota(machine.forward[r].begin(), machine.forward[r].end(), std::int8_t{0});
    std::shuffle(machine.forward[r].begin(), machine.forward[r].end(), random);
    for (std::size_t k = 0; k < rotorwerk::kLetters; ++k) {
      machine.inverse[r][static_cast<std::size_t>(machine.forward[r][k])] =
          static_cast<std::int8_t>(k);
    }
  }
  for (std::size_t k = 0; k < rotorwerk::kLetters; ++k) {
    machine.reflector[k] = static_cast<std::int8_t>(k ^ 1U);
  }
  machine.rotorCount = 3;
  machine.slotRotors = {1, 2, 3};
  machine.startOffsets = {7, 19, 3};
  for (const auto& [x, y] : {std::pair{16, 17}, {3, 23}, {12, 20}}) {
    machine.plugboard[x] = y;
    machine.plugboard[y] = x;
  }
  return machine;
}

std::string sampleText(std::size_t size) {
  std::mt19937 random(9);
  const std::string alphabet = "etaoinshrdlu ETAOIN,.\n0123456789 \xB0\xA1";
  std::string text(size, ' ');
  for (char& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

// One run per kernel: 0 portable, 1 AVX2, 2 AVX-512 VBMI.
void keystreamApply(benchmark::State& state) {
  const auto kernel = static_cast<rotorwerk::Kernel>(state.range(0));
  if (!rotorwerk::kernelSupported(kernel)) {
    state.SkipWithError("this CPU does not run the kernel");
    return;
  }
  const RotorMachine machine = sampleMachine();
  std::string text = sampleText(1 << 20);
  rotorwerk::Keystream keystream(machine, machine.startPositions(), kernel);
  for (auto _ : state) {
    keystream.apply(text.data(), text.size());
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(keystreamApply)->Arg(0)->Arg(1)->Arg(2);

void plainTransform(benchmark::State& state) {
  const RotorMachine machine = sampleMachine();
  std::string text = sampleText(1 << 20);
  rotorwerk::RotorPositions positions = machine.startPositions();
  for (auto _ : state) {
    for (char& c : text) {
      const auto byte = static_cast<unsigned char>(c);
      const unsigned letter = (byte | 0x20U) - 'a';
      if (letter >= 26) continue;
      rotorwerk::stepPositions(positions);
      const int out = rotorwerk::transformLetter(machine, static_cast<std::int8_t>(letter),
                                                 positions.left, positions.middle, positions.right);
      c = static_cast<char>(('A' + out) | (byte & 0x20U));
    }
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(plainTransform);

}  // namespace

BENCHMARK_MAIN();
