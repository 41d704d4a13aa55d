// The command loop: banner, command words, the -h and -u commands.
#include "console/command_loop.h"

#include <limits>
#include <string>

#include "codefile/decrypt_command.h"
#include "codefile/encrypt_command.h"
#include "console/interrupts.h"
#include "console/texts.h"
#include "machine/settings.h"
#include "machine/stdio_file.h"

namespace rotorwerk {
namespace {

// Longer names cannot be opened anywhere; longer types are never registered.
constexpr std::size_t kArgumentKeep = 4096;

File openTextFile(const Word& name) {
  if (name.truncated() || name.text.find('\0') != std::string::npos) return nullptr;
  return openForReading(name.text.c_str());
}

const ConsoleText& itemText(SettingsItem item) {
  using enum SettingsItem;
  switch (item) {
    case kCannotOpen: return texts::kItemCannotOpen;
    case kReflector: return texts::kItemReflector;
    case kRotorCount: return texts::kItemRotorCount;
    case kRotor: return texts::kItemRotor;
    case kPlugCount: return texts::kItemPlugCount;
    case kPlug: return texts::kItemPlug;
    case kLeftRotor: return texts::kItemLeftRotor;
    case kMiddleRotor: return texts::kItemMiddleRotor;
    case kRightRotor: return texts::kItemRightRotor;
    case kLeftOffset: return texts::kItemLeftOffset;
    case kMiddleOffset: return texts::kItemMiddleOffset;
    case kRightOffset: return texts::kItemRightOffset;
  }
  return texts::kItemCannotOpen;
}

std::string faultMessage(const Console& console, const SettingsFault& fault) {
  std::string message(console.text(texts::kSettingsFault));
  message += fault.file == SettingsFile::kWiring ? kWiringFileName : kStartFileName;
  message += console.text(texts::kItemOpen);
  message += console.text(itemText(fault.item));
  if (fault.item == SettingsItem::kRotor || fault.item == SettingsItem::kPlug) {
    message += std::to_string(fault.number);
  }
  message += console.text(texts::kItemClose);
  return message;
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
    console_.error(faultMessage(console_, *fault));
    terminal_.waitForKey(console_);
    return Outcome::kDone;
  }
  const File text = openTextFile(name);
  if (!text) {
    console_.error(texts::kFileNotFound);
  } else if (operation != 0) {
    encryptCommand(text.get(), lang, type.text, machine_, console_);
  } else {
    decryptCommand(text.get(), machine_, console_);
  }
  terminal_.waitForKey(console_);
  return Outcome::kDone;
}

int CommandLoop::run() {
  for (;;) {
    console_.write(texts::kBanner);
    console_.flush();
    Word command;
    // A script can tell from the status whether any command of the run failed.
    if (input_.readWord(command, 2) == ReadStatus::kEnd) return console_.errorReported() ? 1 : 0;
    if (command.length == 2 && command.text == "-h") {
      terminal_.clearScreen(console_);
      console_.write(texts::kHelpScreen);
      terminal_.waitForKey(console_);
    } else if (command.length == 2 && command.text == "-u") {
      if (runUseCommand() == Outcome::kInputEnded) return console_.errorReported() ? 1 : 0;
      // The word that failed as a number is read again as the next command word.
      argumentFailed_ = false;
    }
    terminal_.clearScreen(console_);
  }
}

int runRotorwerk() {
  Console console(stdout, stderr, Console::localeIsUtf8());
  installInterruptHandlers();
  CommandLoop loop(stdin, console, Terminal(Terminal::standardStreamsAreTerminals()));
  const int status = loop.run();
  console.flush();
  return status;
}

}  // namespace rotorwerk
