// The code file's layout: header, body, trailer and the check letters.
#include "codefile/code_file.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"
#include "platform/formatted_input.h"

namespace rotorwerk {
namespace {

// A header word is judged after at most this many bytes, so that an endless word
// (a device of zeros) ends in a format error instead of being read for ever.
constexpr std::size_t kHeaderLimit = 16;

// Longer than any coding type, so a cut-off word can never match one.
constexpr std::size_t kCodeWordKeep = 16;

}  // namespace

Result<Language> readCodeHeader(ByteSource& input, const std::string& name) {
  FormattedInput header(input);
  Word word;
  const ReadStatus status = header.readWord(word, kChineseHeader.size() + 1, kHeaderLimit);
  if (input.failed()) return systemFault(FaultKind::kCannotRead, name);
  if (status != ReadStatus::kOk || (word.text != kChineseHeader && word.text != kEnglishHeader)) {
    return Fault{FaultKind::kFormat, name};
  }
  // The byte that ended the word is the separator, taken from the source already; the
  // body starts after it, whatever byte it is. A line end is one character, also
  // where it is stored as CR LF.
  if (header.takePending() == "\r") input.completeLineEnd();
  return word.text == kChineseHeader ? Language::kChinese : Language::kEnglish;
}

Trailer readTrailer(ByteSource& source) {
  FormattedInput input(source);
  Word code;
  Trailer trailer;
  if (input.readWord(code, kCodeWordKeep) != ReadStatus::kOk) return trailer;
  trailer.code = code.text;
  if (trailer.code != kCheckedCode) return trailer;
  Word check;
  if (input.readWord(check, 3) == ReadStatus::kOk) trailer.check = check.text;
  return trailer;
}

Result<CodeLayout> StoredCode::locate(std::vector<char>& block) {
  const std::int64_t from = begin();
  const std::int64_t last = end();
  if (last < from) return systemFault(FaultKind::kCannotRead);
  CodeLayout layout{from, last, std::nullopt};
  for (std::int64_t to = last; to > from;) {
    const auto size = static_cast<std::size_t>(
        std::min<std::int64_t>(to - from, static_cast<std::int64_t>(block.size())));
    const std::int64_t at = to - static_cast<std::int64_t>(size);
    if (!readAt(at, block.data(), size)) return systemFault(FaultKind::kCannotRead);
    for (std::size_t i = size; i > 0; --i) {
      if (block[i - 1] == kBodyEnd) {
        layout.bodyEnd = at + static_cast<std::int64_t>(i - 1);
        layout.trailer = layout.bodyEnd + 1;
        return layout;
      }
    }
    to = at;
  }
  return layout;
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

}  // namespace

Result<StoredFile> StoredFile::store(std::FILE* input, std::vector<char>& block) {
  if (readsAsStored(input)) return StoredFile(File(), input, position(input));
  auto copy = spoolRest(input, block);
  if (!copy) return copy.fault();
  std::FILE* const file = copy->get();
  return StoredFile(std::move(*copy), file, 0);
}

bool StoredFile::readAt(std::int64_t offset, char* data, std::size_t size) {
  return rotorwerk::readAt(file_, offset, data, size);
}

std::optional<Trailer> StoredFile::trailerAt(std::int64_t offset) {
  if (!seekTo(file_, offset)) return std::nullopt;
  FileSource source(file_);
  return readTrailer(source);
}

std::int64_t StoredFile::end() { return seekTo(file_, 0, SEEK_END) ? position(file_) : -1; }

bool StoredBytes::readAt(std::int64_t offset, char* data, std::size_t size) {
  if (offset < 0 || static_cast<std::uint64_t>(offset) > bytes_.size() ||
      size > bytes_.size() - static_cast<std::size_t>(offset)) {
    return false;
  }
  if (size > 0) std::memcpy(data, bytes_.data() + offset, size);
  return true;
}

std::optional<Trailer> StoredBytes::trailerAt(std::int64_t offset) {
  if (offset < 0 || static_cast<std::uint64_t>(offset) > bytes_.size()) return std::nullopt;
  MemorySource source(bytes_.substr(static_cast<std::size_t>(offset)));
  return readTrailer(source);
}

}  // namespace rotorwerk
