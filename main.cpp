// Rotorwerk Pro: the console rotor cipher tool.
#include "console/command_loop.h"

int main() { return rotorwerk::runRotorwerk(); }
