// Off x86 no x86 vector kernel is ever chosen (kernelSupported says so); this keeps the
// dispatch whole without building x86 code for another architecture.
#include "machine/keystream.h"

namespace rotorwerk {

std::size_t applyAvx2(const FactoredMachine&, char*, std::size_t, std::size_t&) { return 0; }
std::size_t applyAvx512Vbmi(const FactoredMachine&, char*, std::size_t, std::size_t&) { return 0; }

}  // namespace rotorwerk
