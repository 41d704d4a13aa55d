// The code file: its name, header words, coding types and check letters.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "machine/check_letters.h"
#include "machine/rotor_machine.h"
#include "platform/byte_stream.h"
#include "platform/file.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

inline constexpr const char* kCodeFileName = "enigma_code.txt";

// Header words; each is followed by one blank in the file.
inline constexpr std::string_view kChineseHeader = "RW-Chn";
inline constexpr std::string_view kEnglishHeader = "RW-Eng";

enum class Language { kChinese, kEnglish };

inline constexpr char kBodyEnd = '#';

// Texts and code files stream in blocks of this size: large enough for few system
// calls, small enough to keep memory flat.
inline constexpr std::size_t kBlockSize = std::size_t{1024} * 1024;

// A block for `size` bytes held in memory: a short code costs no megabyte.
inline std::vector<char> blockFor(std::size_t size) {
  return std::vector<char>(std::min(kBlockSize, std::max<std::size_t>(size, 1)));
}

// Body only.
inline constexpr std::string_view kPlainCode = "RW-26001A";
// Body followed by three check letters that verify the start positions.
inline constexpr std::string_view kCheckedCode = "RW-26001B";
// Every known coding type; the registry and the argument parser take them from here.
inline constexpr std::array<std::string_view, 2> kCodingTypes = {kPlainCode, kCheckedCode};

// Told the bytes of text done so far, after every block, by a command that runs long.
using Progress = std::function<void(std::uint64_t done)>;

class CodingTypeRegistry {
 public:
  CodingTypeRegistry() : codes_(kCodingTypes.begin(), kCodingTypes.end()) {}
  bool contains(std::string_view code) const { return codes_.find(code) != codes_.end(); }

 private:
  std::set<std::string, std::less<>> codes_;
};

// Reads the header word of the code file `input` (named `name` in a fault) and the
// separator after it: the language, kFormat when the file does not start with a known
// header word, kCannotRead when reading failed. The source is left at the body.
Result<Language> readCodeHeader(ByteSource& input, const std::string& name);
inline Result<Language> readCodeHeader(std::FILE* input, const std::string& name) {
  FileSource source(input);
  return readCodeHeader(source, name);
}

// What follows the body's '#': the coding type's word and, for kCheckedCode, the word
// of check letters (its first three bytes). Empty where missing or unreadable.
struct Trailer {
  std::string code;
  std::string check;
};
Trailer readTrailer(ByteSource& source);

// Where the parts after the header are, from `begin`, the body's first byte.
struct CodeLayout {
  std::int64_t bodyBegin = 0;
  std::int64_t bodyEnd = 0;
  std::optional<std::int64_t> trailer;  // just after the '#' that ends the body
};

// A code file whose header has been read, held where its body can be read by offset:
// a file, a copy of one, or memory. The body ends at the last '#', since a trailer never
// holds one and the text may.
class StoredCode {
 public:
  virtual ~StoredCode() = default;
  // Finds the body and the trailer; faults are kCannotRead, unnamed.
  Result<CodeLayout> locate(std::vector<char>& block);
  [[nodiscard]] virtual bool readAt(std::int64_t offset, char* data, std::size_t size) = 0;
  // The trailer from `offset` on; nothing when it cannot be reached.
  virtual std::optional<Trailer> trailerAt(std::int64_t offset) = 0;

 protected:
  virtual std::int64_t begin() = 0;
  virtual std::int64_t end() = 0;  // -1 when unknown
};

// The body of a code file read from a stream: in the file itself, or in a copy of what
// was left of a pipe or device, since those cannot be searched from their end; memory
// stays flat either way.
class StoredFile final : public StoredCode {
 public:
  // Faults are kCannotRead, unnamed.
  static Result<StoredFile> store(std::FILE* input, std::vector<char>& block);
  bool readAt(std::int64_t offset, char* data, std::size_t size) override;
  std::optional<Trailer> trailerAt(std::int64_t offset) override;

 private:
  StoredFile(File copy, std::FILE* file, std::int64_t begin)
      : copy_(std::move(copy)), file_(file), begin_(begin) {}
  std::int64_t begin() override { return begin_; }
  std::int64_t end() override;

  File copy_;  // the copy, when one was made
  std::FILE* file_;
  std::int64_t begin_;
};

// A code file in memory, its body starting at `begin`.
class StoredBytes final : public StoredCode {
 public:
  StoredBytes(std::string_view bytes, std::size_t begin) : bytes_(bytes), begin_(begin) {}
  bool readAt(std::int64_t offset, char* data, std::size_t size) override;
  std::optional<Trailer> trailerAt(std::int64_t offset) override;

 private:
  std::int64_t begin() override { return static_cast<std::int64_t>(begin_); }
  std::int64_t end() override { return static_cast<std::int64_t>(bytes_.size()); }

  std::string_view bytes_;
  std::size_t begin_;
};

}  // namespace rotorwerk
