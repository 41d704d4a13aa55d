// The temporary file and its rename on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>

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

// Links are rare on Windows and need rights to make; a name is taken as it is.
std::string ReplacementFile::finalName(const std::string& target) { return target; }

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

bool ReplacementFile::moveIntoPlace(const std::string& from, const std::string& to, bool replace) {
  return MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                     replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
}

bool ReplacementFile::linkName(const std::string& from, const std::string& to) {
  return CreateHardLinkW(widen(to).c_str(), widen(from).c_str(), nullptr) != 0;
}

bool ReplacementFile::removeName(const std::string& path) {
  return DeleteFileW(widen(path).c_str()) != 0;
}

bool ReplacementFile::sync(std::FILE* file) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return FlushFileBuffers(handle) != 0;
}

}  // namespace rotorwerk
