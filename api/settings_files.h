// The two settings files of a directory, opened and read into settings.
#pragma once

#include <string>

#include "machine/settings.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

// Reads the wiring file and then the start file from `directory` (empty: the working
// directory). A fault names the file, with the directory, and the item.
Result<Settings> loadSettings(const std::string& directory = {});

// Reads the wiring file alone, for the attack, which seeks the start file.
Result<Wiring> loadWiring(const std::string& directory = {});

// The same, for a writer that holds the directory's lock already.
Result<Wiring> loadWiringLocked(const std::string& directory);

}  // namespace rotorwerk
