// The command line's analysis jobs: trace and attack.
#include "console/analysis_jobs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

#include "analysis/attack.h"
#include "codefile/code_file.h"
#include "codefile/code_sample.h"
#include "console/json_output.h"
#include "console/message_table.h"
#include "console/messages.h"
#include "console/settings_files.h"
#include "machine/check_letters.h"
#include "machine/keystream.h"
#include "platform/formatted_input.h"
#include "platform/interrupts.h"
#include "platform/replacement_file.h"
#include "platform/terminal.h"

namespace rotorwerk {
namespace {

// The trace's stages after the letter going in.
constexpr std::size_t kStages = 10;
constexpr const char* kTsvColumns =
    "n\tleft\tmiddle\tright\tin\tplugboard\tright_rotor\tmiddle_rotor\tleft_rotor\treflector\t"
    "left_back\tmiddle_back\tright_back\tplugboard_back\tout\n";
// Widths of the aligned table: the letter's number, each position, each stage.
constexpr std::size_t kNumberWidth = 5;
constexpr std::size_t kPositionWidth = 4;
constexpr std::size_t kStageWidth = 7;

std::string rightAligned(const Console& console, std::string_view text, std::size_t width) {
  const std::size_t cells = cellsOf(console, text);
  return std::string(width > cells ? width - cells : 0, ' ') + std::string(text);
}

// A stage's value as a letter; what no letter is (an offset outside 0..25 going in as a
// check letter) as its number.
std::string letterOf(int value, bool upper = false) {
  if (value < 0 || value >= kLetters) return std::to_string(value);
  return std::string(1, static_cast<char>((upper ? 'A' : 'a') + value));
}

// A code file's header word at the start of a text: the trace would encipher it again.
bool looksLikeCodeFile(std::string_view text) {
  const std::size_t word = text.find_first_not_of(" \t\n\v\f\r");
  if (word == std::string_view::npos) return false;
  const std::string_view rest = text.substr(word);
  return rest.size() > kEnglishHeader.size() &&
         (rest.substr(0, kEnglishHeader.size()) == kEnglishHeader ||
          rest.substr(0, kChineseHeader.size()) == kChineseHeader) &&
         isSpace(rest[kEnglishHeader.size()]);
}

std::string positionOf(std::int64_t position) { return std::to_string(position); }

struct TraceRow {
  std::string number;
  RotorPositions positions;
  std::string in;
  LetterTrace trace;
  bool upper = false;
};

enum class TraceFormat { kTable, kTsv, kJson };

std::string formatRow(const Console& console, const TraceRow& row, TraceFormat format) {
  // The plugboard's letter on the way out is the out letter, which keeps the text's case.
  const std::array<int, kStages> stages = {
      row.trace.plugged,   row.trace.right,    row.trace.middle,     row.trace.left,
      row.trace.reflected, row.trace.leftBack, row.trace.middleBack, row.trace.rightBack,
      row.trace.out,       row.trace.out};
  std::vector<std::string> cells = {row.number, positionOf(row.positions.left),
                                    positionOf(row.positions.middle),
                                    positionOf(row.positions.right), row.in};
  for (std::size_t k = 0; k < stages.size(); ++k) {
    cells.push_back(letterOf(stages[k], row.upper && k + 1 == stages.size()));
  }
  if (format == TraceFormat::kJson) {
    // The TSV header's names; the number and the positions are numbers.
    std::string object = "{";
    std::string_view names = kTsvColumns;
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const std::size_t end = names.find_first_of("\t\n");
      object += (k > 0 ? ", " : "") + json::string(names.substr(0, end)) + ": " +
                (k <= 3 ? cells[k] : json::string(cells[k]));
      names.remove_prefix(end + 1);
    }
    return object + "}";
  }
  std::string line;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (format == TraceFormat::kTsv) {
      line += (k > 0 ? "\t" : "") + cells[k];
    } else {
      const std::size_t width = k == 0 ? kNumberWidth : k <= 3 ? kPositionWidth : kStageWidth;
      line += rightAligned(console, cells[k], width);
    }
  }
  return line + "\n";
}

std::string tableHeader(const Console& console) {
  // The column names are one message, separated by blanks, aligned here.
  const std::string names = say(console, messages::kTraceColumns);
  std::string line;
  std::size_t k = 0;
  for (std::size_t from = 0; from < names.size(); ++k) {
    std::size_t to = names.find(' ', from);
    if (to == std::string::npos) to = names.size();
    const std::size_t width = k == 0 ? kNumberWidth : k <= 3 ? kPositionWidth : kStageWidth;
    line += rightAligned(console, std::string_view(names).substr(from, to - from), width);
    from = to + 1;
  }
  return say(console, messages::kTraceTitle) + line + "\n";
}

// A line on a terminal's standard error that shows how far the attack has come.
class AttackProgressLine {
 public:
  explicit AttackProgressLine(Console& console)
      : console_(console), shown_(Terminal::standardErrorIsTerminal()) {}
  ~AttackProgressLine() { finish(); }
  AttackProgressLine(const AttackProgressLine&) = delete;
  AttackProgressLine& operator=(const AttackProgressLine&) = delete;

  void operator()(const AttackProgress& progress) {
    const auto now = Clock::now();
    if (!shown_ || now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    const std::string share = number("%.0f", 100 * progress.share);
    const std::string left = number("%.0f", progress.secondsLeft);
    const std::string line =
        progress.stage == 1   ? say(console_, messages::kAttackProgressRotors, {share, left})
        : progress.stage == 2 ? say(console_, messages::kAttackProgressCounts, {share, left})
                              : say(console_, messages::kAttackProgressPlugs,
                                    {share, number("%.2f", progress.best), left});
    console_.message("\r" + line +
                     std::string(kWidth > line.size() ? kWidth - line.size() : 0, ' '));
    drawn_ = true;
  }

  void finish() {
    if (drawn_) console_.message("\r" + std::string(kWidth, ' ') + "\r");
    drawn_ = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kWidth = 72;

  static std::string number(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
  }

  Console& console_;
  bool shown_;
  bool drawn_ = false;
  Clock::time_point last_;
};

// The start file the attack found.
Start startOf(const AttackKey& key) {
  Start start;
  for (std::size_t k = 0; k < 3; ++k) {
    start.slots[k] = key.slots[k];
    start.offsets[k] = key.offsets[k];
  }
  for (std::size_t x = 0; x < key.plugboard.size(); ++x) {
    const auto y = static_cast<std::size_t>(key.plugboard[x]);
    if (y > x) start.plugs.push_back({static_cast<char>('a' + x), static_cast<char>('a' + y)});
  }
  return start;
}

// A crib as the user wrote it: TEXT, or TEXT@N for text from the N-th letter (from 1).
// Its non-letters are passed over and its case ignored, as the machine passes them.
Crib cribOf(const std::string& word) {
  Crib crib;
  std::string text = word;
  const std::size_t at = word.rfind('@');
  if (at != std::string::npos && at + 1 < word.size() &&
      word.find_first_not_of("0123456789", at + 1) == std::string::npos) {
    const std::string digits = word.substr(at + 1);
    const std::size_t number = digits.size() > 9 ? 0 : std::stoul(digits);
    // Letter 0 does not exist: such a crib stands nowhere.
    crib.position = number == 0 ? std::numeric_limits<std::size_t>::max() / 2 : number - 1;
    text = word.substr(0, at);
  }
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c | 0x20);
    if (byte >= 'a' && byte <= 'z' && crib.letters.size() < kMaxCribLetters) {
      crib.letters.push_back(static_cast<std::uint8_t>(byte - 'a'));
    }
  }
  return crib;
}

// The languages an attack scores by, as --language names them.
std::vector<TextLanguage> languagesOf(const std::string& word) {
  if (word == "auto") return {kTextLanguages.begin(), kTextLanguages.end()};
  return {word == "de"   ? TextLanguage::kGerman
          : word == "fr" ? TextLanguage::kFrench
          : word == "es" ? TextLanguage::kSpanish
                         : TextLanguage::kEnglish};
}

messages::Id languageName(TextLanguage language) {
  switch (language) {
    case TextLanguage::kEnglish: return messages::kEnglish;
    case TextLanguage::kGerman: return messages::kGerman;
    case TextLanguage::kFrench: return messages::kFrench;
    case TextLanguage::kSpanish: return messages::kSpanish;
  }
  return messages::kEnglish;
}

// The attack's findings as one JSON document, named as the manual lists them.
std::string attackDocument(const AttackResult& result, const Start& start, bool lettered,
                           bool anyCheck, const std::string& firstLine,
                           const std::string& startText) {
  constexpr const char* kLanguageCodes[] = {"en", "de", "fr", "es"};
  constexpr const char* kEvidence[] = {"none", "language", "check-letters",
                                       "check-letters-and-language"};
  std::vector<std::string> pairs;
  for (const auto& [x, y] : start.plugs) pairs.push_back(json::string(std::string{x, y}));
  const auto numbered = [](const std::array<std::int64_t, 3>& values) {
    return json::array({json::number(values[0]), json::number(values[1]), json::number(values[2])});
  };
  char score[32];
  std::snprintf(score, sizeof score, "%.4f", result.score);
  return json::object(
             {{"found", result.confident ? "true" : "false"},
              {"scored", "true"},
              {"searchedThrough", result.searched ? "true" : "false"},
              {"evidence", json::string(kEvidence[static_cast<int>(result.evidence)])},
              {"score", score},
              {"scoredBy", json::string(lettered ? kLanguageCodes[static_cast<int>(result.language)]
                                                 : "letter-frequencies")},
              {"checkLetters", json::string(!anyCheck                   ? "none"
                                            : result.checkLettersVerify ? "verify"
                                                                        : "fail")},
              {"candidatesChecked",
               json::number(static_cast<std::int64_t>(result.candidatesChecked))},
              {"firstLine", json::string(firstLine)},
              {"start", json::object({{"slots", numbered(start.slots)},
                                      {"offsets", numbered(start.offsets)},
                                      {"plugPairs", json::array(pairs)}})},
              {"startFile", json::string(startText)}}) +
         "\n";
}

// Bytes of a deciphered line that a terminal shows as they are; others as '?'.
std::string printable(std::string line) {
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return line;
}

}  // namespace

int traceJob(const JobOptions& options, Console& console) {
  const auto settings = loadSettings(options.settings);
  if (!settings) return failed(console, settings.fault());
  auto input = openInput(options.file);
  if (!input) return failed(console, input.fault());
  const RotorMachine machine = buildMachine(*settings);
  const bool checks = options.traceType == kCheckedCode;
  // Rows are written as they are made: a long trace need not fit in memory. In JSON the
  // letters' rows and the check letters' rows are two arrays of one object.
  const TraceFormat format = options.json              ? TraceFormat::kJson
                             : options.format == "tsv" ? TraceFormat::kTsv
                                                       : TraceFormat::kTable;
  console.write(format == TraceFormat::kJson  ? "{\"letters\": ["
                : format == TraceFormat::kTsv ? kTsvColumns
                                              : tableHeader(console));
  const auto write = [&](const TraceRow& row, bool first) {
    const std::string text = formatRow(console, row, format);
    console.write(format == TraceFormat::kJson ? (first ? "\n  " : ",\n  ") + text : text);
  };
  RotorPositions positions = machine.startPositions();
  // The check letters follow the text's last letter: the whole text is counted, through
  // the same keystream as encrypt, once the rows are made.
  Keystream keystream(machine, positions);
  std::vector<char> block(kBlockSize);
  int shown = 0;
  for (std::size_t size = 0; (size = readText(input->get(), block.data(), block.size())) > 0;) {
    if (shown == 0 && looksLikeCodeFile({block.data(), size})) {
      tell(console, say(console, messages::kTraceCodeFile, {displayName(options.file)}));
    }
    for (std::size_t i = 0; i < size && shown < options.letters; ++i) {
      const auto byte = static_cast<unsigned char>(block[i]);
      const bool upper = byte >= 'A' && byte <= 'Z';
      if (!upper && (byte < 'a' || byte > 'z')) continue;
      stepPositions(positions);
      const auto letter = static_cast<LetterIndex>((byte | 0x20U) - 'a');
      ++shown;
      write(
          {std::to_string(shown), positions, std::string(1, block[i]),
           traceLetter(machine, letter, positions.left, positions.middle, positions.right), upper},
          shown == 1);
    }
    if (!checks && shown >= options.letters) break;
    keystream.apply(block.data(), size);
  }
  if (std::ferror(input->get()) != 0) {
    return failed(console, systemFault(FaultKind::kCannotRead, options.file));
  }
  if (format == TraceFormat::kJson) console.write("\n], \"checkLetters\": [");
  if (checks) {
    positions = keystream.positions();
    for (std::size_t k = 0; k < 3; ++k) {
      stepPositions(positions);
      const LetterIndex offset = checkLetterInput(machine.startOffsets[k]);
      // Numbered c1 to c3 in the table; 1 to 3 in their own JSON array.
      const std::string number = format == TraceFormat::kJson
                                     ? std::to_string(k + 1)
                                     : std::string{'c', static_cast<char>('1' + k)};
      write({number, positions, letterOf(offset),
             traceLetter(machine, offset, positions.left, positions.middle, positions.right)},
            k == 0);
    }
  }
  if (format == TraceFormat::kJson) console.write(checks ? "\n]}\n" : "]}\n");
  return kExitSuccess;
}

int attackJob(const JobOptions& options, Console& console) {
  const auto wiring = loadWiring(options.settings);
  if (!wiring) return failed(console, wiring.fault());
  if (wiring->rotors.empty()) {
    tell(console, say(console, messages::kAttackNoRotors));
    return kExitError;
  }
  // Code files under one start file share the keystream from their first letter.
  std::vector<std::string> names = {options.file};
  names.insert(names.end(), options.moreFiles.begin(), options.moreFiles.end());
  std::vector<CodeSample> codes;
  CipherSample sample;
  for (const std::string& each : names) {
    auto input = openInput(each);
    if (!input) return failed(console, input.fault());
    auto code = readCodeSample(std::move(*input), each, kAttackLetters);
    if (!code) return failed(console, code.fault());
    if (code->totalLetters == 0) {
      tell(console, say(console, messages::kAttackNoLetters, {displayName(each)}));
      return kExitError;
    }
    if (!codes.empty() && code->language != codes.front().language) {
      tell(console, say(console, messages::kAttackMixedLanguages,
                        {displayName(names.front()), displayName(each)}));
      return kExitError;
    }
    CipherMessage message;
    message.letters = code->letters;
    message.totalLetters = code->totalLetters;
    if (code->trailer.code == kCheckedCode) message.checkWord = code->trailer.check;
    sample.messages.push_back(std::move(message));
    codes.push_back(std::move(*code));
  }
  const CodeSample* code = &codes.front();
  std::uint64_t letters = 0;
  for (const CodeSample& each : codes)
    letters += std::min<std::uint64_t>(each.totalLetters, kAttackLetters);
  if (names.size() > 1) {
    tell(console, say(console, messages::kAttackDepth, {std::to_string(names.size())}));
  }
  if (letters < kFewLetters && options.crib.empty()) {
    tell(console, say(console, messages::kAttackFewLetters,
                      {std::to_string(letters), std::to_string(kFewLetters)}));
  }
  sample.lettered = code->language == Language::kEnglish;
  sample.languages = languagesOf(options.statistics);
  if (!options.crib.empty()) {
    sample.crib = cribOf(options.crib);
    const Crib& crib = *sample.crib;
    const std::size_t room = sample.messages.front().letters.size();
    if (crib.letters.empty() || crib.letters.size() > room ||
        (crib.position && *crib.position + crib.letters.size() > room)) {
      tell(console, say(console, messages::kAttackCribOutside, {displayName(names.front())}));
      return kExitError;
    }
  }
  if (!sample.lettered) tell(console, say(console, messages::kAttackNoStatistics));

  // The start file's place is taken before the search, so that a name in use or a
  // directory that cannot be written is told at once, not after minutes.
  const bool toFile = !options.output.empty() && options.output != "-";
  const auto existing =
      options.force ? ReplacementFile::Existing::kReplace : ReplacementFile::Existing::kRefuse;
  ReplacementFile file(toFile ? options.output : "-", ReplacementFile::Access::kPrivate, existing);
  if (toFile) {
    const std::string folder = options.output.substr(0, baseNameStart(options.output));
    if (auto made = createDirectories(folder); !made) return failed(console, made.fault());
    if (auto opened = file.open(); !opened) return failed(console, opened.fault());
  }
  Settings settings{*wiring, Start{{}, {1, 1, 1}, {0, 0, 0}}};
  const RotorMachine known = buildMachine(settings);
  AttackLimits limits;
  limits.threads = options.threads > 0 ? options.threads : std::thread::hardware_concurrency();
  limits.timeLimit = std::chrono::seconds(options.timeLimit);
  limits.stopRequested = stopRequested;
  AttackProgressLine progress(console);
  limits.progress = [&](const AttackProgress& p) { progress(p); };
  catchStopRequests(true);
  const AttackResult result = attack(known, sample, limits);
  catchStopRequests(false);
  progress.finish();

  settings.start = startOf(result.key);
  const RotorMachine found = buildMachine(settings);
  std::string line = code->firstLine;
  Keystream(found, found.startPositions()).apply(line.data(), line.size());
  const std::string startText = formatStart(settings.start);
  if (!result.scored) {
    if (options.json) console.write("{\"found\": false, \"scored\": false}\n");
    tell(console, say(console, messages::kAttackNothingScored));
    return kExitError;
  }
  const bool anyCheck = std::any_of(sample.messages.begin(), sample.messages.end(),
                                    [](const CipherMessage& m) { return !m.checkWord.empty(); });
  // What goes to standard output: the start file, or for scripts all that was found.
  const std::string shown = !options.json ? startText
                                          : attackDocument(result, settings.start, sample.lettered,
                                                           anyCheck, line, startText);
  if (!result.searched) tell(console, say(console, messages::kAttackStopped));
  tell(console, say(console, messages::kAttackFirstLine, {printable(line)}));
  char score[32];
  std::snprintf(score, sizeof score, sample.lettered ? "%.2f" : "%.3f", result.score);
  if (!sample.lettered) {
    tell(console, say(console, messages::kAttackScoreLetters, {score}));
  } else if (result.language == TextLanguage::kEnglish) {
    tell(console, say(console, messages::kAttackScoreEnglish, {score}));
  } else {
    tell(console, say(console, messages::kAttackScoreIn,
                      {score, say(console, languageName(result.language))}));
  }
  tell(console, say(console, !anyCheck                   ? messages::kAttackNoCheckLetters
                             : result.checkLettersVerify ? messages::kAttackCheckHolds
                                                         : messages::kAttackCheckFails));
  const std::string checked = std::to_string(result.candidatesChecked);
  switch (result.evidence) {
    case Evidence::kNone: break;
    case Evidence::kLanguage:
      tell(console, say(console, messages::kAttackEvidenceEnglish, {checked}));
      break;
    case Evidence::kCheckLetters:
      tell(console, say(console, messages::kAttackEvidenceCheckLetters, {checked}));
      break;
    case Evidence::kCheckLettersAndLanguage:
      tell(console, say(console, messages::kAttackEvidenceBoth, {checked}));
      break;
  }
  if (!result.confident) {
    console.write(shown);
    tell(console, say(console, messages::kAttackNotFound));
    return kExitError;
  }
  if (!toFile || options.json) console.write(shown);
  if (toFile) {
    (void)file.write(startText);  // a failed write fails the commit
    const bool onTerminal = file.toStandardStream();
    if (auto written = file.commit(); !written) {
      // The key found is not lost with its file.
      if (!options.json) console.write(startText);
      return failed(console, written.fault());
    }
    if (!options.quiet && !onTerminal) {
      tell(console, say(console, messages::kWritten, {displayName(options.output)}));
    }
  }
  tell(console, say(console, messages::kAttackFound));
  return kExitSuccess;
}

}  // namespace rotorwerk
