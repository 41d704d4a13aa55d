// The texts that tell the user what went wrong, for both front ends.
#include "console/reports.h"

#include "console/texts.h"
#include "platform/file.h"

namespace rotorwerk {
namespace {

// The text of a fault, and whether the file's name follows it directly (otherwise
// only the command line names it, after a colon).
struct FaultText {
  const ConsoleText& text;
  bool nameFollows;
};

FaultText faultText(FaultKind kind, FrontEnd frontEnd) {
  switch (kind) {
    case FaultKind::kFileNotFound: return {texts::kFileNotFound, false};
    case FaultKind::kCannotRead: return {texts::kCannotReadFile, false};
    case FaultKind::kCannotWrite: return {texts::kCannotWriteFile, true};
    case FaultKind::kNotRegular: return {texts::kNotRegularFile, true};
    case FaultKind::kExists: return {texts::kFileExists, true};
    case FaultKind::kNoRandomness: return {texts::kNoRandomness, false};
    case FaultKind::kNoSuchCodingType: return {texts::kNoSuchCodingType, false};
    case FaultKind::kFormat: return {texts::kFormatProblem, false};
    case FaultKind::kOutputLost: return {texts::kCannotWriteOutput, false};
    case FaultKind::kSettings: return {texts::kSettingsFault, true};
    case FaultKind::kCannotOutput:
      // The console writes deciphered text to the screen; the command line to a file.
      return frontEnd == FrontEnd::kConsole ? FaultText{texts::kCannotOutputText, false}
                                            : FaultText{texts::kCannotWriteFile, true};
  }
  return {texts::kCannotWriteFile, true};
}

}  // namespace

const ConsoleText& settingsItemText(SettingsItem item) {
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

std::string faultMessage(const Console& console, const Fault& fault, FrontEnd frontEnd) {
  const FaultText text = faultText(fault.kind, frontEnd);
  std::string message(console.text(text.text));
  if (text.nameFollows) {
    message += displayName(fault.file);
  } else if (frontEnd == FrontEnd::kCommandLine && !fault.file.empty()) {
    message += console.text(texts::kNameFollows);
    message += displayName(fault.file);
  }
  if (fault.kind == FaultKind::kSettings) {
    const auto item = static_cast<SettingsItem>(fault.item);
    message += console.text(texts::kItemOpen);
    message += console.text(settingsItemText(item));
    if (item == SettingsItem::kRotor || item == SettingsItem::kPlug) {
      message += std::to_string(fault.number);
    }
    message += console.text(texts::kItemClose);
  }
  if (frontEnd == FrontEnd::kCommandLine) message += '\n';
  return message;
}

}  // namespace rotorwerk
