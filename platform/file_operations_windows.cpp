// The file operations on Windows.
#include <io.h>
#include <windows.h>

#include "platform/file_operations.h"
#include "platform/unicode_windows.h"

namespace rotorwerk {
namespace {

// Windows cannot lock a directory, so a hidden file in it is locked instead.
constexpr const char* kLockFileName = ".enigma_lock";

}  // namespace

bool FileOperations::write(std::FILE* file, std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool FileOperations::sync(std::FILE* file) {
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
  OVERLAPPED whole{};
  if (LockFileEx(handle, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &whole) == 0) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ? kNoLocks : kLockFailed;
  }
  return reinterpret_cast<std::intptr_t>(handle);
}

void FileOperations::unlock(std::intptr_t handle) {
  if (handle >= 0) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace rotorwerk
