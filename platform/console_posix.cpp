// Console encoding on POSIX systems: UTF-8 when the locale says so, GBK otherwise.
#include <langinfo.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/file.h"

namespace rotorwerk {
namespace {

bool namesUtf8(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
}

// The locale the environment names, also when it is not installed: then setlocale
// fails, but a terminal set up for that locale still shows UTF-8.
bool localeIsUtf8() {
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* codeset = nl_langinfo(CODESET);
    const bool utf8 = codeset != nullptr && namesUtf8(codeset);
    // Parsing must not depend on the user's locale.
    std::setlocale(LC_ALL, "C");
    return utf8;
  }
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return namesUtf8(value);
  }
  return false;
}

// The first of the variables that set the messages' language, as gettext reads them.
bool readsChinese() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return std::strncmp(value, "zh", 2) == 0;
  }
  return false;
}

}  // namespace

Console Console::standard() {
  return Console(stdout, stderr, localeIsUtf8(), standardStreamWasClosed(1), readsChinese());
}

bool Console::writeText(std::FILE* stream, std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

}  // namespace rotorwerk
