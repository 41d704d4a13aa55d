// A file written under a temporary name and renamed into place only when complete.
#include "platform/replacement_file.h"

#include <filesystem>

#include "platform/file.h"
#include "platform/interrupts.h"

namespace rotorwerk {

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::open() {
  inPlace_ = target_ == "-" || isDevice(target_.c_str());
  if (inPlace_) {
    file_ = target_ == "-" ? stdout : std::fopen(target_.c_str(), "w");
    return file_ != nullptr;
  }
  const std::filesystem::path target(target_);
  // Hidden, beside the target, so that the rename stays within one file system.
  std::string name(1, '.');
  name += target.filename().string();
  name += ".XXXXXX";
  temporary_ = (target.parent_path() / name).string();
  {
    // An interrupt between creating the file and arming its removal would leave it.
    const InterruptsHeld held;
    file_ = createTemporary(temporary_, target_, access_);
    if (file_ != nullptr) removeOnInterrupt(temporary_.c_str());
  }
  if (file_ == nullptr) {
    temporary_.clear();
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
  const bool closed = file_ == stdout || std::fclose(file_) == 0;
  file_ = nullptr;
  if (inPlace_) return !failed_ && flushed && closed;
  if (failed_ || !flushed || !closed || !moveIntoPlace(temporary_, target_)) {
    discard();
    return false;
  }
  temporary_.clear();
  removeOnInterrupt(nullptr);
  return true;
}

void ReplacementFile::discard() {
  if (file_ != nullptr && file_ != stdout) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
    temporary_.clear();
  }
  removeOnInterrupt(nullptr);
}

}  // namespace rotorwerk
