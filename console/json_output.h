// JSON documents for scripts: check, trace and attack with --json.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rotorwerk::json {

// A JSON string of `bytes`: UTF-8 kept, controls escaped, and a byte that is no part of
// a UTF-8 character (a GBK byte, say) written as the character of its value (\u00XX).
std::string string(std::string_view bytes);

std::string number(std::int64_t value);
std::string array(const std::vector<std::string>& values);
// An object of (name, JSON value) members, in order.
std::string object(std::initializer_list<std::pair<std::string_view, std::string>> members);

}  // namespace rotorwerk::json
