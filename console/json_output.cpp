// JSON documents for scripts.
#include "console/json_output.h"

#include <cstdio>

#include "platform/file.h"

namespace rotorwerk::json {
namespace {

void appendEscape(std::string& out, unsigned value) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", value);
  out += escaped;
}

}  // namespace

std::string string(std::string_view bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = utf8CharacterLength(bytes, i);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F || length == 0) {
      appendEscape(out, byte);
    } else if (byte == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F) {
      // A C1 control as UTF-8 is escaped as its raw byte is, so no terminal that shows
      // the document meets a control sequence.
      appendEscape(out, static_cast<unsigned char>(bytes[i + 1]));
    } else {
      out.append(bytes.substr(i, length));
    }
    i += length == 0 ? 1 : length;
  }
  return out + "\"";
}

std::string number(std::int64_t value) { return std::to_string(value); }

std::string array(const std::vector<std::string>& values) {
  std::string out = "[";
  for (std::size_t k = 0; k < values.size(); ++k) out += (k > 0 ? ", " : "") + values[k];
  return out + "]";
}

std::string object(std::initializer_list<std::pair<std::string_view, std::string>> members) {
  std::string out = "{";
  bool first = true;
  for (const auto& [name, value] : members) {
    out += (first ? "" : ", ") + string(name) + ": " + value;
    first = false;
  }
  return out + "}";
}

}  // namespace rotorwerk::json
