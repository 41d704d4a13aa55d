// The decrypt command: a code file deciphered onto the screen and verified.
#include "codefile/decrypt_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "codefile/code_file.h"
#include "console/texts.h"
#include "machine/formatted_input.h"
#include "machine/keystream.h"
#include "machine/stdio_file.h"

namespace rotorwerk {
namespace {

// Longer than any coding type, so a cut-off word can never match one.
constexpr std::size_t kCodeWordKeep = 16;
// A header word is judged after at most this many bytes, so that an endless word
// (a device of zeros) ends in a format error instead of being read for ever.
constexpr std::size_t kHeaderLimit = 16;

bool seekTo(std::FILE* file, std::int64_t offset, int origin = SEEK_SET) {
#ifdef _WIN32
  return _fseeki64(file, offset, origin) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
#endif
}

std::int64_t position(std::FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<std::int64_t>(ftello(file));
#endif
}

std::int64_t endOf(std::FILE* file) { return seekTo(file, 0, SEEK_END) ? position(file) : -1; }

// Byte offsets can be searched and read back only in a file whose bytes are what the
// stream delivers: on Windows a text-mode stream translates line ends, so it is spooled.
bool isSearchable(std::FILE* file) {
#ifdef _WIN32
  (void)file;
  return false;
#else
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
#endif
}

// A pipe or device cannot be searched from its end, so what is left of it is
// copied to a temporary file first; memory stays flat either way. Copying stops at
// the first failed write, so a full disk does not keep it reading.
File spool(std::FILE* input, const std::string& pending, std::vector<char>& block) {
  File copy(std::tmpfile());
  if (!copy) return nullptr;
  if (std::fwrite(pending.data(), 1, pending.size(), copy.get()) != pending.size()) return nullptr;
  for (std::size_t size = 0; (size = std::fread(block.data(), 1, block.size(), input)) > 0;) {
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
    if (!seekTo(file, from) || std::fread(block.data(), 1, size, file) != size) return -1;
    for (std::size_t i = size; i > 0; --i) {
      if (block[i - 1] == kBodyEnd) return from + static_cast<std::int64_t>(i - 1);
    }
    end = from;
  }
  return -1;
}

enum class Deciphered { kDone, kCannotRead, kCannotOutput };

// Deciphers [begin, end) of the file onto standard output, stopping at the first
// failure to read or to write.
Deciphered decipherRange(std::FILE* file, std::int64_t begin, std::int64_t end,
                         Keystream& keystream, std::vector<char>& block, Console& console) {
  if (!seekTo(file, begin)) return Deciphered::kCannotRead;
  for (std::int64_t left = end - begin; left > 0;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
    if (std::fread(block.data(), 1, size, file) != size) return Deciphered::kCannotRead;
    keystream.apply(block.data(), size);
    if (!console.writeData({block.data(), size})) return Deciphered::kCannotOutput;
    left -= static_cast<std::int64_t>(size);
  }
  return console.flushData() ? Deciphered::kDone : Deciphered::kCannotOutput;
}

void verifyTrailer(std::FILE* file, const RotorMachine& machine, RotorPositions positions,
                   Console& console) {
  FormattedInput trailer(file);
  Word code;
  if (trailer.readWord(code, kCodeWordKeep) != ReadStatus::kOk ||
      !CodingTypeRegistry().contains(code.text)) {
    console.message(texts::kUnknownCodingType);
  }
  if (code.text != kCheckedCode) return;
  Word check;
  (void)trailer.readWord(check, 3);  // a missing word leaves every check failed
  for (const bool holds : verifyCheckLetters(machine, positions, check.text)) {
    if (!holds) console.message(texts::kCheckFailed);
  }
}

}  // namespace

void decryptCommand(std::FILE* input, const RotorMachine& machine, Console& console) {
  FormattedInput header(input);
  Word word;
  if (header.readWord(word, kChineseHeader.size() + 1, kHeaderLimit) != ReadStatus::kOk ||
      (word.text != kChineseHeader && word.text != kEnglishHeader)) {
    console.error(texts::kFormatProblem);
    return;
  }
  console.write(texts::kLanguageLine);
  console.write(word.text == kChineseHeader ? texts::kChineseLabel : texts::kEnglishLabel);
  if (!console.writeData("\n")) {
    console.error(texts::kCannotOutputText);
    return;
  }

  std::vector<char> block(kBlockSize);
  // The body starts with the byte after the header word, which the header read has
  // taken from the stream but not consumed.
  const std::string pending = header.takePending();
  File spooled;
  std::FILE* file = input;
  std::int64_t begin = 0;
  if (isSearchable(input)) {
    begin = position(input) - static_cast<std::int64_t>(pending.size());
  } else {
    spooled = spool(input, pending, block);
    if (!spooled) {
      console.error(texts::kCannotReadFile);
      return;
    }
    file = spooled.get();
  }
  // The body ends at the last '#': a trailer never holds one, the text may.
  const std::int64_t end = endOf(file);
  const std::int64_t mark = findLastMark(file, begin, end, block);
  const std::int64_t bodyEnd = mark >= 0 ? mark : end;
  Keystream keystream(machine, machine.startPositions());
  // The first byte of the body is the separator after the header word.
  switch (decipherRange(file, std::min(begin + 1, bodyEnd), bodyEnd, keystream, block, console)) {
    case Deciphered::kDone: break;
    case Deciphered::kCannotRead: console.error(texts::kCannotReadFile); return;
    case Deciphered::kCannotOutput: console.error(texts::kCannotOutputText); return;
  }
  if (mark < 0 || !seekTo(file, mark + 1)) {
    console.message(texts::kUnknownCodingType);
    return;
  }
  verifyTrailer(file, machine, keystream.positions(), console);
}

}  // namespace rotorwerk
