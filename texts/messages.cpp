// The command line's messages, in the user's language and the console's encoding.
#include "texts/messages.h"

#include "texts/message_table.h"

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

std::size_t cellsOf(const Console& console, std::string_view text) {
  std::size_t cells = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    cells += !console.utf8() || byte < 0x80 ? 1 : byte >= 0xE0 ? 2 : 0;
  }
  return cells;
}

}  // namespace rotorwerk
