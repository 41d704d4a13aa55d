// The screen clear and the key wait on Windows consoles and POSIX terminals.
#include "console/terminal.h"

#include "console/interrupts.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#include <cstdlib>
#else
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace rotorwerk {

bool Terminal::standardStreamsAreTerminals() {
#ifdef _WIN32
  return _isatty(0) != 0 && _isatty(1) != 0;
#else
  return isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0;
#endif
}

void Terminal::clearScreen(Console& console) const {
  if (!interactive_) return;
#ifdef _WIN32
  console.flush();
  std::system("cls");
#else
  // Home, erase the screen, erase the scrollback.
  console.write("\x1b[H\x1b[2J\x1b[3J");
  console.flush();
#endif
}

#ifndef _WIN32
namespace {

unsigned char readByte() {
  unsigned char byte = 0;
  while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
  }
  return byte;
}

}  // namespace
#endif

void Terminal::waitForKey(Console& console) const {
  if (!interactive_) return;
  console.flush();
#ifdef _WIN32
  _getch();
#else
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  // Only what a key wait needs: no line editing, no echo. Ctrl-C still interrupts.
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  restoreTerminalOnInterrupt(&saved);
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  if (readByte() == 0x1b) {
    // A function key sends a sequence; its tail must not become the next command.
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 1;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    unsigned char rest[16];
    while (read(STDIN_FILENO, rest, sizeof rest) > 0) {
    }
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  restoreTerminalOnInterrupt(nullptr);
#endif
}

}  // namespace rotorwerk
