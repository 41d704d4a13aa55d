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
    console.error(texts::kNoSuchCodingType);
    return;
  }
  // The old code file stays until the new one is complete, so enciphering the code
  // file itself reads it whole before it is replaced.
  ReplacementFile output(kCodeFileName);
  if (!output.open() || !output.write(lang != 0 ? kChineseHeader : kEnglishHeader) ||
      !output.write(" ")) {
    console.error(texts::kCannotWriteCodeFile);
    return;
  }
  Keystream keystream(machine, machine.startPositions());
  std::vector<char> block(kBlockSize);
  for (std::size_t size = 0; (size = std::fread(block.data(), 1, block.size(), input)) > 0;) {
    keystream.apply(block.data(), size);
    // A full disk stops the reading at once: an endless text would never end.
    if (!output.write({block.data(), size})) {
      console.error(texts::kCannotWriteCodeFile);
      return;
    }
  }
  if (std::ferror(input) != 0) {
    console.error(texts::kCannotReadFile);
    return;
  }
  const std::string check =
      type == kCheckedCode ? makeCheckLetters(machine, keystream.positions()) : std::string();
  if (!output.write({&kBodyEnd, 1}) || !output.write(type) || !output.write(" ") ||
      !output.write(check) || !output.commit()) {
    console.error(texts::kCannotWriteCodeFile);
    return;
  }
  console.message(texts::kCodeFileWritten);
}

}  // namespace rotorwerk
