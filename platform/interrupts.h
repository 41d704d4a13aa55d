// Gives back what the tool borrowed when an interrupt ends it: the terminal's settings
// and the temporary file of a code file being written.
#pragma once

namespace rotorwerk {

// Installs the handlers once, before the first command. A file-size limit then makes
// writes fail instead of ending the program.
void installInterruptHandlers();

// Holds back the handled interrupts while alive, so that a file can be created and
// armed for removal with no interrupt in between. A held one arrives on destruction.
// One at a time: holds do not nest.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// While set, an interrupt removes this file. The path is copied; nullptr clears it.
void removeOnInterrupt(const char* path);

// While set, an interrupt restores the standard input terminal's saved settings.
// `settings` points to the platform's terminal settings; nullptr clears it.
void restoreTerminalOnInterrupt(const void* settings);

}  // namespace rotorwerk
