// The page's way into the library: the settings in use, the machine typed at, files
// enciphered and deciphered, and the attack, as the program's own code does them.
// Bytes pass as Uint8Array, never as text, so that any byte comes back as it went.
#include <emscripten/bind.h>
#include <emscripten/emscripten.h>
#include <emscripten/val.h>

#include <optional>
#include <string>

#include "console/analysis_jobs.h"
#include "machine/settings.h"
#include "platform/console.h"
#include "rotorwerk/rotorwerk.h"
#include "texts/message_table.h"
#include "texts/messages.h"

namespace rotorwerk::web {
namespace {

using emscripten::val;

std::optional<api::Settings> current;
std::optional<api::Machine> machine;

// The program's words in the page's language.
Console wordsIn(bool chinese) { return Console(nullptr, nullptr, true, false, chinese); }

val bytesOut(const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  // A copy: the view into the module's memory would not outlive `bytes`.
  return val::global("Uint8Array").new_(val(emscripten::typed_memory_view(bytes.size(), data)));
}

std::string bytesIn(const val& array) {
  std::string bytes(array["length"].as<std::size_t>(), '\0');
  auto* data = reinterpret_cast<unsigned char*>(bytes.data());
  val(emscripten::typed_memory_view(bytes.size(), data)).call<void>("set", array);
  return bytes;
}

val failure(const Fault& fault, bool chinese) {
  val result = val::object();
  result.set("ok", false);
  result.set("error", api::describe(fault, chinese));
  return result;
}

// JavaScript's numbers hold any position or offset a settings file may give exactly up
// to 2^53; larger ones are shown rounded.
val arrayOf(const std::array<std::int64_t, 3>& values) {
  val array = val::array();
  for (const std::int64_t value : values) array.call<void>("push", static_cast<double>(value));
  return array;
}

template <typename Array>
val arrayOf(const Array& values) {
  val array = val::array();
  for (const auto& value : values) array.call<void>("push", value);
  return array;
}

val described(const api::Settings& settings) {
  val result = val::object();
  result.set("ok", true);
  result.set("wiring", settings.wiringText());
  result.set("start", settings.startText());
  result.set("rotors", settings.rotorCount());
  result.set("slots", arrayOf(settings.slots()));
  result.set("offsets", arrayOf(settings.offsets()));
  result.set("plugs", arrayOf(settings.plugPairs()));
  return result;
}

// A fault of a settings text names the file the user chose for it, when there is one.
Fault named(Fault fault, const std::string& wiringName, const std::string& startName) {
  if (fault.file == kWiringFileName && !wiringName.empty()) fault.file = wiringName;
  if (fault.file == kStartFileName && !startName.empty()) fault.file = startName;
  return fault;
}

// Settings that fail leave none in use, so that nothing is enciphered under an earlier key.
val use(Result<api::Settings> settings, bool chinese, const std::string& wiringName = {},
        const std::string& startName = {}) {
  current.reset();
  machine.reset();
  if (!settings) return failure(named(settings.fault(), wiringName, startName), chinese);
  current = *settings;
  if (current->hasStart()) {
    if (auto made = api::Machine::create(*current)) machine.emplace(*made);
  }
  return described(*current);
}

// The wiring file alone, for the attack; the names are those of the files the texts came
// from (empty: typed in).
val loadWiring(const std::string& wiring, const std::string& wiringName, bool chinese) {
  return use(api::Settings::parseWiring(wiring), chinese, wiringName);
}

val loadSettings(const std::string& wiring, const std::string& start, const std::string& wiringName,
                 const std::string& startName, bool chinese) {
  return use(api::Settings::parse(wiring, start), chinese, wiringName, startName);
}

val generateSettings(int rotors, int plugs, bool chinese) {
  return use(api::Settings::generate(rotors, plugs), chinese);
}

// One letter typed: the lamp that lights and the letter's way, as the trace shows it.
val press(const std::string& letter) {
  val result = val::object();
  if (!machine || letter.size() != 1) return result;
  const api::TraceStep step = machine->trace(letter[0]);
  result.set("positions", arrayOf(step.positions));
  result.set("stages",
             arrayOf(std::array<int, 10>{step.plugboard, step.rightRotor, step.middleRotor,
                                         step.leftRotor, step.reflector, step.leftBack,
                                         step.middleBack, step.rightBack, step.out, step.out}));
  return result;
}

val positions() { return machine ? arrayOf(machine->positions()) : val::array(); }

void resetMachine() {
  if (machine) machine->reset();
}

val encryptBytes(const val& text, bool chineseLabel, const std::string& type, bool chinese) {
  if (!current || !current->hasStart()) return val::null();
  const auto code =
      api::encrypt(*current, bytesIn(text),
                   chineseLabel ? api::TextLabel::kChinese : api::TextLabel::kEnglish, type);
  if (!code) return failure(code.fault(), chinese);
  val result = val::object();
  result.set("ok", true);
  result.set("bytes", bytesOut(*code));
  return result;
}

// The text, and the lines the program's decrypt tells on standard error for it.
val decryptBytes(const val& code, const std::string& name, bool chinese) {
  if (!current || !current->hasStart()) return val::null();
  const auto found = api::decrypt(*current, bytesIn(code));
  if (!found) {
    // The library names the bytes "code"; the page knows the file's name.
    Fault fault = found.fault();
    fault.file = name;
    return failure(fault, chinese);
  }
  const Console words = wordsIn(chinese);
  const api::Verification& check = found->verification;
  val lines = val::array();
  const auto label =
      check.label == api::TextLabel::kChinese ? messages::kChinese : messages::kEnglish;
  lines.call<void>("push", say(words, messages::kLanguageLine, {say(words, label)}));
  if (check.truncated) lines.call<void>("push", say(words, messages::kTruncated, {name}));
  if (!check.codingTypeKnown) {
    lines.call<void>("push", say(words, messages::kUnknownCodingType, {name}));
  }
  for (int k = 0; k < check.failedChecks; ++k) {
    lines.call<void>("push", say(words, messages::kCheckFailed, {name}));
  }
  val result = val::object();
  result.set("ok", true);
  result.set("bytes", bytesOut(found->text));
  result.set("verified", check.verified());
  result.set("lines", lines);
  return result;
}

// The attack's job: set by prepareAttack, run by rotorwerkAttack, which the worker calls
// so that the search can pause for the worker's messages between its items.
struct AttackJob {
  std::string code;
  std::string crib;
  std::string language;
  int timeLimit = 0;
  bool chinese = false;
  val onProgress = val::null();
  val result = val::null();
};
std::optional<AttackJob> job;

// Set on the module by the worker when the page asks the search to stop.
EM_JS(int, stopAsked, (), { return Module["stopAsked"] ? 1 : 0; });

// A moment for the worker's messages, then whether one of them asked to stop.
bool stopRequested() {
  emscripten_sleep(0);
  return stopAsked() != 0;
}

// The attack on the job's code under the wiring in use, telling its progress to the job's
// `onProgress` (stage, share); the lines are the program's, a stop's included.
val attacked(const AttackJob& attack) {
  api::AttackOptions options;
  options.timeLimit = std::chrono::seconds(attack.timeLimit);
  options.crib = attack.crib;
  options.language = attack.language;
  options.stopRequested = stopRequested;
  options.progress = [&](const api::AttackStatus& status) {
    attack.onProgress(status.stage, status.share);
  };
  bool lettered = true;
  options.onPlan = [&](const api::AttackPlan& plan) -> Result<void> {
    lettered = plan.lettered;
    return {};
  };
  const auto found = api::attack({attack.code}, *current, options);
  if (!found) return failure(found.fault(), attack.chinese);
  const Console words = wordsIn(attack.chinese);
  val lines = val::array();
  if (!found->scored) {
    lines.call<void>("push", say(words, messages::kAttackNothingScored));
  } else {
    for (const std::string& line : attackReport(words, *found, lettered)) {
      lines.call<void>("push", line);
    }
    lines.call<void>(
        "push", say(words, found->confident ? messages::kAttackFound : messages::kAttackNotFound));
  }
  val result = val::object();
  result.set("ok", true);
  result.set("scored", found->scored);
  result.set("confident", found->confident);
  result.set("searched", found->searched);
  result.set("start", found->scored ? found->startText : std::string());
  result.set("lines", lines);
  return result;
}

bool prepareAttack(const val& code, const std::string& crib, const std::string& language,
                   int timeLimit, bool chinese, val onProgress) {
  if (!current) return false;
  job = AttackJob{bytesIn(code), crib, language, timeLimit, chinese, std::move(onProgress)};
  return true;
}

val attackResult() { return job ? job->result : val::null(); }

}  // namespace

// Called through the module's ccall with {async: true}: the search sleeps between its
// items, which only a plain export may do.
extern "C" EMSCRIPTEN_KEEPALIVE void rotorwerkAttack() {
  if (job && current) job->result = attacked(*job);
}

EMSCRIPTEN_BINDINGS(rotorwerk) {
  emscripten::function("loadSettings", &loadSettings);
  emscripten::function("loadWiring", &loadWiring);
  emscripten::function("generateSettings", &generateSettings);
  emscripten::function("press", &press);
  emscripten::function("positions", &positions);
  emscripten::function("resetMachine", &resetMachine);
  emscripten::function("encryptBytes", &encryptBytes);
  emscripten::function("decryptBytes", &decryptBytes);
  emscripten::function("prepareAttack", &prepareAttack);
  emscripten::function("attackResult", &attackResult);
}

}  // namespace rotorwerk::web
