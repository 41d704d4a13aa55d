// Helpers for tests: scratch directories, files, and running the built program.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "machine/rotor_machine.h"

namespace rotorwerk::test {

// The banner as a UTF-8 console shows it, written out here rather than taken from the
// program's own texts.
inline const std::string kBanner =
    "+------------------------------------------------+\n"
    "|Rotorwerk Pro加密器v1.0-beta1                   |\n"
    "|-u 正常使用 -h 帮助                             |\n"
    "+------------------------------------------------+\n";

// The program under test: the built one, or the one ROTORWERK_PROGRAM names, started
// through the words of ROTORWERK_LAUNCHER (such as wine64 for the Windows build).
const std::string& programPath();
// True when the program under test is the Windows build. Its text files and standard
// output store a line end as CR LF; what the tests read from it is given back with LF,
// and its GBK console texts in UTF-8 where the run asked for a UTF-8 locale.
bool windowsBuild();
// A text as the program under test delivers it after reading it: on Windows a CR LF
// line end is read as LF.
std::string asShown(const std::string& text);

// Skips a test that needs what only the POSIX build has (signals, FIFOs, devices).
#define SKIP_ON_WINDOWS_BUILD(why) \
  if (::rotorwerk::test::windowsBuild()) GTEST_SKIP() << (why)

// A fresh directory that is removed with everything in it at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Runs the test from inside a directory and goes back afterwards.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& path);
  ~WorkingDirectory();

 private:
  std::filesystem::path previous_;
};

// The GBK bytes of a UTF-8 text, converted by the C library; empty on failure.
std::string toGbk(std::string_view utf8);

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;      // exit status, or -1 when ended by a signal
  long peakMemory = 0;  // peak resident memory in KiB
};

// As RunOptions' input or output: the stream is closed when the program starts.
inline const std::string kClosed = "<closed>";

struct RunOptions {
  // LC_ALL, or where it holds '=', the locale variables to set, such as
  // "LC_MESSAGES=zh_CN.UTF-8 LANG=C.UTF-8".
  std::string locale = "C";
  std::string input{};                   // a path for standard input instead of the text given
  std::string output{};                  // a path for standard output instead of a file
  bool appendOutput = false;             // `output` opened as '>>' opens it, not emptied
  std::vector<std::string> command{};    // words put before the program, such as setpriv
  std::vector<std::string> arguments{};  // the program's own arguments
};

// The built program started in `directory` with `input` as its standard input and the
// given locale; standard output and error are files, so it is not interactive.
class RunningProgram {
 public:
  RunningProgram(const std::filesystem::path& directory, const std::string& input,
                 const std::string& locale = "C")
      : RunningProgram(directory, input, RunOptions{.locale = locale}) {}
  RunningProgram(const std::filesystem::path& directory, const std::string& input,
                 const RunOptions& options);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  void signal(int number) const;
  RunResult wait();
  int terminatingSignal() const { return signal_; }

 private:
  ScratchDir io_;
  bool utf8_ = false;
  int pid_ = -1;
  int signal_ = 0;
  std::string spawnFailure_;
};

RunResult runProgram(const std::filesystem::path& directory, const std::string& input,
                     const std::string& locale = "C");
RunResult runProgram(const std::filesystem::path& directory, const std::string& input,
                     const RunOptions& options);

// Settings files as text, for writing into a scratch directory.
struct SettingsText {
  std::string wiring;
  std::string start;
};

// Random sound settings: a fixed-point-free reflector, `rotors` permutations, up to
// 13 plug pairs, and start offsets from `offsets`.
SettingsText randomSettings(unsigned seed, const std::vector<std::int64_t>& offsets);
void writeSettings(const ScratchDir& dir, const SettingsText& settings);

// The machine the settings files in `directory` describe; a fault fails the test.
RotorMachine loadMachine(const std::filesystem::path& directory);
// How many letters the plugboard sends to another letter.
int pluggedLetters(const RotorMachine& machine);

// Every rotor wired straight through, the reflector pairing neighbours (a-b, c-d, ...).
SettingsText straightSettings(std::int64_t left, std::int64_t middle, std::int64_t right,
                              const std::string& plugs = "0");

}  // namespace rotorwerk::test
