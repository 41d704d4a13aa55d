// The command loop: banner, command words, the -h and -u commands.
#include "console/command_loop.h"

#include <limits>
#include <string>

#include "codefile/code_file.h"
#include "platform/file.h"
#include "platform/interrupts.h"
#include "rotorwerk/rotorwerk.h"
#include "texts/reports.h"
#include "texts/texts.h"

namespace rotorwerk {
namespace {

// Longer names cannot be opened anywhere; longer types are never registered.
constexpr std::size_t kArgumentKeep = 4096;

// The path of a typed name, or a fault for a name that cannot be opened anywhere. The
// console's names are files: "-" too.
Result<std::string> textPath(const Word& name) {
  if (name.truncated() || name.text.find('\0') != std::string::npos) {
    return Fault{FaultKind::kFileNotFound, name.text};
  }
  return name.text == "-" ? joinPath(".", "-") : typedName(name.text);
}

void tell(Console& console, const Fault& fault) {
  console.error(faultMessage(console, fault, FrontEnd::kConsole));
}

// The language line, the deciphered text, and what its verification found.
void showDecryption(const std::string& path, const api::Settings& settings, Console& console) {
  const auto outputFor = [&](api::TextLabel label) -> Result<std::FILE*> {
    console.write(texts::kLanguageLine);
    console.write(label == api::TextLabel::kChinese ? texts::kChineseLabel : texts::kEnglishLabel);
    console.write("\n");
    return console.out();
  };
  const auto verification = api::decryptFile(settings, path, outputFor, "");
  if (!verification) {
    tell(console, verification.fault());
    return;
  }
  if (!verification->codingTypeKnown) console.message(texts::kUnknownCodingType);
  for (int k = 0; k < verification->failedChecks; ++k) console.message(texts::kCheckFailed);
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
  const auto settings = api::Settings::load();
  if (!settings) {
    tell(console_, settings.fault());
    terminal_.waitForKey(console_);
    return Outcome::kDone;
  }
  const auto path = textPath(name);
  if (!path) {
    tell(console_, path.fault());
  } else if (operation != 0) {
    // Any language but 0 labels the text Chinese, and a type is judged as typed.
    const auto done = api::encryptFile(
        *settings, *path, kCodeFileName,
        lang != 0 ? api::TextLabel::kChinese : api::TextLabel::kEnglish, type.text);
    if (done) {
      console_.message(std::string(console_.text(texts::kWrittenToFile)) + kCodeFileName);
    } else {
      tell(console_, done.fault());
    }
  } else {
    showDecryption(*path, *settings, console_);
  }
  terminal_.waitForKey(console_);
  return Outcome::kDone;
}

int CommandLoop::finish() {
  console_.flush();
  // Screens that could not be shown fail the run like any other lost output.
  if (console_.outputLost()) tell(console_, Fault{FaultKind::kOutputLost});
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
