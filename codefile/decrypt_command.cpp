// The decrypt command: a code file deciphered and verified.
#include "codefile/decrypt_command.h"

#include <algorithm>
#include <vector>

#include "machine/keystream.h"

namespace rotorwerk {
namespace {

// Deciphers the body onto `output`, stopping at the first failure to read or to write.
Result<void> decipherRange(StoredCode& code, const CodeLayout& layout, Keystream& keystream,
                           std::vector<char>& block, ByteSink& output, const Progress& progress) {
  const std::int64_t begin = layout.bodyBegin;
  const std::int64_t end = layout.bodyEnd;
  for (std::int64_t left = end - begin; left > 0;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
    if (!code.readAt(end - left, block.data(), size)) return systemFault(FaultKind::kCannotRead);
    keystream.apply(block.data(), size);
    if (!output.write({block.data(), size})) return systemFault(FaultKind::kCannotOutput);
    left -= static_cast<std::int64_t>(size);
    if (progress) progress(static_cast<std::uint64_t>(end - begin - left));
  }
  if (!output.flush()) return systemFault(FaultKind::kCannotOutput);
  return {};
}

Verification verifyTrailer(const Trailer& trailer, const RotorMachine& machine,
                           RotorPositions positions) {
  Verification verification;
  verification.codingTypeKnown = CodingTypeRegistry().contains(trailer.code);
  // A trailer that stops inside a coding type's word, or before its check letters, was
  // cut off; any other unknown word is just unknown.
  verification.truncated =
      trailer.code.empty() ||
      (!verification.codingTypeKnown &&
       std::any_of(kCodingTypes.begin(), kCodingTypes.end(), [&](std::string_view code) {
         return code.substr(0, trailer.code.size()) == trailer.code;
       }));
  if (trailer.code != kCheckedCode) return verification;
  verification.truncated = trailer.check.size() < 3;
  // A missing word leaves every check failed.
  const auto holds = verifyCheckLetters(machine, positions, trailer.check);
  verification.failedChecks = static_cast<int>(std::count(holds.begin(), holds.end(), false));
  return verification;
}

// Deciphers the body of `code` onto `output` and verifies what follows it. Faults are
// unnamed.
Result<Verification> decipherStored(StoredCode& code, std::vector<char>& block,
                                    const RotorMachine& machine, ByteSink& output,
                                    const Progress& progress) {
  const auto layout = code.locate(block);
  if (!layout) return layout.fault();
  Keystream keystream(machine, machine.startPositions());
  if (auto done = decipherRange(code, *layout, keystream, block, output, progress); !done) {
    return done.fault();
  }
  // Without its '#' the body ran to the end of the file: the trailer is missing.
  const auto trailer = layout->trailer ? code.trailerAt(*layout->trailer) : std::nullopt;
  if (!trailer) return Verification{false, 0, true};
  return verifyTrailer(*trailer, machine, keystream.positions());
}

Fault named(Fault fault, const std::string& input, const std::string& output) {
  fault.file = fault.kind == FaultKind::kCannotOutput ? output : input;
  return fault;
}

}  // namespace

Result<Verification> decryptCommand(File input, const std::string& inputName,
                                    const RotorMachine& machine, std::FILE* output,
                                    const std::string& outputName, const Progress& progress) {
  std::vector<char> block(kBlockSize);
  auto stored = StoredFile::store(input.get(), block);
  if (!stored) return named(stored.fault(), inputName, outputName);
  FileSink sink(output);
  auto found = decipherStored(*stored, block, machine, sink, progress);
  if (!found) return named(found.fault(), inputName, outputName);
  return found;
}

Result<DecodedCode> decodeCode(std::string_view code, const RotorMachine& machine) {
  MemorySource header(code);
  // Named as the attack names the codes it is handed.
  const auto language = readCodeHeader(header, "code");
  if (!language) return language.fault();
  DecodedCode decoded{*language, {}, {}};
  // The text is no longer than the code: grown once, not doubled and copied.
  decoded.text.reserve(code.size());
  StoredBytes stored(code, header.taken());
  std::vector<char> block = blockFor(code.size());
  StringSink sink(decoded.text);
  auto found = decipherStored(stored, block, machine, sink, {});
  if (!found) return found.fault();
  decoded.verification = *found;
  return decoded;
}

}  // namespace rotorwerk
