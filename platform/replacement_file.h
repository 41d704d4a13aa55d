// A file written under a temporary name and renamed into place only when complete.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace rotorwerk {

// Until commit() succeeds, the file at the target name is left as it was, and the
// temporary file is removed again, also when the program is interrupted. A target of
// "-" is standard output, and a device or FIFO is written in place: neither can be
// replaced.
class ReplacementFile {
 public:
  enum class Access {
    kKeep,     // a replaced file keeps its protection; a new one gets the usual
    kPrivate,  // only the owner may read or write it (a key)
  };
  explicit ReplacementFile(std::string target, Access access = Access::kKeep)
      : target_(std::move(target)), access_(access) {}
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file in the target's directory. Fails without creating it
  // when the target is a file the user may not write.
  [[nodiscard]] bool open();
  // False once any write has failed; the failure is remembered for commit().
  [[nodiscard]] bool write(std::string_view bytes);
  // The stream written to, for writers that take one.
  std::FILE* stream() const { return file_; }
  // Flushes, closes and renames; false when any byte may not have reached the file.
  [[nodiscard]] bool commit();

 private:
  // The platform's part: a new file at `path` (a pattern whose last six characters
  // are replaced) that takes the place of `target`, opened for writing text; and the
  // rename over the target.
  static std::FILE* createTemporary(std::string& path, const std::string& target,
                                    Access protection);
  static bool moveIntoPlace(const std::string& from, const std::string& to);
  void discard();

  std::string target_;
  Access access_;
  bool inPlace_ = false;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace rotorwerk
