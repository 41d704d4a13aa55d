// The texts that tell the user what went wrong, for both front ends.
#include "texts/reports.h"

#include "machine/key_generator.h"
#include "platform/file.h"
#include "texts/message_table.h"
#include "texts/messages.h"
#include "texts/texts.h"

namespace rotorwerk {
namespace {

// A settings item's name in each front end: the console's fixed text and the command
// line's message.
struct ItemNames {
  const ConsoleText& console;
  messages::Id commandLine;
};

ItemNames namesOf(SettingsItem item) {
  using enum SettingsItem;
  switch (item) {
    case kCannotOpen: return {texts::kItemCannotOpen, messages::kItemCannotOpen};
    case kReflector: return {texts::kItemReflector, messages::kItemReflector};
    case kRotorCount: return {texts::kItemRotorCount, messages::kItemRotorCount};
    case kRotor: return {texts::kItemRotor, messages::kItemRotor};
    case kPlugCount: return {texts::kItemPlugCount, messages::kItemPlugCount};
    case kPlug: return {texts::kItemPlug, messages::kItemPlug};
    case kLeftRotor: return {texts::kItemLeftRotor, messages::kItemLeftRotor};
    case kMiddleRotor: return {texts::kItemMiddleRotor, messages::kItemMiddleRotor};
    case kRightRotor: return {texts::kItemRightRotor, messages::kItemRightRotor};
    case kLeftOffset: return {texts::kItemLeftOffset, messages::kItemLeftOffset};
    case kMiddleOffset: return {texts::kItemMiddleOffset, messages::kItemMiddleOffset};
    case kRightOffset: return {texts::kItemRightOffset, messages::kItemRightOffset};
    // Only the library gives these; to the console they are a start file it cannot open.
    case kNoStart: return {texts::kItemCannotOpen, messages::kItemNoStart};
    case kMovedFrom: return {texts::kItemCannotOpen, messages::kItemMovedFrom};
  }
  return {texts::kItemCannotOpen, messages::kItemCannotOpen};
}

// The console's text of a fault. Only a code file that cannot be written, and a
// settings file, are named: the console's messages say nothing more.
const ConsoleText& consoleText(FaultKind kind) {
  switch (kind) {
    case FaultKind::kFileNotFound: return texts::kFileNotFound;
    case FaultKind::kCannotRead: return texts::kCannotReadFile;
    case FaultKind::kNoSuchCodingType: return texts::kNoSuchCodingType;
    case FaultKind::kFormat: return texts::kFormatProblem;
    case FaultKind::kCannotOutput: return texts::kCannotOutputText;
    case FaultKind::kOutputLost: return texts::kCannotWriteOutput;
    case FaultKind::kSettings: return texts::kSettingsFault;
    // Key files and the attack are the command line's alone.
    case FaultKind::kCannotWrite:
    case FaultKind::kNotRegular:
    case FaultKind::kExists:
    case FaultKind::kSameFile:
    case FaultKind::kNoRandomness:
    case FaultKind::kJournal:
    case FaultKind::kOutsideFolder:
    case FaultKind::kAttackInput:
    case FaultKind::kAttackFailed:
    case FaultKind::kLocked: return texts::kCannotWriteFile;
  }
  return texts::kCannotWriteFile;
}

// The step a commit failed at; a fault without one is told without it.
messages::Id stepMessage(FaultStep step) {
  switch (step) {
    case FaultStep::kNone:  // not asked
    case FaultStep::kSync: return messages::kStepSync;
    case FaultStep::kJournal: return messages::kStepJournal;
    case FaultStep::kBackup: return messages::kStepBackup;
    case FaultStep::kPlace: return messages::kStepPlace;
    case FaultStep::kLock: return messages::kStepLock;
    case FaultStep::kUndo: return messages::kStepUndo;
  }
  return messages::kStepSync;
}

// What is wrong with a journal that was not believed.
std::string journalProblem(const Console& console, const Fault& fault) {
  switch (static_cast<JournalProblem>(fault.item)) {
    case JournalProblem::kNotRegular: return say(console, messages::kJournalNotRegular);
    case JournalProblem::kOwner: return say(console, messages::kJournalOwner);
    case JournalProblem::kWritable: return say(console, messages::kJournalWritable);
    case JournalProblem::kTooLarge: return say(console, messages::kJournalTooLarge);
    case JournalProblem::kUnreadable:
      return say(console, messages::kJournalUnreadable, {fault.reason});
    case JournalProblem::kDamaged: return say(console, messages::kJournalDamaged);
    case JournalProblem::kOutside: return say(console, messages::kJournalOutside);
    case JournalProblem::kForeign:
    case JournalProblem::kMissing: break;  // messages of their own
  }
  return say(console, messages::kJournalDamaged);
}

// A settings fault names its file; one without a file (settings made or handed over in
// memory) says what is at fault, and for a count the range it must lie in.
std::string settingsMessage(const Console& console, const Fault& fault) {
  const auto item = static_cast<SettingsItem>(fault.item);
  if (!fault.file.empty()) {
    return say(
        console, messages::kSettings,
        {displayName(fault.file), settingsItemName(console, item, fault.number, fault.reason)});
  }
  if (item == SettingsItem::kRotorCount || item == SettingsItem::kPlugCount) {
    const bool rotors = item == SettingsItem::kRotorCount;
    return say(console, messages::kSettingsCount,
               {say(console, namesOf(item).commandLine), std::to_string(fault.number),
                rotors ? "1" : "0", std::to_string(rotors ? kMaxRotors : kMaxPlugPairs)});
  }
  return say(console, messages::kSettingsUnnamed,
             {settingsItemName(console, item, fault.number, fault.reason)});
}

// The command line's message: the catalogue's, with the file and the system's reason.
std::string commandLineMessage(const Console& console, const Fault& fault) {
  const std::string name = displayName(fault.file);
  if (fault.kind == FaultKind::kCannotWrite && fault.step != FaultStep::kNone) {
    return say(console, messages::kCannotWriteStep,
               {name, say(console, stepMessage(fault.step)), fault.reason});
  }
  switch (fault.kind) {
    case FaultKind::kFileNotFound:
      return say(console, messages::kFileNotFound, {name, fault.reason});
    case FaultKind::kCannotRead: return say(console, messages::kCannotRead, {name, fault.reason});
    case FaultKind::kCannotWrite:
    case FaultKind::kCannotOutput:
      return say(console, messages::kCannotWrite, {name, fault.reason});
    case FaultKind::kNotRegular: return say(console, messages::kNotRegular, {name});
    case FaultKind::kExists: return say(console, messages::kExists, {name});
    case FaultKind::kSameFile:
      if (static_cast<SameFile>(fault.item) == SameFile::kOutputIsKey) {
        return say(console, messages::kOutputIsKey, {name, displayName(fault.reason)});
      }
      return say(console, messages::kSameFile, {displayName(fault.reason), name});
    case FaultKind::kNoRandomness: return say(console, messages::kNoRandomness);
    case FaultKind::kJournal:
      if (static_cast<JournalProblem>(fault.item) == JournalProblem::kMissing) {
        return say(console, messages::kJournalMissing, {name, displayName(fault.reason)});
      }
      if (static_cast<JournalProblem>(fault.item) == JournalProblem::kForeign) {
        return say(console, messages::kJournalForeign, {name, displayName(fault.reason)});
      }
      return say(console, messages::kJournalUntrusted, {name, journalProblem(console, fault)});
    case FaultKind::kOutsideFolder:
      return say(console, messages::kOutsideFolder, {name, displayName(fault.reason)});
    case FaultKind::kLocked:
      return say(console, messages::kLocked, {name, std::to_string(fault.number)});
    case FaultKind::kNoSuchCodingType: return say(console, messages::kNoSuchCodingType, {name});
    case FaultKind::kFormat: return say(console, messages::kFormat, {name});
    case FaultKind::kOutputLost: return say(console, messages::kOutputLost, {fault.reason});
    case FaultKind::kAttackInput:
      switch (static_cast<AttackInput>(fault.item)) {
        case AttackInput::kNoLetters: return say(console, messages::kAttackNoLetters, {name});
        case AttackInput::kMixedLabels:
          return say(console, messages::kAttackMixedLanguages, {displayName(fault.reason), name});
        case AttackInput::kCribOutside: return say(console, messages::kAttackCribOutside, {name});
        case AttackInput::kNoRotors: return say(console, messages::kAttackNoRotors);
        case AttackInput::kNoLanguage:
          return say(console, messages::kAttackNoLanguage, {displayName(fault.reason)});
        case AttackInput::kCribPlace:
          return say(console, messages::kAttackCribPlace, {displayName(fault.reason)});
      }
      return {};
    case FaultKind::kAttackFailed:
      switch (static_cast<AttackFailure>(fault.item)) {
        case AttackFailure::kNoMemory: return say(console, messages::kAttackNoMemory);
        case AttackFailure::kProgressFailed:
          return say(console, messages::kAttackProgressFailed, {displayName(fault.reason)});
        case AttackFailure::kStopFailed:
          return say(console, messages::kAttackStopFailed, {displayName(fault.reason)});
      }
      return {};
    case FaultKind::kSettings: return settingsMessage(console, fault);
  }
  return {};
}

}  // namespace

std::string settingsItemName(const Console& console, SettingsItem item, std::int64_t number,
                             const std::string& reason) {
  const std::string fill = item == SettingsItem::kCannotOpen ? reason : std::to_string(number);
  return say(console, namesOf(item).commandLine, {fill});
}

std::string faultMessage(const Console& console, const Fault& fault, FrontEnd frontEnd) {
  if (frontEnd == FrontEnd::kCommandLine) {
    return "rotorwerk: " + commandLineMessage(console, fault) + "\n";
  }
  // The console writes no key file: a name that is no regular file is a settings file,
  // told as one that cannot be opened.
  if (fault.kind == FaultKind::kNotRegular) {
    return faultMessage(console, Fault{FaultKind::kSettings, fault.file}, frontEnd);
  }
  std::string message(console.text(consoleText(fault.kind)));
  if (fault.kind == FaultKind::kCannotWrite || fault.kind == FaultKind::kSettings ||
      fault.kind == FaultKind::kJournal) {
    message += displayName(fault.file);
  }
  if (fault.kind == FaultKind::kSettings) {
    const auto item = static_cast<SettingsItem>(fault.item);
    message += console.text(texts::kItemOpen);
    message += console.text(namesOf(item).console);
    if (item == SettingsItem::kRotor || item == SettingsItem::kPlug) {
      message += std::to_string(fault.number);
    }
    message += console.text(texts::kItemClose);
  }
  return message;
}

}  // namespace rotorwerk
