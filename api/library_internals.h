// What the library's sources share and its users do not see.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "machine/rotor_machine.h"
#include "machine/settings.h"
#include "platform/file.h"
#include "rotorwerk/rotorwerk.h"

namespace rotorwerk::api {

struct Settings::Data {
  rotorwerk::Settings settings;
  bool hasStart = false;
  RotorMachine machine;               // with the start file, when there is one
  std::optional<std::string> folder;  // where the key files were read from
};

// The machine of settings that can encipher; a kSettings fault for the wiring alone
// and for settings moved from.
Result<const RotorMachine*> keyMachine(const Settings& settings);

// A name holding a NUL byte: the system would take it as the name cut short there and
// touch another file. A fault of `kind` naming it.
Result<void> refuseNul(const std::string& name, FaultKind kind);

// An output that is one of the key files the settings were read from would lose the
// key: a kSameFile fault naming both. "-" and names of no file pass.
Result<void> refuseKeyFile(const Settings& settings, const std::string& output);

}  // namespace rotorwerk::api
