// The texts that tell the user what went wrong, for both front ends.
#pragma once

#include <string>

#include "machine/settings.h"
#include "platform/console.h"
#include "rotorwerk/result.h"

namespace rotorwerk {

enum class FrontEnd {
  kConsole,      // the console's messages: no line end, and most name no file
  kCommandLine,  // one line each, naming the file concerned
};

// The one message for a fault, such as "[错误] 配置文件有误：enigma_init.ef（右偏移）".
std::string faultMessage(const Console& console, const Fault& fault, FrontEnd frontEnd);

// The command line's name of a settings item, such as "the right offset"; `number`
// counts rotors and plug pairs, `reason` says why a file cannot be opened.
std::string settingsItemName(const Console& console, SettingsItem item, std::int64_t number = 0,
                             const std::string& reason = {});

}  // namespace rotorwerk
