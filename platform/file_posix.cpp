// Files on POSIX systems: bytes are stored as they are read.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file.h"

namespace rotorwerk {
namespace {

bool gClosedAtStart[3] = {};

}  // namespace

Fault systemFault(FaultKind kind, std::string file) {
  Fault fault{kind, std::move(file)};
  // A failure that set no error number is still a failure of input or output.
  fault.reason = std::strerror(errno != 0 ? errno : EIO);
  return fault;
}

bool openStandardStreams() {
  for (int number = 0; number < 3; ++number) {
    if (fcntl(number, F_GETFD) != -1 || errno != EBADF) continue;
    gClosedAtStart[number] = true;
    // open() takes the lowest free descriptor, which is this one.
    const int opened = open("/dev/null", number == 0 ? O_RDONLY : O_WRONLY);
    if (opened != number) {
      // Without the null device the descriptor stays free, and the next file opened
      // would take it: a key written into standard error's place.
      if (opened >= 0) close(opened);
      return false;
    }
  }
  return true;
}

bool standardStreamWasClosed(int number) {
  return number >= 0 && number < 3 && gClosedAtStart[number];
}

Result<File> openForReading(const std::string& path) {
  errno = 0;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return systemFault(FaultKind::kFileNotFound, path);
  // A directory opens on Linux, and every read from it then fails.
  struct stat status {};
  if (fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode)) {
    errno = EISDIR;
    return systemFault(FaultKind::kFileNotFound, path);
  }
  return file;
}

Result<File> openRegularForReading(const std::string& path) {
  errno = 0;
  const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return systemFault(FaultKind::kFileNotFound, path);
  struct stat status {};
  int error = fstat(descriptor, &status) == 0 ? 0 : errno;
  if (error == 0 && S_ISDIR(status.st_mode)) error = EISDIR;
  if (error == 0 && !S_ISREG(status.st_mode)) {
    close(descriptor);
    return Fault{FaultKind::kNotRegular, path};
  }
  // Reads block again, as every other file's do.
  const int flags = error == 0 ? fcntl(descriptor, F_GETFL) : -1;
  if (error == 0 && (flags == -1 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)) {
    error = errno;
  }
  std::FILE* stream = error == 0 ? fdopen(descriptor, "rb") : nullptr;
  if (stream != nullptr) return File(stream);
  if (error == 0) error = errno;
  close(descriptor);
  return errorFault(FaultKind::kFileNotFound, path, error);
}

Result<File> standardInput() {
  if (standardStreamWasClosed(0)) {
    errno = EBADF;
    return systemFault(FaultKind::kCannotRead, "-");
  }
  return File(stdin);
}

Result<File> scratchFile() {
  File file(std::tmpfile());
  if (!file) return systemFault(FaultKind::kCannotRead);
  return file;
}

FileKind kindOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return FileKind::kAbsent;
  if (S_ISREG(status.st_mode)) return FileKind::kRegular;
  return S_ISDIR(status.st_mode) ? FileKind::kDirectory : FileKind::kOther;
}

bool nameTaken(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::vector<std::string> namesIn(const std::string& directory) {
  std::vector<std::string> names;
  DIR* folder = opendir(directory.empty() ? "." : directory.c_str());
  if (folder == nullptr) return names;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  return names;
}

Result<void> createDirectories(const std::string& path) {
  if (path.empty() || kindOf(path) == FileKind::kDirectory) return {};
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return systemFault(FaultKind::kCannotWrite, path);
    }
    if (end == std::string::npos) break;
  }
  if (kindOf(path) != FileKind::kDirectory)
    return errorFault(FaultKind::kCannotWrite, path, ENOTDIR);
  return {};
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::string typedName(const std::string& typed) { return typed; }

// A backslash is a byte of a name here, not a separator.
std::string joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + '/' + name;
}

std::size_t baseNameStart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string displayName(const std::string& name) { return escapeControls(name); }

void completeLineEnd(std::FILE*) {}

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
