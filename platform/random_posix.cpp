// Random bytes from getrandom on Linux.
#include <sys/random.h>

#include <cerrno>

#include "platform/random.h"

namespace rotorwerk {

bool fillRandom(unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = getrandom(data, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace rotorwerk
