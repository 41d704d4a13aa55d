// Arbitrary bytes as the two settings files (split at the first NUL byte). The load
// must stay inside the machine; settings it judges sound must make a machine that
// deciphers what it enciphers and maps no letter to itself.
#include <cstdint>
#include <cstring>

#include "api/settings_files.h"
#include "fuzz_support.h"
#include "machine/emulated_kernels.h"
#include "machine/keystream.h"
#include "machine/settings.h"

using namespace rotorwerk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* split = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t wiringSize = split != nullptr ? static_cast<std::size_t>(split - data) : size;
  const std::string& dir = fuzz::scratchDirectory();
  fuzz::writeFile(dir + "/enigma_config.ef", data, wiringSize);
  const std::size_t startOffset = split != nullptr ? wiringSize + 1 : size;
  fuzz::writeFile(dir + "/enigma_init.ef", data + startOffset, size - startOffset);

  const auto settings = loadSettings(dir);
  if (!settings) return 0;
  // What is written of sound settings reads back as the same settings.
  fuzz::writeFile(dir + "/enigma_config.ef", formatWiring(settings->wiring));
  fuzz::writeFile(dir + "/enigma_init.ef", formatStart(settings->start));
  const auto again = loadSettings(dir);
  if (!again || again->wiring.rotors != settings->wiring.rotors ||
      again->wiring.reflector != settings->wiring.reflector ||
      again->start.plugs != settings->start.plugs || again->start.slots != settings->start.slots ||
      again->start.offsets != settings->start.offsets) {
    std::abort();
  }
  const RotorMachine machine = buildMachine(*settings);
  for (const auto slot : machine.slotRotors) {
    if (slot < 1 || slot > machine.rotorCount) std::abort();
  }
  RotorPositions positions = machine.startPositions();
  for (int step = 0; step < 60; ++step) {
    stepPositions(positions);
    for (int letter = 0; letter < kLetters; ++letter) {
      const int out = transformLetter(machine, static_cast<LetterIndex>(letter), positions.left,
                                      positions.middle, positions.right);
      if (out == letter || out < 0 || out >= kLetters) std::abort();
      if (transformLetter(machine, static_cast<LetterIndex>(out), positions.left, positions.middle,
                          positions.right) != letter) {
        std::abort();
      }
    }
  }
  // Long enough for several whole vector groups and a carry of the middle rotor within
  // one, with every kernel (the emulated one on any CPU) giving the same bytes.
  std::string text;
  for (int k = 0; k < 3; ++k) {
    text += "Attack at dawn, 0600; bring the Rotor! Zulu Yankee Xray, WHISKEY victor uniform.";
  }
  std::string first;
  const auto check = [&](const auto& start) {
    std::string round = text;
    Keystream there = start();
    there.apply(round.data(), round.size());
    if (first.empty()) first = round;
    if (round != first) std::abort();
    Keystream back = start();
    back.apply(round.data(), round.size());
    if (round != text) std::abort();
  };
  for (const Kernel kernel : {Kernel::kPortable, Kernel::kAvx2, Kernel::kAvx512Vbmi}) {
    if (kernelSupported(kernel)) {
      check([&] { return Keystream(machine, machine.startPositions(), kernel); });
    }
  }
  check([&] { return Keystream(machine, machine.startPositions(), applyAvx2Emulated); });
  check([&] { return Keystream(machine, machine.startPositions(), applyAvx512VbmiEmulated); });
  return 0;
}
