// The command line: one job from the program's arguments, for scripts.
#pragma once

namespace rotorwerk {

// Exit statuses of a command-line job.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitError = 1;       // a file, the settings or a write failed
inline constexpr int kExitUsage = 2;       // an unknown command or option, a missing FILE
inline constexpr int kExitUnverified = 3;  // deciphered, but the verification failed

// Runs the job the arguments name and gives its exit status.
int runCommandLine(int argc, char** argv);

}  // namespace rotorwerk
