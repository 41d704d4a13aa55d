// The texts that tell the user what went wrong, for both front ends.
#pragma once

#include <string>

#include "machine/settings.h"
#include "platform/console.h"
#include "platform/result.h"

namespace rotorwerk {

enum class FrontEnd {
  kConsole,      // the console's messages: no line end, and most name no file
  kCommandLine,  // one line each, naming the file concerned
};

// The one message for a fault, such as "[错误] 配置文件有误：enigma_init.ef（右偏移）".
std::string faultMessage(const Console& console, const Fault& fault, FrontEnd frontEnd);

// The name of a settings item, such as 右偏移.
const ConsoleText& settingsItemText(SettingsItem item);

}  // namespace rotorwerk
