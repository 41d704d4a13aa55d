// Standard output and standard error as the tool writes them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "console/console_text.h"

namespace rotorwerk {

class Console {
 public:
  // `utf8` picks the UTF-8 form of the console texts instead of GBK.
  Console(std::FILE* out, std::FILE* err, bool utf8) : out_(out), err_(err), utf8_(utf8) {}

  // True when the user's locale writes UTF-8. Leaves the "C" locale in force.
  static bool localeIsUtf8();

  std::string_view text(const ConsoleText& text) const { return utf8_ ? text.utf8 : text.gbk; }

  // Screens on standard output. A screen that cannot be shown loses nothing.
  void write(const ConsoleText& text) { write(this->text(text)); }
  void write(std::string_view bytes) { (void)writeData(bytes); }
  void flush() { std::fflush(out_); }

  // The user's data on standard output, never converted; every failure counts.
  [[nodiscard]] bool writeData(std::string_view bytes);
  [[nodiscard]] bool flushData() { return std::fflush(out_) == 0; }

  // A status message: standard output is flushed first so that the two streams
  // stand in order, and the message reaches the user at once.
  void message(const ConsoleText& text) { message(this->text(text)); }
  void message(std::string_view bytes);

  // An error message: like a message, and remembered for the exit status.
  void error(const ConsoleText& text) { error(this->text(text)); }
  void error(std::string_view bytes) {
    errorReported_ = true;
    message(bytes);
  }
  bool errorReported() const { return errorReported_; }

 private:
  std::FILE* out_;
  std::FILE* err_;
  bool utf8_;
  bool errorReported_ = false;
};

}  // namespace rotorwerk
