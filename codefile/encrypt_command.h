// The encrypt command: a text file enciphered into a code file.
#pragma once

#include <cstdio>
#include <string>

#include "codefile/code_file.h"
#include "machine/rotor_machine.h"
#include "platform/file.h"

namespace rotorwerk {

enum class EncryptResult {
  kWritten,
  kNoSuchCodingType,  // nothing was read or written
  kCannotWrite,       // an earlier code file is kept
  kCannotRead,        // the text failed while it was read; an earlier code file is kept
};

// Enciphers `input` into the code file `target`, labelled Chinese when `lang` is not 0,
// with coding type `type`. The target is replaced only once complete, and `input` is
// closed first: Windows replaces no file that is open, and the input may be the target.
[[nodiscard]] EncryptResult encryptCommand(File& input, int lang, const std::string& type,
                                           const RotorMachine& machine,
                                           const std::string& target = kCodeFileName,
                                           const Progress& progress = {});

}  // namespace rotorwerk
