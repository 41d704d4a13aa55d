// The decrypt command: a code file deciphered and verified.
#include "codefile/decrypt_command.h"

#include <algorithm>
#include <vector>

#include "machine/keystream.h"

namespace rotorwerk {
namespace {

// Deciphers [begin, end) of the file onto `output`, stopping at the first failure to
// read or to write.
Result<void> decipherRange(std::FILE* file, const CodeLayout& layout, Keystream& keystream,
                           std::vector<char>& block, std::FILE* output, const Progress& progress) {
  const std::int64_t begin = layout.bodyBegin;
  const std::int64_t end = layout.bodyEnd;
  for (std::int64_t left = end - begin; left > 0;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
    if (!readAt(file, end - left, block.data(), size)) return systemFault(FaultKind::kCannotRead);
    keystream.apply(block.data(), size);
    if (!writeBlock(output, block.data(), size)) return systemFault(FaultKind::kCannotOutput);
    left -= static_cast<std::int64_t>(size);
    if (progress) progress(static_cast<std::uint64_t>(end - begin - left));
  }
  if (std::fflush(output) != 0) return systemFault(FaultKind::kCannotOutput);
  return {};
}

Verification verifyTrailer(std::FILE* file, const RotorMachine& machine, RotorPositions positions) {
  const Trailer trailer = readTrailer(file);
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

Fault named(Fault fault, const std::string& input, const std::string& output) {
  fault.file = fault.kind == FaultKind::kCannotOutput ? output : input;
  return fault;
}

}  // namespace

Result<Verification> decryptCommand(File input, const std::string& inputName,
                                    const RotorMachine& machine, std::FILE* output,
                                    const std::string& outputName, const Progress& progress) {
  std::vector<char> block(kBlockSize);
  auto body = storeBody(input.get(), block);
  if (!body) return named(body.fault(), inputName, outputName);
  std::FILE* file = body->file;
  const CodeLayout& layout = body->layout;
  Keystream keystream(machine, machine.startPositions());
  if (auto done = decipherRange(file, layout, keystream, block, output, progress); !done) {
    return named(done.fault(), inputName, outputName);
  }
  // Without its '#' the body ran to the end of the file: the trailer is missing.
  if (!layout.trailer || !seekTo(file, *layout.trailer)) return Verification{false, 0, true};
  return verifyTrailer(file, machine, keystream.positions());
}

}  // namespace rotorwerk
