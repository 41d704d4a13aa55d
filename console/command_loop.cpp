// The command loop: banner, command words, the -h and -u commands.
#include "console/command_loop.h"

#include <limits>
#include <string>

#include "codefile/decrypt_command.h"
#include "codefile/encrypt_command.h"
#include "console/reports.h"
#include "console/texts.h"
#include "machine/settings.h"
#include "platform/file.h"
#include "platform/interrupts.h"

namespace rotorwerk {
namespace {

// Longer names cannot be opened anywhere; longer types are never registered.
constexpr std::size_t kArgumentKeep = 4096;

File openTextFile(const Word& name) {
  if (name.truncated() || name.text.find('\0') != std::string::npos) return nullptr;
  return openForReading(typedName(name.text).c_str());
}

void showEncryption(File& text, int lang, const std::string& type, const RotorMachine& machine,
                    Console& console) {
  const EncryptResult result = encryptCommand(text, lang, type, machine);
  std::string message(console.text(encryptionText(result)));
  if (result == EncryptResult::kWritten || result == EncryptResult::kCannotWrite) {
    message += kCodeFileName;
  }
  if (result == EncryptResult::kWritten) {
    console.message(message);
  } else {
    console.error(message);
  }
}

// The language line, the deciphered text, and what its verification found.
void showDecryption(std::FILE* code, const RotorMachine& machine, Console& console) {
  const auto language = readCodeHeader(code);
  if (!language) {
    console.error(std::ferror(code) != 0 ? texts::kCannotReadFile : texts::kFormatProblem);
    return;
  }
  console.write(texts::kLanguageLine);
  console.write(*language == Language::kChinese ? texts::kChineseLabel : texts::kEnglishLabel);
  console.write("\n");
  const DecryptResult result = decryptCommand(code, machine, console.out());
  switch (result.failure) {
    case DecryptResult::Failure::kNone: break;
    case DecryptResult::Failure::kCannotRead: console.error(texts::kCannotReadFile); return;
    case DecryptResult::Failure::kCannotOutput: console.error(texts::kCannotOutputText); return;
  }
  if (!result.codingTypeKnown) console.message(texts::kUnknownCodingType);
  for (int k = 0; k < result.failedChecks; ++k) console.message(texts::kCheckFailed);
}

}  // namespace

bool CommandLoop::readArgument(Word& word, std::size_t keep) {
  if (argumentFailed_) {
    word = {};
    return true;
  }
  return input_.readWord(word, keep) != ReadStatus::kEnd;
}

bool CommandLoop::readArgument(int& number) {
  number = 0;
  if (argumentFailed_) return true;
  std::int64_t value = 0;
  const ReadStatus status =
      input_.readNumber(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  if (status == ReadStatus::kEnd) return false;
  argumentFailed_ = status == ReadStatus::kFailed;
  number = static_cast<int>(value);
  return true;
}

CommandLoop::Outcome CommandLoop::runUseCommand() {
  Word name;
  Word type;
  int operation = 0;
  int lang = 0;
  if (!readArgument(name, kArgumentKeep) || !readArgument(operation)) return Outcome::kInputEnded;
  // The lowest bit decides, so negative odd values read a language and a type too.
  if ((operation & 1) != 0 && (!readArgument(lang) || !readArgument(type, kArgumentKeep))) {
    return Outcome::kInputEnded;
  }
  if (operation > 1) {
    terminal_.waitForKey(console_);
    return Outcome::kDone;
  }
  if (const auto fault = loadSettings(machine_)) {
    console_.error(settingsFaultMessage(console_, *fault));
    terminal_.waitForKey(console_);
    return Outcome::kDone;
  }
  File text = openTextFile(name);
  if (!text) {
    console_.error(texts::kFileNotFound);
  } else if (operation != 0) {
    showEncryption(text, lang, type.text, machine_, console_);
  } else {
    showDecryption(text.get(), machine_, console_);
  }
  terminal_.waitForKey(console_);
  return Outcome::kDone;
}

int CommandLoop::finish() {
  console_.flush();
  // Screens that could not be shown fail the run like any other lost output.
  if (console_.outputLost()) console_.error(texts::kCannotWriteOutput);
  // A script can tell from the status whether any command of the run failed.
  return console_.errorReported() ? 1 : 0;
}

int CommandLoop::run() {
  for (;;) {
    console_.write(texts::kBanner);
    console_.flush();
    Word command;
    if (input_.readWord(command, 2) == ReadStatus::kEnd) return finish();
    if (command.length == 2 && command.text == "-h") {
      terminal_.clearScreen(console_);
      console_.write(texts::kHelpScreen);
      terminal_.waitForKey(console_);
    } else if (command.length == 2 && command.text == "-u") {
      if (runUseCommand() == Outcome::kInputEnded) return finish();
      // The word that failed as a number is read again as the next command word.
      argumentFailed_ = false;
    }
    terminal_.clearScreen(console_);
  }
}

int runRotorwerk() {
  Console console = Console::standard();
  installInterruptHandlers();
  CommandLoop loop(stdin, console, Terminal(Terminal::standardStreamsAreTerminals()));
  return loop.run();
}

}  // namespace rotorwerk
