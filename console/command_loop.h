// The command loop: banner, command words, the -h and -u commands.
#pragma once

#include <cstdio>

#include "platform/console.h"
#include "platform/formatted_input.h"
#include "platform/terminal.h"

namespace rotorwerk {

class CommandLoop {
 public:
  CommandLoop(std::FILE* input, Console& console, Terminal terminal)
      : input_(input), console_(console), terminal_(terminal) {}

  // Runs passes until standard input ends, then gives the exit status: 1 when any
  // command reported an error or a screen could not be written, 0 otherwise.
  int run();

 private:
  enum class Outcome { kDone, kInputEnded };

  // Argument reads of -u: after a number that cannot be read, the rest of the
  // command's reads find nothing, as with a failed formatted stream.
  bool readArgument(Word& word, std::size_t keep);
  bool readArgument(int& number);
  Outcome runUseCommand();
  // The end of input: reports lost screens and gives the exit status.
  int finish();

  FormattedInput input_;
  bool argumentFailed_ = false;
  Console& console_;
  Terminal terminal_;
};

// Sets up the console from the process's standard streams and runs the loop.
int runRotorwerk();

}  // namespace rotorwerk
