// A file written under a temporary name and renamed into place only when complete.
#include "codefile/replacement_file.h"

#include <cstdlib>
#include <filesystem>

#include "console/interrupts.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rotorwerk {
namespace {

#ifdef _WIN32
int createTemporary(std::string& path, const std::string&) {
  if (_mktemp_s(path.data(), path.size() + 1) != 0) return -1;
  int fd = -1;
  _sopen_s(&fd, path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_TEXT, _SH_DENYNO,
           _S_IREAD | _S_IWRITE);
  return fd;
}

bool replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
#else
int createTemporary(std::string& path, const std::string& target) {
  // A code file the user may not write is not replaced behind their back.
  struct stat old {};
  const bool replacing = lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  if (replacing && access(target.c_str(), W_OK) != 0) return -1;
  const int fd = mkstemp(path.data());
  if (fd < 0) return -1;
  if (replacing) {
    // The new file keeps the old one's owner, group and protection, as far as this
    // process may set them; the owner first, since a change of owner clears set-ID bits.
    if (fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    fchmod(fd, old.st_mode & 07777);
    return fd;
  }
  // mkstemp makes the file private; a new code file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, static_cast<mode_t>(0666 & ~mask));
  return fd;
}

bool replace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
#endif

}  // namespace

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::open() {
  const std::filesystem::path target(target_);
  // Hidden, beside the target, so that the rename stays within one file system.
  std::string name(1, '.');
  name += target.filename().string();
  name += ".XXXXXX";
  temporary_ = (target.parent_path() / name).string();
  int fd = -1;
  {
    // An interrupt between creating the file and arming its removal would leave it.
    const InterruptsHeld held;
    fd = createTemporary(temporary_, target_);
    if (fd >= 0) removeOnInterrupt(temporary_.c_str());
  }
  if (fd < 0) {
    temporary_.clear();
    return false;
  }
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    close(fd);
    discard();
    return false;
  }
  return true;
}

bool ReplacementFile::write(std::string_view bytes) {
  if (file_ == nullptr || failed_) return false;
  failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
  return !failed_;
}

bool ReplacementFile::commit() {
  if (file_ == nullptr) return false;
  // A full disk or a size limit may show only when the last bytes are flushed.
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (failed_ || !flushed || !closed || !replace(temporary_, target_)) {
    discard();
    return false;
  }
  temporary_.clear();
  removeOnInterrupt(nullptr);
  return true;
}

void ReplacementFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
    temporary_.clear();
  }
  removeOnInterrupt(nullptr);
}

}  // namespace rotorwerk
