// The program's arguments on Windows: the UTF-16 command line, as UTF-8.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/arguments.h"
#include "platform/unicode_windows.h"

namespace rotorwerk {

// argv holds the command line in the ANSI code page, which loses what it cannot show.
std::vector<std::string> programArguments(int, char**) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (words == nullptr) return arguments;
  for (int k = 1; k < count; ++k) arguments.push_back(narrow(words[k]));
  LocalFree(static_cast<HLOCAL>(words));
  return arguments;
}

}  // namespace rotorwerk
