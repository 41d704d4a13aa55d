// The temporary file and its rename on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "platform/replacement_file.h"

namespace rotorwerk {

// Windows keeps no owner-only mode bits; a key file gets the folder's permissions.
std::FILE* ReplacementFile::createTemporary(std::string& path, const std::string& target, Access) {
  // A read-only code file is not replaced behind the user's back.
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return nullptr;
  }
  if (_mktemp_s(path.data(), path.size() + 1) != 0) return nullptr;
  // Delete sharing lets an interrupt remove the file while it is still open.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    DeleteFileA(path.c_str());
  }
  return file;
}

bool ReplacementFile::moveIntoPlace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace rotorwerk
