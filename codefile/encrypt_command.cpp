// The encrypt command: a text file enciphered into a code file.
#include "codefile/encrypt_command.h"

#include <vector>

#include "machine/keystream.h"
#include "platform/replacement_file.h"

namespace rotorwerk {

namespace {

// The code file being replaced, as a sink.
class ReplacementSink final : public ByteSink {
 public:
  explicit ReplacementSink(ReplacementFile& file) : file_(file) {}
  bool write(std::string_view bytes) override { return file_.write(bytes); }

 private:
  ReplacementFile& file_;
};

}  // namespace

Result<void> encodeText(ByteSource& input, const std::string& inputName, int lang,
                        const std::string& type, const RotorMachine& machine, ByteSink& sink,
                        const std::string& target, const Progress& progress) {
  if (!CodingTypeRegistry().contains(type)) return Fault{FaultKind::kNoSuchCodingType, type};
  if (!sink.write(lang != 0 ? kChineseHeader : kEnglishHeader) || !sink.write(" ")) {
    return systemFault(FaultKind::kCannotWrite, target);
  }
  Keystream keystream(machine, machine.startPositions());
  std::vector<char> block(kBlockSize);
  std::uint64_t done = 0;
  for (std::size_t size = 0; (size = input.read(block.data(), block.size())) > 0;) {
    keystream.apply(block.data(), size);
    // A full disk stops the reading at once: an endless text would never end.
    if (!sink.write({block.data(), size})) return systemFault(FaultKind::kCannotWrite, target);
    if (progress) progress(done += size);
  }
  if (input.failed()) return systemFault(FaultKind::kCannotRead, inputName);
  const std::string check =
      type == kCheckedCode ? makeCheckLetters(machine, keystream.positions()) : std::string();
  if (!sink.write({&kBodyEnd, 1}) || !sink.write(type) || !sink.write(" ") || !sink.write(check)) {
    return systemFault(FaultKind::kCannotWrite, target);
  }
  return {};
}

Result<CodeWrittenTo> encryptCommand(File input, const std::string& inputName, int lang,
                                     const std::string& type, const RotorMachine& machine,
                                     const std::string& target, const Progress& progress) {
  if (!CodingTypeRegistry().contains(type)) return Fault{FaultKind::kNoSuchCodingType, type};
  // The old code file stays until the new one is complete, so enciphering the code
  // file itself reads it whole before it is replaced.
  ReplacementFile output(target);
  if (auto opened = output.open(); !opened) return opened.fault();
  FileSource source(input.get());
  ReplacementSink sink(output);
  auto encoded = encodeText(source, inputName, lang, type, machine, sink, target, progress);
  if (!encoded) return encoded.fault();
  // Windows replaces no file that is open, and the input may be the target.
  input.reset();
  const CodeWrittenTo place =
      output.toStandardStream() ? CodeWrittenTo::kStandardStream : CodeWrittenTo::kFile;
  if (auto committed = output.commit(); !committed) return committed.fault();
  return place;
}

}  // namespace rotorwerk
