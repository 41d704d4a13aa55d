// The command line's messages, in the user's language and the console's encoding.
#include "console/messages.h"

#include "console/message_table.h"

namespace rotorwerk {

std::string say(const Console& console, messages::Id id,
                std::initializer_list<std::string_view> fills) {
  const messages::Entry& entry = messages::kEntries[id];
  const std::string_view text = !console.chinese() ? entry.english
                                : console.utf8()   ? entry.chineseUtf8
                                                   : entry.chineseGbk;
  std::string message;
  const auto* fill = fills.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
      message += '%';
      ++i;
    } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && fill != fills.end()) {
      message += *fill++;
      ++i;
    } else {
      message += text[i];
    }
  }
  return message;
}

}  // namespace rotorwerk
