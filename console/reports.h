// The texts that tell the user what a settings load or a command found, shared by the
// console and the command line.
#pragma once

#include <string>

#include "codefile/encrypt_command.h"
#include "machine/settings.h"
#include "platform/console.h"

namespace rotorwerk {

// "[错误] 配置文件有误：FILE（ITEM）" for the first fault of the settings.
std::string settingsFaultMessage(const Console& console, const SettingsFault& fault);

// The name of a settings item, such as 右偏移.
const ConsoleText& settingsItemText(SettingsItem item);

// The message for an encryption's result. For kWritten and kCannotWrite the name of
// the code file follows it; the others name the text.
const ConsoleText& encryptionText(EncryptResult result);

}  // namespace rotorwerk
