// Random bytes from getentropy: getrandom on Linux, the browser's cryptographic source
// under WebAssembly.
#include <unistd.h>

#include <algorithm>
#include <cstddef>

#include "platform/random.h"

namespace rotorwerk {

bool fillRandom(unsigned char* data, std::size_t size) {
  // getentropy gives at most 256 bytes a call.
  constexpr std::size_t kMost = 256;
  while (size > 0) {
    const std::size_t part = std::min(size, kMost);
    if (getentropy(data, part) != 0) return false;
    data += part;
    size -= part;
  }
  return true;
}

}  // namespace rotorwerk
