// The encrypt command: a text file enciphered into a code file.
#include "codefile/encrypt_command.h"

#include <vector>

#include "machine/keystream.h"
#include "platform/replacement_file.h"

namespace rotorwerk {

Result<CodeWrittenTo> encryptCommand(File input, const std::string& inputName, int lang,
                                     const std::string& type, const RotorMachine& machine,
                                     const std::string& target, const Progress& progress) {
  if (!CodingTypeRegistry().contains(type)) return Fault{FaultKind::kNoSuchCodingType, inputName};
  // The old code file stays until the new one is complete, so enciphering the code
  // file itself reads it whole before it is replaced.
  ReplacementFile output(target);
  if (auto opened = output.open(); !opened) return opened.fault();
  if (!output.write(lang != 0 ? kChineseHeader : kEnglishHeader) || !output.write(" ")) {
    return systemFault(FaultKind::kCannotWrite, target);
  }
  Keystream keystream(machine, machine.startPositions());
  std::vector<char> block(kBlockSize);
  std::uint64_t done = 0;
  for (std::size_t size = 0; (size = readText(input.get(), block.data(), block.size())) > 0;) {
    keystream.apply(block.data(), size);
    // A full disk stops the reading at once: an endless text would never end.
    if (!output.write({block.data(), size})) return systemFault(FaultKind::kCannotWrite, target);
    if (progress) progress(done += size);
  }
  if (std::ferror(input.get()) != 0) return systemFault(FaultKind::kCannotRead, inputName);
  input.reset();
  const std::string check =
      type == kCheckedCode ? makeCheckLetters(machine, keystream.positions()) : std::string();
  if (!output.write({&kBodyEnd, 1}) || !output.write(type) || !output.write(" ") ||
      !output.write(check)) {
    return systemFault(FaultKind::kCannotWrite, target);
  }
  const CodeWrittenTo place =
      output.toStandardStream() ? CodeWrittenTo::kStandardStream : CodeWrittenTo::kFile;
  if (auto committed = output.commit(); !committed) return committed.fault();
  return place;
}

}  // namespace rotorwerk
