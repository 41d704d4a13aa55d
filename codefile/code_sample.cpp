// A code file read for analysis.
#include "codefile/code_sample.h"

#include <algorithm>
#include <optional>

#include "machine/rotor_machine.h"
#include "platform/byte_stream.h"

namespace rotorwerk {
namespace {

Fault named(Fault fault, const std::string& name) {
  fault.file = name;
  return fault;
}

// The sample of a code file whose header has been read.
Result<CodeSample> sampleOf(StoredCode& code, Language language, std::vector<char>& block,
                            std::size_t keep) {
  CodeSample sample;
  sample.language = language;
  const auto layout = code.locate(block);
  if (!layout) return layout.fault();
  bool lineEnded = false;
  for (std::int64_t from = layout->bodyBegin; from < layout->bodyEnd;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(layout->bodyEnd - from, static_cast<std::int64_t>(block.size())));
    if (!code.readAt(from, block.data(), size)) return systemFault(FaultKind::kCannotRead);
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
  if (layout->trailer) {
    if (auto trailer = code.trailerAt(*layout->trailer)) sample.trailer = std::move(*trailer);
  }
  return sample;
}

}  // namespace

Result<CodeSample> readCodeSample(File input, const std::string& name, std::size_t keep) {
  const auto language = readCodeHeader(input.get(), name);
  if (!language) return language.fault();
  std::vector<char> block(kBlockSize);
  auto stored = StoredFile::store(input.get(), block);
  if (!stored) return named(stored.fault(), name);
  auto sample = sampleOf(*stored, *language, block, keep);
  if (!sample) return named(sample.fault(), name);
  return sample;
}

Result<CodeSample> readCodeSample(std::string_view code, const std::string& name,
                                  std::size_t keep) {
  MemorySource header(code);
  const auto language = readCodeHeader(header, name);
  if (!language) return language.fault();
  StoredBytes stored(code, header.taken());
  std::vector<char> block(std::min(kBlockSize, std::max<std::size_t>(code.size(), 1)));
  auto sample = sampleOf(stored, *language, block, keep);
  if (!sample) return named(sample.fault(), name);
  return sample;
}

}  // namespace rotorwerk
