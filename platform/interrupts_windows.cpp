// Console control handlers that remove a half-written file when Ctrl-C, Ctrl-Break or
// closing the console window ends the program.
#include <windows.h>

#include <cstring>

#include "platform/interrupts.h"

namespace rotorwerk {
namespace {

char gRemovePath[MAX_PATH * 4];
volatile LONG gRemoveArmed = 0;
// Held while a file is created and armed; the handler waits for it.
SRWLOCK gArming = SRWLOCK_INIT;

BOOL WINAPI onControl(DWORD) {
  AcquireSRWLockExclusive(&gArming);
  // The file is open with delete sharing, so it goes when the process's handle does.
  if (gRemoveArmed != 0) DeleteFileA(gRemovePath);
  ReleaseSRWLockExclusive(&gArming);
  return FALSE;  // the default handler then ends the process
}

}  // namespace

void installInterruptHandlers() { SetConsoleCtrlHandler(onControl, TRUE); }

InterruptsHeld::InterruptsHeld() { AcquireSRWLockExclusive(&gArming); }

InterruptsHeld::~InterruptsHeld() { ReleaseSRWLockExclusive(&gArming); }

void removeOnInterrupt(const char* path) {
  gRemoveArmed = 0;
  if (path == nullptr || std::strlen(path) >= sizeof gRemovePath) return;
  std::strcpy(gRemovePath, path);
  gRemoveArmed = 1;
}

// A key wait leaves the console's modes as they were; nothing to restore.
void restoreTerminalOnInterrupt(const void*) {}

}  // namespace rotorwerk
