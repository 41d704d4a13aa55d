// A fixed console text held in both encodings the tool can write.
#pragma once

#include <string_view>

namespace rotorwerk {

struct ConsoleText {
  std::string_view gbk;
  std::string_view utf8;
};

}  // namespace rotorwerk
