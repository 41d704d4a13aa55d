// JSON documents for scripts: check, trace and attack with --json.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rotorwerk::json {

// A JSON string of `bytes`, always valid UTF-8: sound UTF-8 kept, C0, DEL and C1 controls
// escaped, and each byte that is no part of a sound UTF-8 character (a GBK byte, an
// overlong form, a surrogate, a cut-off sequence) written as the character of its value
// (\u00XX). A C1 control reads the same whether it came as a byte or as UTF-8.
std::string string(std::string_view bytes);

std::string number(std::int64_t value);
std::string array(const std::vector<std::string>& values);
// An object of (name, JSON value) members, in order.
std::string object(std::initializer_list<std::pair<std::string_view, std::string>> members);

}  // namespace rotorwerk::json
