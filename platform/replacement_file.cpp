// A file written under a temporary name and renamed into place only when complete.
#include "platform/replacement_file.h"

#include <cassert>
#include <cerrno>

#include "platform/file.h"
#include "platform/interrupts.h"

namespace rotorwerk {
namespace {

// Room for the dot, the stem, ".XXXXXX" and a backup's "~" within the 255 bytes (or
// UTF-16 units) that file systems allow a name.
constexpr std::size_t kStemLimit = 200;

// Hidden, beside the file it replaces, so that the rename stays within one file system.
std::string temporaryPattern(const std::string& path) {
  const std::size_t start = baseNameStart(path);
  std::size_t length = path.size() - start;
  if (length > kStemLimit) {
    length = kStemLimit;
    // Not inside a UTF-8 character, so that a Windows name stays valid.
    while (length > 0 && (static_cast<unsigned char>(path[start + length]) & 0xC0U) == 0x80U) {
      --length;
    }
  }
  return path.substr(0, start) + '.' + path.substr(start, length) + ".XXXXXX";
}

}  // namespace

ReplacementFile::~ReplacementFile() { discard(); }

Fault ReplacementFile::fault(FaultKind kind) const { return systemFault(kind, target_); }

Result<void> ReplacementFile::open() {
  if (target_ == "-") {
    inPlace_ = true;
    file_ = stdout;
    if (standardStreamWasClosed(1)) {
      errno = EBADF;
      return fault(FaultKind::kCannotWrite);
    }
    return {};
  }
  if (target_.empty()) return fault(FaultKind::kCannotWrite);
  const bool refuse = existing_ == Existing::kRefuse;
  if (refuse && nameTaken(target_)) return fault(FaultKind::kExists);
  path_ = refuse ? target_ : finalName(target_);
  const FileKind kind = kindOf(path_);
  if (access_ == Access::kPrivate && kind != FileKind::kAbsent && kind != FileKind::kRegular) {
    return fault(FaultKind::kNotRegular);
  }
  if (kind == FileKind::kOther) {
    inPlace_ = true;
    file_ = openInPlace(path_);
    if (file_ == nullptr) return fault(FaultKind::kCannotWrite);
    return {};
  }
  temporary_ = temporaryPattern(path_);
  {
    // An interrupt between creating the file and arming its removal would leave it.
    const InterruptsHeld held;
    file_ = createTemporary(temporary_, path_, access_);
    if (file_ != nullptr) armed_ = removeOnInterrupt(temporary_.c_str());
  }
  if (file_ == nullptr) {
    const Fault unopened = fault(FaultKind::kCannotWrite);
    temporary_.clear();
    return unopened;
  }
  return {};
}

bool ReplacementFile::write(std::string_view bytes) {
  if (file_ == nullptr || failed_) return false;
  failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
  if (failed_) failedReason_ = fault(FaultKind::kCannotWrite).reason;
  return !failed_;
}

Result<void> ReplacementFile::finish() {
  if (file_ == nullptr) return fault(FaultKind::kCannotWrite);
  // A full disk or a size limit may show only when the last bytes are flushed.
  bool finished = !failed_ && std::fflush(file_) == 0;
  // A key must survive a crash as a whole; code files skip the cost.
  if (finished && access_ == Access::kPrivate) finished = sync(file_);
  if (file_ != stdout) finished = std::fclose(file_) == 0 && finished;
  file_ = nullptr;
  if (finished) return {};
  Fault unwritten = fault(FaultKind::kCannotWrite);
  if (failed_) unwritten.reason = failedReason_;
  return unwritten;
}

Result<void> ReplacementFile::commit() {
  if (auto finished = finish(); !finished) {
    discard();
    return finished;
  }
  if (inPlace_) return {};
  return place();
}

Result<void> ReplacementFile::place() {
  if (!moveIntoPlace(temporary_, path_, existing_ == Existing::kReplace)) {
    const bool taken = existing_ == Existing::kRefuse && nameTaken(path_);
    const Fault unplaced = fault(taken ? FaultKind::kExists : FaultKind::kCannotWrite);
    discard();
    return unplaced;
  }
  temporary_.clear();
  discard();
  return {};
}

Result<void> ReplacementFile::commitBoth(ReplacementFile& first, ReplacementFile& second) {
  assert(!first.inPlace_ && !second.inPlace_);
  auto finished = first.finish();
  if (finished) finished = second.finish();
  if (!finished) {
    first.discard();
    second.discard();
    return finished;
  }
  // No interrupt may leave one file new and the other old.
  const InterruptsHeld held;
  // The first file's old text keeps a second name until the second file is in place.
  std::string backup;
  if (kindOf(first.path_) == FileKind::kRegular) {
    backup = first.temporary_ + "~";
    if (!linkName(first.path_, backup)) backup.clear();
  }
  const bool created = !nameTaken(first.path_);
  auto placed = first.place();
  if (placed) {
    placed = second.place();
    // The first file took its place before the second failed: it goes back.
    if (!placed && !backup.empty()) {
      (void)moveIntoPlace(backup, first.path_, true);
    } else if (!placed && created) {
      (void)removeName(first.path_);
    }
  }
  if (!backup.empty()) (void)removeName(backup);
  first.discard();
  second.discard();
  return placed;
}

void ReplacementFile::discard() {
  if (file_ != nullptr && file_ != stdout) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) {
    (void)removeName(temporary_);
    temporary_.clear();
  }
  if (armed_ >= 0) keepOnInterrupt(armed_);
  armed_ = -1;
}

}  // namespace rotorwerk
