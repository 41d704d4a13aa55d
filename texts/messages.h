// The command line's messages, in the user's language and the console's encoding.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace rotorwerk {

// The catalogue's message numbers, generated into texts/message_table.h.
namespace messages {
enum Id : int;
}  // namespace messages

// A message with each "%s" filled in order; what fills it is in the console's
// encoding already (names through displayName).
std::string say(const Console& console, messages::Id id,
                std::initializer_list<std::string_view> fills = {});

// Terminal cells a message takes: a Chinese character two, in UTF-8 or GBK.
std::size_t cellsOf(const Console& console, std::string_view text);

}  // namespace rotorwerk
