// Files as the tool reads them: an owned stream, opening, seeking and reading text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace rotorwerk {

// The standard streams can be held like files, but stay open.
struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != stdin && file != stdout) std::fclose(file);
  }
};

using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file for reading. Every byte is data: 0x1A never ends a file. A directory
// counts as a file that cannot be opened.
File openForReading(const char* path);

// Standard input held like a file, read like one: on Windows 0x1A is data there too.
File standardInput();

// An unnamed file for reading and writing that is removed when closed or when the
// process ends, in the system's folder for temporary files.
File scratchFile();

// True for a name that exists and is not a regular file or directory (a device such as
// /dev/null, a FIFO): such a target is written in place, never replaced.
bool isDevice(const char* path);

// Reads up to `size` bytes of text, with the line ends the platform stores text with
// turned into LF (CR LF on Windows). Gives 0 at the end or on failure, as fread does.
std::size_t readText(std::FILE* file, char* data, std::size_t size);

// Reads exactly `size` bytes from `offset` of a file that readsAsStored or that was
// written through the stream and flushed, as one read where the platform allows.
[[nodiscard]] bool readAt(std::FILE* file, std::int64_t offset, char* data, std::size_t size);

// Writes a block of the user's data after what the stream already holds, as one write
// of the file where the platform allows (a stream buffer would split every block in
// two); false when any byte may not have been written.
[[nodiscard]] bool writeBlock(std::FILE* file, const char* data, std::size_t size);

// True when the bytes readText delivers are the file's bytes at the same offsets, so
// that the file can be searched and read back by seeking.
bool readsAsStored(std::FILE* file);

[[nodiscard]] bool seekTo(std::FILE* file, std::int64_t offset, int origin = SEEK_SET);
std::int64_t position(std::FILE* file);

}  // namespace rotorwerk
