// The file operations on POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/key_journal.h"

namespace rotorwerk {
namespace {

// Errors that say a file system cannot make a second name for a file (FAT, exFAT).
bool noLinks(int error) {
  return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EMLINK ||
         error == ENOSYS;
}

// The administrator's files are trusted as the user's own, as OpenSSH trusts them.
bool trustedOwner(uid_t owner) { return owner == geteuid() || owner == 0; }

}  // namespace

bool FileOperations::write(const std::string&, std::FILE* file, std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool FileOperations::sync(const std::string&, std::FILE* file) {
  return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool FileOperations::rename(const std::string& from, const std::string& to, bool replace) {
  if (replace) return std::rename(from.c_str(), to.c_str()) == 0;
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif  // a C library without it (WebAssembly's) goes on to link
  // A file system that cannot rename without replacing: a second name that cannot
  // exist twice takes the name atomically.
  if (::link(from.c_str(), to.c_str()) == 0) {
    (void)::unlink(from.c_str());
    return true;
  }
  if (!noLinks(errno)) return false;
  // Neither: the settings directory's lock keeps the tool's other writers out.
  struct stat status {};
  if (lstat(to.c_str(), &status) == 0) {
    errno = EEXIST;
    return false;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool FileOperations::remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool FileOperations::syncDirectory(const std::string& directory) {
  const int fd =
      open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

// The directory itself is locked: nothing is created in it.
std::intptr_t FileOperations::lock(const std::string& directory, bool exclusive, bool) {
  const int fd =
      open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return kLockFailed;
  const auto deadline = std::chrono::steady_clock::now() + lockWait;
  for (;;) {
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return fd;
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      errno = error;
      if (error == EWOULDBLOCK) return kLockBusy;
      // A network file system may lock no directory.
      return error == ENOLCK || error == EBADF || error == ENOTSUP || error == EOPNOTSUPP
                 ? kNoLocks
                 : kLockFailed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void FileOperations::unlock(std::intptr_t handle) {
  if (handle >= 0) close(static_cast<int>(handle));
}

Result<std::string> FileOperations::readJournal(const std::string& path, std::size_t limit) {
  // Without O_NONBLOCK a FIFO planted in the journal's place would hang every reader.
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return systemFault(FaultKind::kFileNotFound, path);
    return errno == ELOOP ? journalFault(path, JournalProblem::kNotRegular)
                          : journalFault(path, JournalProblem::kUnreadable, std::strerror(errno));
  }
  struct stat status {};
  Result<std::string> text = std::string();
  if (fstat(fd, &status) != 0) {
    text = journalFault(path, JournalProblem::kUnreadable, std::strerror(errno));
  } else if (!S_ISREG(status.st_mode)) {
    text = journalFault(path, JournalProblem::kNotRegular);
  } else if (!trustedOwner(status.st_uid)) {
    text = journalFault(path, JournalProblem::kOwner);
  } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    text = journalFault(path, JournalProblem::kWritable);
  } else if (static_cast<std::uint64_t>(status.st_size) > limit) {
    text = journalFault(path, JournalProblem::kTooLarge);
  } else {
    std::string& bytes = *text;
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    int error = EIO;  // a journal cut shorter while it is read is not the one judged
    while (got < bytes.size()) {
      const ssize_t part = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (part < 0 && errno == EINTR) continue;
      if (part < 0) error = errno;
      if (part <= 0) break;
      got += static_cast<std::size_t>(part);
    }
    if (got != bytes.size())
      text = journalFault(path, JournalProblem::kUnreadable, std::strerror(error));
  }
  close(fd);
  return text;
}

bool FileOperations::ownFile(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 && trustedOwner(status.st_uid);
}

}  // namespace rotorwerk
