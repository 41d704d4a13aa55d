// Console control handlers that remove a half-written file when Ctrl-C, Ctrl-Break or
// closing the console window ends the program.
#include <windows.h>

#include <string>

#include "platform/interrupts.h"
#include "platform/unicode_windows.h"

namespace rotorwerk {
namespace {

constexpr int kSlots = 2;

wchar_t gRemovePath[kSlots][32768];
volatile LONG gRemoveArmed[kSlots] = {};
// Held while a file is created and armed; the handler waits for it.
SRWLOCK gArming = SRWLOCK_INIT;
volatile LONG gCatchStop = 0;
volatile LONG gStopRequested = 0;

BOOL WINAPI onControl(DWORD type) {
  if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && gCatchStop != 0) {
    InterlockedExchange(&gStopRequested, 1);
    return TRUE;
  }
  AcquireSRWLockExclusive(&gArming);
  // The file is open with delete sharing, so it goes when the process's handle does.
  for (int slot = 0; slot < kSlots; ++slot) {
    if (gRemoveArmed[slot] != 0) DeleteFileW(gRemovePath[slot]);
  }
  ReleaseSRWLockExclusive(&gArming);
  return FALSE;  // the default handler then ends the process
}

}  // namespace

void installInterruptHandlers() { SetConsoleCtrlHandler(onControl, TRUE); }

void catchStopRequests(bool on) { InterlockedExchange(&gCatchStop, on ? 1 : 0); }

bool stopRequested() { return InterlockedCompareExchange(&gStopRequested, 0, 0) != 0; }

InterruptsHeld::InterruptsHeld() { AcquireSRWLockExclusive(&gArming); }

InterruptsHeld::~InterruptsHeld() { ReleaseSRWLockExclusive(&gArming); }

int removeOnInterrupt(const char* path) {
  const std::wstring wide = widen(path);
  if (wide.size() >= std::size(gRemovePath[0])) return -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (gRemoveArmed[slot] != 0) continue;
    wide.copy(gRemovePath[slot], wide.size());
    gRemovePath[slot][wide.size()] = L'\0';
    gRemoveArmed[slot] = 1;
    return slot;
  }
  return -1;
}

void keepOnInterrupt(int slot) {
  if (slot >= 0 && slot < kSlots) gRemoveArmed[slot] = 0;
}

// A key wait leaves the console's modes as they were; nothing to restore.
void restoreTerminalOnInterrupt(const void*) {}

}  // namespace rotorwerk
