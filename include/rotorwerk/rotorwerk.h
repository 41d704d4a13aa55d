// Rotorwerk as a library: the three-rotor cipher machine, its settings, its code files
// and its attack, for other programs. The rotorwerk program is built on this header.
//
//   auto settings = rotorwerk::api::Settings::load("keys");
//   if (!settings) { std::cerr << rotorwerk::api::describe(settings.fault()); return 1; }
//   auto code = rotorwerk::api::encrypt(*settings, "Attack at dawn");
//
// Every function that can fail gives a Result: its value, or the Fault that stopped it,
// which describe() tells in the program's own words. Nothing here ends the program or
// writes to the console.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rotorwerk/result.h"

namespace rotorwerk::api {

// The version, as the program's --version names it: "1.0.0-beta1".
std::string_view version();

// A fault in the command line's words, in English or in Chinese (UTF-8), without the
// program's name: "faulty settings in keys/enigma_init.ef: the right offset".
std::string describe(const Fault& fault, bool chinese = false);

// The coding types of a code file: RW-26001B ends with three check letters that verify
// the start offsets; RW-26001A does not.
inline constexpr std::string_view kPlainCodingType = "RW-26001A";
inline constexpr std::string_view kCheckedCodingType = "RW-26001B";

// The label a code file gives its text.
enum class TextLabel { kEnglish, kChinese };

// A key: the wiring file (reflector and rotors) and, unless only the wiring is known,
// the start file (slot rotors, start offsets, plug pairs). Cheap to copy. Settings moved
// from hold nothing: they read as empty, and every function that enciphers refuses them.
class Settings {
 public:
  // Both files of a directory (empty: the working directory), read under the
  // directory's lock as the program reads them; faults name the file and the item.
  static Result<Settings> load(const std::string& directory = {});
  // The wiring file alone, for the attack.
  static Result<Settings> loadWiring(const std::string& directory = {});
  // The files' texts; faults name "enigma_config.ef" or "enigma_init.ef".
  static Result<Settings> parse(std::string_view wiringText, std::string_view startText);
  static Result<Settings> parseWiring(std::string_view wiringText);
  // Fresh settings from the system's cryptographic random source: `rotors` (1..10)
  // wirings and `plugs` (0..13) plug pairs; a count outside is a kSettings fault that
  // names it, with no file.
  static Result<Settings> generate(int rotors = 5, int plugs = 10);

  bool hasStart() const;
  // The files' texts, as the program writes them.
  std::string wiringText() const;
  std::string startText() const;  // empty without a start file
  int rotorCount() const;
  std::array<std::int64_t, 3> slots() const;    // left, middle, right rotor numbers
  std::array<std::int64_t, 3> offsets() const;  // left, middle, right start offsets
  std::vector<std::string> plugPairs() const;   // each two lowercase letters

  struct Data;
  const Data& data() const;

 private:
  explicit Settings(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
  std::shared_ptr<const Data> data_;
};

// One letter's way through the machine, as the program's trace shows it: the rotor
// positions after stepping and the letter (0..25) after each stage.
struct TraceStep {
  std::array<std::int64_t, 3> positions{};  // left, middle, right
  int in = 0;
  int plugboard = 0;
  int rightRotor = 0;
  int middleRotor = 0;
  int leftRotor = 0;
  int reflector = 0;
  int leftBack = 0;
  int middleBack = 0;
  int rightBack = 0;
  int out = 0;  // after the plugboard again
};

// Functions that encipher or decipher refuse settings without a start file, and
// settings moved from, with a kSettings fault (SettingsItem kNoStart or kMovedFrom).

// The machine of a key with a start file, typed at letter by letter. A move copies, so
// that no machine is ever left without its state.
class Machine {
 public:
  static Result<Machine> create(const Settings& settings);
  ~Machine();
  Machine(const Machine&);
  Machine& operator=(const Machine&);

  // Steps the rotors and enciphers one letter; any other byte passes unchanged and
  // steps nothing. Case is kept.
  char press(char letter);
  // The same, with every stage of the letter.
  TraceStep trace(char letter);
  // Back to the start offsets; and the positions now.
  void reset();
  std::array<std::int64_t, 3> positions() const;

 private:
  struct State;
  explicit Machine(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Follows a text through the machine in blocks, as the program's trace does: a step for
// each of the first `letters` letters, and at the end those of the three check letters,
// counted from the whole text. A move copies, as the machine's does.
class Tracer {
 public:
  static Result<Tracer> create(const Settings& settings, std::uint64_t letters);
  ~Tracer();
  Tracer(const Tracer&);
  Tracer& operator=(const Tracer&);
  // Calls `step` for each letter of the block that is still to be shown, with the
  // letter as it stood (case kept). An empty `step` is told nothing; the letters still
  // count as shown.
  void feed(std::string_view block, const std::function<void(const TraceStep&, char)>& step);
  // Whether the rest of the text matters: only for the check letters.
  bool shownAll() const;
  std::array<TraceStep, 3> checkLetters() const;

 private:
  struct State;
  explicit Tracer(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Told the bytes of text done so far by a function that runs long.
using Progress = std::function<void(std::uint64_t done)>;

// Enciphers a text into a code file's bytes, exactly as the program does.
Result<std::string> encrypt(const Settings& settings, std::string_view text,
                            TextLabel label = TextLabel::kEnglish,
                            std::string_view codingType = kCheckedCodingType);

// What deciphering found besides the text.
struct Verification {
  TextLabel label = TextLabel::kEnglish;
  bool codingTypeKnown = true;
  int failedChecks = 0;    // check letters that do not confirm their start offset
  bool truncated = false;  // the code ends before its trailer does
  bool verified() const { return codingTypeKnown && failedChecks == 0 && !truncated; }
};

struct Decrypted {
  std::string text;
  Verification verification;
};

// Deciphers a code file's bytes; kFormat when they do not start as a code file does.
Result<Decrypted> decrypt(const Settings& settings, std::string_view code);

// Files, as the program handles them: "-" is standard input or output. The code file
// replaces `codePath` only once complete, and an earlier one is kept on a fault.
// Gives whether the code went to a file (true) or to a standard stream (false).
Result<bool> encryptFile(const Settings& settings, const std::string& textPath,
                         const std::string& codePath, TextLabel label = TextLabel::kEnglish,
                         std::string_view codingType = kCheckedCodingType,
                         const Progress& progress = {});

// Deciphers the code file `codePath`. Once its header is read, `output` is told the
// text's label and gives the stream the text goes to (named `outputName` in a fault), or
// a fault that ends the decryption there. An empty `output`, or one that gives a null
// stream, is a kCannotOutput fault naming `outputName`.
using OutputFor = std::function<Result<std::FILE*>(TextLabel)>;
Result<Verification> decryptFile(const Settings& settings, const std::string& codePath,
                                 const OutputFor& output, const std::string& outputName,
                                 const Progress& progress = {});

// The attack: the start file of code enciphered under a known wiring file.
struct AttackStatus {
  // 1: every rotor choice and start, without plugs (or with a crib, the crib's test);
  // 2: the best of those climbed; 3: every start swept with plug pairs; 4: the rest of
  // stage 1's best climbed.
  int stage = 1;
  double share = 0;  // of the stage, 0..1
  double best = 0;   // the best score so far
  double secondsLeft = 0;
};

// What the attack will work on, told before the search starts.
struct AttackPlan {
  std::size_t codes = 0;      // code files under one start file
  std::uint64_t letters = 0;  // letters it scores, of them all
  bool lettered = true;       // English-labelled: scored as language, not letter counts
};

struct AttackOptions {
  unsigned threads = 0;  // 0: every core
  std::chrono::seconds timeLimit{300};
  std::string crib;                     // known text, "TEXT" or "TEXT@N" (from the N-th letter)
  std::string language = "en";          // en, de, fr, es, or auto for each in turn
  std::function<bool()> stopRequested;  // true stops with the best so far
  std::function<void(const AttackStatus&)> progress;  // a few times a second
  // Told the plan once the codes are read; a fault it gives ends the attack there.
  std::function<Result<void>(const AttackPlan&)> onPlan;
};

struct AttackOutcome {
  bool scored = false;       // any candidate was scored before the search stopped
  bool confident = false;    // the evidence makes a chance match unlikely
  bool searched = false;     // the search ran to its end, not stopped
  std::string evidence;      // none, language, check-letters, check-letters-and-language
  std::string scoredBy;      // en, de, fr, es, or letter-frequencies for a Chinese label
  double score = 0;          // per letter: trigram log10, or the index of coincidence
  std::string checkLetters;  // none, verify, fail
  std::uint64_t candidatesChecked = 0;
  std::string firstLine;  // the first code's first line, deciphered with the key found
  std::array<std::int64_t, 3> slots{};
  std::array<std::int64_t, 3> offsets{};
  std::vector<std::string> plugPairs;
  std::string startText;  // the start file found
};

// The codes' bytes, or their files ("-": standard input). Faults: those of reading a
// code, and kAttackInput for what cannot be attacked (its reason says what).
Result<AttackOutcome> attack(const std::vector<std::string>& codes, const Settings& wiring,
                             const AttackOptions& options = {});
Result<AttackOutcome> attackFiles(const std::vector<std::string>& codePaths, const Settings& wiring,
                                  const AttackOptions& options = {});

}  // namespace rotorwerk::api
