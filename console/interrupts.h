// Gives back what the tool borrowed when a signal ends it: the terminal's settings
// and the temporary file of a code file being written.
#pragma once

#ifndef _WIN32
#include <csignal>
#endif

namespace rotorwerk {

// Installs the handlers once, before the first command. A file-size limit then makes
// writes fail instead of ending the program.
void installInterruptHandlers();

// Holds back the handled signals while alive, so that a file can be created and armed
// for removal with no interrupt in between. A held signal arrives on destruction.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
#ifndef _WIN32
  sigset_t previous_{};
#endif
};

// While set, an interrupt removes this file. The path is copied; nullptr clears it.
void removeOnInterrupt(const char* path);

// While set, an interrupt restores the standard input terminal's saved settings.
// `settings` points to a termios; nullptr clears it.
void restoreTerminalOnInterrupt(const void* settings);

}  // namespace rotorwerk
