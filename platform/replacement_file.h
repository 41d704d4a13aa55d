// A file written under a temporary name and renamed into place only when complete.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace rotorwerk {

// Until commit() succeeds, the file at the target name is left as it was, and the
// temporary file is removed again, also when the program is interrupted. A target of
// "-" is standard output. A link is written through: the link stays and the file it
// leads to is replaced, or created when it leads nowhere. A device or FIFO is written
// in place: it cannot be replaced. Replacing makes a new file, so a hard link to the
// old one keeps the old text.
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
  // creating it when the target is a file the user may not write (kCannotWrite), a
  // private file's name leads to a directory, device or FIFO (kNotRegular), or
  // Existing::kRefuse finds the name taken (kExists).
  Result<void> open();
  // False once any write has failed: the stream's failure stays, as a stream's error
  // flag does, and commit() reports it.
  [[nodiscard]] bool write(std::string_view bytes);
  // The stream written to, for writers that take one.
  std::FILE* stream() const { return file_; }
  // Flushes, closes and renames; a fault when any byte may not have reached the file.
  Result<void> commit();
  // Commits two files as one: both take their places, or neither does and both old
  // files stay. The fault names the file that failed.
  static Result<void> commitBoth(ReplacementFile& first, ReplacementFile& second);

 private:
  // Flushes and closes the stream, syncing a private file.
  Result<void> finish();
  // Renames the finished temporary file onto the file the target leads to.
  Result<void> place();
  void discard();
  // A fault naming the target, with the system's reason for the call that just failed.
  Fault fault(FaultKind kind) const;

  // The platform's part. The name a target leads to after its links, or the target
  // itself when that is not a name of its own (a descriptor of /proc).
  static std::string finalName(const std::string& target);
  // A new file at `path` (a pattern whose last six characters are replaced) that will
  // take the place of `target`, opened for writing text.
  static std::FILE* createTemporary(std::string& path, const std::string& target,
                                    Access protection);
  // Opens a device or FIFO for writing text.
  static std::FILE* openInPlace(const std::string& path);
  // Renames; without `replace`, fails when `to` exists.
  static bool moveIntoPlace(const std::string& from, const std::string& to, bool replace);
  // A second name for a file, to restore it by.
  static bool linkName(const std::string& from, const std::string& to);
  static bool removeName(const std::string& path);
  static bool sync(std::FILE* file);

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

}  // namespace rotorwerk
