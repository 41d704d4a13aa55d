// Files on Windows: read in binary, so that 0x1A is an ordinary byte, with CR LF line
// ends turned into LF by the tool itself.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/file.h"

namespace rotorwerk {

File openForReading(const char* path) {
  // A directory does not open on Windows.
  return File(std::fopen(path, "rb"));
}

File standardInput() {
  _setmode(_fileno(stdin), _O_BINARY);
  return File(stdin);
}

// Not tmpfile: Windows' own puts its file in the drive's root, where a user may not
// write, and Wine's can give two processes one name. GetTempFileName creates the
// file, so no other process can take the name before it is opened here.
File scratchFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"rw", 0, name) == 0) {
    return nullptr;
  }
  const HANDLE handle =
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  File file(_fdopen(fd, "w+b"));
  if (!file) _close(fd);
  return file;
}

bool isDevice(const char* path) {
  // Only devices have a file type other than disk when opened.
  const HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool device = GetFileType(handle) != FILE_TYPE_DISK;
  CloseHandle(handle);
  return device;
}

std::size_t readText(std::FILE* file, char* data, std::size_t size) {
  std::size_t read = std::fread(data, 1, size, file);
  if (read == 0) return 0;
  // A CR that ends the block belongs to a line end when the next byte is LF.
  if (data[read - 1] == '\r') {
    const int next = std::getc(file);
    if (next == '\n') {
      data[read - 1] = '\n';
    } else if (next != EOF) {
      std::ungetc(next, file);
    }
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < read; ++i) {
    if (data[i] == '\r' && i + 1 < read && data[i + 1] == '\n') continue;
    data[kept++] = data[i];
  }
  return kept;
}

bool readAt(std::FILE* file, std::int64_t offset, char* data, std::size_t size) {
  return seekTo(file, offset) && std::fread(data, 1, size, file) == size;
}

// The C runtime's text mode turns each LF into CR LF on the way.
bool writeBlock(std::FILE* file, const char* data, std::size_t size) {
  return std::fwrite(data, 1, size, file) == size;
}

bool readsAsStored(std::FILE*) { return false; }

bool seekTo(std::FILE* file, std::int64_t offset, int origin) {
  return _fseeki64(file, offset, origin) == 0;
}

std::int64_t position(std::FILE* file) { return _ftelli64(file); }

}  // namespace rotorwerk
