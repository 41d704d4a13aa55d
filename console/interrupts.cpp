// Signal handlers that restore the terminal and remove a half-written file.
#include "console/interrupts.h"

#include <csignal>
#include <cstring>

#ifndef _WIN32
#include <termios.h>
#include <unistd.h>
#else
#include <cstdio>
#endif

namespace rotorwerk {
namespace {

#ifndef _WIN32
// Every signal that ends the program by default and can be caught. SIGXFSZ is
// ignored instead, so that a file-size limit makes writes fail and is reported.
constexpr int kHandledSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE, SIGXCPU,
                                   SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF};
#endif

// Only async-signal-safe state: fixed buffers and flags.
char gRemovePath[4096];
volatile std::sig_atomic_t gRemoveArmed = 0;
#ifndef _WIN32
termios gTerminal;
volatile std::sig_atomic_t gTerminalArmed = 0;
#endif

extern "C" void onInterrupt(int signalNumber) {
#ifndef _WIN32
  if (gTerminalArmed != 0) tcsetattr(STDIN_FILENO, TCSANOW, &gTerminal);
  if (gRemoveArmed != 0) unlink(gRemovePath);
#else
  if (gRemoveArmed != 0) std::remove(gRemovePath);
#endif
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void installInterruptHandlers() {
#ifndef _WIN32
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
#else
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
#endif
}

#ifndef _WIN32
InterruptsHeld::InterruptsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signalNumber : kHandledSignals) sigaddset(&held, signalNumber);
  sigprocmask(SIG_BLOCK, &held, &previous_);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
#else
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;
#endif

void removeOnInterrupt(const char* path) {
  gRemoveArmed = 0;
  if (path == nullptr || std::strlen(path) >= sizeof gRemovePath) return;
  std::strcpy(gRemovePath, path);
  gRemoveArmed = 1;
}

void restoreTerminalOnInterrupt(const void* settings) {
#ifndef _WIN32
  gTerminalArmed = 0;
  if (settings == nullptr) return;
  std::memcpy(&gTerminal, settings, sizeof gTerminal);
  gTerminalArmed = 1;
#else
  (void)settings;
#endif
}

}  // namespace rotorwerk
