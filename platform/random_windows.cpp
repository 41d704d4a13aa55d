// Random bytes from BCryptGenRandom on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include "platform/random.h"

namespace rotorwerk {

bool fillRandom(unsigned char* data, std::size_t size) {
  return BCryptGenRandom(nullptr, data, static_cast<ULONG>(size),
                         BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

}  // namespace rotorwerk
