// Windows' own UTF-16 for the tool's UTF-8 names, and back.
#pragma once

#include <string>
#include <string_view>

namespace rotorwerk {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
// A UTF-16 text in a code page; what the page lacks becomes '?'.
std::string toCodePage(std::wstring_view wide, unsigned codePage);
// A text of a code page in UTF-8.
std::string fromCodePage(std::string_view bytes, unsigned codePage);

}  // namespace rotorwerk
