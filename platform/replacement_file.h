// A file written under a temporary name and renamed into place only when complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "rotorwerk/result.h"

namespace rotorwerk {

class DirectoryLock;

// The name of a temporary file beside `path`: hidden, ending in six characters that
// the file's creation replaces.
std::string temporaryPattern(const std::string& path);

// The descriptor a name stands for: /dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N,
// /proc/self/fd/N, /proc/thread-self/fd/N or /proc/P/fd/N for this process's number
// P; -1 for any other name.
int descriptorNamed(std::string_view name, int processId);

// Until commit() succeeds, the file at the target name is left as it was, and the
// temporary file is removed again, also when the program is interrupted. A target of
// "-" is standard output; a name that stands for a descriptor (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N, or a link that leads to one) is that descriptor, written
// in place as "-" is. Another link is written through: the link stays and the file it
// leads to is replaced, or created when it leads nowhere; a loop of links, or more
// than the system follows, is refused. A device or FIFO is written in place: it cannot
// be replaced. Replacing makes a new file, so a hard link to the old one keeps the old
// text.
class ReplacementFile {
 public:
  enum class Access {
    kKeep,     // a replaced file keeps its protection; a new one gets the usual
    kPrivate,  // only the owner may read or write it; it must be a regular file (a key)
  };
  enum class Existing {
    kReplace,  // an existing file is replaced
    kRefuse,   // the name must be free, also of a link; taken atomically on commit
  };
  explicit ReplacementFile(std::string target, Access access = Access::kKeep,
                           Existing existing = Existing::kReplace)
      : target_(std::move(target)), access_(access), existing_(existing) {}
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file beside the file the target leads to. Fails without
  // creating it when the target is a directory or a file the user may not write
  // (kCannotWrite), a private file's name leads to a device or FIFO (kNotRegular), or
  // Existing::kRefuse finds the name taken (kExists).
  Result<void> open();
  // False once any write has failed: the stream's failure stays, as a stream's error
  // flag does, and commit() reports it.
  [[nodiscard]] bool write(std::string_view bytes);
  // The stream written to, for writers that take one.
  std::FILE* stream() const { return file_; }
  // True once open when the target is standard output or error, or a descriptor that
  // stands for one of them: what is written shows on the terminal as "-" does.
  bool toStandardStream() const { return file_ == stdout || file_ == stderr; }
  // Once open: the file the target leads to, empty when written in place.
  const std::string& path() const { return path_; }
  // Flushes, closes and renames; a fault when any byte may not have reached the file.
  Result<void> commit();
  // Commits files of one settings directory as one, under its lock: all take their
  // places, or none does and every old file stays. A journal in the directory lets
  // the next reader undo a commit that a crash cut short. The fault names the file
  // and the step that failed.
  static Result<void> commitTogether(const DirectoryLock& lock,
                                     std::initializer_list<ReplacementFile*> files);

 private:
  // The system's way to create the temporary file is the default of the seam's.
  friend class FileOperations;

  // Flushes and closes the stream, syncing a private file.
  Result<void> finish();
  void discard();
  // A fault naming the target, with the system's reason for the call that just failed.
  Fault fault(FaultKind kind, FaultStep step = FaultStep::kNone) const;

  // The platform's part. Where a target leads after its links: a file's name, or a
  // descriptor (-1 for none). A fault for a loop or too long a chain of links.
  struct Destination {
    std::string path;
    int descriptor = -1;
  };
  static Result<Destination> resolve(const std::string& target);
  // A new file at `path` (a pattern whose last six characters are replaced) that will
  // take the place of `target`, opened for writing text.
  static std::FILE* createTemporary(std::string& path, const std::string& target,
                                    Access protection);
  // Opens a device or FIFO for writing text.
  static std::FILE* openInPlace(const std::string& path);
  // A stream of its own on a copy of descriptor `number`.
  static std::FILE* openDescriptor(int number);

  std::string target_;
  Access access_;
  Existing existing_;
  std::string path_;  // the file the target leads to
  bool inPlace_ = false;
  std::string temporary_;
  int armed_ = -1;  // the interrupt slot that removes the temporary file
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  std::string failedReason_;  // why the first failed write failed
};

// The advisory lock of a settings directory, held while alive. Writers of the
// directory's key hold it exclusively, readers shared, so that a reader never sees one
// file of a key and one of another. Taking it first finishes a commit that a crash or
// a failed rollback left unfinished there.
class DirectoryLock {
 public:
  // A writer's lock: the directory is created (private) when missing. Fails when
  // the lock cannot be had or an unfinished commit cannot be undone.
  static Result<DirectoryLock> forWriting(const std::string& directory);
  // A reader's lock; where the system gives none (a read-only directory, a file
  // system without locks), reading goes on without it.
  static Result<DirectoryLock> forReading(const std::string& directory);
  ~DirectoryLock();
  DirectoryLock(DirectoryLock&& other) noexcept
      : directory_(std::move(other.directory_)), handle_(other.handle_) {
    other.handle_ = -1;
  }
  DirectoryLock& operator=(DirectoryLock&&) = delete;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  const std::string& directory() const { return directory_; }

 private:
  DirectoryLock(std::string directory, std::intptr_t handle)
      : directory_(std::move(directory)), handle_(handle) {}

  std::string directory_;
  std::intptr_t handle_;
};

}  // namespace rotorwerk
