// The encrypt command: a text file enciphered into a code file.
#pragma once

#include <string>
#include <string_view>

#include "codefile/code_file.h"
#include "machine/rotor_machine.h"
#include "platform/byte_stream.h"
#include "platform/file.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

// Where a code file went: a file, or a standard stream that shows it as it is.
enum class CodeWrittenTo { kFile, kStandardStream };

// Enciphers everything `input` holds (named `inputName` in a fault) into a code file
// given to `sink` piece by piece. Faults: kNoSuchCodingType naming the type before
// anything is read, kCannotRead, and kCannotWrite naming `target` when the sink refuses.
Result<void> encodeText(ByteSource& input, const std::string& inputName, int lang,
                        const std::string& type, const RotorMachine& machine, ByteSink& sink,
                        const std::string& target, const Progress& progress = {});

// Enciphers `input` into the code file `target`, labelled Chinese when `lang` is not 0,
// with coding type `type`. The target is replaced only once complete, and the input is
// closed first: Windows replaces no file that is open, and the input may be the target.
// Faults: kNoSuchCodingType naming the type (nothing read or written), kCannotRead
// naming `inputName`, and those of the target's ReplacementFile; an earlier code file is
// kept.
Result<CodeWrittenTo> encryptCommand(File input, const std::string& inputName, int lang,
                                     const std::string& type, const RotorMachine& machine,
                                     const std::string& target = kCodeFileName,
                                     const Progress& progress = {});

}  // namespace rotorwerk
