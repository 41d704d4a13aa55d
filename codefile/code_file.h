// The code file: its name, header words, coding types and check letters.
#pragma once

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
// header word, kCannotRead when reading failed. The stream is left at the body.
Result<Language> readCodeHeader(std::FILE* input, const std::string& name);

// Where the parts after the header are, from `begin`, the body's first byte.
struct CodeLayout {
  std::int64_t bodyBegin = 0;
  std::int64_t bodyEnd = 0;
  std::optional<std::int64_t> trailer;  // just after the '#' that ends the body
};

// The body of a code file whose header has been read, ready to be read by offset: in
// the file itself, or in a copy of what was left of a pipe or device, since those cannot
// be searched from their end; memory stays flat either way. The body ends at the last
// '#', since a trailer never holds one and the text may. Faults are kCannotRead,
// unnamed.
struct StoredBody {
  File copy;                  // the copy, when one was made
  std::FILE* file = nullptr;  // where to read: the input or its copy
  CodeLayout layout;
};
Result<StoredBody> storeBody(std::FILE* input, std::vector<char>& block);

// What follows the body's '#': the coding type's word and, for kCheckedCode, the word
// of check letters (its first three bytes). Empty where missing or unreadable.
struct Trailer {
  std::string code;
  std::string check;
};
Trailer readTrailer(std::FILE* file);

}  // namespace rotorwerk
