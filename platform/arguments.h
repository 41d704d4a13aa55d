// The program's arguments in the form file names take.
#pragma once

#include <string>
#include <vector>

namespace rotorwerk {

// The arguments after the program's name: as given on POSIX systems; on Windows from
// the UTF-16 command line as UTF-8, so that every name a user can type reaches the
// file functions whole, whatever the code page.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace rotorwerk
