// The encrypt command: a text file enciphered into the code file.
#pragma once

#include <cstdio>
#include <string>

#include "console/console.h"
#include "machine/rotor_machine.h"

namespace rotorwerk {

// Enciphers `input` into "enigma_code.txt" in the working directory, labelled Chinese
// when `lang` is not 0, with coding type `type`. Reports on the console.
void encryptCommand(std::FILE* input, int lang, const std::string& type,
                    const RotorMachine& machine, Console& console);

}  // namespace rotorwerk
