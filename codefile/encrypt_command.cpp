// The encrypt command: a text file enciphered into the code file.
#include "codefile/encrypt_command.h"

#include <vector>

#include "codefile/code_file.h"
#include "codefile/replacement_file.h"
#include "console/texts.h"
#include "machine/keystream.h"

namespace rotorwerk {

void encryptCommand(std::FILE* input, int lang, const std::string& type,
                    const RotorMachine& machine, Console& console) {
  const CodingTypeRegistry registry;
  if (!registry.contains(type)) {
    console.message(texts::kNoSuchCodingType);
    return;
  }
  // The old code file stays until the new one is complete, so enciphering the code
  // file itself reads it whole before it is replaced.
  ReplacementFile output(kCodeFileName);
  if (!output.open()) {
    console.message(texts::kCannotWriteCodeFile);
    return;
  }
  output.write(lang != 0 ? kChineseHeader : kEnglishHeader);
  output.write(" ");
  Keystream keystream(machine, machine.startPositions());
  std::vector<char> block(kBlockSize);
  for (std::size_t size = 0; (size = std::fread(block.data(), 1, block.size(), input)) > 0;) {
    keystream.apply(block.data(), size);
    output.write({block.data(), size});
  }
  if (std::ferror(input) != 0) {
    console.message(texts::kCannotReadFile);
    return;
  }
  output.write({&kBodyEnd, 1});
  output.write(type);
  output.write(" ");
  if (type == kCheckedCode) output.write(makeCheckLetters(machine, keystream.positions()));
  if (!output.commit()) {
    console.message(texts::kCannotWriteCodeFile);
    return;
  }
  console.message(texts::kCodeFileWritten);
}

}  // namespace rotorwerk
