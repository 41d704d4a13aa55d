// Files and memory as sources and sinks of bytes.
#include "platform/byte_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"

namespace rotorwerk {

std::size_t FileSource::read(char* data, std::size_t size) { return readText(file_, data, size); }

void FileSource::completeLineEnd() { rotorwerk::completeLineEnd(file_); }

std::size_t MemorySource::read(char* data, std::size_t size) {
  const std::size_t count = std::min(size, bytes_.size() - at_);
  if (count > 0) std::memcpy(data, bytes_.data() + at_, count);
  at_ += count;
  return count;
}

bool FileSink::write(std::string_view bytes) {
  return writeBlock(file_, bytes.data(), bytes.size());
}

}  // namespace rotorwerk
