// One line on a terminal's standard error that tells how far a long job has come.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/console.h"

namespace rotorwerk {

// Redrawn in place a few times a second, padded to `width` so that a shorter line
// covers a longer one, and cleared before the job's own messages. Drawn only on a
// terminal.
class StatusLine {
 public:
  using Clock = std::chrono::steady_clock;

  StatusLine(Console& console, std::size_t width);
  ~StatusLine() { finish(); }
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  // Whether a line is due now: the job has run `after` and the last line stands long
  // enough. A true answer counts as drawn now.
  bool due(std::chrono::milliseconds after = {});
  void draw(const std::string& line);
  // Clears the line, so that the job's messages stand alone.
  void finish();
  double secondsSinceStart() const;
  const Console& console() const { return console_; }

  // A number as `format` (printf's) writes it.
  static std::string number(const char* format, double value);

 private:
  Console& console_;
  std::size_t width_;
  bool shown_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_;
};

}  // namespace rotorwerk
