// Windows' own UTF-16 for the tool's UTF-8 names, and back.
#include "platform/unicode_windows.h"

#include <windows.h>

namespace rotorwerk {
namespace {

std::wstring toWide(std::string_view bytes, UINT codePage) {
  const int size = static_cast<int>(bytes.size());
  const int wideSize = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize > 0 ? wideSize : 0), L'\0');
  if (wideSize > 0) MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), wideSize);
  return wide;
}

std::string fromWide(std::wstring_view wide, UINT codePage) {
  const int size = static_cast<int>(wide.size());
  // UTF-8 takes no default character; every UTF-16 text has a UTF-8 form.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int narrowSize =
      WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, fallback, nullptr);
  std::string bytes(static_cast<std::size_t>(narrowSize > 0 ? narrowSize : 0), '\0');
  if (narrowSize > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), narrowSize, fallback,
                        nullptr);
  }
  return bytes;
}

}  // namespace

std::wstring widen(std::string_view utf8) { return toWide(utf8, CP_UTF8); }
std::string narrow(std::wstring_view wide) { return fromWide(wide, CP_UTF8); }
std::string toCodePage(std::wstring_view wide, unsigned codePage) {
  return fromWide(wide, codePage);
}
std::string fromCodePage(std::string_view bytes, unsigned codePage) {
  return narrow(toWide(bytes, codePage));
}

}  // namespace rotorwerk
