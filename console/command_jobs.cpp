// The command line's four jobs, each giving its exit status.
#include "console/command_jobs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "api/settings_files.h"
#include "console/json_output.h"
#include "console/status_line.h"
#include "platform/file.h"
#include "platform/key_journal.h"
#include "platform/replacement_file.h"
#include "platform/terminal.h"
#include "rotorwerk/rotorwerk.h"
#include "texts/message_table.h"
#include "texts/messages.h"
#include "texts/reports.h"

namespace rotorwerk {
namespace {

// How much of a long job's input has been read, and how fast.
class ProgressLine {
 public:
  ProgressLine(Console& console, std::uint64_t total) : line_(console, kWidth), total_(total) {}

  void finish() { line_.finish(); }

  void operator()(std::uint64_t done) {
    // Only a job that runs for a second gets a line.
    if (!line_.due(std::chrono::seconds(1))) return;
    const std::string rate = mebibytes(static_cast<double>(done) / line_.secondsSinceStart());
    const Console& console = line_.console();
    line_.draw(total_ > 0 ? say(console, messages::kProgress,
                                {mebibytes(static_cast<double>(done)),
                                 mebibytes(static_cast<double>(total_)), rate})
                          : say(console, messages::kProgressUnknown,
                                {mebibytes(static_cast<double>(done)), rate}));
  }

 private:
  // Wider than any progress line.
  static constexpr std::size_t kWidth = 48;

  static std::string mebibytes(double bytes) {
    return StatusLine::number("%.1f", bytes / (1024.0 * 1024.0));
  }

  StatusLine line_;
  std::uint64_t total_;
};

std::uint64_t sizeOf(const std::string& name) {
  return name == "-" ? 0 : fileSize(name).value_or(0);
}

std::string numbers(const std::array<std::int64_t, 3>& values) {
  return std::to_string(values[0]) + " " + std::to_string(values[1]) + " " +
         std::to_string(values[2]);
}

}  // namespace

// Every message of the command line is one line on standard error, named by the tool.
void tell(Console& console, const std::string& message) {
  console.message("rotorwerk: " + message + "\n");
}

int failed(Console& console, const Fault& fault) {
  console.error(faultMessage(console, fault, FrontEnd::kCommandLine));
  return kExitError;
}

int encryptJob(const JobOptions& options, Console& console) {
  const auto settings = api::Settings::load(options.settings);
  if (!settings) return failed(console, settings.fault());
  const std::string output = options.output.empty() ? kCodeFileName : options.output;
  ProgressLine progress(console, sizeOf(options.file));
  const auto toFile = api::encryptFile(
      *settings, options.file, output,
      options.language == "zh" ? api::TextLabel::kChinese : api::TextLabel::kEnglish, options.type,
      [&](std::uint64_t bytes) { progress(bytes); });
  progress.finish();
  if (!toFile) return failed(console, toFile.fault());
  // Code shown on a terminal's stream needs no word after it.
  if (!options.quiet && *toFile) {
    tell(console, say(console, messages::kWritten, {displayName(output)}));
  }
  return kExitSuccess;
}

int decryptJob(const JobOptions& options, Console& console) {
  const auto settings = api::Settings::load(options.settings);
  if (!settings) return failed(console, settings.fault());
  const std::string target = options.output.empty() ? "-" : options.output;
  ReplacementFile output(target);
  // The output is taken once the header is read, so that a file that is no code file
  // leaves no trace; the input is closed before the output replaces a file: they may be
  // the same.
  const auto outputFor = [&](api::TextLabel label) -> Result<std::FILE*> {
    if (!options.quiet) {
      const auto name = label == api::TextLabel::kChinese ? messages::kChinese : messages::kEnglish;
      tell(console, say(console, messages::kLanguageLine, {say(console, name)}));
    }
    if (auto opened = output.open(); !opened) return opened.fault();
    return output.stream();
  };
  ProgressLine progress(console, sizeOf(options.file));
  const auto verification = api::decryptFile(*settings, options.file, outputFor, target,
                                             [&](std::uint64_t bytes) { progress(bytes); });
  progress.finish();
  if (!verification) return failed(console, verification.fault());
  if (auto committed = output.commit(); !committed) return failed(console, committed.fault());
  const std::string name = displayName(options.file);
  if (verification->truncated) tell(console, say(console, messages::kTruncated, {name}));
  if (!verification->codingTypeKnown) {
    tell(console, say(console, messages::kUnknownCodingType, {name}));
  }
  for (int k = 0; k < verification->failedChecks; ++k) {
    tell(console, say(console, messages::kCheckFailed, {name}));
  }
  const bool verified = verification->codingTypeKnown && verification->failedChecks == 0;
  return verified ? kExitSuccess : kExitUnverified;
}

// A start file is made for a wiring that is already there: without one, keygen says
// what comes first and leaves nothing behind.
int wiringFirst(Console& console, const std::string& wiringName, const std::string& directory) {
  tell(console,
       say(console, messages::kWiringFirst, {displayName(wiringName), displayName(directory)}));
  return kExitError;
}

int keygenJob(const JobOptions& options, Console& console) {
  const std::string directory = options.settings.empty() ? "." : options.settings;
  const std::string wiringName = joinPath(options.settings, kWiringFileName);
  // Checked before the lock, which would create the missing directory (and, on Windows,
  // a lock file in it), unless a change cut short may still put the wiring back.
  if (options.startOnly && (kindOf(directory) == FileKind::kAbsent ||
                            (!nameTaken(wiringName) &&
                             !nameTaken(joinPath(options.settings, std::string(kJournalName)))))) {
    return wiringFirst(console, wiringName, directory);
  }
  // Writers of one directory take turns, and one that was cut short is undone first.
  const auto lock = DirectoryLock::forWriting(options.settings);
  if (!lock) return failed(console, lock.fault());
  std::optional<Wiring> kept;
  if (options.startOnly) {
    // Checked again under the lock, once an interrupted commit has been undone.
    if (!nameTaken(wiringName)) return wiringFirst(console, wiringName, directory);
    auto wiring = loadWiringLocked(options.settings);
    if (!wiring) return failed(console, wiring.fault());
    kept = std::move(*wiring);
  }
  const int rotors = kept ? static_cast<int>(kept->rotors.size()) : options.rotors;
  const auto key = api::Settings::generate(rotors, options.plugs);
  if (!key) return failed(console, key.fault());
  // Without --force the names must be free; only the owner may read the files.
  const auto existing =
      options.force ? ReplacementFile::Existing::kReplace : ReplacementFile::Existing::kRefuse;
  const std::string startName = joinPath(options.settings, kStartFileName);
  ReplacementFile start(startName, ReplacementFile::Access::kPrivate, existing);
  std::optional<ReplacementFile> wiring;
  if (!kept) wiring.emplace(wiringName, ReplacementFile::Access::kPrivate, existing);
  Result<void> written;
  if (wiring) written = wiring->open();
  if (written) written = start.open();
  if (written && wiring &&
      (wiring->path() == start.path() || sameFile(wiring->path(), start.path()))) {
    written = Fault{FaultKind::kSameFile, startName, 0, 0, wiringName};
  }
  if (written) {
    // A failed write stays with its file and fails the commit, naming that file.
    if (wiring) (void)wiring->write(key->wiringText());
    (void)start.write(key->startText());
    written = wiring ? ReplacementFile::commitTogether(*lock, {&*wiring, &start})
                     : ReplacementFile::commitTogether(*lock, {&start});
  }
  if (!written) return failed(console, written.fault());
  if (!options.quiet) {
    tell(console, say(console, kept ? messages::kStartWritten : messages::kKeyWritten,
                      {displayName(directory)}));
  }
  return kExitSuccess;
}

int checkJob(const JobOptions& options, Console& console) {
  const auto settings = api::Settings::load(options.settings);
  if (!settings) return failed(console, settings.fault());
  const std::array<std::int64_t, 3> slots = settings->slots();
  const std::array<std::int64_t, 3> offsets = settings->offsets();
  const auto rotors = std::to_string(settings->rotorCount());
  // Pairs in alphabetical order, each written from its earlier letter.
  std::vector<std::string> pairs;
  std::string selfPlugs;
  for (const std::string& pair : settings->plugPairs()) {
    const char x = pair[0];
    const char y = pair[1];
    if (x == y) {
      selfPlugs += x;
    } else {
      pairs.push_back({std::min(x, y), std::max(x, y)});
    }
  }
  std::sort(pairs.begin(), pairs.end());
  std::sort(selfPlugs.begin(), selfPlugs.end());
  std::string plugs;
  for (std::size_t p = 0; p < pairs.size(); ++p) plugs += (p > 0 ? " " : "") + pairs[p];
  if (options.json) {
    std::vector<std::string> quoted;
    quoted.reserve(pairs.size());
    for (const std::string& pair : pairs) quoted.push_back(json::string(pair));
    const auto numbered = [](const std::array<std::int64_t, 3>& values) {
      return json::array(
          {json::number(values[0]), json::number(values[1]), json::number(values[2])});
    };
    console.write(json::object({{"rotors", rotors},
                                {"slots", numbered(slots)},
                                {"plugPairs", json::array(quoted)},
                                {"offsets", numbered(offsets)}}) +
                  "\n");
  } else {
    console.write(
        say(console, messages::kSummary, {rotors, numbers(slots), plugs, numbers(offsets)}));
  }
  constexpr SettingsItem kOffsets[] = {SettingsItem::kLeftOffset, SettingsItem::kMiddleOffset,
                                       SettingsItem::kRightOffset};
  for (std::size_t k = 0; k < 3; ++k) {
    if (offsets[k] < 0 || offsets[k] >= kLetters) {
      tell(console,
           say(console, messages::kOffsetOutOfRange, {settingsItemName(console, kOffsets[k])}));
    }
  }
  for (const char letter : selfPlugs) {
    tell(console, say(console, messages::kSelfPlug, {std::string(1, letter)}));
  }
  if (!options.quiet) tell(console, say(console, messages::kSettingsSound));
  return kExitSuccess;
}

}  // namespace rotorwerk
