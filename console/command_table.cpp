// The command line's commands and options, and the help made from them.
#include "console/command_table.h"

#include <algorithm>
#include <array>

#include "analysis/ngram_scores.h"
#include "console/analysis_jobs.h"
#include "texts/message_table.h"
#include "texts/messages.h"

namespace rotorwerk {
namespace {

using namespace messages;
using K = ValueKind;
using J = JobOptions;

constexpr int kMaxTraceLetters = 1000000;
constexpr int kMaxThreads = 256;
constexpr int kMaxTimeLimit = 86400;

constexpr std::array<std::string_view, 2> kLabels = {"en", "zh"};
constexpr std::array<std::string_view, 2> kFormats = {"table", "tsv"};
// The languages the attack has statistics of, and each in turn.
constexpr auto kStatistics = [] {
  std::array<std::string_view, kTextLanguageCodes.size() + 1> words{};
  std::copy(kTextLanguageCodes.begin(), kTextLanguageCodes.end(), words.begin());
  words.back() = "auto";
  return words;
}();

constexpr std::array kEncrypt = {
    OptionDefinition{"-o,--output", K::kPath, kValuePath, kOptionEncryptOutput, &J::output},
    OptionDefinition{"-l,--lang", K::kChoice, kValueLabel, kOptionLang, &J::language, 0, 0,
                     kLabels},
    OptionDefinition{"-t,--type", K::kCodingType, kValueType, kOptionEncryptType, &J::type},
};
constexpr std::array kDecrypt = {
    OptionDefinition{"-o,--output", K::kPath, kValuePath, kOptionDecryptOutput, &J::output},
};
constexpr std::array kKeygen = {
    OptionDefinition{"-r,--rotors", K::kNumber, kValueN, kOptionRotors, &J::rotors, 1, kMaxRotors},
    OptionDefinition{"-p,--plugs", K::kNumber, kValueP, kOptionPlugs, &J::plugs, 0, kMaxPlugPairs},
    OptionDefinition{"-f,--force", K::kFlag, kValueN, kOptionKeygenForce, &J::force},
    OptionDefinition{"--start-only", K::kFlag, kValueN, kOptionStartOnly, &J::startOnly},
};
constexpr std::array kCheck = {
    OptionDefinition{"--json", K::kFlag, kValueN, kOptionCheckJson, &J::json},
};
constexpr std::array kTrace = {
    OptionDefinition{"-n,--letters", K::kNumber, kValueN, kOptionLetters, &J::letters, 0,
                     kMaxTraceLetters},
    OptionDefinition{"-t,--type", K::kCodingType, kValueType, kOptionTraceType, &J::traceType},
    OptionDefinition{"--format", K::kChoice, kValueFormat, kOptionFormat, &J::format, 0, 0,
                     kFormats},
    OptionDefinition{"--json", K::kFlag, kValueN, kOptionTraceJson, &J::json},
};
constexpr std::array kAttack = {
    OptionDefinition{"--crib", K::kText, kValueCrib, kOptionCrib, &J::crib},
    OptionDefinition{"--language", K::kChoice, kValueLanguage, kOptionLanguage, &J::statistics, 0,
                     0, kStatistics},
    OptionDefinition{"--json", K::kFlag, kValueN, kOptionAttackJson, &J::json},
    OptionDefinition{"-o,--output", K::kPath, kValuePath, kOptionAttackOutput, &J::output},
    OptionDefinition{"-f,--force", K::kFlag, kValueN, kOptionAttackForce, &J::force},
    OptionDefinition{"--threads", K::kNumber, kValueN, kOptionThreads, &J::threads, 0, kMaxThreads},
    OptionDefinition{"--time-limit", K::kNumber, kValueSeconds, kOptionTimeLimit, &J::timeLimit, 1,
                     kMaxTimeLimit},
};

constexpr std::array kCommands = {
    CommandDefinition{"encrypt", Operands::kFile, kValueFile, kSummaryEncrypt, kHelpEncrypt,
                      encryptJob, kEncrypt, kOptionSettings, kOptionQuiet},
    CommandDefinition{"decrypt", Operands::kFile, kValueFile, kSummaryDecrypt, kHelpDecrypt,
                      decryptJob, kDecrypt, kOptionSettings, kOptionDecryptQuiet},
    CommandDefinition{"keygen", Operands::kNone, kValueFile, kSummaryKeygen, kHelpKeygen, keygenJob,
                      kKeygen, kOptionKeygenSettings, kOptionQuiet},
    CommandDefinition{"check", Operands::kNone, kValueFile, kSummaryCheck, kHelpCheck, checkJob,
                      kCheck, kOptionSettings, kOptionQuiet},
    // The trace writes nothing that -q could silence.
    CommandDefinition{"trace", Operands::kFile, kValueFile, kSummaryTrace, kHelpTrace, traceJob,
                      kTrace, kOptionSettings, std::nullopt},
    CommandDefinition{"attack", Operands::kFiles, kValueFile, kSummaryAttack, kHelpAttack,
                      attackJob, kAttack, kOptionAttackSettings, kOptionAttackQuiet},
};

// "  -o, --output PATH" padded to `column`, or to two blanks past it; then the text,
// its later lines indented to the column.
std::string helpLine(const Console& console, std::string left, std::size_t column,
                     const std::string& text) {
  const std::size_t cells = cellsOf(console, left);
  left += std::string(cells + 2 > column ? 2 : column - cells, ' ');
  for (const char c : text) {
    left += c;
    if (c == '\n') left += std::string(column, ' ');
  }
  return left + "\n";
}

}  // namespace

std::span<const CommandDefinition> commandTable() { return kCommands; }

std::string_view longName(const OptionDefinition& option) {
  return option.names.substr(option.names.find("--"));
}

std::vector<OptionDefinition> optionsOf(const CommandDefinition& command) {
  std::vector<OptionDefinition> options(command.options.begin(), command.options.end());
  // The options every command has, last in its help, in the command's own words.
  options.push_back({"-s,--settings", K::kDirectory, kValueDir, command.settings, &J::settings});
  if (command.quiet)
    options.push_back({"-q,--quiet", K::kFlag, kValueN, *command.quiet, &J::quiet});
  options.push_back({"-h,--help", K::kFlag, kValueN, kOptionHelp, &J::help});
  return options;
}

std::string commandHelp(const Console& console, const CommandDefinition& command) {
  // Options are aligned at column 24, as GNU tools align them.
  constexpr std::size_t kColumn = 24;
  std::string lines;
  for (const OptionDefinition& option : optionsOf(command)) {
    const std::string_view names = option.names;
    std::string left = names.rfind("--", 0) == 0 ? "      " : "  ";
    for (const char c : names) left += c == ',' ? std::string(", ") : std::string(1, c);
    if (option.kind != K::kFlag) left.append(" ").append(say(console, option.value));
    lines += helpLine(console, left, kColumn, say(console, option.help));
  }
  return say(console, command.help, {lines});
}

std::string toolHelp(const Console& console) {
  constexpr std::size_t kColumn = 19;
  std::string lines;
  for (const CommandDefinition& command : kCommands) {
    std::string left = "  " + std::string(command.name);
    if (command.operands != Operands::kNone) {
      left.append(" ").append(say(console, command.operand));
    }
    lines += helpLine(console, left, kColumn, say(console, command.summary));
  }
  return say(console, kUsage, {lines});
}

}  // namespace rotorwerk
