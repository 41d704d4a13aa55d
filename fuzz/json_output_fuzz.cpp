// Arbitrary bytes through the JSON writer's string: what it writes must be one JSON
// string that a strict reader takes, valid UTF-8 with no raw control character.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/json_output.h"

namespace {

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The length of the UTF-8 character at `at` by RFC 3629's table, or 0. Written apart
// from the writer's own, which this target checks. `code` gets its code point.
std::size_t characterAt(std::string_view text, std::size_t at, std::uint32_t& code) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2, minimum = 0x80, code = lead & 0x1FU;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3, minimum = 0x800, code = lead & 0x0FU;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4, minimum = 0x10000, code = lead & 0x07U;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0U) != 0x80U) return 0;
    code = (code << 6) | (next & 0x3FU);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

// Whether `json` is exactly one JSON string (RFC 8259) of valid UTF-8, with no raw C0,
// DEL or C1 control and no escaped surrogate.
bool strictString(std::string_view json) {
  if (json.size() < 2 || json.front() != '"' || json.back() != '"') return false;
  const std::string_view body = json.substr(1, json.size() - 2);
  for (std::size_t i = 0; i < body.size();) {
    std::uint32_t code = 0;
    const std::size_t length = characterAt(body, i, code);
    if (length == 0 || code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == '"') return false;
    if (code != '\\') {
      i += length;
      continue;
    }
    if (i + 1 >= body.size()) return false;
    const char kind = body[i + 1];
    if (kind == 'u') {
      if (i + 6 > body.size()) return false;
      for (std::size_t k = 2; k < 6; ++k) {
        if (!isHex(body[i + k])) return false;
      }
      const unsigned long escaped =
          std::strtoul(std::string(body.substr(i + 2, 4)).c_str(), nullptr, 16);
      if (escaped >= 0xD800 && escaped <= 0xDFFF) return false;
      i += 6;
    } else if (std::string_view("\"\\/bfnrt").find(kind) != std::string_view::npos) {
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!strictString(rotorwerk::json::string(bytes))) std::abort();
  return 0;
}
