// An owned C stream, closed when it goes out of scope.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace rotorwerk {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file for reading in text mode. A directory opens on some systems, and every
// read from it then fails, so it counts as a file that cannot be opened.
inline File openForReading(const char* path) {
  File file(std::fopen(path, "r"));
  struct stat status {};
  if (file && fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode)) return nullptr;
  return file;
}

}  // namespace rotorwerk
