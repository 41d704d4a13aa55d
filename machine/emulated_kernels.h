// Kernels built on SIMDe's portable intrinsics, so that tests check their logic on any
// CPU; only tests and fuzz targets link them.
#pragma once

#include "machine/keystream.h"

namespace rotorwerk {

std::size_t applyAvx2Emulated(const FactoredMachine& machine, char* data, std::size_t size,
                              std::size_t& state);
std::size_t applyAvx512VbmiEmulated(const FactoredMachine& machine, char* data, std::size_t size,
                                    std::size_t& state);

}  // namespace rotorwerk
