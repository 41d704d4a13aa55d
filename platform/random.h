// Random bytes from the operating system's cryptographic source, for fresh keys.
#pragma once

#include <cstddef>

namespace rotorwerk {

// Fills `data` with `size` random bytes; false when the source fails.
[[nodiscard]] bool fillRandom(unsigned char* data, std::size_t size);

}  // namespace rotorwerk
