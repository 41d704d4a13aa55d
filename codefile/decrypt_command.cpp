// The decrypt command: a code file deciphered and verified.
#include "codefile/decrypt_command.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codefile/code_file.h"
#include "machine/keystream.h"
#include "platform/file.h"
#include "platform/formatted_input.h"

namespace rotorwerk {
namespace {

// Longer than any coding type, so a cut-off word can never match one.
constexpr std::size_t kCodeWordKeep = 16;
// A header word is judged after at most this many bytes, so that an endless word
// (a device of zeros) ends in a format error instead of being read for ever.
constexpr std::size_t kHeaderLimit = 16;

std::int64_t endOf(std::FILE* file) { return seekTo(file, 0, SEEK_END) ? position(file) : -1; }

// A pipe or device cannot be searched from its end, so what is left of it is
// copied to a temporary file first; memory stays flat either way. Copying stops at
// the first failed write, so a full disk does not keep it reading.
File spool(std::FILE* input, std::vector<char>& block) {
  File copy(scratchFile());
  if (!copy) return nullptr;
  for (std::size_t size = 0; (size = readText(input, block.data(), block.size())) > 0;) {
    if (std::fwrite(block.data(), 1, size, copy.get()) != size) return nullptr;
  }
  if (std::ferror(input) != 0 || std::fflush(copy.get()) != 0) return nullptr;
  return copy;
}

// The offset of the last '#' in [begin, end), searched from the end, or -1.
std::int64_t findLastMark(std::FILE* file, std::int64_t begin, std::int64_t end,
                          std::vector<char>& block) {
  while (end > begin) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(end - begin, static_cast<std::int64_t>(block.size())));
    const std::int64_t from = end - static_cast<std::int64_t>(size);
    if (!readAt(file, from, block.data(), size)) return -1;
    for (std::size_t i = size; i > 0; --i) {
      if (block[i - 1] == kBodyEnd) return from + static_cast<std::int64_t>(i - 1);
    }
    end = from;
  }
  return -1;
}

enum class Deciphered { kDone, kCannotRead, kCannotOutput };

// Deciphers [begin, end) of the file onto `output`, stopping at the first failure to
// read or to write.
Deciphered decipherRange(std::FILE* file, std::int64_t begin, std::int64_t end,
                         Keystream& keystream, std::vector<char>& block, std::FILE* output,
                         const Progress& progress) {
  for (std::int64_t left = end - begin; left > 0;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
    if (!readAt(file, end - left, block.data(), size)) return Deciphered::kCannotRead;
    keystream.apply(block.data(), size);
    if (!writeBlock(output, block.data(), size)) return Deciphered::kCannotOutput;
    left -= static_cast<std::int64_t>(size);
    if (progress) progress(static_cast<std::uint64_t>(end - begin - left));
  }
  return std::fflush(output) == 0 ? Deciphered::kDone : Deciphered::kCannotOutput;
}

void verifyTrailer(std::FILE* file, const RotorMachine& machine, RotorPositions positions,
                   DecryptResult& result) {
  FormattedInput trailer(file);
  Word code;
  result.codingTypeKnown = trailer.readWord(code, kCodeWordKeep) == ReadStatus::kOk &&
                           CodingTypeRegistry().contains(code.text);
  if (code.text != kCheckedCode) return;
  Word check;
  (void)trailer.readWord(check, 3);  // a missing word leaves every check failed
  const auto holds = verifyCheckLetters(machine, positions, check.text);
  result.failedChecks = static_cast<int>(std::count(holds.begin(), holds.end(), false));
}

}  // namespace

std::optional<Language> readCodeHeader(std::FILE* input) {
  FormattedInput header(input);
  Word word;
  if (header.readWord(word, kChineseHeader.size() + 1, kHeaderLimit) != ReadStatus::kOk ||
      (word.text != kChineseHeader && word.text != kEnglishHeader)) {
    return std::nullopt;
  }
  // The body starts with the byte that ended the word, which the reader has taken
  // from the stream but not consumed: one byte, given back.
  const std::string pending = header.takePending();
  if (!pending.empty()) std::ungetc(static_cast<unsigned char>(pending.front()), input);
  return word.text == kChineseHeader ? Language::kChinese : Language::kEnglish;
}

DecryptResult decryptCommand(std::FILE* input, const RotorMachine& machine, std::FILE* output,
                             const Progress& progress) {
  using Failure = DecryptResult::Failure;
  std::vector<char> block(kBlockSize);
  File spooled;
  std::FILE* file = input;
  std::int64_t begin = 0;
  if (readsAsStored(input)) {
    begin = position(input);
  } else {
    spooled = spool(input, block);
    if (!spooled) return {Failure::kCannotRead};
    file = spooled.get();
  }
  // The body ends at the last '#': a trailer never holds one, the text may.
  const std::int64_t end = endOf(file);
  const std::int64_t mark = findLastMark(file, begin, end, block);
  const std::int64_t bodyEnd = mark >= 0 ? mark : end;
  Keystream keystream(machine, machine.startPositions());
  // The first byte of the body is the separator after the header word.
  switch (decipherRange(file, std::min(begin + 1, bodyEnd), bodyEnd, keystream, block, output,
                        progress)) {
    case Deciphered::kDone: break;
    case Deciphered::kCannotRead: return {Failure::kCannotRead};
    case Deciphered::kCannotOutput: return {Failure::kCannotOutput};
  }
  DecryptResult result;
  if (mark < 0 || !seekTo(file, mark + 1)) {
    result.codingTypeKnown = false;
    return result;
  }
  verifyTrailer(file, machine, keystream.positions(), result);
  return result;
}

}  // namespace rotorwerk
