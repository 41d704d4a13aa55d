// Standard output and standard error as the tool writes them.
#include "console/console.h"

#include <clocale>
#include <cstring>

#ifndef _WIN32
#include <langinfo.h>
#endif

namespace rotorwerk {

bool Console::localeIsUtf8() {
#ifdef _WIN32
  return false;
#else
  bool utf8 = false;
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* codeset = nl_langinfo(CODESET);
    utf8 = codeset != nullptr &&
           (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  }
  // Parsing must not depend on the user's locale.
  std::setlocale(LC_ALL, "C");
  return utf8;
#endif
}

bool Console::writeData(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), out_) == bytes.size();
}

void Console::message(std::string_view bytes) {
  std::fflush(out_);
  std::fwrite(bytes.data(), 1, bytes.size(), err_);
  std::fflush(err_);
}

}  // namespace rotorwerk
