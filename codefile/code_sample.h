// What the analysis commands read of a code file: its first letters, how many it holds
// and what follows its body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codefile/code_file.h"
#include "platform/file.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

struct CodeSample {
  Language language = Language::kEnglish;
  std::vector<std::uint8_t> letters;  // the body's first letters, as indices 0..25
  std::uint64_t totalLetters = 0;     // every letter of the body
  Trailer trailer;
  std::string firstLine;  // the body's bytes up to its first line end, at most kLineKeep
};

inline constexpr std::size_t kLineKeep = 200;

// Reads the code file `input` (named `name` in a fault), keeping at most `keep` letters;
// memory stays flat whatever its size. Faults as the decrypt command's.
Result<CodeSample> readCodeSample(File input, const std::string& name, std::size_t keep);
// The same of a code file held in memory, which nothing copies to a disk.
Result<CodeSample> readCodeSample(std::string_view code, const std::string& name, std::size_t keep);

}  // namespace rotorwerk
