// Files on Windows: read in binary, so that 0x1A is an ordinary byte, with CR LF line
// ends turned into LF by the tool itself.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/file.h"
#include "platform/unicode_windows.h"

namespace rotorwerk {
namespace {

constexpr UINT kGbkCodePage = 936;

bool gClosedAtStart[3] = {};

}  // namespace

// A stream the process was started without has no handle; the C runtime then writes
// nowhere and reads nothing, so it needs no stand-in.
// The last Win32 error in words; where a C runtime call failed, errno's.
Fault systemFault(FaultKind kind, std::string file) {
  Fault fault{kind, std::move(file)};
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  if (error != 0 &&
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) != 0) {
    std::wstring words(text);
    LocalFree(text);
    while (!words.empty() &&
           (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.')) {
      words.pop_back();
    }
    // In the console's encoding, as every text of a message.
    fault.reason = toCodePage(words, kGbkCodePage);
  } else {
    fault.reason = std::strerror(errno != 0 ? errno : EIO);
  }
  return fault;
}

// The C runtime keeps descriptors 0 to 2 for the standard streams even without a
// handle, so no file can take their place.
bool openStandardStreams() {
  for (int number = 0; number < 3; ++number) gClosedAtStart[number] = _get_osfhandle(number) < 0;
  return true;
}

bool standardStreamWasClosed(int number) {
  return number >= 0 && number < 3 && gClosedAtStart[number];
}

Result<File> openForReading(const std::string& path) {
  // A directory does not open on Windows.
  SetLastError(0);
  errno = 0;
  File file(_wfopen(widen(path).c_str(), L"rb"));
  if (!file) return systemFault(FaultKind::kFileNotFound, path);
  return file;
}

Result<File> openRegularForReading(const std::string& path) {
  auto file = openForReading(path);
  if (!file) return file;
  // Only devices and pipes have a file type other than disk.
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file->get())));
  if (GetFileType(handle) != FILE_TYPE_DISK) return Fault{FaultKind::kNotRegular, path};
  return file;
}

Result<File> standardInput() {
  if (standardStreamWasClosed(0)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return systemFault(FaultKind::kCannotRead, "-");
  }
  _setmode(_fileno(stdin), _O_BINARY);
  return File(stdin);
}

// Not tmpfile: Windows' own puts its file in the drive's root, where a user may not
// write, and Wine's can give two processes one name. GetTempFileName creates the
// file, so no other process can take the name before it is opened here.
Result<File> scratchFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"rw", 0, name) == 0) {
    return systemFault(FaultKind::kCannotRead);
  }
  const HANDLE handle =
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return systemFault(FaultKind::kCannotRead);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return systemFault(FaultKind::kCannotRead);
  }
  File file(_fdopen(fd, "w+b"));
  if (!file) {
    _close(fd);
    return systemFault(FaultKind::kCannotRead);
  }
  return file;
}

FileKind kindOf(const std::string& path) {
  const std::wstring wide = widen(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Devices such as NUL have no attributes, but open.
    const HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return FileKind::kAbsent;
    CloseHandle(handle);
    return FileKind::kOther;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::kDirectory;
  // Only devices have a file type other than disk when opened.
  const HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileKind::kRegular;
  const bool device = GetFileType(handle) != FILE_TYPE_DISK;
  CloseHandle(handle);
  return device ? FileKind::kOther : FileKind::kRegular;
}

bool nameTaken(const std::string& path) {
  return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool sameFile(const std::string& a, const std::string& b) {
  const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle =
        CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return identity(a, first) && identity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

std::vector<std::string> namesIn(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      FindFirstFileW(widen(directory.empty() ? "*" : directory + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = narrow(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found) != 0);
  FindClose(search);
  return names;
}

Result<void> createDirectories(const std::string& path) {
  if (path.empty() || kindOf(path) == FileKind::kDirectory) return {};
  for (std::size_t end = path.find_first_of("/\\", 1);; end = path.find_first_of("/\\", end + 1)) {
    const std::string part = path.substr(0, end);
    // A drive ("C:") is no folder to make.
    if (!part.empty() && part.back() != ':' &&
        CreateDirectoryW(widen(part).c_str(), nullptr) == 0 &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      return systemFault(FaultKind::kCannotWrite, path);
    }
    if (end == std::string::npos) break;
  }
  return {};
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data) == 0 ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32U | data.nFileSizeLow;
}

std::string typedName(const std::string& typed) {
  DWORD mode = 0;
  const bool console = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
  return fromCodePage(typed, console ? GetConsoleCP() : CP_ACP);
}

std::string joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + '/' + name;
}

std::size_t baseNameStart(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

// Messages are GBK, as every console text.
std::string displayName(const std::string& name) {
  return toCodePage(widen(escapeControls(name)), kGbkCodePage);
}

void completeLineEnd(std::FILE* file) {
  const int next = std::getc(file);
  if (next != '\n' && next != EOF) std::ungetc(next, file);
}

std::size_t readText(std::FILE* file, char* data, std::size_t size) {
  const std::size_t read = std::fread(data, 1, size, file);
  return read == 0 ? 0 : foldLineEnds(file, data, read);
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
