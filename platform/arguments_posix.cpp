// The program's arguments on POSIX systems: the bytes the shell gave.
#include "platform/arguments.h"

namespace rotorwerk {

std::vector<std::string> programArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

}  // namespace rotorwerk
