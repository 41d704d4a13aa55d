// Files as the tool reads them: an owned stream, opening, seeking and reading text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rotorwerk/result.h"

namespace rotorwerk {

// The standard streams can be held like files, but stay open.
struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != stdin && file != stdout) std::fclose(file);
  }
};

using File = std::unique_ptr<std::FILE, FileCloser>;

// A fault of the given kind with the system's reason for the last call that failed
// (errno, or on Windows the last error), as the system words it.
Fault systemFault(FaultKind kind, std::string file = {});
// A fault whose reason is the C library's word for the error number `error`.
Fault errorFault(FaultKind kind, std::string file, int error);

// Makes sure standard input, output and error are open before any file is, so that no
// file the tool opens is taken for one of them: a closed one is opened on the null
// device and remembered as closed. Call once, first thing. False when a closed one
// could not be made safe: the program must not run.
[[nodiscard]] bool openStandardStreams();

// True when standard input (0) or output (1) was closed when the program started:
// nothing can be read from it or written to it.
bool standardStreamWasClosed(int number);

// File names are UTF-8 on Windows, the system's bytes elsewhere.

// Opens a file for reading. Every byte is data: 0x1A never ends a file. A directory
// counts as a file that cannot be opened (kFileNotFound).
Result<File> openForReading(const std::string& path);

// The same for a file that must be a regular one, such as a key file: opened without
// waiting for a writer, so that a FIFO cannot hold the caller, and refused unless
// regular (kNotRegular). A directory is kFileNotFound, as above.
Result<File> openRegularForReading(const std::string& path);

// Standard input held like a file, read like one: on Windows 0x1A is data there too.
// kCannotRead when it was closed at start-up.
Result<File> standardInput();

// The input a command names: standard input for "-", else the file of that name.
Result<File> openInput(const std::string& name);

// An unnamed file for reading and writing that is removed when closed or when the
// process ends, in the system's folder for temporary files.
Result<File> scratchFile();

enum class FileKind {
  kAbsent,
  kRegular,
  kDirectory,
  kOther,  // a device such as /dev/null, a FIFO, a socket
};

// What a name leads to, following links.
FileKind kindOf(const std::string& path);

// True when the name itself is taken, also by a link that leads nowhere.
bool nameTaken(const std::string& path);

// True when both names lead to one existing file.
bool sameFile(const std::string& a, const std::string& b);

// The names in a directory (empty: the working directory), without "." and "..";
// none where it cannot be read.
std::vector<std::string> namesIn(const std::string& directory);

// Creates a directory with any parents that are missing, readable by the user alone.
Result<void> createDirectories(const std::string& path);

// The size of a regular file, or nothing.
std::optional<std::uint64_t> fileSize(const std::string& path);

// A file name typed at the console, in the form file names take: on Windows, typed
// bytes are in the console's code page.
std::string typedName(const std::string& typed);

// Where the last part of a path begins.
std::size_t baseNameStart(const std::string& path);

// `name` inside `directory`; an empty directory is the working directory.
std::string joinPath(const std::string& directory, const std::string& name);

// A name as a message may show it: control characters escaped, and on Windows in the
// console's code page.
std::string displayName(const std::string& name);
// The length of the UTF-8 character at `at`: 1 for ASCII, 2 to 4 for a sound multi-byte
// one, 0 where none starts (a GBK byte, a cut-off sequence, an overlong form, a surrogate,
// a code point above U+10FFFF).
std::size_t utf8CharacterLength(std::string_view text, std::size_t at);

// The part of displayName that every platform shares.
std::string escapeControls(const std::string& name);

// Reads up to `size` bytes of text, with the line ends the platform stores text with
// turned into LF (CR LF on Windows). Gives 0 at the end or on failure, as fread does.
std::size_t readText(std::FILE* file, char* data, std::size_t size);

// After a CR just taken from `file` as a separator: where the platform stores a line
// end as CR LF, takes the LF that makes the two one line end.
void completeLineEnd(std::FILE* file);

// Turns each CR LF of a block just read from `file` into LF and gives the block's new
// size. A CR that ends the block is decided by the stream's next byte, which is put
// back unless it is the LF that completes the line end.
std::size_t foldLineEnds(std::FILE* file, char* data, std::size_t size);

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
