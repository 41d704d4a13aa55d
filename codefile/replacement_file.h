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
  void discard();

  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace rotorwerk
