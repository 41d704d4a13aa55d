// The command line: one job from the program's arguments, for scripts.
#include "console/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "codefile/code_file.h"
#include "codefile/decrypt_command.h"
#include "codefile/encrypt_command.h"
#include "console/reports.h"
#include "console/settings_files.h"
#include "console/texts.h"
#include "machine/key_generator.h"
#include "machine/settings.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/interrupts.h"
#include "platform/replacement_file.h"
#include "platform/terminal.h"

namespace rotorwerk {
namespace {

// The build gives the version, as it gives the package's.
constexpr const char* kVersion = "Rotorwerk Pro v" ROTORWERK_VERSION_LABEL "\n";

struct Options {
  std::string file;
  std::string language = "en";
  std::string type = std::string(kCheckedCode);
  std::string output;
  std::string settings;  // the working directory
  int rotors = kDefaultKeyRotors;
  int plugs = kDefaultKeyPlugs;
  bool force = false;
};

// Messages on the command line end in a line end and name the file they concern;
// `detail` is in the console's encoding (a name passed through displayName).
void tell(Console& console, const ConsoleText& text, const std::string& detail, bool error) {
  std::string message(console.text(text));
  message += detail;
  message += '\n';
  if (error) {
    console.error(message);
  } else {
    console.message(message);
  }
}

// One line on a terminal's standard error that shows how far a long job has come.
class ProgressLine {
 public:
  ProgressLine(Console& console, std::uint64_t total)
      : console_(console), total_(total), shown_(Terminal::standardErrorIsTerminal()) {}
  ~ProgressLine() { finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Clears the line, so that the job's messages stand alone.
  void finish() {
    if (drawn_) console_.message("\r                                              \r");
    drawn_ = false;
  }

  void operator()(std::uint64_t done) {
    const auto now = Clock::now();
    // Only a job that runs for a second gets a line, redrawn a few times a second.
    if (!shown_ || now - start_ < std::chrono::seconds(1) ||
        (drawn_ && now - last_ < std::chrono::milliseconds(250))) {
      return;
    }
    last_ = now;
    drawn_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double megabytes = static_cast<double>(done) / 1e6;
    char line[96];
    if (total_ > 0) {
      std::snprintf(line, sizeof line, "\r%.1f / %.1f MB, %.1f MB/s   ", megabytes,
                    static_cast<double>(total_) / 1e6, megabytes / seconds);
    } else {
      std::snprintf(line, sizeof line, "\r%.1f MB, %.1f MB/s   ", megabytes, megabytes / seconds);
    }
    console_.message(line);
  }

 private:
  using Clock = std::chrono::steady_clock;
  Console& console_;
  std::uint64_t total_;
  bool shown_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_;
};

std::uint64_t sizeOf(const std::string& name) {
  return name == "-" ? 0 : fileSize(name).value_or(0);
}

Result<File> openInput(const std::string& name) {
  return name == "-" ? standardInput() : openForReading(name);
}

// Tells the fault and gives the exit status of a job that failed.
int failed(Console& console, const Fault& fault) {
  console.error(faultMessage(console, fault, FrontEnd::kCommandLine));
  return kExitError;
}

int encrypt(const Options& options, Console& console) {
  const auto settings = loadSettings(options.settings);
  if (!settings) return failed(console, settings.fault());
  auto input = openInput(options.file);
  if (!input) return failed(console, input.fault());
  const std::string output = options.output.empty() ? kCodeFileName : options.output;
  ProgressLine progress(console, sizeOf(options.file));
  const auto done = encryptCommand(
      std::move(*input), options.file, options.language == "zh" ? 1 : 0, options.type,
      buildMachine(*settings), output, [&](std::uint64_t bytes) { progress(bytes); });
  progress.finish();
  if (!done) return failed(console, done.fault());
  tell(console, texts::kWrittenToFile, displayName(output), false);
  return kExitSuccess;
}

int decrypt(const Options& options, Console& console) {
  const auto settings = loadSettings(options.settings);
  if (!settings) return failed(console, settings.fault());
  auto input = openInput(options.file);
  if (!input) return failed(console, input.fault());
  const auto language = readCodeHeader(input->get(), options.file);
  if (!language) return failed(console, language.fault());
  tell(console, texts::kLanguageLine,
       std::string(console.text(*language == Language::kChinese ? texts::kChineseLabel
                                                                : texts::kEnglishLabel)),
       false);
  const std::string target = options.output.empty() ? "-" : options.output;
  ReplacementFile output(target);
  if (auto opened = output.open(); !opened) return failed(console, opened.fault());
  ProgressLine progress(console, sizeOf(options.file));
  // The input is closed before the output replaces a file: they may be the same.
  const auto verification =
      decryptCommand(std::move(*input), options.file, buildMachine(*settings), output.stream(),
                     target, [&](std::uint64_t bytes) { progress(bytes); });
  progress.finish();
  if (!verification) return failed(console, verification.fault());
  if (auto committed = output.commit(); !committed) return failed(console, committed.fault());
  if (!verification->codingTypeKnown) tell(console, texts::kUnknownCodingType, "", false);
  for (int k = 0; k < verification->failedChecks; ++k) {
    tell(console, texts::kCheckFailed, "", false);
  }
  const bool verified = verification->codingTypeKnown && verification->failedChecks == 0;
  return verified ? kExitSuccess : kExitUnverified;
}

int keygen(const Options& options, Console& console) {
  const auto key = generateKey(options.rotors, options.plugs);
  if (!key) return failed(console, key.fault());
  // The two files are one key: both are written, then both take their places, or
  // neither does. Without --force the names must be free, taken atomically, so that
  // of two runs at once exactly one writes both files. Only the owner may read them.
  const auto existing =
      options.force ? ReplacementFile::Existing::kReplace : ReplacementFile::Existing::kRefuse;
  ReplacementFile wiring(joinPath(options.settings, kWiringFileName),
                         ReplacementFile::Access::kPrivate, existing);
  ReplacementFile start(joinPath(options.settings, kStartFileName),
                        ReplacementFile::Access::kPrivate, existing);
  auto written = wiring.open();
  if (written) written = start.open();
  if (written) {
    // A failed write stays with its file and fails the commit, naming that file.
    (void)wiring.write(formatWiring(key->wiring));
    (void)start.write(formatStart(key->start));
    written = ReplacementFile::commitBoth(wiring, start);
  }
  if (!written) return failed(console, written.fault());
  const std::string directory = options.settings.empty() ? "." : options.settings;
  tell(console, texts::kKeyFilesWritten, displayName(directory), false);
  return kExitSuccess;
}

int check(const Options& options, Console& console) {
  const auto settings = loadSettings(options.settings);
  if (!settings) return failed(console, settings.fault());
  const Start& start = settings->start;
  const auto numbers = [](const std::array<std::int64_t, 3>& values) {
    return std::to_string(values[0]) + " " + std::to_string(values[1]) + " " +
           std::to_string(values[2]) + "\n";
  };
  std::string summary(console.text(texts::kSummaryRotorCount));
  summary += std::to_string(settings->wiring.rotors.size()) + "\n";
  summary += console.text(texts::kSummarySlots);
  summary += numbers(start.slots);
  summary += console.text(texts::kSummaryPlugs);
  // Pairs in alphabetical order, each written from its earlier letter.
  std::vector<std::string> pairs;
  std::string selfPlugs;
  for (const auto& [x, y] : start.plugs) {
    if (x == y) {
      selfPlugs += x;
    } else {
      pairs.push_back({std::min(x, y), std::max(x, y)});
    }
  }
  std::sort(pairs.begin(), pairs.end());
  std::sort(selfPlugs.begin(), selfPlugs.end());
  for (std::size_t p = 0; p < pairs.size(); ++p) summary += (p > 0 ? " " : "") + pairs[p];
  summary += "\n";
  summary += console.text(texts::kSummaryOffsets);
  summary += numbers(start.offsets);
  console.write(summary);
  constexpr SettingsItem kOffsets[] = {SettingsItem::kLeftOffset, SettingsItem::kMiddleOffset,
                                       SettingsItem::kRightOffset};
  for (std::size_t k = 0; k < 3; ++k) {
    if (start.offsets[k] < 0 || start.offsets[k] >= kLetters) {
      tell(console, texts::kOffsetOutOfRange,
           std::string(console.text(settingsItemText(kOffsets[k]))), false);
    }
  }
  for (const char letter : selfPlugs)
    tell(console, texts::kSelfPlug, std::string(1, letter), false);
  tell(console, texts::kSettingsSound, "", false);
  return kExitSuccess;
}

// Output that could not be written fails the run, whatever the job did.
int finishOutput(Console& console, int status) {
  console.flush();
  if (!console.outputLost() || status == kExitError) return status;
  return failed(console, Fault{FaultKind::kOutputLost});
}

}  // namespace

int runCommandLine(int argc, char** argv) {
  Console console = Console::standard();
  installInterruptHandlers();
  Options options;
  CLI::App app("rotorwerk");
  app.set_help_flag();  // the usage text is the tool's own, in its console encoding
  bool help = false;
  bool version = false;
  app.add_flag("-h,--help", help);
  app.add_flag("-V,--version", version);
  // The parser's own file checks would read Windows names in the ANSI code page.
  const CLI::Validator directory(
      [](const std::string& name) {
        return kindOf(name) == FileKind::kDirectory ? std::string()
                                                    : "Directory does not exist: " + name;
      },
      "DIR");
  const CLI::Validator named(
      [](const std::string& name) { return name.empty() ? "an empty name" : std::string(); },
      "PATH");
  const auto settingsOption = [&](CLI::App* command) {
    command->add_option("-s", options.settings)->check(directory);
  };
  CLI::App* encryptApp = app.add_subcommand("encrypt");
  encryptApp->add_option("FILE", options.file)->required();
  encryptApp->add_option("-l", options.language)->check(CLI::IsMember({"en", "zh"}));
  encryptApp->add_option("-t", options.type)
      ->check(CLI::IsMember(std::vector<std::string>(kCodingTypes.begin(), kCodingTypes.end())));
  encryptApp->add_option("-o", options.output)->check(named);
  settingsOption(encryptApp);
  CLI::App* decryptApp = app.add_subcommand("decrypt");
  decryptApp->add_option("FILE", options.file)->required();
  decryptApp->add_option("-o", options.output)->check(named);
  settingsOption(decryptApp);
  CLI::App* keygenApp = app.add_subcommand("keygen");
  keygenApp->add_option("--rotors", options.rotors)->check(CLI::Range(1, kMaxRotors));
  keygenApp->add_option("--plugs", options.plugs)->check(CLI::Range(0, kMaxPlugPairs));
  keygenApp->add_flag("--force", options.force);
  settingsOption(keygenApp);
  CLI::App* checkApp = app.add_subcommand("check");
  settingsOption(checkApp);
  app.require_subcommand(0, 1);

  std::vector<std::string> words = programArguments(argc, argv);
  words.insert(words.begin(), "rotorwerk");
  std::vector<char*> pointers;
  pointers.reserve(words.size());
  for (auto& word : words) pointers.push_back(word.data());
  std::string fault;
  // The argument parser reports a bad command line by throwing; it is caught here.
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& error) {
    fault = error.what();
  }
  const bool job = !app.get_subcommands().empty();
  if (fault.empty() && !help && !version && !job) fault = "a command is needed";
  if (fault.empty() && (help || version) && job) fault = "--help and --version take no command";
  if (!fault.empty()) {
    console.error(std::string(console.text(texts::kCommandLineFault)) + fault +
                  std::string(console.text(texts::kUsageHint)) + "\n");
    return kExitUsage;
  }
  int status = kExitSuccess;
  if (help || version) {
    console.write(help ? console.text(texts::kUsage) : kVersion);
  } else if (encryptApp->parsed()) {
    status = encrypt(options, console);
  } else if (decryptApp->parsed()) {
    status = decrypt(options, console);
  } else if (keygenApp->parsed()) {
    status = keygen(options, console);
  } else {
    status = check(options, console);
  }
  return finishOutput(console, status);
}

}  // namespace rotorwerk
