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

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

std::string ReplacementFile::finalName(const std::string& target) {
  std::string name = target;
  std::vector<char> buffer(PATH_MAX);
  for (int links = 0; links < kMaxLinks; ++links) {
    const ssize_t size = readlink(name.c_str(), buffer.data(), buffer.size());
    if (size < 0 || static_cast<std::size_t>(size) >= buffer.size()) break;
    std::string next(buffer.data(), static_cast<std::size_t>(size));
    if (next.front() != '/') next.insert(0, name, 0, baseNameStart(name));
    name = std::move(next);
  }
  // /dev/stdout and /proc/self/fd/N lead to a descriptor's file, which may have no
  // name ("pipe:[7]") or another one by now: then the target itself is written.
  struct stat status {};
  if (stat(target.c_str(), &status) == 0 && !sameFile(target, name)) return target;
  return name;
}

std::FILE* ReplacementFile::openInPlace(const std::string& path) {
  return std::fopen(path.c_str(), "w");
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
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
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

bool ReplacementFile::moveIntoPlace(const std::string& from, const std::string& to, bool replace) {
  if (replace) return std::rename(from.c_str(), to.c_str()) == 0;
  // A second name that cannot exist twice takes the target atomically.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

bool ReplacementFile::linkName(const std::string& from, const std::string& to) {
  return link(from.c_str(), to.c_str()) == 0;
}

bool ReplacementFile::removeName(const std::string& path) { return unlink(path.c_str()) == 0; }

bool ReplacementFile::sync(std::FILE* file) { return fsync(fileno(file)) == 0; }

}  // namespace rotorwerk
