// The temporary file and its rename on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/random.h"
#include "platform/replacement_file.h"
#include "platform/unicode_windows.h"

namespace rotorwerk {
namespace {

// Tries this many random names before giving up on a folder.
constexpr int kNameTries = 100;

// Replaces the pattern's last six characters with random letters and digits.
bool fillPattern(std::string& path) {
  constexpr char kCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::array<unsigned char, 6> random{};
  if (path.size() < random.size() || !fillRandom(random.data(), random.size())) return false;
  for (std::size_t k = 0; k < random.size(); ++k) {
    path[path.size() - random.size() + k] = kCharacters[random[k] % (sizeof kCharacters - 1)];
  }
  return true;
}

}  // namespace

// A name that leads to an existing file is replaced where that file is, so that a
// symbolic link stays and its file gets the new text, as on POSIX systems.
Result<ReplacementFile::Destination> ReplacementFile::resolve(const std::string& target) {
  if (const int descriptor = descriptorNamed(target, static_cast<int>(GetCurrentProcessId()));
      descriptor >= 0 && descriptor <= 2) {
    return Destination{target, descriptor};
  }
  const std::wstring wide = widen(target);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Destination{target};
  }
  const HANDLE handle =
      CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // A link that leads nowhere or into a loop: nothing is changed.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return systemFault(FaultKind::kCannotWrite, target);
    }
    return Destination{target};
  }
  std::wstring final(32768, L'\0');
  const DWORD size = GetFinalPathNameByHandleW(handle, final.data(),
                                               static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
  CloseHandle(handle);
  if (size == 0 || size >= final.size()) return Destination{target};
  final.resize(size);
  // The long-path prefix is not part of the name the user would know.
  constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLong = L"\\\\?\\";
  if (final.compare(0, kUnc.size(), kUnc) == 0) {
    final.replace(0, kUnc.size(), L"\\\\");
  } else if (final.compare(0, kLong.size(), kLong) == 0) {
    final.erase(0, kLong.size());
  }
  return Destination{narrow(final)};
}

std::FILE* ReplacementFile::openDescriptor(int number) {
  const int copy = _dup(number);
  if (copy < 0) return nullptr;
  std::FILE* file = _fdopen(copy, "w");
  if (file == nullptr) _close(copy);
  return file;
}

std::FILE* ReplacementFile::openInPlace(const std::string& path) {
  return _wfopen(widen(path).c_str(), L"w");
}

// Windows keeps no owner-only mode bits; a key file gets the folder's permissions.
std::FILE* ReplacementFile::createTemporary(std::string& path, const std::string& target, Access) {
  // A read-only code file is not replaced behind the user's back.
  const DWORD attributes = GetFileAttributesW(widen(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return nullptr;
  }
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int tries = 0; handle == INVALID_HANDLE_VALUE && tries < kNameTries; ++tries) {
    if (!fillPattern(path)) return nullptr;
    // Delete sharing lets an interrupt remove the file while it is still open.
    handle = CreateFileW(widen(path).c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return nullptr;
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  // Text mode: a line end of the text is stored as CR LF, as Windows keeps text.
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
  std::FILE* file = fd >= 0 ? _fdopen(fd, "w") : nullptr;
  if (file == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(handle);
    }
    DeleteFileW(widen(path).c_str());
  }
  return file;
}

std::FILE* FileOperations::create(std::string& pattern, const std::string& target, bool keyFile) {
  return ReplacementFile::createTemporary(
      pattern, target,
      keyFile ? ReplacementFile::Access::kPrivate : ReplacementFile::Access::kKeep);
}

}  // namespace rotorwerk
