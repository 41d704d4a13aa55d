// The Python module: the library's API as Python sees it. Texts go in as str (UTF-8)
// or bytes and come out as bytes, since a code file's text may hold any byte.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <optional>

#include "docstrings.h"
#include "rotorwerk/rotorwerk.h"

namespace py = pybind11;
namespace api = rotorwerk::api;
namespace docs = rotorwerk::python::docs;

namespace {

using rotorwerk::FaultKind;

// Raised for every fault, with the program's message; `kind` names the fault.
PyObject* errorType = nullptr;

// A kind's Python name, or nullptr past the last kind. A switch without a default, so
// that the compiler names a kind left out; the test holds the names to the enum's.
const char* kindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kFileNotFound: return "file-not-found";
    case FaultKind::kCannotRead: return "cannot-read";
    case FaultKind::kCannotWrite: return "cannot-write";
    case FaultKind::kNotRegular: return "not-regular";
    case FaultKind::kExists: return "exists";
    case FaultKind::kNoRandomness: return "no-randomness";
    case FaultKind::kNoSuchCodingType: return "no-such-coding-type";
    case FaultKind::kFormat: return "format";
    case FaultKind::kCannotOutput: return "cannot-output";
    case FaultKind::kOutputLost: return "output-lost";
    case FaultKind::kSettings: return "settings";
    case FaultKind::kSameFile: return "same-file";
    case FaultKind::kAttackInput: return "attack-input";
    case FaultKind::kJournal: return "journal";
    case FaultKind::kOutsideFolder: return "outside-folder";
    case FaultKind::kAttackFailed: return "attack-failed";
    case FaultKind::kLocked: return "locked";
  }
  return nullptr;
}

// Every kind's name, in the enum's order.
py::tuple kindNames() {
  py::list names;
  for (int k = 0; const char* name = kindName(static_cast<FaultKind>(k)); ++k) names.append(name);
  return py::tuple(names);
}

[[noreturn]] void raise(const rotorwerk::Fault& fault) {
  py::object error = py::reinterpret_borrow<py::object>(errorType)(api::describe(fault));
  error.attr("kind") = kindName(fault.kind);
  PyErr_SetObject(errorType, error.ptr());
  throw py::error_already_set();
}

template <typename T>
T take(rotorwerk::Result<T> result) {
  if (!result) raise(result.fault());
  return std::move(*result);
}

// Runs `work`, which waits for a lock or a file and touches no Python object, without
// the interpreter's lock, so that other threads run meanwhile.
template <typename Work>
auto unlocked(const Work& work) {
  const py::gil_scoped_release released;
  return work();
}

// A folder's name as the system takes it, which ends at a NUL: refused before anything
// is opened or locked.
const std::string& folderName(const std::string& directory) {
  if (directory.find('\0') != std::string::npos) {
    throw py::value_error("the folder name holds a NUL byte");
  }
  return directory;
}

// A text as the machine takes it: bytes as they are, str as UTF-8.
std::string bytesOf(const py::object& text) {
  if (py::isinstance<py::bytes>(text)) return text.cast<std::string>();
  if (py::isinstance<py::str>(text)) return text.cast<std::string>();
  throw py::type_error("expected bytes or str");
}

api::TextLabel labelOf(const std::string& lang) {
  if (lang == "en") return api::TextLabel::kEnglish;
  if (lang == "zh") return api::TextLabel::kChinese;
  throw py::value_error("lang must be 'en' or 'zh'");
}

char letterOf(const std::string& letter) {
  if (letter.size() != 1) throw py::value_error("expected one character");
  return letter[0];
}

}  // namespace

PYBIND11_MODULE(_native, m) {
  m.doc() = docs::kModule;
  static py::exception<std::exception> error(m, "Error");
  errorType = error.ptr();
  error.doc() = docs::kError;
  m.attr("FAULT_KINDS") = kindNames();
  m.attr("__version__") = std::string(api::version());
  m.attr("PLAIN_CODING_TYPE") = std::string(api::kPlainCodingType);
  m.attr("CHECKED_CODING_TYPE") = std::string(api::kCheckedCodingType);

  py::class_<api::Settings>(m, "Settings", docs::kSettings)
      .def_static(
          "load",
          [](const std::string& directory) {
            return take(
                unlocked([&name = folderName(directory)] { return api::Settings::load(name); }));
          },
          py::arg("directory") = "", docs::kLoad)
      .def_static(
          "load_wiring",
          [](const std::string& directory) {
            return take(unlocked(
                [&name = folderName(directory)] { return api::Settings::loadWiring(name); }));
          },
          py::arg("directory") = "", docs::kLoadWiring)
      .def_static(
          "parse",
          [](const std::string& wiring, const std::string& start) {
            return take(unlocked([&] { return api::Settings::parse(wiring, start); }));
          },
          py::arg("wiring_text"), py::arg("start_text"), docs::kParse)
      .def_static(
          "parse_wiring",
          [](const std::string& wiring) {
            return take(unlocked([&] { return api::Settings::parseWiring(wiring); }));
          },
          py::arg("wiring_text"), docs::kParseWiring)
      .def_property_readonly("has_start", &api::Settings::hasStart, docs::kHasStart)
      .def_property_readonly("wiring_text", &api::Settings::wiringText, docs::kWiringText)
      .def_property_readonly("start_text", &api::Settings::startText, docs::kStartText)
      .def_property_readonly("rotor_count", &api::Settings::rotorCount, docs::kRotorCount)
      .def_property_readonly("slots", &api::Settings::slots, docs::kSlots)
      .def_property_readonly("offsets", &api::Settings::offsets, docs::kOffsets)
      .def_property_readonly("plug_pairs", &api::Settings::plugPairs, docs::kPlugPairs);

  m.def(
      "keygen",
      [](int rotors, int plugs) {
        if (rotors < 1 || rotors > 10) throw py::value_error("rotors must be 1 to 10");
        if (plugs < 0 || plugs > 13) throw py::value_error("plugs must be 0 to 13");
        return take(unlocked([&] { return api::Settings::generate(rotors, plugs); }));
      },
      py::arg("rotors") = 5, py::arg("plugs") = 10, docs::kKeygen);

  py::class_<api::TraceStep>(m, "TraceStep", docs::kTraceStep)
      .def_readonly("positions", &api::TraceStep::positions)
      .def_readonly("input", &api::TraceStep::in)
      .def_readonly("plugboard", &api::TraceStep::plugboard)
      .def_readonly("right_rotor", &api::TraceStep::rightRotor)
      .def_readonly("middle_rotor", &api::TraceStep::middleRotor)
      .def_readonly("left_rotor", &api::TraceStep::leftRotor)
      .def_readonly("reflector", &api::TraceStep::reflector)
      .def_readonly("left_back", &api::TraceStep::leftBack)
      .def_readonly("middle_back", &api::TraceStep::middleBack)
      .def_readonly("right_back", &api::TraceStep::rightBack)
      .def_readonly("output", &api::TraceStep::out);

  py::class_<api::Machine>(m, "Machine", docs::kMachine)
      .def(py::init(
               [](const api::Settings& settings) { return take(api::Machine::create(settings)); }),
           py::arg("settings"))
      .def(
          "press",
          [](api::Machine& machine, const std::string& letter) {
            return std::string(1, machine.press(letterOf(letter)));
          },
          py::arg("letter"), docs::kPress)
      .def(
          "trace",
          [](api::Machine& machine, const std::string& letter) {
            return machine.trace(letterOf(letter));
          },
          py::arg("letter"), docs::kMachineTrace)
      .def("reset", &api::Machine::reset, docs::kReset)
      .def_property_readonly("positions", &api::Machine::positions, docs::kPositions);

  m.def(
      "encrypt",
      [](const api::Settings& settings, const py::object& text, const std::string& lang,
         const std::string& codingType) {
        const std::string bytes = bytesOf(text);
        const api::TextLabel label = labelOf(lang);
        return py::bytes(
            take(unlocked([&] { return api::encrypt(settings, bytes, label, codingType); })));
      },
      py::arg("settings"), py::arg("text"), py::arg("lang") = "en",
      py::arg("coding_type") = std::string(api::kCheckedCodingType), docs::kEncrypt);

  py::class_<api::Verification>(m, "Verification", docs::kVerification)
      .def_property_readonly("lang",
                             [](const api::Verification& v) {
                               return v.label == api::TextLabel::kChinese ? "zh" : "en";
                             })
      .def_readonly("coding_type_known", &api::Verification::codingTypeKnown)
      .def_readonly("failed_checks", &api::Verification::failedChecks)
      .def_readonly("truncated", &api::Verification::truncated)
      .def_property_readonly("verified", &api::Verification::verified);

  m.def(
      "decrypt",
      [](const api::Settings& settings, const py::bytes& code) {
        const std::string bytes = code;
        api::Decrypted done = take(unlocked([&] { return api::decrypt(settings, bytes); }));
        return py::make_tuple(py::bytes(done.text), done.verification);
      },
      py::arg("settings"), py::arg("code"), docs::kDecrypt);

  m.def(
      "trace",
      [](const api::Settings& settings, const py::object& text, std::uint64_t letters,
         bool checkLetters) {
        api::Tracer tracer = take(api::Tracer::create(settings, letters));
        std::vector<api::TraceStep> steps;
        tracer.feed(bytesOf(text),
                    [&](const api::TraceStep& step, char) { steps.push_back(step); });
        if (checkLetters) {
          for (const api::TraceStep& step : tracer.checkLetters()) steps.push_back(step);
        }
        return steps;
      },
      py::arg("settings"), py::arg("text"), py::arg("letters") = 26,
      py::arg("check_letters") = false, docs::kTrace);

  py::class_<api::AttackStatus>(m, "AttackStatus", docs::kAttackStatus)
      .def_readonly("stage", &api::AttackStatus::stage)
      .def_readonly("share", &api::AttackStatus::share)
      .def_readonly("best", &api::AttackStatus::best)
      .def_readonly("seconds_left", &api::AttackStatus::secondsLeft);

  py::class_<api::AttackOutcome>(m, "AttackOutcome", docs::kAttackOutcome)
      .def_readonly("scored", &api::AttackOutcome::scored)
      .def_readonly("confident", &api::AttackOutcome::confident)
      .def_readonly("searched", &api::AttackOutcome::searched)
      .def_readonly("evidence", &api::AttackOutcome::evidence)
      .def_readonly("scored_by", &api::AttackOutcome::scoredBy)
      .def_readonly("score", &api::AttackOutcome::score)
      .def_readonly("check_letters", &api::AttackOutcome::checkLetters)
      .def_readonly("candidates_checked", &api::AttackOutcome::candidatesChecked)
      .def_property_readonly("first_line",
                             [](const api::AttackOutcome& o) { return py::bytes(o.firstLine); })
      .def_readonly("slots", &api::AttackOutcome::slots)
      .def_readonly("offsets", &api::AttackOutcome::offsets)
      .def_readonly("plug_pairs", &api::AttackOutcome::plugPairs)
      .def_readonly("start_text", &api::AttackOutcome::startText);

  m.def(
      "attack",
      [](const py::object& code, const api::Settings& wiring, unsigned threads, int timeLimit,
         const std::optional<std::string>& crib, const std::string& language,
         const std::optional<py::function>& onProgress) {
        std::vector<std::string> codes;
        if (py::isinstance<py::bytes>(code)) {
          codes.push_back(code.cast<std::string>());
        } else {
          for (const py::handle each : code) codes.push_back(each.cast<py::bytes>());
        }
        if (timeLimit < 1) throw py::value_error("time_limit must be at least 1 second");
        api::AttackOptions options;
        options.threads = threads;
        options.timeLimit = std::chrono::seconds(timeLimit);
        options.crib = crib.value_or("");
        options.language = language;
        // Python runs only with the interpreter's lock, taken for the moment it needs:
        // the search runs without it. An exception or Ctrl-C stops the search and is
        // raised once it has ended; a callback that gives False stops it too.
        std::optional<py::error_already_set> raised;
        bool stopped = false;
        options.stopRequested = [&] {
          const py::gil_scoped_acquire held;
          if (!raised && PyErr_CheckSignals() != 0) raised.emplace();
          return raised.has_value() || stopped;
        };
        if (onProgress) {
          options.progress = [&](const api::AttackStatus& status) {
            const py::gil_scoped_acquire held;
            if (raised) return;
            try {
              // Any false answer stops, as Python judges truth; None does not.
              const py::object answer = (*onProgress)(status);
              if (!answer.is_none()) {
                const int falsy = PyObject_Not(answer.ptr());
                if (falsy < 0) throw py::error_already_set();
                stopped = stopped || falsy == 1;
              }
            } catch (py::error_already_set& failure) {
              raised.emplace(std::move(failure));
            }
          };
        }
        rotorwerk::Result<api::AttackOutcome> found = api::AttackOutcome{};
        {
          py::gil_scoped_release released;
          found = api::attack(codes, wiring, options);
        }
        if (raised) throw std::move(*raised);
        return take(std::move(found));
      },
      py::arg("code"), py::arg("wiring"), py::kw_only(), py::arg("threads") = 0,
      py::arg("time_limit") = 300, py::arg("crib") = py::none(), py::arg("language") = "en",
      py::arg("on_progress") = py::none(), docs::kAttack);
}
