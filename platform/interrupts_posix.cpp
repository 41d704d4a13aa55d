// Signal handlers that restore the terminal and remove a half-written file.
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "platform/interrupts.h"

namespace rotorwerk {
namespace {

// Every signal that ends the program by default and can be caught. SIGXFSZ is
// ignored instead, so that a file-size limit makes writes fail and is reported.
constexpr int kHandledSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE, SIGXCPU,
                                   SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF};

constexpr int kSlots = 2;

// Only async-signal-safe state: fixed buffers and flags.
char gRemovePath[kSlots][4096];
volatile std::sig_atomic_t gRemoveArmed[kSlots] = {};
termios gTerminal;
volatile std::sig_atomic_t gTerminalArmed = 0;
sigset_t gHeldPrevious;
volatile std::sig_atomic_t gCatchStop = 0;
volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void onInterrupt(int signalNumber) {
  if (signalNumber == SIGINT && gCatchStop != 0) {
    gStopRequested = 1;
    return;
  }
  if (gTerminalArmed != 0) tcsetattr(STDIN_FILENO, TCSANOW, &gTerminal);
  for (int slot = 0; slot < kSlots; ++slot) {
    if (gRemoveArmed[slot] != 0) unlink(gRemovePath[slot]);
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void installInterruptHandlers() {
  for (const int signalNumber : kHandledSignals) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, &previous);
    // A signal ignored from the start (a background job's Ctrl-C) stays ignored.
    if (previous.sa_handler == SIG_IGN) sigaction(signalNumber, &previous, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

InterruptsHeld::InterruptsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signalNumber : kHandledSignals) sigaddset(&held, signalNumber);
  sigprocmask(SIG_BLOCK, &held, &gHeldPrevious);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &gHeldPrevious, nullptr); }

int removeOnInterrupt(const char* path) {
  if (std::strlen(path) >= sizeof gRemovePath[0]) return -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (gRemoveArmed[slot] != 0) continue;
    std::strcpy(gRemovePath[slot], path);
    gRemoveArmed[slot] = 1;
    return slot;
  }
  return -1;
}

void keepOnInterrupt(int slot) {
  if (slot >= 0 && slot < kSlots) gRemoveArmed[slot] = 0;
}

void catchStopRequests(bool on) { gCatchStop = on ? 1 : 0; }

bool stopRequested() { return gStopRequested != 0; }

void restoreTerminalOnInterrupt(const void* settings) {
  gTerminalArmed = 0;
  if (settings == nullptr) return;
  std::memcpy(&gTerminal, settings, sizeof gTerminal);
  gTerminalArmed = 1;
}

}  // namespace rotorwerk
