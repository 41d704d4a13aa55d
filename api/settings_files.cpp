// The two settings files of a directory, opened and read into settings.
#include "api/settings_files.h"

#include "platform/file.h"
#include "platform/replacement_file.h"

namespace rotorwerk {
namespace {

Fault named(Fault fault, const std::string& name) {
  fault.file = name;
  return fault;
}

// A file that cannot be opened is a fault of the settings, with the system's reason.
Fault unopened(const Fault& opening, const std::string& name) {
  Fault fault = named(settingsFault(SettingsItem::kCannotOpen), name);
  fault.reason = opening.reason;
  return fault;
}

// Reads one of the files; a byte-order mark before it is no part of the settings.
template <typename Parse>
auto parseFile(const std::string& name, Parse parse)
    -> decltype(parse(std::declval<FormattedInput&>())) {
  const auto file = openRegularForReading(name);
  if (!file) {
    // A FIFO or device is told as such, not as a file that failed to open.
    if (file.fault().kind == FaultKind::kNotRegular) return file.fault();
    return unopened(file.fault(), name);
  }
  FormattedInput input(file->get());
  input.skipByteOrderMark();
  auto parsed = parse(input);
  if (!parsed) return named(parsed.fault(), name);
  return parsed;
}

}  // namespace

Result<Wiring> loadWiringLocked(const std::string& directory) {
  return parseFile(joinPath(directory, kWiringFileName),
                   [](FormattedInput& input) { return parseWiring(input); });
}

Result<Wiring> loadWiring(const std::string& directory) {
  const auto lock = DirectoryLock::forReading(directory);
  if (!lock) return lock.fault();
  return loadWiringLocked(directory);
}

Result<Settings> loadSettings(const std::string& directory) {
  // Both files under one lock: never one file of a key and one of another.
  const auto lock = DirectoryLock::forReading(directory);
  if (!lock) return lock.fault();
  auto wiring = loadWiringLocked(directory);
  if (!wiring) return wiring.fault();
  auto start = parseFile(joinPath(directory, kStartFileName), [&](FormattedInput& input) {
    return parseStart(input, wiring->rotors.size());
  });
  if (!start) return start.fault();
  return Settings{std::move(*wiring), std::move(*start)};
}

}  // namespace rotorwerk
