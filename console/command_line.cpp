// The command line: one job from the program's arguments, for scripts.
#include "console/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <deque>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "console/analysis_jobs.h"
#include "console/command_jobs.h"
#include "console/message_table.h"
#include "console/messages.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/interrupts.h"

namespace rotorwerk {
namespace {

// What the parser leaves for the tool to judge: values are taken as words, so that
// every message about them is the tool's own, in the user's language.
struct Words {
  std::string rotors = std::to_string(kDefaultKeyRotors);
  std::string plugs = std::to_string(kDefaultKeyPlugs);
  std::string letters = "26";
  std::string format = "table";
  std::string traceType;  // none: no check letters
  std::string threads = "0";
  std::string timeLimit = "300";
  bool help = false;
  bool version = false;
};

// A command's options, as the GNU conventions spell them.
struct Command {
  CLI::App* app;
  messages::Id help;
  int (*job)(const JobOptions&, Console&);
  bool commandHelp = false;
};

constexpr int kMaxTraceLetters = 1000000;
constexpr int kMaxThreads = 256;
constexpr int kMaxTimeLimit = 86400;

// A whole number in [min, max] written in decimal digits, or nothing. Leading zeros
// do not count: the value is judged, not its digits.
std::optional<int> wholeNumber(const std::string& word, int min, int max) {
  if (word.empty() ||
      !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const std::string digits = word.substr(std::min(word.find_first_not_of('0'), word.size() - 1));
  if (digits.size() > std::to_string(max).size()) return std::nullopt;
  const int value = std::stoi(digits);
  if (value < min || value > max) return std::nullopt;
  return value;
}

bool isHelp(const std::string& word) { return word == "-h" || word == "--help"; }
bool isVersion(const std::string& word) { return word == "-V" || word == "--version"; }

// The option of `command` that a word names, when it takes a value; nullptr otherwise.
const CLI::Option* valueOption(const CLI::App& command, const std::string& word) {
  if (word.size() < 2 || word[0] != '-' || word.find('=') != std::string::npos) return nullptr;
  if (word[1] != '-' && word.size() != 2) return nullptr;  // "-oFILE" holds its value
  const CLI::Option* option = command.get_option_no_throw(word);
  return option != nullptr && option->get_expected_min() > 0 ? option : nullptr;
}

// The command's words as the parser gets them, and those after "--", which are files
// whatever they look like. A word that is the value of an option is never "--".
struct SplitWords {
  std::vector<std::string> options;
  std::vector<std::string> files;
  std::string lackingValue;  // an option that ends the words without its value
};

SplitWords splitAtDashes(const CLI::App& command, std::vector<std::string> words) {
  SplitWords split;
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (words[k] == "--") {
      split.files.assign(words.begin() + static_cast<std::ptrdiff_t>(k) + 1, words.end());
      break;
    }
    split.options.push_back(words[k]);
    if (valueOption(command, words[k]) == nullptr) continue;
    if (k + 1 == words.size()) {
      split.lackingValue = words[k];
    } else {
      split.options.push_back(words[++k]);
    }
  }
  return split;
}

// The fault of a command line the parser took, or an empty text.
std::string judge(const Command& command, const std::vector<std::string>& extras,
                  const std::vector<std::string>& files, const Words& words, JobOptions& options,
                  const Console& console) {
  const bool withFile =
      command.help != messages::kHelpKeygen && command.help != messages::kHelpCheck;
  std::vector<std::string> rest = extras;
  // The file is the first word that is no option; the parser leaves it with the rest.
  if (withFile && !rest.empty() && (rest.front() == "-" || rest.front().rfind('-', 0) != 0)) {
    options.file = rest.front();
    rest.erase(rest.begin());
  }
  // The attack takes several code files under one start file: every other word that is
  // no option.
  if (command.help == messages::kHelpAttack) {
    const auto option = [](const std::string& word) { return word != "-" && word[0] == '-'; };
    std::copy_if(rest.begin(), rest.end(), std::back_inserter(options.moreFiles),
                 [&](const std::string& word) { return !option(word); });
    rest.erase(std::remove_if(rest.begin(), rest.end(),
                              [&](const std::string& word) { return !option(word); }),
               rest.end());
  }
  // After "--" every word is a file, even one that begins with '-'.
  auto file = files.begin();
  if (withFile && options.file.empty() && file != files.end()) options.file = *file++;
  if (command.help == messages::kHelpAttack) {
    options.moreFiles.insert(options.moreFiles.end(), file, files.end());
  } else {
    rest.insert(rest.end(), file, files.end());
  }
  if (!rest.empty())
    return say(console, messages::kUnexpectedArgument, {displayName(rest.front())});
  if (withFile && options.file.empty()) return say(console, messages::kMissingFile);
  const auto invalid = [&](const char* option, const std::string& value) {
    return say(console, messages::kInvalidValue, {option, displayName(value)});
  };
  if (options.language != "en" && options.language != "zh") {
    return invalid("--lang", options.language);
  }
  if (std::find(kCodingTypes.begin(), kCodingTypes.end(), options.type) == kCodingTypes.end()) {
    return invalid("--type", options.type);
  }
  const auto rotors = wholeNumber(words.rotors, 1, kMaxRotors);
  if (!rotors) return invalid("--rotors", words.rotors);
  const auto plugs = wholeNumber(words.plugs, 0, kMaxPlugPairs);
  if (!plugs) return invalid("--plugs", words.plugs);
  options.rotors = *rotors;
  options.plugs = *plugs;
  const auto letters = wholeNumber(words.letters, 0, kMaxTraceLetters);
  if (!letters) return invalid("--letters", words.letters);
  options.letters = *letters;
  if (words.format != "table" && words.format != "tsv") return invalid("--format", words.format);
  options.tsv = words.format == "tsv";
  if (!words.traceType.empty() &&
      std::find(kCodingTypes.begin(), kCodingTypes.end(), words.traceType) == kCodingTypes.end()) {
    return invalid("--type", words.traceType);
  }
  options.traceChecks = words.traceType == kCheckedCode;
  if (options.statistics != "en" && options.statistics != "de" && options.statistics != "fr" &&
      options.statistics != "es" && options.statistics != "auto") {
    return invalid("--language", options.statistics);
  }
  const auto threads = wholeNumber(words.threads, 0, kMaxThreads);
  if (!threads) return invalid("--threads", words.threads);
  options.threads = static_cast<unsigned>(*threads);
  const auto timeLimit = wholeNumber(words.timeLimit, 1, kMaxTimeLimit);
  if (!timeLimit) return invalid("--time-limit", words.timeLimit);
  options.timeLimit = *timeLimit;
  return {};
}

// Output that could not be written fails the run, whatever the job did.
int finishOutput(Console& console, int status) {
  console.flush();
  if (!console.outputLost() || status == kExitError) return status;
  return failed(console, Fault{FaultKind::kOutputLost, {}, 0, 0, console.lossReason()});
}

}  // namespace

int runCommandLine(int argc, char** argv) {
  Console console = Console::standard();
  installInterruptHandlers();
  JobOptions options;
  Words words;
  CLI::App app("rotorwerk");
  app.set_help_flag();  // the help texts are the tool's own, in the user's language
  app.allow_extras();
  // An option given twice takes its last value, as GNU tools do.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("-h,--help", words.help);
  app.add_flag("-V,--version", words.version);
  // A deque keeps each entry where it is, so CLI11 may hold a pointer into it.
  std::deque<Command> commands;
  const auto command = [&](const char* name, messages::Id help, auto job) -> CLI::App* {
    CLI::App* sub = app.add_subcommand(name);
    sub->set_help_flag();
    sub->allow_extras();
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    commands.push_back({sub, help, job});
    sub->add_flag("-h,--help", commands.back().commandHelp);
    sub->add_option("-s,--settings", options.settings);
    sub->add_flag("-q,--quiet", options.quiet);
    return sub;
  };
  CLI::App* encrypt = command("encrypt", messages::kHelpEncrypt, encryptJob);
  encrypt->add_option("-o,--output", options.output);
  encrypt->add_option("-l,--lang", options.language);
  encrypt->add_option("-t,--type", options.type);
  CLI::App* decrypt = command("decrypt", messages::kHelpDecrypt, decryptJob);
  decrypt->add_option("-o,--output", options.output);
  CLI::App* keygen = command("keygen", messages::kHelpKeygen, keygenJob);
  keygen->add_option("-r,--rotors", words.rotors);
  keygen->add_option("-p,--plugs", words.plugs);
  keygen->add_flag("-f,--force", options.force);
  keygen->add_flag("--start-only", options.startOnly);
  CLI::App* check = command("check", messages::kHelpCheck, checkJob);
  check->add_flag("--json", options.json);
  CLI::App* trace = command("trace", messages::kHelpTrace, traceJob);
  trace->add_flag("--json", options.json);
  trace->add_option("-n,--letters", words.letters);
  trace->add_option("-t,--type", words.traceType);
  trace->add_option("--format", words.format);
  CLI::App* attack = command("attack", messages::kHelpAttack, attackJob);
  attack->add_option("-o,--output", options.output);
  attack->add_flag("-f,--force", options.force);
  attack->add_option("--threads", words.threads);
  attack->add_option("--time-limit", words.timeLimit);
  attack->add_option("--crib", options.crib);
  attack->add_option("--language", options.statistics);
  attack->add_flag("--json", options.json);
  app.require_subcommand(0, 1);

  const std::vector<std::string> given = programArguments(argc, argv);
  const auto named = std::find_if(given.begin(), given.end(), [&](const std::string& word) {
    return std::any_of(commands.begin(), commands.end(),
                       [&](const Command& c) { return c.app->get_name() == word; });
  });
  std::string fault;
  // Before the command only --help and --version may stand: any other word there
  // would be ignored in silence or taken for the command's.
  for (auto word = given.begin(); word != named && named != given.end() && fault.empty(); ++word) {
    if (isHelp(*word) || isVersion(*word)) continue;
    fault =
        word->rfind('-', 0) == 0 && *word != "-"
            ? say(console, messages::kOptionBeforeCommand, {displayName(*word), displayName(*word)})
            : say(console, messages::kUnexpectedArgument, {displayName(*word)});
  }
  std::vector<std::string> arguments(given.begin(), named);
  SplitWords split;
  if (named != given.end()) {
    const auto chosen = std::find_if(commands.begin(), commands.end(),
                                     [&](const Command& c) { return c.app->get_name() == *named; });
    split = splitAtDashes(*chosen->app, std::vector<std::string>(named + 1, given.end()));
    arguments.push_back(*named);
    arguments.insert(arguments.end(), split.options.begin(), split.options.end());
  }
  arguments.insert(arguments.begin(), "rotorwerk");
  std::vector<char*> pointers;
  pointers.reserve(arguments.size());
  for (auto& word : arguments) pointers.push_back(word.data());
  if (fault.empty() && !split.lackingValue.empty()) {
    fault = say(console, messages::kOptionNeedsValue, {displayName(split.lackingValue)});
  }
  // The argument parser reports what it cannot take by throwing; it is caught here.
  try {
    if (fault.empty()) app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ArgumentMismatch&) {
    fault = say(console, messages::kMissingValue);
  } catch (const CLI::ParseError&) {
    fault = say(console, messages::kBadCommandLine);
  }
  const auto chosen = std::find_if(commands.begin(), commands.end(),
                                   [](const Command& c) { return c.app->parsed(); });
  if (fault.empty() && chosen == commands.end()) {
    if (!app.remaining().empty()) {
      fault = say(console, messages::kUnknownCommand, {displayName(app.remaining().front())});
    } else if (!words.help && !words.version) {
      fault = say(console, messages::kNoCommand);
    }
  }
  if (fault.empty() && chosen != commands.end()) {
    if (words.version) {
      fault = say(console, messages::kHelpVersionAlone);
    } else if (chosen->commandHelp || words.help) {
      console.write(say(console, chosen->help));
      return finishOutput(console, kExitSuccess);
    } else if (const CLI::Option* output = chosen->app->get_option_no_throw("--output");
               output != nullptr && output->count() > 0 && options.output.empty()) {
      fault = say(console, messages::kInvalidValue, {"--output", ""});
    } else if (const CLI::Option* crib = chosen->app->get_option_no_throw("--crib");
               crib != nullptr && crib->count() > 0 && options.crib.empty()) {
      fault = say(console, messages::kInvalidValue, {"--crib", ""});
    } else {
      fault = judge(*chosen, chosen->app->remaining(), split.files, words, options, console);
    }
  }
  if (!fault.empty()) {
    console.error("rotorwerk: " + say(console, messages::kUsageError, {fault}) + "\n");
    return kExitUsage;
  }
  if (chosen == commands.end()) {
    console.write(words.help ? say(console, messages::kUsage)
                             : say(console, messages::kVersion, {ROTORWERK_VERSION}));
    return finishOutput(console, kExitSuccess);
  }
  return finishOutput(console, chosen->job(options, console));
}

int refuseToRun() {
  const Console console = Console::standard();
  const std::string message = say(console, messages::kUnsafeStreams);
  // Wherever a stream is still open.
  std::FILE* stream = !standardStreamWasClosed(2) ? stderr : stdout;
  std::fwrite(message.data(), 1, message.size(), stream);
  std::fflush(stream);
  return kExitError;
}

}  // namespace rotorwerk
