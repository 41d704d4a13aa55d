// Console encoding on Windows: GBK bytes for pipes and files; a console gets the same
// texts as wide characters, so that they read right whatever its code page.
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/console.h"
#include "platform/file.h"

namespace rotorwerk {
namespace {

constexpr UINT kGbkCodePage = 936;

HANDLE consoleOf(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

}  // namespace

Console Console::standard() {
  const bool chinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
  return Console(stdout, stderr, false, standardStreamWasClosed(1), chinese);
}

bool Console::writeText(std::FILE* stream, std::string_view bytes) {
  const HANDLE console = consoleOf(stream);
  const int size = static_cast<int>(bytes.size());
  const int wideSize =
      console != nullptr ? MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), size, nullptr, 0) : 0;
  if (wideSize <= 0) return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), size, wide.data(), wideSize);
  // What the stream holds goes first, so that the screen keeps the order.
  std::fflush(stream);
  DWORD written = 0;
  return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
             0 &&
         written == wide.size();
}

}  // namespace rotorwerk
