// Shared pieces of the fuzz targets: a scratch directory and sound sample settings.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace rotorwerk::fuzz {

inline const char* const kSampleWiring =
    "jlgkywcrmadbipvnxhtszofqeu 5\n"
    "wgbzodnfaepxsrhvjtkcuqmyli lekfhorgbswcuzjavyixmptqnd hoclsfbzakedngtyqujmxirwpv\n"
    "sycaudzkexrtmhfjbnvqopwigl vyhfruwqmkxzbijtscaoengdlp\n";
inline const char* const kSampleStart = "3 qr dx mu 2 5 4 7 19 3\n";

// A fresh directory for this process, made once.
inline const std::string& scratchDirectory() {
  static const std::string directory = [] {
    std::string pattern = "/tmp/rotorwerk-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return directory;
}

inline void writeFile(const std::string& path, const void* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

inline void writeFile(const std::string& path, const std::string& text) {
  writeFile(path, text.data(), text.size());
}

inline std::string readAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char block[4096];
  for (std::size_t size = 0; (size = std::fread(block, 1, sizeof block, file)) > 0;) {
    text.append(block, size);
  }
  return text;
}

}  // namespace rotorwerk::fuzz
