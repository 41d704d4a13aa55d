// The screen clear and the key wait, which only a person at a terminal sees.
#pragma once

#include "platform/console.h"

namespace rotorwerk {

class Terminal {
 public:
  // Interactive means standard input and standard output are both terminals;
  // otherwise the clear writes nothing and the key wait returns at once.
  explicit Terminal(bool interactive) : interactive_(interactive) {}
  static bool standardStreamsAreTerminals();
  // True when standard error is a terminal, where a progress line may stand.
  static bool standardErrorIsTerminal();

  void clearScreen(Console& console) const;
  // Waits for one key press, without echo.
  void waitForKey(Console& console) const;

 private:
  bool interactive_;
};

}  // namespace rotorwerk
