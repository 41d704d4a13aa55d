// Gives back what the tool borrowed when a signal ends it: the terminal's settings
// and the temporary file of a code file being written.
#pragma once

namespace rotorwerk {

// Installs the handlers once, before the first command. A file-size limit then makes
// writes fail instead of ending the program.
void installInterruptHandlers();

// While set, an interrupt removes this file. The path is copied; nullptr clears it.
void removeOnInterrupt(const char* path);

// While set, an interrupt restores the standard input terminal's saved settings.
// `settings` points to a termios; nullptr clears it.
void restoreTerminalOnInterrupt(const void* settings);

}  // namespace rotorwerk
