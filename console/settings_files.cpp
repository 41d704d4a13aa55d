// The two settings files of a directory, opened and read into settings.
#include "console/settings_files.h"

#include "platform/file.h"

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

}  // namespace

Result<Wiring> loadWiring(const std::string& directory) {
  const std::string wiringName = joinPath(directory, kWiringFileName);
  const auto wiringFile = openForReading(wiringName);
  if (!wiringFile) return unopened(wiringFile.fault(), wiringName);
  FormattedInput wiringInput(wiringFile->get());
  auto wiring = parseWiring(wiringInput);
  if (!wiring) return named(wiring.fault(), wiringName);
  return wiring;
}

Result<Settings> loadSettings(const std::string& directory) {
  auto wiring = loadWiring(directory);
  if (!wiring) return wiring.fault();
  const std::string startName = joinPath(directory, kStartFileName);
  const auto startFile = openForReading(startName);
  if (!startFile) return unopened(startFile.fault(), startName);
  FormattedInput startInput(startFile->get());
  auto start = parseStart(startInput, wiring->rotors.size());
  if (!start) return named(start.fault(), startName);
  return Settings{std::move(*wiring), std::move(*start)};
}

}  // namespace rotorwerk
