// The screen clear and the key wait on POSIX terminals.
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/interrupts.h"
#include "platform/terminal.h"

namespace rotorwerk {
namespace {

unsigned char readByte() {
  unsigned char byte = 0;
  while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
  }
  return byte;
}

}  // namespace

bool Terminal::standardStreamsAreTerminals() {
  return isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0;
}

bool Terminal::standardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void Terminal::clearScreen(Console& console) const {
  if (!interactive_) return;
  // Home, erase the screen, erase the scrollback.
  console.write("\x1b[H\x1b[2J\x1b[3J");
  console.flush();
}

void Terminal::waitForKey(Console& console) const {
  if (!interactive_) return;
  console.flush();
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
}

}  // namespace rotorwerk
