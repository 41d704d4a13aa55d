// A file written under a temporary name and renamed into place only when complete.
#include "platform/replacement_file.h"

#include <cassert>
#include <cerrno>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/interrupts.h"

namespace rotorwerk {
namespace {

// Room for the dot, the stem, ".XXXXXX" and a backup's "~" within the 255 bytes (or
// UTF-16 units) that file systems allow a name.
constexpr std::size_t kStemLimit = 200;

}  // namespace

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

int descriptorNamed(std::string_view name, int processId) {
  constexpr std::string_view kStreams[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
  for (int number = 0; number < 3; ++number) {
    if (name == kStreams[number]) return number;
  }
  const std::string own = "/proc/" + std::to_string(processId) + "/fd/";
  for (const std::string_view folder :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
    if (name.substr(0, folder.size()) != folder) continue;
    const std::string_view digits = name.substr(folder.size());
    // Descriptors are small: nine digits cannot overflow.
    if (digits.empty() || digits.size() > 9) return -1;
    int number = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return -1;
      number = number * 10 + (c - '0');
    }
    return number;
  }
  return -1;
}

ReplacementFile::~ReplacementFile() { discard(); }

Fault ReplacementFile::fault(FaultKind kind, FaultStep step) const {
  Fault fault = systemFault(kind, target_);
  fault.step = step;
  return fault;
}

Result<void> ReplacementFile::open() {
  int descriptor = target_ == "-" ? 1 : -1;
  if (descriptor < 0) {
    if (target_.empty()) return fault(FaultKind::kCannotWrite);
    const bool refuse = existing_ == Existing::kRefuse;
    if (refuse && nameTaken(target_)) return fault(FaultKind::kExists);
    auto destination = resolve(target_);
    if (!destination) return destination.fault();
    descriptor = destination->descriptor;
    path_ = refuse ? target_ : destination->path;
  }
  if (descriptor >= 0) {
    // Written through the descriptor where it stands, as a shell's redirection left
    // it: replacing the file behind it would lose what it held.
    inPlace_ = true;
    path_.clear();
    file_ = descriptor == 1 ? stdout : descriptor == 2 ? stderr : openDescriptor(descriptor);
    if (standardStreamWasClosed(descriptor) || file_ == nullptr) {
      file_ = nullptr;
      return errorFault(FaultKind::kCannotWrite, target_, EBADF);
    }
    return {};
  }
  const FileKind kind = kindOf(path_);
  if (access_ == Access::kPrivate && kind != FileKind::kAbsent && kind != FileKind::kRegular) {
    return fault(FaultKind::kNotRegular);
  }
  // Refused at once, not after the whole output is written.
  if (kind == FileKind::kDirectory) return errorFault(FaultKind::kCannotWrite, target_, EISDIR);
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
    file_ = fileOperations().create(temporary_, path_, access_ == Access::kPrivate);
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
  failed_ = !fileOperations().write(target_, file_, bytes);
  if (failed_) failedReason_ = fault(FaultKind::kCannotWrite).reason;
  return !failed_;
}

Result<void> ReplacementFile::finish() {
  if (file_ == nullptr) return fault(FaultKind::kCannotWrite);
  // A full disk or a size limit may show only when the last bytes are flushed.
  Result<void> finished;
  if (failed_ || std::fflush(file_) != 0) {
    finished = fault(FaultKind::kCannotWrite);
  } else if (access_ == Access::kPrivate && !inPlace_ && !fileOperations().sync(target_, file_)) {
    // A key must survive a crash as a whole; code files skip the cost.
    finished = fault(FaultKind::kCannotWrite, FaultStep::kSync);
  }
  if (!toStandardStream()) {
    errno = 0;
    if (std::fclose(file_) != 0 && finished) finished = fault(FaultKind::kCannotWrite);
  }
  file_ = nullptr;
  if (!finished && failed_) {
    Fault unwritten = finished.fault();
    unwritten.reason = failedReason_;
    return unwritten;
  }
  return finished;
}

Result<void> ReplacementFile::commit() {
  if (auto finished = finish(); !finished) {
    discard();
    return finished;
  }
  if (inPlace_) return {};
  if (!fileOperations().rename(temporary_, path_, existing_ == Existing::kReplace)) {
    // The reason is taken before anything else can overwrite it.
    Fault unplaced = fault(FaultKind::kCannotWrite, FaultStep::kPlace);
    if (existing_ == Existing::kRefuse && nameTaken(path_)) unplaced.kind = FaultKind::kExists;
    discard();
    return unplaced;
  }
  temporary_.clear();
  discard();
  return {};
}

void ReplacementFile::discard() {
  if (file_ != nullptr && !toStandardStream()) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) {
    (void)fileOperations().remove(temporary_);
    temporary_.clear();
  }
  if (armed_ >= 0) keepOnInterrupt(armed_);
  armed_ = -1;
}

}  // namespace rotorwerk
