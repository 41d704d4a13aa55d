// What files need on every platform: names joined and shown, line ends folded.
#include <cstdio>
#include <cstring>

#include "platform/file.h"

namespace rotorwerk {

Fault errorFault(FaultKind kind, std::string file, int error) {
  Fault fault{kind, std::move(file)};
  fault.reason = std::strerror(error);
  return fault;
}

// RFC 3629's table: the lead byte gives the length and the range of the second byte,
// which is what shuts out overlong forms, surrogates and anything above U+10FFFF.
std::size_t utf8CharacterLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  struct Form {
    std::size_t length;
    unsigned char low;
    unsigned char high;
  };
  const Form form = lead >= 0xC2 && lead <= 0xDF   ? Form{2, 0x80, 0xBF}
                    : lead == 0xE0                 ? Form{3, 0xA0, 0xBF}
                    : lead == 0xED                 ? Form{3, 0x80, 0x9F}
                    : lead >= 0xE1 && lead <= 0xEF ? Form{3, 0x80, 0xBF}
                    : lead == 0xF0                 ? Form{4, 0x90, 0xBF}
                    : lead >= 0xF1 && lead <= 0xF3 ? Form{4, 0x80, 0xBF}
                    : lead == 0xF4                 ? Form{4, 0x80, 0x8F}
                                                   : Form{0, 0, 0};
  if (form.length == 0 || at + form.length > text.size()) return 0;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if (second < form.low || second > form.high) return 0;
  for (std::size_t k = 2; k < form.length; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0U) != 0x80U) return 0;
  }
  return form.length;
}

// C0 and C1 controls both move a terminal's cursor or start an escape sequence (0x9B
// is CSI), as a raw byte or as the UTF-8 character U+0080 to U+009F.
std::string escapeControls(const std::string& name) {
  std::string shown;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const auto byte = static_cast<unsigned char>(c);
    char escaped[8];
    if (const std::size_t length = byte >= 0x80 ? utf8CharacterLength(name, i) : 0; length > 0) {
      const auto second = static_cast<unsigned char>(name[i + 1]);
      if (byte == 0xC2 && second <= 0x9F) {
        std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(second));
        shown += escaped;
      } else {
        shown.append(name, i, length);
      }
      i += length - 1;
    } else if ((byte >= 0x20 && byte < 0x7F) || byte >= 0xA0) {
      shown += c;
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
      shown += escaped;
    }
  }
  return shown;
}

std::size_t foldLineEnds(std::FILE* file, char* data, std::size_t size) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != '\r') {
      data[kept++] = data[i];
    } else if (i + 1 < size) {
      if (data[i + 1] != '\n') data[kept++] = '\r';
    } else {
      // The block's last byte: only the stream can tell whether a LF follows.
      const int next = std::getc(file);
      if (next == '\n') {
        data[kept++] = '\n';
      } else {
        if (next != EOF) std::ungetc(next, file);
        data[kept++] = '\r';
      }
    }
  }
  return kept;
}

Result<File> openInput(const std::string& name) {
  return name == "-" ? standardInput() : openForReading(name);
}

}  // namespace rotorwerk
