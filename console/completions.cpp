// The shells' completions, written from the command table: an option added there is
// completed in every shell, its value by its kind.
#include "console/completions.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "codefile/code_file.h"
#include "console/command_table.h"
#include "texts/message_table.h"

namespace rotorwerk {
namespace {

// "-o", "--output" of "-o,--output"; the short name is empty where there is none.
std::string shortName(const OptionDefinition& option) {
  const std::size_t comma = option.names.find(',');
  return comma == std::string_view::npos ? std::string()
                                         : std::string(option.names.substr(0, comma));
}

// A word added to a list of words separated by blanks.
void add(std::string& words, std::string_view word) {
  if (!words.empty()) words += ' ';
  words.append(word);
}

std::string wordsOf(const OptionDefinition& option) {
  std::string words;
  if (option.kind == ValueKind::kCodingType) {
    for (const std::string_view type : kCodingTypes) add(words, type);
  }
  for (const std::string_view choice : option.choices) add(words, choice);
  return words;
}

// The English help on one line, for the shells that show it, every character kept.
std::string described(const OptionDefinition& option) {
  std::string plain(messages::kEntries[option.help].english);
  std::replace(plain.begin(), plain.end(), '\n', ' ');
  return plain;
}

// The help as zsh's _arguments reads it between the brackets of an option word that stands in
// single quotes: an apostrophe ends the quotes and is escaped between two, and the
// brackets, colon and backslash are escaped for _arguments.
std::string describedForZsh(const OptionDefinition& option) {
  std::string quoted;
  for (const char c : described(option)) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      if (c == '[' || c == ']' || c == ':' || c == '\\') quoted += '\\';
      quoted += c;
    }
  }
  return quoted;
}

// The help in fish's single quotes, where only the apostrophe and backslash are escaped.
std::string describedForFish(const OptionDefinition& option) {
  std::string quoted = "'";
  for (const char c : described(option)) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::string commandNames() {
  std::string names;
  for (const CommandDefinition& command : commandTable()) {
    add(names, command.name);
  }
  return names;
}

std::string bash() {
  std::string script =
      "# bash completion for rotorwerk: commands, options, their values and file names.\n"
      "# Written by the build from the program's table of commands and options.\n"
      "_rotorwerk() {\n"
      "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
      "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
      "    mapfile -t COMPREPLY < <(compgen -W \"" +
      commandNames() +
      " --help --version\" -- \"$cur\")\n"
      "    return\n"
      "  fi\n"
      "  local options=\n"
      "  case ${COMP_WORDS[1]} in\n";
  for (const CommandDefinition& command : commandTable()) {
    std::string options;
    std::string values;
    for (const OptionDefinition& option : optionsOf(command)) {
      add(options, longName(option));
      if (option.kind == ValueKind::kFlag) continue;
      const std::string name = shortName(option);
      values +=
          "        " + (name.empty() ? "" : name + " | ") + std::string(longName(option)) + ") ";
      switch (option.kind) {
        case ValueKind::kPath: values += "mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")"; break;
        case ValueKind::kDirectory:
          values += "mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")";
          break;
        case ValueKind::kCodingType:
        case ValueKind::kChoice:
          values += "mapfile -t COMPREPLY < <(compgen -W \"" + wordsOf(option) + "\" -- \"$cur\")";
          break;
        default: values += "COMPREPLY=()"; break;
      }
      values += "; return ;;\n";
    }
    script.append("    ").append(command.name).append(")\n      case $prev in\n");
    script.append(values).append("      esac\n      options=\"").append(options).append("\" ;;\n");
  }
  script +=
      "  esac\n"
      "  if [[ $cur == -* ]]; then\n"
      "    mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")\n"
      "  else\n"
      "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
      "  fi\n"
      "}\n"
      "complete -o filenames -F _rotorwerk rotorwerk\n";
  return script;
}

std::string zsh() {
  std::string script =
      "#compdef rotorwerk\n"
      "# zsh completion for rotorwerk: commands, options, their values and file names.\n"
      "# Written by the build from the program's table of commands and options.\n"
      "_rotorwerk() {\n"
      "  if (( CURRENT == 2 )); then\n"
      "    _values command " +
      commandNames() +
      " --help --version\n"
      "    return\n"
      "  fi\n"
      "  case $words[2] in\n";
  for (const CommandDefinition& command : commandTable()) {
    script += "    " + std::string(command.name) + ")\n      _arguments";
    for (const OptionDefinition& option : optionsOf(command)) {
      const std::string name = shortName(option);
      const std::string longer(longName(option));
      script += " \\\n        ";
      if (name.empty()) {
        script.append("'").append(longer);
      } else {
        script.append("'(").append(name).append(" ").append(longer).append(")'{");
        script.append(name).append(",").append(longer).append("}'");
      }
      script.append("[").append(describedForZsh(option)).append("]");
      switch (option.kind) {
        case ValueKind::kFlag: break;
        case ValueKind::kPath: script += ":path:_files"; break;
        case ValueKind::kDirectory: script += ":directory:_files -/"; break;
        case ValueKind::kCodingType:
        case ValueKind::kChoice: script += ":value:(" + wordsOf(option) + ")"; break;
        default: script += ":value:"; break;
      }
      script += "'";
    }
    if (command.operands != Operands::kNone) script += " \\\n        '*:file:_files'";
    script += " ;;\n";
  }
  script += "  esac\n}\n_rotorwerk \"$@\"\n";
  return script;
}

std::string fish() {
  const std::string commands = commandNames();
  std::string script =
      "# fish completion for rotorwerk: commands, options, their values and file names.\n"
      "# Written by the build from the program's table of commands and options.\n"
      "set -l commands " +
      commands +
      "\n"
      "complete -c rotorwerk -f -n \"not __fish_seen_subcommand_from $commands\" -a \"$commands\"\n"
      "complete -c rotorwerk -n \"not __fish_seen_subcommand_from $commands\" -s h -l help -d "
      "help\n"
      "complete -c rotorwerk -n \"not __fish_seen_subcommand_from $commands\" -s V -l version -d "
      "version\n";
  for (const CommandDefinition& command : commandTable()) {
    for (const OptionDefinition& option : optionsOf(command)) {
      const std::string name = shortName(option);
      script += "complete -c rotorwerk -n \"__fish_seen_subcommand_from " +
                std::string(command.name) + "\"";
      if (!name.empty()) script += " -s " + name.substr(1);
      script += " -l " + std::string(longName(option).substr(2));
      switch (option.kind) {
        case ValueKind::kFlag: break;
        case ValueKind::kPath: script += " -r"; break;
        case ValueKind::kDirectory: script += " -x -a \"(__fish_complete_directories)\""; break;
        case ValueKind::kCodingType:
        case ValueKind::kChoice: script += " -x -a \"" + wordsOf(option) + "\""; break;
        default: script += " -x"; break;
      }
      script += " -d " + describedForFish(option) + "\n";
    }
  }
  return script;
}

}  // namespace

std::string completionScript(Shell shell) {
  switch (shell) {
    case Shell::kBash: return bash();
    case Shell::kZsh: return zsh();
    case Shell::kFish: return fish();
  }
  return {};
}

}  // namespace rotorwerk
