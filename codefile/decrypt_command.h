// The decrypt command: a code file deciphered onto the screen and verified.
#pragma once

#include <cstdio>

#include "console/console.h"
#include "machine/rotor_machine.h"

namespace rotorwerk {

// Writes the language line and the deciphered text of the code file `input` to
// standard output, and warnings about its coding type and check letters.
void decryptCommand(std::FILE* input, const RotorMachine& machine, Console& console);

}  // namespace rotorwerk
