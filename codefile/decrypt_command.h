// The decrypt command: a code file deciphered and verified.
#pragma once

#include <cstdio>
#include <optional>

#include "codefile/code_file.h"
#include "machine/rotor_machine.h"

namespace rotorwerk {

enum class Language { kChinese, kEnglish };

// Reads the header word of the code file `input`: its language, or nothing when the
// file does not start with a known header word. The stream is left at the separator.
std::optional<Language> readCodeHeader(std::FILE* input);

struct DecryptResult {
  enum class Failure {
    kNone,
    kCannotRead,    // the code file, or the copy of a piped one, failed
    kCannotOutput,  // the deciphered text could not be written out
  };
  Failure failure = Failure::kNone;
  // Only meaningful without a failure.
  bool codingTypeKnown = true;
  int failedChecks = 0;  // check letters that do not confirm their start offset
};

// Deciphers the body of `input`, whose header has been read, onto `output`, stopping
// at the first failed write, and verifies its coding type and check letters.
[[nodiscard]] DecryptResult decryptCommand(std::FILE* input, const RotorMachine& machine,
                                           std::FILE* output, const Progress& progress = {});

}  // namespace rotorwerk
