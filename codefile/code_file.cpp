// The code file's layout: header, body, trailer and the check letters.
#include "codefile/code_file.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/formatted_input.h"

namespace rotorwerk {
namespace {

// A header word is judged after at most this many bytes, so that an endless word
// (a device of zeros) ends in a format error instead of being read for ever.
constexpr std::size_t kHeaderLimit = 16;

std::int64_t endOf(std::FILE* file) { return seekTo(file, 0, SEEK_END) ? position(file) : -1; }

// Longer than any coding type, so a cut-off word can never match one.
constexpr std::size_t kCodeWordKeep = 16;

}  // namespace

Result<Language> readCodeHeader(std::FILE* input, const std::string& name) {
  FormattedInput header(input);
  Word word;
  const ReadStatus status = header.readWord(word, kChineseHeader.size() + 1, kHeaderLimit);
  if (std::ferror(input) != 0) return systemFault(FaultKind::kCannotRead, name);
  if (status != ReadStatus::kOk || (word.text != kChineseHeader && word.text != kEnglishHeader)) {
    return Fault{FaultKind::kFormat, name};
  }
  // The byte that ended the word is the separator, taken from the stream already; the
  // body starts after it, whatever byte it is. A line end is one character, also
  // where it is stored as CR LF.
  if (header.takePending() == "\r") completeLineEnd(input);
  return word.text == kChineseHeader ? Language::kChinese : Language::kEnglish;
}

namespace {

// Copying stops at the first failed write, so a full disk does not keep it reading.
Result<File> spoolRest(std::FILE* input, std::vector<char>& block) {
  auto copy = scratchFile();
  if (!copy) return copy;
  for (std::size_t size = 0; (size = readText(input, block.data(), block.size())) > 0;) {
    if (std::fwrite(block.data(), 1, size, copy->get()) != size)
      return systemFault(FaultKind::kCannotRead);
  }
  if (std::ferror(input) != 0 || std::fflush(copy->get()) != 0)
    return systemFault(FaultKind::kCannotRead);
  return copy;
}

Result<CodeLayout> locateBody(std::FILE* file, std::int64_t begin, std::vector<char>& block) {
  const std::int64_t end = endOf(file);
  if (end < begin) return systemFault(FaultKind::kCannotRead);
  CodeLayout layout{begin, end, std::nullopt};
  for (std::int64_t to = end; to > begin;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(to - begin, static_cast<std::int64_t>(block.size())));
    const std::int64_t from = to - static_cast<std::int64_t>(size);
    if (!readAt(file, from, block.data(), size)) return systemFault(FaultKind::kCannotRead);
    for (std::size_t i = size; i > 0; --i) {
      if (block[i - 1] == kBodyEnd) {
        layout.bodyEnd = from + static_cast<std::int64_t>(i - 1);
        layout.trailer = layout.bodyEnd + 1;
        return layout;
      }
    }
    to = from;
  }
  return layout;
}

}  // namespace

Result<StoredBody> storeBody(std::FILE* input, std::vector<char>& block) {
  StoredBody body;
  std::int64_t begin = 0;
  if (readsAsStored(input)) {
    begin = position(input);
  } else {
    auto copy = spoolRest(input, block);
    if (!copy) return copy.fault();
    body.copy = std::move(*copy);
  }
  body.file = body.copy ? body.copy.get() : input;
  auto layout = locateBody(body.file, begin, block);
  if (!layout) return layout.fault();
  body.layout = *layout;
  return body;
}

Trailer readTrailer(std::FILE* file) {
  FormattedInput input(file);
  Word code;
  Trailer trailer;
  if (input.readWord(code, kCodeWordKeep) != ReadStatus::kOk) return trailer;
  trailer.code = code.text;
  if (trailer.code != kCheckedCode) return trailer;
  Word check;
  if (input.readWord(check, 3) == ReadStatus::kOk) trailer.check = check.text;
  return trailer;
}

}  // namespace rotorwerk
