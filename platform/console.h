// Standard output and standard error as the tool writes them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/console_text.h"

namespace rotorwerk {

class Console {
 public:
  // `utf8` picks the UTF-8 form of the console texts instead of GBK.
  // `outputClosed`: standard output was closed at start-up, so whatever is written
  // to it is lost.
  Console(std::FILE* out, std::FILE* err, bool utf8, bool outputClosed = false, bool chinese = true)
      : out_(out), err_(err), utf8_(utf8), chinese_(chinese), outputClosed_(outputClosed) {}

  // The process's standard output and error, with the encoding the platform calls for:
  // UTF-8 on a UTF-8 POSIX locale, GBK otherwise; Chinese messages for a user whose
  // language is Chinese (the locale's messages on POSIX, the UI language on Windows).
  static Console standard();

  bool utf8() const { return utf8_; }
  // The language the command line speaks; the console's own texts are always Chinese.
  bool chinese() const { return chinese_; }

  std::string_view text(const ConsoleText& text) const { return utf8_ ? text.utf8 : text.gbk; }

  // Screens on standard output. A screen that cannot be shown is remembered as lost.
  void write(const ConsoleText& text) { write(this->text(text)); }
  void write(std::string_view bytes);
  void flush() {
    if (std::fflush(out_) != 0) loseOutput();
  }
  // True once anything written to standard output may have been lost; a stream that
  // was closed at start-up loses everything written to it, but a job that writes
  // nothing there loses nothing.
  bool outputLost() const { return outputLost_; }
  // The system's reason for the first loss.
  std::string lossReason() const;

  // Standard output for the user's data, which is never converted.
  std::FILE* out() const { return out_; }

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
  // Writes console text in this console's encoding; where the stream is a console
  // that shows other characters, the platform converts it for the screen.
  // False when not every byte was written.
  static bool writeText(std::FILE* stream, std::string_view bytes);
  void loseOutput();

  std::FILE* out_;
  std::FILE* err_;
  bool utf8_;
  bool chinese_;
  bool errorReported_ = false;
  bool outputClosed_;
  bool outputLost_ = false;
  int lossError_ = 0;  // errno of the first loss
};

}  // namespace rotorwerk
