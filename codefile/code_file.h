// The code file: its name, header words, coding types and check letters.
#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "machine/rotor_machine.h"

namespace rotorwerk {

inline constexpr const char* kCodeFileName = "enigma_code.txt";

// Header words; each is followed by one blank in the file.
inline constexpr std::string_view kChineseHeader = "RW-Chn";
inline constexpr std::string_view kEnglishHeader = "RW-Eng";

inline constexpr char kBodyEnd = '#';

// Texts and code files stream in blocks of this size: large enough for few system
// calls, small enough to keep memory flat.
inline constexpr std::size_t kBlockSize = std::size_t{1024} * 1024;

// Body only.
inline constexpr std::string_view kPlainCode = "RW-26001A";
// Body followed by three check letters that verify the start positions.
inline constexpr std::string_view kCheckedCode = "RW-26001B";

// Told the bytes of text done so far, after every block, by a command that runs long.
using Progress = std::function<void(std::uint64_t done)>;

class CodingTypeRegistry {
 public:
  CodingTypeRegistry() : codes_{std::string(kPlainCode), std::string(kCheckedCode)} {}
  bool contains(std::string_view code) const { return codes_.find(code) != codes_.end(); }

 private:
  std::set<std::string, std::less<>> codes_;
};

// The three check letters, continuing from the positions after the body's last letter.
std::string makeCheckLetters(const RotorMachine& machine, RotorPositions positions);

// Which of the three start offsets the check word confirms. A missing letter is a
// failed check.
std::array<bool, 3> verifyCheckLetters(const RotorMachine& machine, RotorPositions positions,
                                       std::string_view word);

}  // namespace rotorwerk
