// The encrypt command: a text file enciphered into a code file.
#include "codefile/encrypt_command.h"

#include <vector>

#include "machine/keystream.h"
#include "platform/replacement_file.h"

namespace rotorwerk {

Result<void> encodeText(std::FILE* input, const std::string& inputName, int lang,
                        const std::string& type, const RotorMachine& machine, const CodeSink& sink,
                        const std::string& target, const Progress& progress) {
  if (!CodingTypeRegistry().contains(type)) return Fault{FaultKind::kNoSuchCodingType, inputName};
  if (!sink(lang != 0 ? kChineseHeader : kEnglishHeader) || !sink(" ")) {
    return systemFault(FaultKind::kCannotWrite, target);
  }
  Keystream keystream(machine, machine.startPositions());
  std::vector<char> block(kBlockSize);
  std::uint64_t done = 0;
  for (std::size_t size = 0; (size = readText(input, block.data(), block.size())) > 0;) {
    keystream.apply(block.data(), size);
    // A full disk stops the reading at once: an endless text would never end.
    if (!sink({block.data(), size})) return systemFault(FaultKind::kCannotWrite, target);
    if (progress) progress(done += size);
  }
  if (std::ferror(input) != 0) return systemFault(FaultKind::kCannotRead, inputName);
  const std::string check =
      type == kCheckedCode ? makeCheckLetters(machine, keystream.positions()) : std::string();
  if (!sink({&kBodyEnd, 1}) || !sink(type) || !sink(" ") || !sink(check)) {
    return systemFault(FaultKind::kCannotWrite, target);
  }
  return {};
}

Result<CodeWrittenTo> encryptCommand(File input, const std::string& inputName, int lang,
                                     const std::string& type, const RotorMachine& machine,
                                     const std::string& target, const Progress& progress) {
  if (!CodingTypeRegistry().contains(type)) return Fault{FaultKind::kNoSuchCodingType, inputName};
  // The old code file stays until the new one is complete, so enciphering the code
  // file itself reads it whole before it is replaced.
  ReplacementFile output(target);
  if (auto opened = output.open(); !opened) return opened.fault();
  auto encoded = encodeText(
      input.get(), inputName, lang, type, machine,
      [&](std::string_view bytes) { return output.write(bytes); }, target, progress);
  if (!encoded) return encoded.fault();
  // Windows replaces no file that is open, and the input may be the target.
  input.reset();
  const CodeWrittenTo place =
      output.toStandardStream() ? CodeWrittenTo::kStandardStream : CodeWrittenTo::kFile;
  if (auto committed = output.commit(); !committed) return committed.fault();
  return place;
}

}  // namespace rotorwerk
