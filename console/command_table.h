// Every command and option of the command line, defined once. The parser's set-up,
// each command's --help, the list of commands in the tool's --help and the shells'
// completions are made from this table; a test checks the manual against --help.
// Adding an option is one entry here and its help text in the catalogue.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/command_jobs.h"

namespace rotorwerk {

namespace messages {
enum Id : int;
}  // namespace messages

// What an option's value is: how it is judged, and what a shell completes it with.
enum class ValueKind {
  kFlag,        // no value
  kPath,        // a file or '-'; never empty
  kDirectory,   // a directory; empty is the working directory
  kCodingType,  // one of the coding types
  kNumber,      // a whole number within the option's range
  kChoice,      // one of the option's words
  kText,        // any text but the empty one
};

// Where a value lands in the job's options.
using Field = std::variant<bool JobOptions::*, std::string JobOptions::*, int JobOptions::*,
                           unsigned JobOptions::*>;

struct OptionDefinition {
  std::string_view names;  // as CLI11 takes them: "-o,--output" or "--json"
  ValueKind kind;
  messages::Id value;  // the value's name in the help; none for flags
  messages::Id help;   // the help text; its lines after the first are indented
  Field field;
  int min = 0;  // numbers: the range
  int max = 0;
  std::span<const std::string_view> choices = {};  // choices: the words
};

// The words a command takes besides its options.
enum class Operands { kNone, kFile, kFiles };

struct CommandDefinition {
  std::string_view name;
  Operands operands;
  messages::Id operand;  // the operand's name in the tool's list of commands
  messages::Id summary;  // its line in the tool's list of commands
  messages::Id help;     // its --help before the options
  int (*job)(const JobOptions&, Console&);
  std::span<const OptionDefinition> options;  // -s, -q and -h follow
  messages::Id settings;                      // what -s names, in the command's words
  std::optional<messages::Id> quiet;          // what -q silences; none: no -q
};

std::span<const CommandDefinition> commandTable();

// The long name of an option: "--output" of "-o,--output".
std::string_view longName(const OptionDefinition& option);

// The options of a command in help order: its own, then the ones every command has.
std::vector<OptionDefinition> optionsOf(const CommandDefinition& command);

// A command's --help and the tool's --help, in the console's language.
std::string commandHelp(const Console& console, const CommandDefinition& command);
std::string toolHelp(const Console& console);

}  // namespace rotorwerk
