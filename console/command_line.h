// The command line: one job from the program's arguments, for scripts.
#pragma once

namespace rotorwerk {

// Runs the job the arguments name and gives its exit status (see command_jobs.h).
int runCommandLine(int argc, char** argv);

// Says that the standard streams could not be made safe, where it can, and gives the
// exit status of a run that did not start.
int refuseToRun();

}  // namespace rotorwerk
