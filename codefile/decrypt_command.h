// The decrypt command: a code file deciphered and verified.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "codefile/code_file.h"
#include "machine/rotor_machine.h"
#include "platform/file.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

// What the code file's trailer says of the settings that deciphered it.
struct Verification {
  bool codingTypeKnown = true;
  int failedChecks = 0;    // check letters that do not confirm their start offset
  bool truncated = false;  // the file ends before its trailer does
};

// Deciphers the body of `input`, whose header has been read, onto `output`, stopping
// at the first failure, and verifies its coding type and check letters. The input is
// closed at the end. Faults: kCannotRead for the code file (or the copy of a piped
// one) and kCannotOutput, naming `inputName` and `outputName`.
Result<Verification> decryptCommand(File input, const std::string& inputName,
                                    const RotorMachine& machine, std::FILE* output,
                                    const std::string& outputName, const Progress& progress = {});

// A code file in memory, deciphered as the decrypt command deciphers a file.
struct DecodedCode {
  Language language = Language::kEnglish;
  std::string text;
  Verification verification;
};
// Faults: kFormat naming it "code" when the bytes do not begin as a code file does.
Result<DecodedCode> decodeCode(std::string_view code, const RotorMachine& machine);

}  // namespace rotorwerk
