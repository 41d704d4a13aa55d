// Arbitrary bytes as a code file under fixed sound settings. Deciphering must not
// crash, must write no more than it read, and enciphering the deciphered body again
// must give back the body of the file.
#include <cstdint>
#include <cstring>

#include "api/settings_files.h"
#include "codefile/code_file.h"
#include "codefile/decrypt_command.h"
#include "fuzz_support.h"
#include "machine/keystream.h"
#include "machine/settings.h"
#include "platform/file.h"
#include "platform/formatted_input.h"

using namespace rotorwerk;

namespace {

const RotorMachine& sampleMachine() {
  static const RotorMachine machine = [] {
    const std::string& dir = fuzz::scratchDirectory();
    fuzz::writeFile(dir + "/enigma_config.ef", fuzz::kSampleWiring);
    fuzz::writeFile(dir + "/enigma_init.ef", fuzz::kSampleStart);
    const auto settings = loadSettings(dir);
    if (!settings) std::abort();
    return buildMachine(*settings);
  }();
  return machine;
}

// The body as the file layout defines it: after the header word and one separator,
// up to the last '#'.
std::string expectedBody(const std::string& code) {
  std::size_t at = 0;
  while (at < code.size() && isSpace(static_cast<unsigned char>(code[at]))) ++at;
  at += kEnglishHeader.size();  // both header words are this long
  const std::size_t mark = code.rfind('#');
  const std::size_t end = mark != std::string::npos && mark >= at ? mark : code.size();
  return at + 1 <= end ? code.substr(at + 1, end - at - 1) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const RotorMachine& machine = sampleMachine();
  const std::string path = fuzz::scratchDirectory() + "/code.txt";
  fuzz::writeFile(path, data, size);
  auto input = openForReading(path);
  std::FILE* out = std::tmpfile();
  if (!input || out == nullptr) std::abort();
  const auto language = readCodeHeader(input->get(), path);
  if (!language) {
    std::fclose(out);
    return 0;
  }
  const auto verification = decryptCommand(std::move(*input), path, machine, out, "");
  const std::string shown = fuzz::readAll(out);
  std::fclose(out);
  if (!verification || shown.size() > size) std::abort();
  std::string body = shown;
  Keystream keystream(machine, machine.startPositions());
  keystream.apply(body.data(), body.size());
  const std::string code(reinterpret_cast<const char*>(data), size);
  if (body != expectedBody(code)) std::abort();
  return 0;
}
