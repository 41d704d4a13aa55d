// Status messages on standard error, in order with standard output.
#include "platform/console.h"

#include <cerrno>
#include <cstring>

namespace rotorwerk {

void Console::write(std::string_view bytes) {
  if (outputClosed_) {
    errno = EBADF;
    loseOutput();
  } else if (!writeText(out_, bytes)) {
    loseOutput();
  }
}

void Console::loseOutput() {
  if (!outputLost_) lossError_ = errno != 0 ? errno : EIO;
  outputLost_ = true;
}

std::string Console::lossReason() const {
  // A stream closed at start-up lost its output before any write.
  return std::strerror(lossError_ != 0 ? lossError_ : EBADF);
}

void Console::message(std::string_view bytes) {
  flush();
  writeText(err_, bytes);
  std::fflush(err_);
}

}  // namespace rotorwerk
