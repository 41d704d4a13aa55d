// The system calls that replace files and commit keys, behind one interface, so that a
// test can make any one of them fail and watch the rollback.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace rotorwerk {

inline constexpr std::intptr_t kLockFailed = -1;
inline constexpr std::intptr_t kNoLocks = -2;

class FileOperations {
 public:
  virtual ~FileOperations() = default;

  // Each gives false and leaves the system's reason (errno, or Windows' last error)
  // where systemFault finds it.
  virtual bool write(std::FILE* file, std::string_view bytes);
  virtual bool sync(std::FILE* file);
  // Renames; without `replace`, fails with EEXIST when `to` is taken, atomically
  // where the file system allows it. No step needs a hard link, which FAT and exFAT
  // cannot make.
  virtual bool rename(const std::string& from, const std::string& to, bool replace);
  virtual bool remove(const std::string& path);
  // Makes the renames and removals in a directory reach the disk, where the system
  // asks for that (POSIX); elsewhere they already have.
  virtual bool syncDirectory(const std::string& directory);
  // An advisory lock on a settings directory, held until unlock or the process ends:
  // a handle, kLockFailed, or kNoLocks where the file system keeps none (there is
  // then nothing to wait for). `create` lets a platform that locks a file in the
  // directory make that file.
  virtual std::intptr_t lock(const std::string& directory, bool exclusive, bool create);
  virtual void unlock(std::intptr_t handle);
};

// The operations in use: the system's, or a test's.
FileOperations& fileOperations();
// Puts a test's operations in place; nullptr puts the system's back.
void useFileOperations(FileOperations* operations);

}  // namespace rotorwerk
