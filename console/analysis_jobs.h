// The command line's analysis jobs: the machine watched letter by letter, and broken.
#pragma once

#include "console/command_jobs.h"

namespace rotorwerk {

int traceJob(const JobOptions& options, Console& console);
int attackJob(const JobOptions& options, Console& console);

}  // namespace rotorwerk
