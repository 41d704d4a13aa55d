// Status messages on standard error, in order with standard output.
#include "platform/console.h"

namespace rotorwerk {

void Console::message(std::string_view bytes) {
  flush();
  writeText(err_, bytes);
  std::fflush(err_);
}

}  // namespace rotorwerk
