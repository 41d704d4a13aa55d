// The texts that tell the user what a settings load or a command found.
#include "console/reports.h"

#include "console/texts.h"

namespace rotorwerk {

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

std::string settingsFaultMessage(const Console& console, const SettingsFault& fault) {
  std::string message(console.text(texts::kSettingsFault));
  message += fault.file == SettingsFile::kWiring ? kWiringFileName : kStartFileName;
  message += console.text(texts::kItemOpen);
  message += console.text(settingsItemText(fault.item));
  if (fault.item == SettingsItem::kRotor || fault.item == SettingsItem::kPlug) {
    message += std::to_string(fault.number);
  }
  message += console.text(texts::kItemClose);
  return message;
}

const ConsoleText& encryptionText(EncryptResult result) {
  switch (result) {
    case EncryptResult::kWritten: return texts::kWrittenToFile;
    case EncryptResult::kNoSuchCodingType: return texts::kNoSuchCodingType;
    case EncryptResult::kCannotWrite: return texts::kCannotWriteFile;
    case EncryptResult::kCannotRead: return texts::kCannotReadFile;
  }
  return texts::kCannotWriteFile;
}

}  // namespace rotorwerk
