// The temporary file and its rename on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/replacement_file.h"

namespace rotorwerk {
namespace {

// As many links as the kernel follows before it gives up.
constexpr int kMaxLinks = 40;

// Gives a new file the protection it is to have: a key's is private; a replacing file
// keeps the old one's owner, group and mode as far as this process may set them (the
// owner first, since a change of owner clears set-ID bits); any other gets the usual.
// A group that cannot be kept gets none of the old group's rights, so that no one
// reads the new file who could not read the old. False when the mode cannot be set.
bool protect(int fd, bool keyFile, const struct stat* old) {
  if (keyFile) return fchmod(fd, 0600) == 0;  // mkstemp's own mode, made sure of
  if (old == nullptr) {
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, static_cast<mode_t>(0666 & ~mask)) == 0;
  }
  mode_t mode = old->st_mode & 07777;
  if (fchown(fd, old->st_uid, old->st_gid) != 0 &&
      fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) {
    // Where neither can be kept, the new file is the process's own, as any new file.
    mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG);
  }
  struct stat made {};
  if (fstat(fd, &made) != 0) return false;
  if (made.st_uid != old->st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
  return fchmod(fd, mode) == 0;
}

}  // namespace

Result<ReplacementFile::Destination> ReplacementFile::resolve(const std::string& target) {
  const int self = static_cast<int>(getpid());
  std::string name = target;
  std::vector<char> buffer(PATH_MAX);
  for (int links = 0;; ++links) {
    if (const int descriptor = descriptorNamed(name, self); descriptor >= 0) {
      return Destination{name, descriptor};
    }
    const ssize_t size = readlink(name.c_str(), buffer.data(), buffer.size());
    if (size < 0) break;  // no link: the name is the file's own
    if (links == kMaxLinks) return errorFault(FaultKind::kCannotWrite, target, ELOOP);
    if (static_cast<std::size_t>(size) >= buffer.size()) {
      return errorFault(FaultKind::kCannotWrite, target, ENAMETOOLONG);
    }
    std::string next(buffer.data(), static_cast<std::size_t>(size));
    if (next.front() != '/') next.insert(0, name, 0, baseNameStart(name));
    name = std::move(next);
  }
  return Destination{name, -1};
}

std::FILE* ReplacementFile::openInPlace(const std::string& path) {
  return std::fopen(path.c_str(), "w");
}

std::FILE* ReplacementFile::openDescriptor(int number) {
  const int copy = fcntl(number, F_DUPFD_CLOEXEC, 3);
  if (copy < 0) return nullptr;
  std::FILE* file = fdopen(copy, "w");
  if (file == nullptr) close(copy);
  return file;
}

std::FILE* ReplacementFile::createTemporary(std::string& path, const std::string& target,
                                            Access protection) {
  // A file the user may not write is not replaced behind their back.
  struct stat old {};
  const bool replacing = lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  if (replacing && access(target.c_str(), W_OK) != 0) return nullptr;
  const int fd = mkstemp(path.data());
  if (fd < 0) return nullptr;
  if (!protect(fd, protection == Access::kPrivate, replacing ? &old : nullptr)) {
    const int error = errno;
    close(fd);
    unlink(path.c_str());
    errno = error;
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) {
    close(fd);
    unlink(path.c_str());
    return nullptr;
  }
  // Whole blocks go straight to the file: a stream buffer would only split them.
  setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

std::FILE* FileOperations::create(std::string& pattern, const std::string& target, bool keyFile) {
  return ReplacementFile::createTemporary(
      pattern, target,
      keyFile ? ReplacementFile::Access::kPrivate : ReplacementFile::Access::kKeep);
}

}  // namespace rotorwerk
