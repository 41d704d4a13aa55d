// Helpers for tests: scratch directories, files, and running the built program.
#include "test_support.h"

#include "api/settings_files.h"
#include "texts/texts.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <optional>
#include <random>
#include <sstream>

extern char** environ;

namespace rotorwerk::test {

const std::string& programPath() {
  static const std::string path = [] {
    const char* named = std::getenv("ROTORWERK_PROGRAM");
    return std::string(named != nullptr && *named != '\0' ? named : ROTORWERK_BINARY);
  }();
  return path;
}

bool windowsBuild() {
  const std::string& path = programPath();
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".exe") == 0;
}

std::string asShown(const std::string& text) {
  if (!windowsBuild()) return text;
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') shown.push_back(text[i]);
  }
  return shown;
}

namespace {

std::vector<std::string> launcher() {
  std::vector<std::string> words;
  std::istringstream named(
      std::getenv("ROTORWERK_LAUNCHER") != nullptr ? std::getenv("ROTORWERK_LAUNCHER") : "");
  for (std::string word; named >> word;) words.push_back(word);
  return words;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The Windows build writes GBK whatever the locale: its console texts are turned back
// into the UTF-8 the tests expect, longest first, leaving data bytes as they are. Texts
// shorter than three characters could match data and are left alone.
std::string screensInUtf8(std::string out) {
  for (const auto* label : {&texts::kEnglishLabel, &texts::kChineseLabel}) {
    const std::string line = std::string(texts::kLanguageLine.utf8) + std::string(label->utf8);
    out = replaceAll(out, toGbk(line), line);
  }
  std::vector<ConsoleText> screens(std::begin(texts::kAll), std::end(texts::kAll));
  std::sort(screens.begin(), screens.end(),
            [](const ConsoleText& a, const ConsoleText& b) { return a.gbk.size() > b.gbk.size(); });
  for (const auto& text : screens) {
    if (text.gbk.size() >= 6 && text.gbk != text.utf8) {
      out = replaceAll(out, std::string(text.gbk), std::string(text.utf8));
    }
  }
  return out;
}

// A text converted by the C library, or nothing when it cannot be.
std::optional<std::string> convert(const char* to, const char* from, std::string_view text) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in(text);
  std::string out(in.size() * 2 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const bool converted =
      iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (!converted) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string fromGbk(const std::string& gbk) { return convert("UTF-8", "GBK", gbk).value_or(gbk); }

}  // namespace

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rotorwerk-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::write(const std::string& name, const std::string& bytes) const {
  writeFile(path_ / name, bytes);
}

std::string ScratchDir::read(const std::string& name) const {
  // What the Windows build stores as CR LF reads back as the LF the tests wrote.
  return windowsBuild() ? replaceAll(readFile(path_ / name), "\r\n", "\n") : readFile(path_ / name);
}

WorkingDirectory::WorkingDirectory(const std::filesystem::path& path)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() { std::filesystem::current_path(previous_); }

std::string toGbk(std::string_view utf8) { return convert("GBK", "UTF-8", utf8).value_or(""); }

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

RunningProgram::RunningProgram(const std::filesystem::path& directory, const std::string& input,
                               const RunOptions& options) {
  io_.write("stdin", input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string inputPath = options.input.empty() ? (io_ / "stdin").string() : options.input;
  if (inputPath == kClosed) {
    posix_spawn_file_actions_addclose(&actions, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
  }
  const std::string output = options.output.empty() ? (io_ / "stdout").string() : options.output;
  if (output == kClosed) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    posix_spawn_file_actions_addopen(
        &actions, 1, output.c_str(),
        O_WRONLY | O_CREAT | (options.appendOutput ? O_APPEND : O_TRUNC), 0600);
  }
  posix_spawn_file_actions_addopen(&actions, 2, (io_ / "stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("LC_", 0) != 0 && variable.rfind("LANG", 0) != 0) {
      environment.push_back(variable);
    }
  }
  if (options.locale.find('=') == std::string::npos) {
    environment.push_back("LC_ALL=" + options.locale);
  } else {
    std::istringstream variables(options.locale);
    for (std::string variable; variables >> variable;) environment.push_back(variable);
  }
  std::vector<char*> envp;
  for (auto& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = options.command;
  for (const auto& word : launcher()) words.push_back(word);
  words.push_back(programPath());
  words.insert(words.end(), options.arguments.begin(), options.arguments.end());
  utf8_ = options.locale.find("UTF-8") != std::string::npos ||
          options.locale.find("utf8") != std::string::npos;
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failure = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  if (failure == 0) {
    pid_ = pid;
  } else {
    spawnFailure_ = std::strerror(failure);
  }
  posix_spawn_file_actions_destroy(&actions);
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void RunningProgram::signal(int number) const {
  if (pid_ > 0) kill(pid_, number);
}

RunResult RunningProgram::wait() {
  RunResult result;
  if (pid_ > 0) {
    int waitStatus = 0;
    rusage usage{};
    wait4(pid_, &waitStatus, 0, &usage);
    pid_ = -1;
    result.peakMemory = usage.ru_maxrss;
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    signal_ = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
  }
  result.out = io_.read("stdout");
  result.err = io_.read("stderr");
  // A failure of the test machine must not read as a program that said nothing.
  if (!spawnFailure_.empty())
    result.err = "(the program could not be started: " + spawnFailure_ + ")";
  if (windowsBuild() && utf8_) {
    result.out = screensInUtf8(result.out);
    result.err = fromGbk(result.err);
  }
  return result;
}

RunResult runProgram(const std::filesystem::path& directory, const std::string& input,
                     const std::string& locale) {
  return runProgram(directory, input, RunOptions{.locale = locale});
}

// About one start in a few thousand under Wine ends with a failure status before the
// program runs. The program never fails without a word (the console shows its banner
// first, and every failure has a message), so a run that wrote nothing anywhere and
// failed is the launcher's, and is made again, visibly.
RunResult runProgram(const std::filesystem::path& directory, const std::string& input,
                     const RunOptions& options) {
  for (int attempt = 1;; ++attempt) {
    RunResult result = RunningProgram(directory, input, options).wait();
    const bool launcherFailed = !launcher().empty() && options.output.empty() &&
                                result.status > 0 && result.out.empty() && result.err.empty();
    if (!launcherFailed || attempt == 3) return result;
    std::fprintf(stderr,
                 "note: the launcher ended with status %d before the program wrote; again\n",
                 result.status);
  }
}

namespace {

std::string letters(const std::vector<int>& indices) {
  std::string word;
  for (const int index : indices) word.push_back(static_cast<char>('a' + index));
  return word;
}

}  // namespace

SettingsText randomSettings(unsigned seed, const std::vector<std::int64_t>& offsets) {
  std::mt19937 random(seed);
  std::vector<int> order(kLetters);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), random);
  std::vector<int> reflector(kLetters);
  for (std::size_t k = 0; k < kLetters; k += 2) {
    reflector[static_cast<std::size_t>(order[k])] = order[k + 1];
    reflector[static_cast<std::size_t>(order[k + 1])] = order[k];
  }
  const int rotors = 3 + static_cast<int>(random() % 8);
  std::ostringstream wiring;
  wiring << letters(reflector) << ' ' << rotors << '\n';
  for (int r = 0; r < rotors; ++r) {
    std::shuffle(order.begin(), order.end(), random);
    wiring << letters(order) << '\n';
  }
  std::shuffle(order.begin(), order.end(), random);
  const int pairs = static_cast<int>(random() % 14);
  std::ostringstream start;
  start << pairs << '\n';
  for (int p = 0; p < pairs; ++p) {
    start << static_cast<char>('a' + order[static_cast<std::size_t>(2 * p)])
          << static_cast<char>('a' + order[static_cast<std::size_t>(2 * p + 1)]) << ' ';
  }
  start << '\n';
  for (int slot = 0; slot < 3; ++slot) start << 1 + static_cast<int>(random() % rotors) << ' ';
  for (int slot = 0; slot < 3; ++slot) {
    start << offsets[random() % offsets.size()] << ' ';
  }
  return {wiring.str(), start.str()};
}

void writeSettings(const ScratchDir& dir, const SettingsText& settings) {
  dir.write("enigma_config.ef", settings.wiring);
  dir.write("enigma_init.ef", settings.start);
}

SettingsText straightSettings(std::int64_t left, std::int64_t middle, std::int64_t right,
                              const std::string& plugs) {
  const std::string straight = "abcdefghijklmnopqrstuvwxyz";
  const std::string neighbours = "badcfehgjilknmporqtsvuxwzy";
  return {neighbours + "\n3\n" + straight + "\n" + straight + "\n" + straight + "\n",
          plugs + "\n1 2 3\n" + std::to_string(left) + " " + std::to_string(middle) + " " +
              std::to_string(right) + "\n"};
}

RotorMachine loadMachine(const std::filesystem::path& directory) {
  const auto settings = loadSettings(directory.string());
  EXPECT_TRUE(settings) << "settings fault in " << directory;
  return settings ? buildMachine(*settings) : RotorMachine{};
}

int pluggedLetters(const RotorMachine& machine) {
  int plugged = 0;
  for (int k = 0; k < kLetters; ++k) {
    if (machine.plugboard[static_cast<std::size_t>(k)] != k) ++plugged;
  }
  return plugged;
}

}  // namespace rotorwerk::test
