// Arbitrary bytes as standard input of the piped command loop, in a scratch directory
// with sound settings. The loop must end at the end of input without crashing, with
// status 0 or 1.
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "console/command_loop.h"
#include "fuzz_support.h"

using namespace rotorwerk;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& dir = fuzz::scratchDirectory();
  fuzz::writeFile(dir + "/enigma_config.ef", fuzz::kSampleWiring);
  fuzz::writeFile(dir + "/enigma_init.ef", fuzz::kSampleStart);
  fuzz::writeFile(dir + "/text.txt", std::string("Some text, 12 # RW-Eng RW-26001B"));
  if (chdir(dir.c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Names with a '/' could reach devices that never end, such as /dev/zero; the
  // loop is about the commands, so only files in the scratch directory are named.
  if (std::memchr(data, '/', size) != nullptr || size == 0) return 0;
  std::FILE* input = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  std::FILE* sink = std::fopen("/dev/null", "w");
  if (input == nullptr || sink == nullptr) std::abort();
  Console console(sink, sink, false);
  CommandLoop loop(input, console, Terminal(false));
  if (const int status = loop.run(); status != 0 && status != 1) std::abort();
  std::fclose(input);
  std::fclose(sink);
  return 0;
}
