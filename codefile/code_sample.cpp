// A code file read for analysis.
#include "codefile/code_sample.h"

#include <algorithm>
#include <optional>

#include "machine/rotor_machine.h"

namespace rotorwerk {
namespace {

Fault named(Fault fault, const std::string& name) {
  fault.file = name;
  return fault;
}

}  // namespace

Result<CodeSample> readCodeSample(File input, const std::string& name, std::size_t keep) {
  CodeSample sample;
  const auto language = readCodeHeader(input.get(), name);
  if (!language) return language.fault();
  sample.language = *language;
  std::vector<char> block(kBlockSize);
  auto body = storeBody(input.get(), block);
  if (!body) return named(body.fault(), name);
  std::FILE* file = body->file;
  const CodeLayout& layout = body->layout;
  bool lineEnded = false;
  for (std::int64_t from = layout.bodyBegin; from < layout.bodyEnd;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(layout.bodyEnd - from, static_cast<std::int64_t>(block.size())));
    if (!readAt(file, from, block.data(), size))
      return named(systemFault(FaultKind::kCannotRead), name);
    for (std::size_t i = 0; i < size; ++i) {
      const auto byte = static_cast<unsigned char>(block[i]);
      lineEnded = lineEnded || byte == '\n' || byte == '\r';
      if (!lineEnded && sample.firstLine.size() < kLineKeep) sample.firstLine.push_back(block[i]);
      const std::optional<LetterIndex> letter = letterIndexOf(byte);
      if (!letter) continue;
      ++sample.totalLetters;
      if (sample.letters.size() < keep)
        sample.letters.push_back(static_cast<std::uint8_t>(*letter));
    }
    from += static_cast<std::int64_t>(size);
  }
  if (layout.trailer && seekTo(file, *layout.trailer)) sample.trailer = readTrailer(file);
  return sample;
}

}  // namespace rotorwerk
