// The command line's analysis jobs: trace and attack.
#include "console/analysis_jobs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

#include "analysis/attack.h"
#include "api/library_internals.h"
#include "codefile/code_file.h"
#include "console/json_output.h"
#include "console/status_line.h"
#include "platform/file.h"
#include "platform/interrupts.h"
#include "platform/replacement_file.h"
#include "platform/terminal.h"
#include "rotorwerk/rotorwerk.h"
#include "texts/message_table.h"
#include "texts/messages.h"

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
  std::string in;
  api::TraceStep step;
  bool upper = false;
};

enum class TraceFormat { kTable, kTsv, kJson };

std::string formatRow(const Console& console, const TraceRow& row, TraceFormat format) {
  // The plugboard's letter on the way out is the out letter, which keeps the text's case.
  const api::TraceStep& t = row.step;
  const std::array<int, kStages> stages = {t.plugboard, t.rightRotor, t.middleRotor, t.leftRotor,
                                           t.reflector, t.leftBack,   t.middleBack,  t.rightBack,
                                           t.out,       t.out};
  std::vector<std::string> cells = {row.number, positionOf(t.positions[0]),
                                    positionOf(t.positions[1]), positionOf(t.positions[2]), row.in};
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

// How far the attack has come, by stage.
class AttackProgressLine {
 public:
  explicit AttackProgressLine(Console& console) : line_(console, kWidth) {}

  void operator()(const api::AttackStatus& progress) {
    if (!line_.due()) return;
    const std::string share = StatusLine::number("%.0f", 100 * progress.share);
    const std::string left = StatusLine::number("%.0f", progress.secondsLeft);
    const std::string best = StatusLine::number("%.2f", progress.best);
    const Console& console = line_.console();
    line_.draw(
        progress.stage == 1   ? say(console, messages::kAttackProgressRotors, {share, left})
        : progress.stage == 2 ? say(console, messages::kAttackProgressPlugs, {share, best, left})
        : progress.stage == 3 ? say(console, messages::kAttackProgressCounts, {share, best, left})
                              : say(console, messages::kAttackProgressRest, {share, best, left}));
  }

  void finish() { line_.finish(); }

 private:
  static constexpr std::size_t kWidth = 72;

  StatusLine line_;
};

// A language's name, as its code names it.
messages::Id languageName(const std::string& code) {
  switch (textLanguageOf(code).value_or(TextLanguage::kEnglish)) {
    case TextLanguage::kEnglish: return messages::kEnglish;
    case TextLanguage::kGerman: return messages::kGerman;
    case TextLanguage::kFrench: return messages::kFrench;
    case TextLanguage::kSpanish: return messages::kSpanish;
  }
  return messages::kEnglish;
}

// The attack's findings as one JSON document, named as the manual lists them.
std::string attackDocument(const api::AttackOutcome& found) {
  std::vector<std::string> pairs;
  for (const std::string& pair : found.plugPairs) pairs.push_back(json::string(pair));
  const auto numbered = [](const std::array<std::int64_t, 3>& values) {
    return json::array({json::number(values[0]), json::number(values[1]), json::number(values[2])});
  };
  char score[32];
  std::snprintf(score, sizeof score, "%.4f", found.score);
  return json::object({{"found", found.confident ? "true" : "false"},
                       {"scored", "true"},
                       {"searchedThrough", found.searched ? "true" : "false"},
                       {"evidence", json::string(found.evidence)},
                       {"score", score},
                       {"scoredBy", json::string(found.scoredBy)},
                       {"checkLetters", json::string(found.checkLetters)},
                       {"candidatesChecked",
                        json::number(static_cast<std::int64_t>(found.candidatesChecked))},
                       {"firstLine", json::string(found.firstLine)},
                       {"start", json::object({{"slots", numbered(found.slots)},
                                               {"offsets", numbered(found.offsets)},
                                               {"plugPairs", json::array(pairs)}})},
                       {"startFile", json::string(found.startText)}}) +
         "\n";
}

}  // namespace

std::vector<std::string> attackReport(const Console& console, const api::AttackOutcome& found,
                                      bool lettered) {
  std::vector<std::string> lines;
  if (!found.searched) lines.push_back(say(console, messages::kAttackStopped));
  lines.push_back(say(console, messages::kAttackFirstLine, {escapeControls(found.firstLine)}));
  char score[32];
  std::snprintf(score, sizeof score, lettered ? "%.2f" : "%.3f", found.score);
  if (!lettered) {
    lines.push_back(say(console, messages::kAttackScoreLetters, {score}));
  } else if (found.scoredBy == "en") {
    lines.push_back(say(console, messages::kAttackScoreEnglish, {score}));
  } else {
    lines.push_back(say(console, messages::kAttackScoreIn,
                        {score, say(console, languageName(found.scoredBy))}));
  }
  lines.push_back(say(console, found.checkLetters == "none"     ? messages::kAttackNoCheckLetters
                               : found.checkLetters == "verify" ? messages::kAttackCheckHolds
                                                                : messages::kAttackCheckFails));
  const std::string checked = std::to_string(found.candidatesChecked);
  if (found.evidence == "language") {
    lines.push_back(say(console, messages::kAttackEvidenceEnglish, {checked}));
  } else if (found.evidence == "check-letters") {
    lines.push_back(say(console, messages::kAttackEvidenceCheckLetters, {checked}));
  } else if (found.evidence == "check-letters-and-language") {
    lines.push_back(say(console, messages::kAttackEvidenceBoth, {checked}));
  }
  return lines;
}

int traceJob(const JobOptions& options, Console& console) {
  const auto settings = api::Settings::load(options.settings);
  if (!settings) return failed(console, settings.fault());
  auto input = openInput(options.file);
  if (!input) return failed(console, input.fault());
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
  // The check letters follow the text's last letter: the whole text is read for them.
  auto made = api::Tracer::create(*settings, static_cast<std::uint64_t>(options.letters));
  if (!made) return failed(console, made.fault());
  api::Tracer& tracer = *made;
  std::vector<char> block(kBlockSize);
  int shown = 0;
  for (std::size_t size = 0; (size = readText(input->get(), block.data(), block.size())) > 0;) {
    if (shown == 0 && looksLikeCodeFile({block.data(), size})) {
      tell(console, say(console, messages::kTraceCodeFile, {displayName(options.file)}));
    }
    tracer.feed({block.data(), size}, [&](const api::TraceStep& step, char letter) {
      ++shown;
      write({std::to_string(shown), std::string(1, letter), step, letter >= 'A' && letter <= 'Z'},
            shown == 1);
    });
    if (!checks && tracer.shownAll()) break;
  }
  if (std::ferror(input->get()) != 0) {
    return failed(console, systemFault(FaultKind::kCannotRead, options.file));
  }
  if (format == TraceFormat::kJson) console.write("\n], \"checkLetters\": [");
  if (checks) {
    const std::array<api::TraceStep, 3> steps = tracer.checkLetters();
    for (std::size_t k = 0; k < 3; ++k) {
      // Numbered c1 to c3 in the table; 1 to 3 in their own JSON array.
      const std::string number = format == TraceFormat::kJson
                                     ? std::to_string(k + 1)
                                     : std::string{'c', static_cast<char>('1' + k)};
      write({number, letterOf(steps[k].in), steps[k]}, k == 0);
    }
  }
  if (format == TraceFormat::kJson) console.write(checks ? "\n]}\n" : "]}\n");
  return kExitSuccess;
}

int attackJob(const JobOptions& options, Console& console) {
  const auto wiring = api::Settings::loadWiring(options.settings);
  if (!wiring) return failed(console, wiring.fault());
  std::vector<std::string> names = {options.file};
  names.insert(names.end(), options.moreFiles.begin(), options.moreFiles.end());
  // The start file's place is taken before the search, so that a name in use or a
  // directory that cannot be written is told at once, not after minutes.
  const bool toFile = !options.output.empty() && options.output != "-";
  if (toFile) {
    if (auto kept = api::refuseKeyFile(*wiring, options.output); !kept) {
      return failed(console, kept.fault());
    }
  }
  const auto existing =
      options.force ? ReplacementFile::Existing::kReplace : ReplacementFile::Existing::kRefuse;
  ReplacementFile file(toFile ? options.output : "-", ReplacementFile::Access::kPrivate, existing);
  bool lettered = true;
  api::AttackOptions search;
  search.threads = options.threads;
  search.timeLimit = std::chrono::seconds(options.timeLimit);
  search.crib = options.crib;
  search.language = options.statistics;
  search.stopRequested = stopRequested;
  AttackProgressLine progress(console);
  search.progress = [&](const api::AttackStatus& status) { progress(status); };
  search.onPlan = [&](const api::AttackPlan& plan) -> Result<void> {
    lettered = plan.lettered;
    if (plan.codes > 1) {
      tell(console, say(console, messages::kAttackDepth, {std::to_string(plan.codes)}));
    }
    if (plan.letters < kFewLetters && options.crib.empty()) {
      tell(console, say(console, messages::kAttackFewLetters,
                        {std::to_string(plan.letters), std::to_string(kFewLetters)}));
    }
    if (!plan.lettered) tell(console, say(console, messages::kAttackNoStatistics));
    if (!toFile) return {};
    const std::string folder = options.output.substr(0, baseNameStart(options.output));
    if (auto made = createDirectories(folder); !made) return made.fault();
    return file.open();
  };
  catchStopRequests(true);
  const auto found = api::attackFiles(names, *wiring, search);
  catchStopRequests(false);
  progress.finish();
  if (!found) return failed(console, found.fault());
  if (!found->scored) {
    if (options.json) console.write("{\"found\": false, \"scored\": false}\n");
    tell(console, say(console, messages::kAttackNothingScored));
    return kExitError;
  }
  // What goes to standard output: the start file, or for scripts all that was found.
  const std::string shown = !options.json ? found->startText : attackDocument(*found);
  for (const std::string& line : attackReport(console, *found, lettered)) tell(console, line);
  if (!found->confident) {
    console.write(shown);
    tell(console, say(console, messages::kAttackNotFound));
    return kExitError;
  }
  if (!toFile || options.json) console.write(shown);
  if (toFile) {
    (void)file.write(found->startText);  // a failed write fails the commit
    const bool onTerminal = file.toStandardStream();
    if (auto written = file.commit(); !written) {
      // The key found is not lost with its file.
      if (!options.json) console.write(found->startText);
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
