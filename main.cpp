// Rotorwerk Pro: the console rotor cipher tool.
#include "console/command_line.h"
#include "console/command_loop.h"
#include "platform/file.h"

// Without arguments, the console; with them, one job for a script.
int main(int argc, char** argv) {
  if (!rotorwerk::openStandardStreams()) return rotorwerk::refuseToRun();
  return argc > 1 ? rotorwerk::runCommandLine(argc, argv) : rotorwerk::runRotorwerk();
}
