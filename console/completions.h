// The shells' completions of the command line, made from its table.
#pragma once

#include <string>

namespace rotorwerk {

enum class Shell { kBash, kZsh, kFish };

std::string completionScript(Shell shell);

}  // namespace rotorwerk
