// The library: the program's own settings, code files, trace and attack behind one
// small header, so that every way in runs the same code.
#include "rotorwerk/rotorwerk.h"

#include <cerrno>
#include <optional>

#include "api/library_internals.h"
#include "api/settings_files.h"
#include "codefile/decrypt_command.h"
#include "codefile/encrypt_command.h"
#include "machine/check_letters.h"
#include "machine/key_generator.h"
#include "machine/keystream.h"
#include "platform/byte_stream.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/formatted_input.h"
#include "texts/reports.h"

namespace rotorwerk::api {

namespace {

// Settings read from a folder remember it, so that no output overwrites their files.
Settings::Data dataOf(rotorwerk::Settings settings, bool hasStart,
                      std::optional<std::string> folder = {}) {
  Settings::Data data{std::move(settings), hasStart, {}, std::move(folder)};
  if (hasStart) data.machine = buildMachine(data.settings);
  return data;
}

// What settings moved from read as: no rotors, no start file.
const Settings::Data& noData() {
  static const Settings::Data kNone{};
  return kNone;
}

}  // namespace

Result<const RotorMachine*> keyMachine(const Settings& settings) {
  const Settings::Data& data = settings.data();
  if (&data == &noData()) return settingsFault(SettingsItem::kMovedFrom);
  if (!data.hasStart) return settingsFault(SettingsItem::kNoStart);
  return &data.machine;
}

namespace {

// One of the settings files' texts, parsed as the program parses the file.
template <typename Parse>
auto parseText(std::string_view text, const char* name, Parse parse)
    -> decltype(parse(std::declval<FormattedInput&>())) {
  MemorySource source(text);
  FormattedInput input(source);
  input.skipByteOrderMark();
  auto parsed = parse(input);
  if (!parsed) {
    Fault fault = parsed.fault();
    fault.file = name;
    return fault;
  }
  return parsed;
}

TraceStep stepOf(const RotorMachine& machine, int letter, RotorPositions at) {
  const LetterTrace t =
      traceLetter(machine, static_cast<LetterIndex>(letter), at.left, at.middle, at.right);
  return {{at.left, at.middle, at.right},
          t.in,
          t.plugged,
          t.right,
          t.middle,
          t.left,
          t.reflected,
          t.leftBack,
          t.middleBack,
          t.rightBack,
          t.out};
}

std::optional<int> letterIndex(char c) {
  const auto index = letterIndexOf(static_cast<unsigned char>(c));
  if (!index) return {};
  return *index;
}

}  // namespace

std::string_view version() { return ROTORWERK_VERSION; }

std::string describe(const Fault& fault, bool chinese) {
  const Console words(nullptr, nullptr, true, false, chinese);
  std::string message = faultMessage(words, fault, FrontEnd::kCommandLine);
  constexpr std::string_view kName = "rotorwerk: ";
  if (message.rfind(kName, 0) == 0) message.erase(0, kName.size());
  if (!message.empty() && message.back() == '\n') message.pop_back();
  return message;
}

Result<Settings> Settings::load(const std::string& directory) {
  if (auto sound = refuseNul(directory, FaultKind::kSettings); !sound) return sound.fault();
  auto settings = loadSettings(directory);
  if (!settings) return settings.fault();
  return Settings(std::make_shared<const Data>(dataOf(std::move(*settings), true, directory)));
}

Result<Settings> Settings::loadWiring(const std::string& directory) {
  if (auto sound = refuseNul(directory, FaultKind::kSettings); !sound) return sound.fault();
  auto wiring = rotorwerk::loadWiring(directory);
  if (!wiring) return wiring.fault();
  return Settings(std::make_shared<const Data>(dataOf({std::move(*wiring), {}}, false, directory)));
}

Result<Settings> Settings::parseWiring(std::string_view wiringText) {
  auto wiring = parseText(wiringText, kWiringFileName,
                          [](FormattedInput& input) { return rotorwerk::parseWiring(input); });
  if (!wiring) return wiring.fault();
  return Settings(std::make_shared<const Data>(dataOf({std::move(*wiring), {}}, false)));
}

Result<Settings> Settings::parse(std::string_view wiringText, std::string_view startText) {
  auto wiring = parseWiring(wiringText);
  if (!wiring) return wiring.fault();
  const Wiring& rotors = wiring->data().settings.wiring;
  auto start = parseText(startText, kStartFileName, [&](FormattedInput& input) {
    return parseStart(input, rotors.rotors.size());
  });
  if (!start) return start.fault();
  return Settings(std::make_shared<const Data>(dataOf({rotors, std::move(*start)}, true)));
}

Result<Settings> Settings::generate(int rotors, int plugs) {
  if (rotors < 1 || rotors > kMaxRotors) return settingsFault(SettingsItem::kRotorCount, rotors);
  if (plugs < 0 || plugs > kMaxPlugPairs) return settingsFault(SettingsItem::kPlugCount, plugs);
  auto key = generateKey(rotors, plugs);
  if (!key) return key.fault();
  return Settings(std::make_shared<const Data>(dataOf(std::move(*key), true)));
}

const Settings::Data& Settings::data() const { return data_ ? *data_ : noData(); }
bool Settings::hasStart() const { return data().hasStart; }
std::string Settings::wiringText() const {
  return data_ ? formatWiring(data_->settings.wiring) : std::string();
}
std::string Settings::startText() const {
  return hasStart() ? formatStart(data_->settings.start) : std::string();
}
int Settings::rotorCount() const { return static_cast<int>(data().settings.wiring.rotors.size()); }
std::array<std::int64_t, 3> Settings::slots() const { return data().settings.start.slots; }
std::array<std::int64_t, 3> Settings::offsets() const { return data().settings.start.offsets; }
std::vector<std::string> Settings::plugPairs() const {
  std::vector<std::string> pairs;
  for (const auto& [x, y] : data().settings.start.plugs) pairs.push_back({x, y});
  return pairs;
}

// The machine typed at: the same keystream that enciphers files, one byte at a time.
struct Machine::State {
  RotorMachine machine;
  Keystream keystream;
};

Result<Machine> Machine::create(const Settings& settings) {
  const auto machine = keyMachine(settings);
  if (!machine) return machine.fault();
  const RotorMachine& key = **machine;
  return Machine(std::make_unique<State>(State{key, Keystream(key, key.startPositions())}));
}
Machine::Machine(std::unique_ptr<State> state) : state_(std::move(state)) {}
Machine::~Machine() = default;
Machine::Machine(const Machine& other) : state_(std::make_unique<State>(*other.state_)) {}
Machine& Machine::operator=(const Machine& other) {
  *state_ = *other.state_;
  return *this;
}

char Machine::press(char letter) {
  state_->keystream.apply(&letter, 1);
  return letter;
}

TraceStep Machine::trace(char letter) {
  const auto index = letterIndex(letter);
  const char out = press(letter);
  if (!index) {
    const RotorPositions at = state_->keystream.positions();
    TraceStep step;
    step.positions = {at.left, at.middle, at.right};
    step.in = step.out = static_cast<unsigned char>(out);
    return step;
  }
  return stepOf(state_->machine, *index, state_->keystream.positions());
}

void Machine::reset() {
  state_->keystream = Keystream(state_->machine, state_->machine.startPositions());
}

std::array<std::int64_t, 3> Machine::positions() const {
  const RotorPositions at = state_->keystream.positions();
  return {at.left, at.middle, at.right};
}

// The trace: its rows made from the positions stepped letter by letter; the check
// letters follow the text's last letter, through the same keystream as encrypt.
struct Tracer::State {
  RotorMachine machine;
  RotorPositions positions;
  Keystream keystream;
  std::uint64_t letters;
  std::uint64_t shown = 0;
};

Result<Tracer> Tracer::create(const Settings& settings, std::uint64_t letters) {
  const auto machine = keyMachine(settings);
  if (!machine) return machine.fault();
  const RotorMachine& key = **machine;
  return Tracer(std::make_unique<State>(
      State{key, key.startPositions(), Keystream(key, key.startPositions()), letters}));
}
Tracer::Tracer(std::unique_ptr<State> state) : state_(std::move(state)) {}
Tracer::~Tracer() = default;
Tracer::Tracer(const Tracer& other) : state_(std::make_unique<State>(*other.state_)) {}
Tracer& Tracer::operator=(const Tracer& other) {
  *state_ = *other.state_;
  return *this;
}

void Tracer::feed(std::string_view block, const std::function<void(const TraceStep&, char)>& step) {
  State& s = *state_;
  for (std::size_t i = 0; i < block.size() && s.shown < s.letters; ++i) {
    const auto index = letterIndex(block[i]);
    if (!index) continue;
    stepPositions(s.positions);
    ++s.shown;
    if (step) step(stepOf(s.machine, *index, s.positions), block[i]);
  }
  std::string bytes(block);
  s.keystream.apply(bytes.data(), bytes.size());
}

bool Tracer::shownAll() const { return state_->shown >= state_->letters; }

std::array<TraceStep, 3> Tracer::checkLetters() const {
  RotorPositions positions = state_->keystream.positions();
  std::array<TraceStep, 3> steps;
  for (std::size_t k = 0; k < 3; ++k) {
    stepPositions(positions);
    steps[k] =
        stepOf(state_->machine, checkLetterInput(state_->machine.startOffsets[k]), positions);
  }
  return steps;
}

Result<std::string> encrypt(const Settings& settings, std::string_view text, TextLabel label,
                            std::string_view codingType) {
  const auto machine = keyMachine(settings);
  if (!machine) return machine.fault();
  MemorySource input(text);
  // The code is the text and a trailer of a few bytes: grown once, not doubled and copied.
  std::string code;
  code.reserve(text.size() + 32);
  StringSink sink(code);
  auto done = encodeText(input, {}, label == TextLabel::kChinese ? 1 : 0, std::string(codingType),
                         **machine, sink, {});
  if (!done) return done.fault();
  return code;
}

namespace {

TextLabel labelOf(Language language) {
  return language == Language::kChinese ? TextLabel::kChinese : TextLabel::kEnglish;
}

Verification verificationOf(TextLabel label, const rotorwerk::Verification& found) {
  return {label, found.codingTypeKnown, found.failedChecks, found.truncated};
}

// Deciphers the code file `input` onto `output`: the one path of every decryption.
Result<Verification> decryptInput(const Settings& settings, File input, const std::string& name,
                                  const OutputFor& outputFor, const std::string& outputName,
                                  const Progress& progress) {
  const auto machine = keyMachine(settings);
  if (!machine) return machine.fault();
  if (!outputFor) return errorFault(FaultKind::kCannotOutput, outputName, EINVAL);
  const auto language = readCodeHeader(input.get(), name);
  if (!language) return language.fault();
  const TextLabel label = labelOf(*language);
  const auto output = outputFor(label);
  if (!output) return output.fault();
  if (*output == nullptr) return errorFault(FaultKind::kCannotOutput, outputName, EBADF);
  auto found = decryptCommand(std::move(input), name, **machine, *output, outputName, progress);
  if (!found) return found.fault();
  return verificationOf(label, *found);
}

}  // namespace

Result<Decrypted> decrypt(const Settings& settings, std::string_view code) {
  const auto machine = keyMachine(settings);
  if (!machine) return machine.fault();
  auto found = decodeCode(code, **machine);
  if (!found) return found.fault();
  return Decrypted{std::move(found->text),
                   verificationOf(labelOf(found->language), found->verification)};
}

Result<bool> encryptFile(const Settings& settings, const std::string& textPath,
                         const std::string& codePath, TextLabel label, std::string_view codingType,
                         const Progress& progress) {
  const auto machine = keyMachine(settings);
  if (!machine) return machine.fault();
  if (auto sound = refuseNul(textPath, FaultKind::kFileNotFound); !sound) return sound.fault();
  if (auto sound = refuseNul(codePath, FaultKind::kCannotWrite); !sound) return sound.fault();
  if (auto kept = refuseKeyFile(settings, codePath); !kept) return kept.fault();
  auto input = openInput(textPath);
  if (!input) return input.fault();
  return guarded<bool>(codePath, [&]() -> Result<bool> {
    auto done = encryptCommand(std::move(*input), textPath, label == TextLabel::kChinese ? 1 : 0,
                               std::string(codingType), **machine, codePath, progress);
    if (!done) return done.fault();
    return *done == CodeWrittenTo::kFile;
  });
}

Result<Verification> decryptFile(const Settings& settings, const std::string& codePath,
                                 const OutputFor& output, const std::string& outputName,
                                 const Progress& progress) {
  // Refused before the code file is opened, which may be standard input.
  if (const auto machine = keyMachine(settings); !machine) return machine.fault();
  if (auto sound = refuseNul(codePath, FaultKind::kFileNotFound); !sound) return sound.fault();
  if (auto sound = refuseNul(outputName, FaultKind::kCannotOutput); !sound) return sound.fault();
  if (auto kept = refuseKeyFile(settings, outputName); !kept) return kept.fault();
  auto input = openInput(codePath);
  if (!input) return input.fault();
  return guarded<Verification>(outputName, [&] {
    return decryptInput(settings, std::move(*input), codePath, output, outputName, progress);
  });
}

}  // namespace rotorwerk::api
