// A seam for the tests of key commits: the system's file operations, recorded in order,
// with any one of them made to fail, or the process to die there.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_operations.h"

namespace rotorwerk::test {

// A name as the record shows it: its last part, with a temporary file's six random
// characters shown as XXXXXX, so that two runs give the same record.
inline std::string recordedName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const std::size_t end = !name.empty() && name.back() == '~' ? name.size() - 1 : name.size();
  if (name.size() > 8 && name[0] == '.' && name[end - 7] == '.') name.replace(end - 6, 6, "XXXXXX");
  return name;
}

// The call numbered `failAt` (from 1) fails, and with `failLater` every call after it
// too, as when a disk goes away. With `crash` the process ends at that call instead, as
// a SIGKILL or a power loss would end it.
class FailingOperations : public FileOperations {
 public:
  int failAt = 0;
  bool failLater = false;
  bool crash = false;
  std::string_view only;  // when set, only this operation's calls count
  int calls = 0;
  int error = EIO;  // the reason a failing call gives
  // At the call numbered `signalAt`, a byte is written to `signalFd` and the call waits
  // a moment, so that another process can start what races with it.
  int signalAt = 0;
  int signalFd = -1;
  std::vector<std::string> record;  // each call: the operation and its names

  std::FILE* create(std::string& pattern, const std::string& target, bool keyFile) override {
    return fails("create " + recordedName(target))
               ? nullptr
               : FileOperations::create(pattern, target, keyFile);
  }
  bool write(const std::string& name, std::FILE* file, std::string_view bytes) override {
    return !fails("write " + recordedName(name)) && FileOperations::write(name, file, bytes);
  }
  bool sync(const std::string& name, std::FILE* file) override {
    return !fails("sync " + recordedName(name)) && FileOperations::sync(name, file);
  }
  bool rename(const std::string& from, const std::string& to, bool replace) override {
    return !fails("rename " + recordedName(from) + " " + recordedName(to) +
                  (replace ? " replacing" : " not replacing")) &&
           FileOperations::rename(from, to, replace);
  }
  bool remove(const std::string& path) override {
    return !fails("remove " + recordedName(path)) && FileOperations::remove(path);
  }
  bool syncDirectory(const std::string& directory) override {
    return !fails("syncDirectory") && FileOperations::syncDirectory(directory);
  }
  std::intptr_t lock(const std::string& directory, bool exclusive, bool create) override {
    return fails(exclusive ? "lock exclusive" : "lock shared")
               ? kLockFailed
               : FileOperations::lock(directory, exclusive, create);
  }
  // Every call of `operation` from now on fails with `reason`, as on a disk that went
  // read-only.
  void failEvery(std::string_view operation, int reason) {
    only = operation;
    failAt = calls + 1;
    failLater = true;
    error = reason;
  }

  Result<std::string> readJournal(const std::string& path, std::size_t limit) override {
    if (fails("readJournal " + recordedName(path))) {
      Fault unread{FaultKind::kJournal, path};
      unread.item = static_cast<int>(JournalProblem::kUnreadable);
      unread.reason = "Input/output error";
      return unread;
    }
    return FileOperations::readJournal(path, limit);
  }

 private:
  bool fails(const std::string& call) {
    const std::string_view operation = std::string_view(call).substr(0, call.find(' '));
    record.push_back(call);
    if (!only.empty() && operation != only) return false;
    ++calls;
    if (calls == signalAt) {
      const char byte = 1;
      if (::write(signalFd, &byte, 1) != 1) _exit(5);
      usleep(300 * 1000);
    }
    const bool failing = failAt > 0 && (calls == failAt || (failLater && calls > failAt));
    if (failing && crash) _exit(0);
    if (failing) errno = error;
    return failing;
  }
};

}  // namespace rotorwerk::test
