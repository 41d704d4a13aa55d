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
#include "platform/replacement_file.h"

namespace rotorwerk {
namespace {

// As many links as the kernel follows before it gives up.
constexpr int kMaxLinks = 40;

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
  if (protection == Access::kPrivate) {
    fchmod(fd, 0600);  // mkstemp's own mode, made sure of
  } else if (replacing) {
    // The new file keeps the old one's owner, group and protection, as far as this
    // process may set them; the owner first, since a change of owner clears set-ID bits.
    // Where neither can be kept, the new file is the process's own, as any new file.
    if (fchown(fd, old.st_uid, old.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      errno = 0;
    }
    fchmod(fd, old.st_mode & 07777);
  } else {
    // mkstemp makes the file private; a new file gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, static_cast<mode_t>(0666 & ~mask));
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

}  // namespace rotorwerk
