// Writes the bash, zsh and fish completions into a directory; the build runs it.
//   write_completions DIRECTORY
#include <cstdio>
#include <fstream>
#include <string>

#include "console/completions.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: write_completions DIRECTORY\n", stderr);
    return 2;
  }
  const std::string directory = argv[1];
  const struct {
    const char* name;
    rotorwerk::Shell shell;
  } files[] = {{"rotorwerk", rotorwerk::Shell::kBash},
               {"_rotorwerk", rotorwerk::Shell::kZsh},
               {"rotorwerk.fish", rotorwerk::Shell::kFish}};
  for (const auto& file : files) {
    std::ofstream out(directory + "/" + file.name, std::ios::binary);
    out << rotorwerk::completionScript(file.shell);
    if (!out.flush()) {
      std::perror(file.name);
      return 1;
    }
  }
  return 0;
}
