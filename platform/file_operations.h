// The system calls that replace files and commit keys, behind one interface, so that a
// test can make any one of them fail and watch the rollback.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "rotorwerk/result.h"

namespace rotorwerk {

inline constexpr std::intptr_t kLockFailed = -1;
inline constexpr std::intptr_t kNoLocks = -2;
inline constexpr std::intptr_t kLockBusy = -3;

class FileOperations {
 public:
  virtual ~FileOperations() = default;

  // Far longer than any key change takes.
  std::chrono::milliseconds lockWait{30000};

  // Each gives false and leaves the system's reason (errno, or Windows' last error)
  // where systemFault finds it. `name` is the file's, for a test to tell files apart.
  //
  // Creates a new file from `pattern` (whose last six characters it replaces), beside
  // `target`, which it will replace, for writing text; `keyFile` makes it private.
  // nullptr when it cannot.
  virtual std::FILE* create(std::string& pattern, const std::string& target, bool keyFile);
  virtual bool write(const std::string& name, std::FILE* file, std::string_view bytes);
  virtual bool sync(const std::string& name, std::FILE* file);
  // Renames; without `replace`, fails with EEXIST when `to` is taken, atomically
  // where the file system allows it. No step needs a hard link, which FAT and exFAT
  // cannot make.
  virtual bool rename(const std::string& from, const std::string& to, bool replace);
  virtual bool remove(const std::string& path);
  // Makes the renames and removals in a directory reach the disk, where the system
  // asks for that (POSIX); elsewhere they already have.
  virtual bool syncDirectory(const std::string& directory);
  // An advisory lock on a settings directory, held until unlock or the process ends:
  // a handle, kLockFailed, kNoLocks where the file system keeps none (there is then
  // nothing to wait for), or kLockBusy when another process still held it after
  // `lockWait`: anyone who may read a folder may lock it, so no wait is endless.
  // `create` lets a platform that locks a file in the directory make that file.
  virtual std::intptr_t lock(const std::string& directory, bool exclusive, bool create);
  virtual void unlock(std::intptr_t handle);
  // The text of a key journal, read without following a link and without waiting on a
  // FIFO, and only when it can be believed: a regular file of at most `limit` bytes that
  // the user (or the administrator) owns and no one else may write. A kJournal fault
  // names what is wrong; kFileNotFound when there is none.
  virtual Result<std::string> readJournal(const std::string& path, std::size_t limit);
  // True when the name is not a file another user planted: a file or link the user or
  // the administrator owns (every file is, where the system has no owners).
  virtual bool ownFile(const std::string& path);
};

// The operations in use: the system's, or a test's.
FileOperations& fileOperations();
// Puts a test's operations in place; nullptr puts the system's back.
void useFileOperations(FileOperations* operations);

}  // namespace rotorwerk
