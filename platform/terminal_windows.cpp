// The screen clear and the key wait on Windows consoles.
#include <conio.h>
#include <io.h>

#include <cstdlib>

#include "platform/terminal.h"

namespace rotorwerk {

bool Terminal::standardStreamsAreTerminals() { return _isatty(0) != 0 && _isatty(1) != 0; }

bool Terminal::standardErrorIsTerminal() { return _isatty(2) != 0; }

void Terminal::clearScreen(Console& console) const {
  if (!interactive_) return;
  console.flush();
  std::system("cls");
}

void Terminal::waitForKey(Console& console) const {
  if (!interactive_) return;
  console.flush();
  // A function key gives two codes; the second must not become the next command.
  const int key = _getch();
  if (key == 0 || key == 0xE0) _getch();
}

}  // namespace rotorwerk
