// The command line's analysis jobs: the machine watched letter by letter, and broken.
#pragma once

#include <string>
#include <vector>

#include "console/command_jobs.h"
#include "rotorwerk/rotorwerk.h"

namespace rotorwerk {

int traceJob(const JobOptions& options, Console& console);
int attackJob(const JobOptions& options, Console& console);

// What an attack found, told line by line as the attack tells it on standard error
// (the page shows the same lines); `lettered`: scored as language, not letter counts.
std::vector<std::string> attackReport(const Console& console, const api::AttackOutcome& found,
                                      bool lettered);

}  // namespace rotorwerk
