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

// Until kept, an interrupt removes this file; two at a time (a key's two files). The
// path is copied. Gives the slot to keep it by, or -1 when the file cannot be armed.
int removeOnInterrupt(const char* path);
void keepOnInterrupt(int slot);

// While on, Ctrl-C (SIGINT; Ctrl-C or Ctrl-Break on Windows) only asks the running job
// to stop, so that a long search can end with what it found. Other interrupts end the
// program as before.
void catchStopRequests(bool on);
bool stopRequested();

// While set, an interrupt restores the standard input terminal's saved settings.
// `settings` points to the platform's terminal settings; nullptr clears it.
void restoreTerminalOnInterrupt(const void* settings);

}  // namespace rotorwerk
