// What the library's sources share and its users do not see.
#pragma once

#include <exception>
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

// Runs `call`, in which the caller's callbacks run: an exception one of them throws ends
// it with a kCannotOutput fault naming `name`, with what the exception said, and what
// the call made is undone as its stack unwinds.
template <typename T, typename Call>
Result<T> guarded(const std::string& name, Call call) {
  try {
    return call();
  } catch (const std::exception& failure) {
    return Fault{FaultKind::kCannotOutput, name, 0, 0, failure.what()};
  } catch (...) {
    return Fault{FaultKind::kCannotOutput, name, 0, 0, "a callback failed"};
  }
}

}  // namespace rotorwerk::api
