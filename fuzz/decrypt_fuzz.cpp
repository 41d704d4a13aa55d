// Arbitrary bytes as a code file under fixed sound settings. Deciphering must not
// crash, must write no more than it read, and enciphering the deciphered body again
// must give back the body of the file.
#include <cstdint>
#include <cstring>

#include "codefile/code_file.h"
#include "codefile/decrypt_command.h"
#include "console/texts.h"
#include "fuzz_support.h"
#include "machine/formatted_input.h"
#include "machine/keystream.h"
#include "machine/settings.h"

using namespace rotorwerk;

namespace {

const RotorMachine& sampleMachine() {
  static const RotorMachine machine = [] {
    const std::string& dir = fuzz::scratchDirectory();
    fuzz::writeFile(dir + "/enigma_config.ef", fuzz::kSampleWiring);
    fuzz::writeFile(dir + "/enigma_init.ef", fuzz::kSampleStart);
    RotorMachine loaded;
    if (loadSettings(loaded, dir)) std::abort();
    return loaded;
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
  std::FILE* input = std::fopen(path.c_str(), "r");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  if (input == nullptr || out == nullptr || err == nullptr) std::abort();
  Console console(out, err, true);
  decryptCommand(input, machine, console);
  console.flush();
  const std::string shown = fuzz::readAll(out);
  const std::string messages = fuzz::readAll(err);
  std::fclose(input);
  std::fclose(out);
  std::fclose(err);

  if (shown.empty()) {
    if (messages != texts::kFormatProblem.utf8) std::abort();
    return 0;
  }
  const std::string english =
      std::string(texts::kLanguageLine.utf8) + std::string(texts::kEnglishLabel.utf8) + "\n";
  const std::string chinese =
      std::string(texts::kLanguageLine.utf8) + std::string(texts::kChineseLabel.utf8) + "\n";
  const std::size_t line = shown.rfind(english, 0) == 0   ? english.size()
                           : shown.rfind(chinese, 0) == 0 ? chinese.size()
                                                          : 0;
  if (line == 0 || shown.size() - line > size) std::abort();
  std::string body = shown.substr(line);
  Keystream keystream(machine, machine.startPositions());
  keystream.apply(body.data(), body.size());
  const std::string code(reinterpret_cast<const char*>(data), size);
  if (body != expectedBody(code)) std::abort();
  return 0;
}
