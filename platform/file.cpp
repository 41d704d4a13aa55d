// What files need on every platform: names joined and shown, line ends folded.
#include <cstdio>

#include "platform/file.h"

namespace rotorwerk {

std::string joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + '/' + name;
}

std::string escapeControls(const std::string& name) {
  std::string shown;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

std::size_t foldLineEnds(std::FILE* file, char* data, std::size_t size) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != '\r') {
      data[kept++] = data[i];
    } else if (i + 1 < size) {
      if (data[i + 1] != '\n') data[kept++] = '\r';
    } else {
      // The block's last byte: only the stream can tell whether a LF follows.
      const int next = std::getc(file);
      if (next == '\n') {
        data[kept++] = '\n';
      } else {
        if (next != EOF) std::ungetc(next, file);
        data[kept++] = '\r';
      }
    }
  }
  return kept;
}

}  // namespace rotorwerk
