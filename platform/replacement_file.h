// A file written under a temporary name and renamed into place only when complete.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace rotorwerk {

// Until commit() succeeds, the file at the target name is left as it was, and the
// temporary file is removed again, also when the program is interrupted.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string target) : target_(std::move(target)) {}
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file in the target's directory. Fails without creating it
  // when the target is a file the user may not write.
  [[nodiscard]] bool open();
  // False once any write has failed; the failure is remembered for commit().
  [[nodiscard]] bool write(std::string_view bytes);
  // Flushes, closes and renames; false when any byte may not have reached the file.
  [[nodiscard]] bool commit();

 private:
  // The platform's part: a new file at `path` (a pattern whose last six characters
  // are replaced) that takes the place of `target`, opened for writing text; and the
  // rename over the target.
  static std::FILE* createTemporary(std::string& path, const std::string& target);
  static bool moveIntoPlace(const std::string& from, const std::string& to);
  void discard();

  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace rotorwerk
