// Files on POSIX systems: bytes are stored as they are read.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"

namespace rotorwerk {

File openForReading(const char* path) {
  File file(std::fopen(path, "rb"));
  // A directory opens on Linux, and every read from it then fails.
  struct stat status {};
  if (file && fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode)) return nullptr;
  return file;
}

File standardInput() { return File(stdin); }

File scratchFile() { return File(std::tmpfile()); }

bool isDevice(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

std::size_t readText(std::FILE* file, char* data, std::size_t size) {
  return std::fread(data, 1, size, file);
}

bool readAt(std::FILE* file, std::int64_t offset, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = pread(fileno(file), data, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    offset += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool writeBlock(std::FILE* file, const char* data, std::size_t size) {
  if (std::fflush(file) != 0) return false;
  while (size > 0) {
    const ssize_t written = write(fileno(file), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool readsAsStored(std::FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

bool seekTo(std::FILE* file, std::int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t position(std::FILE* file) { return static_cast<std::int64_t>(ftello(file)); }

}  // namespace rotorwerk
