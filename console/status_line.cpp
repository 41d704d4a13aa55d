// The progress line both long jobs draw.
#include "console/status_line.h"

#include <cstdio>

#include "platform/terminal.h"

namespace rotorwerk {

StatusLine::StatusLine(Console& console, std::size_t width)
    : console_(console), width_(width), shown_(Terminal::standardErrorIsTerminal()) {}

bool StatusLine::due(std::chrono::milliseconds after) {
  const auto now = Clock::now();
  if (!shown_ || now - start_ < after || (drawn_ && now - last_ < std::chrono::milliseconds(250))) {
    return false;
  }
  last_ = now;
  return true;
}

void StatusLine::draw(const std::string& line) {
  std::string text = "\r";
  text += line;
  text.append(width_ > line.size() ? width_ - line.size() : 0, ' ');
  console_.message(text);
  drawn_ = true;
}

void StatusLine::finish() {
  if (drawn_) {
    std::string blank(width_ + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    console_.message(blank);
  }
  drawn_ = false;
}

double StatusLine::secondsSinceStart() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

std::string StatusLine::number(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace rotorwerk
