// The command line: one job from the program's arguments, for scripts.
#include "console/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "console/command_table.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/interrupts.h"
#include "texts/message_table.h"
#include "texts/messages.h"

namespace rotorwerk {
namespace {

// A command as the parser knows it. CLI11 holds no pointer into this list: each
// option's value is read back from CLI11's own option.
struct Command {
  const CommandDefinition* definition;
  CLI::App* app;
};

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

// The fault of a value the parser took for `option`, or an empty text; the value is
// stored in the job's options.
std::string judgeValue(const OptionDefinition& option, const std::string& word, JobOptions& options,
                       const Console& console) {
  const auto invalid = [&] {
    return say(console, messages::kInvalidValue,
               {std::string(longName(option)), displayName(word)});
  };
  const auto among = [&](auto words) {
    return std::find(words.begin(), words.end(), word) != words.end();
  };
  std::optional<int> number;
  switch (option.kind) {
    case ValueKind::kFlag:
    case ValueKind::kDirectory: break;
    case ValueKind::kPath:
    case ValueKind::kText:
      if (word.empty()) return invalid();
      break;
    case ValueKind::kCodingType:
      if (!among(kCodingTypes)) return invalid();
      break;
    case ValueKind::kChoice:
      if (!among(option.choices)) return invalid();
      break;
    case ValueKind::kNumber:
      number = wholeNumber(word, option.min, option.max);
      if (!number) {
        return say(console, messages::kValueOutOfRange,
                   {std::string(longName(option)), displayName(word), std::to_string(option.min),
                    std::to_string(option.max)});
      }
      break;
  }
  std::visit(
      [&](auto field) {
        auto& target = options.*field;
        using Target = std::remove_reference_t<decltype(target)>;
        if constexpr (std::is_same_v<Target, bool>) {
          target = true;
        } else if constexpr (std::is_same_v<Target, std::string>) {
          target = word;
        } else {
          target = static_cast<Target>(*number);
        }
      },
      option.field);
  return {};
}

// The fault of a command line the parser took, or an empty text: its options' values,
// then its files.
std::string judge(const Command& command, const std::vector<std::string>& files,
                  JobOptions& options, const Console& console) {
  for (const OptionDefinition& option : optionsOf(*command.definition)) {
    const CLI::Option* given = command.app->get_option(std::string(longName(option)));
    if (given->count() == 0) continue;
    const std::string word =
        option.kind == ValueKind::kFlag ? std::string() : given->as<std::string>();
    if (std::string fault = judgeValue(option, word, options, console); !fault.empty()) {
      return fault;
    }
  }
  const Operands operands = command.definition->operands;
  std::vector<std::string> rest = command.app->remaining();
  // The file is the first word that is no option; the parser leaves it with the rest.
  // The attack takes several code files under one start file: every other word that is
  // no option.
  const auto option = [](const std::string& word) { return word != "-" && word[0] == '-'; };
  for (auto word = rest.begin(); operands != Operands::kNone && word != rest.end();) {
    if (option(*word) || (operands == Operands::kFile && !options.file.empty())) {
      ++word;
      continue;
    }
    (options.file.empty() ? options.file : options.moreFiles.emplace_back()) = *word;
    word = rest.erase(word);
  }
  // After "--" every word is a file, even one that begins with '-'.
  for (const std::string& file : files) {
    if (operands != Operands::kNone && options.file.empty()) {
      options.file = file;
    } else if (operands == Operands::kFiles) {
      options.moreFiles.push_back(file);
    } else {
      rest.push_back(file);
    }
  }
  if (!rest.empty())
    return say(console, messages::kUnexpectedArgument, {displayName(rest.front())});
  if (operands != Operands::kNone && options.file.empty()) {
    return say(console, messages::kMissingFile);
  }
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
  bool help = false;
  bool version = false;
  CLI::App app("rotorwerk");
  app.set_help_flag();  // the help texts are the tool's own, in the user's language
  app.allow_extras();
  // An option given twice takes its last value, as GNU tools do.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("-h,--help", help);
  app.add_flag("-V,--version", version);
  // Values are taken as words, so that every message about them is the tool's own, in
  // the user's language.
  std::vector<Command> commands;
  for (const CommandDefinition& definition : commandTable()) {
    CLI::App* sub = app.add_subcommand(std::string(definition.name));
    sub->set_help_flag();
    sub->allow_extras();
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    for (const OptionDefinition& option : optionsOf(definition)) {
      if (option.kind == ValueKind::kFlag) {
        sub->add_flag(std::string(option.names));
      } else {
        sub->add_option(std::string(option.names));
      }
    }
    commands.push_back({&definition, sub});
  }
  app.require_subcommand(0, 1);
  const auto named = [](const std::string& word) {
    return [&word](const Command& c) { return c.definition->name == word; };
  };

  const std::vector<std::string> given = programArguments(argc, argv);
  const auto commandWord = std::find_if(given.begin(), given.end(), [&](const std::string& word) {
    return std::any_of(commands.begin(), commands.end(), named(word));
  });
  std::string fault;
  // Before the command only --help and --version may stand: any other word there
  // would be ignored in silence or taken for the command's.
  for (auto word = given.begin();
       word != commandWord && commandWord != given.end() && fault.empty(); ++word) {
    if (isHelp(*word) || isVersion(*word)) continue;
    fault =
        word->rfind('-', 0) == 0 && *word != "-"
            ? say(console, messages::kOptionBeforeCommand, {displayName(*word), displayName(*word)})
            : say(console, messages::kUnexpectedArgument, {displayName(*word)});
  }
  std::vector<std::string> arguments(given.begin(), commandWord);
  SplitWords split;
  if (commandWord != given.end()) {
    const auto chosen = std::find_if(commands.begin(), commands.end(), named(*commandWord));
    split = splitAtDashes(*chosen->app, std::vector<std::string>(commandWord + 1, given.end()));
    arguments.push_back(*commandWord);
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
    } else if (!help && !version) {
      fault = say(console, messages::kNoCommand);
    }
  }
  if (fault.empty() && chosen != commands.end()) {
    if (version) {
      fault = say(console, messages::kHelpVersionAlone);
    } else if (help || chosen->app->get_option("--help")->count() > 0) {
      console.write(commandHelp(console, *chosen->definition));
      return finishOutput(console, kExitSuccess);
    } else {
      fault = judge(*chosen, split.files, options, console);
    }
  }
  if (!fault.empty()) {
    console.error("rotorwerk: " + say(console, messages::kUsageError, {fault}) + "\n");
    return kExitUsage;
  }
  if (chosen == commands.end()) {
    console.write(help ? toolHelp(console) : say(console, messages::kVersion, {ROTORWERK_VERSION}));
    return finishOutput(console, kExitSuccess);
  }
  return finishOutput(console, chosen->definition->job(options, console));
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
