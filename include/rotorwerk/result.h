// What a function that can fail gives: its value, or the fault that stopped it.
#pragma once

#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace rotorwerk {

// What failed. The console and the command line each have one message per kind.
enum class FaultKind {
  kFileNotFound,      // a text or code file cannot be opened
  kCannotRead,        // a file failed while it was read, or standard input is closed
  kCannotWrite,       // an output file; an earlier one is kept
  kNotRegular,        // a key file's name leads to a directory, device or FIFO
  kExists,            // a key file that may not be overwritten
  kNoRandomness,      // the system's random source failed
  kNoSuchCodingType,  // encryption with an unregistered coding type
  kFormat,            // a code file without a known header word
  kCannotOutput,      // deciphered text could not be written out
  kOutputLost,        // screens or messages for standard output were lost
  kSettings,          // a settings file: `item` and `number` say where
  kSameFile,          // two files lead to one: `reason` holds the other name, `item` a SameFile
  kAttackInput,       // codes the attack cannot take: `item`, an AttackInput, says why
  kJournal,           // a key journal not acted on: `item`, a JournalProblem, says why
  kOutsideFolder,     // a key file leads out of its folder, which `reason` names
  kAttackFailed,      // the search could not go on: `item`, an AttackFailure, says why
  kLocked,            // another process held the settings folder's lock `number` seconds
};

// What the two names of a kSameFile fault are.
enum class SameFile {
  kKeyFiles,     // the wiring and the start file of one key
  kOutputIsKey,  // an output, in `file`, and the key file it would overwrite, in `reason`
};

// Why a key journal (the record of a key change that a crash may cut short) was not
// acted on. It is left as it was, and so is every file it names.
enum class JournalProblem {
  kNotRegular,  // a link, FIFO, device or folder
  kOwner,       // another user owns it
  kWritable,    // others may write it
  kTooLarge,    // far larger than any journal
  kUnreadable,  // it cannot be read: `reason` says why
  kDamaged,     // it is not a journal
  kOutside,     // it names a file outside its folder
  kForeign,     // a file it would move is not the user's own: `reason` names it
  kMissing,     // the old file it would restore is gone: `reason` names it
};

// Why the attack cannot take its codes.
enum class AttackInput {
  kNoLetters,    // `file` holds no letters
  kMixedLabels,  // `file` and the first code, in `reason`, differ in their header
  kCribOutside,  // the crib has no letters or does not fit in `file`
  kNoRotors,     // the wiring file has no rotors
  kNoLanguage,   // the language asked for, in `reason`, is none the attack knows
  kCribPlace,    // the crib's place after its last @, in `reason`, is no letter number
};

// Why the search stopped without an answer.
enum class AttackFailure {
  kNoMemory,        // memory the search needs could not be had
  kProgressFailed,  // the progress callback threw: `reason` holds what it said
  kStopFailed,      // the stop callback threw: `reason` holds what it said
};

// The step of replacing a file that failed, where the message names it.
enum class FaultStep {
  kNone,     // writing the new file, or no step of a commit
  kSync,     // making it reach the disk
  kJournal,  // recording the commit, so that a crash can be undone
  kBackup,   // moving the old file aside
  kPlace,    // putting the new file in place
  kLock,     // locking the settings directory
  kUndo,     // undoing an unfinished commit
};

struct Fault {
  FaultKind kind;
  std::string file{};       // the file concerned, where there is one
  int item = 0;             // kSettings: the item, a SettingsItem
  std::int64_t number = 0;  // kSettings: the rotor or plug pair, counted from 1
  std::string reason{};     // the system's word for it, such as "Permission denied"
  FaultStep step = FaultStep::kNone;
};

// Either a value or a fault; a caller returns the fault early when it has one:
//   auto machine = loadSettings(directory);
//   if (!machine) return machine.fault();
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
  Result(Fault fault) : state_(std::move(fault)) {}  // NOLINT(google-explicit-constructor)

  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() {
    assert(*this);
    return std::get<0>(state_);
  }
  const T& operator*() const {
    assert(*this);
    return std::get<0>(state_);
  }
  T* operator->() { return &**this; }
  const T* operator->() const { return &**this; }
  const Fault& fault() const {
    assert(!*this);
    return std::get<1>(state_);
  }

 private:
  std::variant<T, Fault> state_;
};

// Nothing to give but success or a fault.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Fault fault) : fault_(std::move(fault)) {}  // NOLINT(google-explicit-constructor)

  explicit operator bool() const { return !fault_; }
  const Fault& fault() const {
    assert(fault_);
    return *fault_;
  }

 private:
  std::optional<Fault> fault_;
};

}  // namespace rotorwerk
