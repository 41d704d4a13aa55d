// The temporary file and its rename on POSIX systems.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/replacement_file.h"

namespace rotorwerk {

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

bool ReplacementFile::moveIntoPlace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace rotorwerk
