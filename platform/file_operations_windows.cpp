// The file operations on Windows.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <chrono>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/key_journal.h"
#include "platform/unicode_windows.h"

namespace rotorwerk {
namespace {

// Windows cannot lock a directory, so a hidden file in it is locked instead.
constexpr const char* kLockFileName = ".enigma_lock";

}  // namespace

bool FileOperations::write(const std::string&, std::FILE* file, std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool FileOperations::sync(const std::string&, std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return FlushFileBuffers(handle) != 0;
}

bool FileOperations::rename(const std::string& from, const std::string& to, bool replace) {
  return MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                     MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)) != 0;
}

// Renames are written through (MOVEFILE_WRITE_THROUGH).
bool FileOperations::syncDirectory(const std::string&) { return true; }

bool FileOperations::remove(const std::string& path) {
  return DeleteFileW(widen(path).c_str()) != 0;
}

std::intptr_t FileOperations::lock(const std::string& directory, bool exclusive, bool create) {
  const std::string name = directory.empty() ? kLockFileName : directory + "\\" + kLockFileName;
  const HANDLE handle =
      CreateFileW(widen(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kLockFailed;
  const auto deadline = std::chrono::steady_clock::now() + lockWait;
  for (;;) {
    OVERLAPPED whole{};
    const DWORD flags =
        (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | static_cast<DWORD>(LOCKFILE_FAIL_IMMEDIATELY);
    if (LockFileEx(handle, flags, 0, 1, 0, &whole) != 0)
      return reinterpret_cast<std::intptr_t>(handle);
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION && std::chrono::steady_clock::now() < deadline) {
      Sleep(10);
      continue;
    }
    CloseHandle(handle);
    SetLastError(error);
    if (error == ERROR_LOCK_VIOLATION) return kLockBusy;
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ? kNoLocks : kLockFailed;
  }
}

void FileOperations::unlock(std::intptr_t handle) {
  if (handle >= 0) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// Windows keeps no owner a journal could be judged by here: the folder's own
// permissions guard it. A link or a device in its place is refused all the same.
Result<std::string> FileOperations::readJournal(const std::string& path, std::size_t limit) {
  const HANDLE handle = CreateFileW(widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return systemFault(FaultKind::kFileNotFound, path);
    }
    return journalFault(path, JournalProblem::kUnreadable, systemFault(FaultKind::kJournal).reason);
  }
  BY_HANDLE_FILE_INFORMATION information{};
  Result<std::string> text = std::string();
  if (GetFileInformationByHandle(handle, &information) == 0) {
    text = journalFault(path, JournalProblem::kUnreadable, systemFault(FaultKind::kJournal).reason);
  } else if (GetFileType(handle) != FILE_TYPE_DISK ||
             (information.dwFileAttributes &
              (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    text = journalFault(path, JournalProblem::kNotRegular);
  } else if (information.nFileSizeHigh != 0 || information.nFileSizeLow > limit) {
    text = journalFault(path, JournalProblem::kTooLarge);
  } else {
    std::string& bytes = *text;
    bytes.resize(information.nFileSizeLow);
    DWORD got = 0;
    if (!bytes.empty() &&
        (ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) == 0 ||
         got != bytes.size())) {
      text = journalFault(path, JournalProblem::kUnreadable,
                          errorFault(FaultKind::kJournal, path, EIO).reason);
    }
  }
  CloseHandle(handle);
  return text;
}

bool FileOperations::ownFile(const std::string& path) {
  return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace rotorwerk
