// The library under misuse: settings that hold no key, callbacks that give nothing,
// counts out of range, and offsets far outside the letters.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "machine/settings.h"
#include "rotorwerk/rotorwerk.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

namespace fs = std::filesystem;

api::Settings sampleSettings(const test::SettingsText& text) {
  auto settings = api::Settings::parse(text.wiring, text.start);
  EXPECT_TRUE(settings) << api::describe(settings.fault());
  return *settings;
}

// What settings that hold no key are refused as.
struct Keyless {
  const char* name;
  SettingsItem item;
  std::function<api::Settings()> make;
  const char* message;
};

const Keyless kKeyless[] = {
    {"wiring only", SettingsItem::kNoStart,
     [] {
       return *api::Settings::parseWiring(test::randomSettings(3, {1, 2, 3}).wiring);
     },
     "faulty settings: no start file, only the wiring: nothing can be enciphered or deciphered"},
    {"moved from", SettingsItem::kMovedFrom,
     [] {
       api::Settings settings = sampleSettings(test::randomSettings(3, {1, 2, 3}));
       const api::Settings taken = std::move(settings);
       EXPECT_TRUE(taken.hasStart());
       return settings;  // NOLINT(bugprone-use-after-move): the misuse under test
     },
     "faulty settings: none, since they were moved from: nothing can be enciphered or "
     "deciphered"},
};

// Each way in that enciphers or deciphers, called with the settings; the files it
// would touch are in `dir`.
struct Entry {
  const char* name;
  std::function<Fault(const api::Settings&, const test::ScratchDir&)> call;
};

template <typename T>
Fault faultOf(const Result<T>& result) {
  return result ? Fault{FaultKind::kFormat, "no fault"} : result.fault();
}

const Entry kEntries[] = {
    {"encrypt", [](auto& s, auto&) { return faultOf(api::encrypt(s, "Meet me")); }},
    {"decrypt", [](auto& s, auto&) { return faultOf(api::decrypt(s, "RW-Eng Zyxw#RW-26001A ")); }},
    {"encryptFile",
     [](auto& s, auto& dir) {
       return faultOf(
           api::encryptFile(s, (dir / "text.txt").string(), (dir / "code.txt").string()));
     }},
    {"decryptFile",
     [](auto& s, auto& dir) {
       return faultOf(api::decryptFile(
           s, (dir / "old.txt").string(),
           [](api::TextLabel) -> Result<std::FILE*> { return stdout; }, "-"));
     }},
    {"Machine", [](auto& s, auto&) { return faultOf(api::Machine::create(s)); }},
    {"Tracer", [](auto& s, auto&) { return faultOf(api::Tracer::create(s, 26)); }},
};

TEST(Library, RefusesSettingsWithoutAKeyAtEveryEntry) {
  for (const Keyless& keyless : kKeyless) {
    const api::Settings settings = keyless.make();
    EXPECT_FALSE(settings.hasStart()) << keyless.name;
    EXPECT_EQ(settings.startText(), "") << keyless.name;
    for (const Entry& entry : kEntries) {
      const test::ScratchDir dir;
      dir.write("text.txt", "Meet me at the old mill");
      dir.write("old.txt", "RW-Eng Zyxw#RW-26001A ");
      const Fault fault = entry.call(settings, dir);
      SCOPED_TRACE(std::string(keyless.name) + ", " + entry.name);
      EXPECT_EQ(fault.kind, FaultKind::kSettings);
      EXPECT_EQ(fault.item, static_cast<int>(keyless.item));
      EXPECT_EQ(api::describe(fault), keyless.message);
      EXPECT_FALSE(fs::exists(dir / "code.txt"));
    }
  }
}

TEST(Library, SaysInChineseThatTheSettingsHoldNoStartFile) {
  const Fault fault = faultOf(api::encrypt(kKeyless[0].make(), "text"));
  EXPECT_EQ(api::describe(fault, true), "配置有误：没有起始配置文件，只有转子配置：无法加密或解密");
}

TEST(Library, SettingsMovedFromReadAsEmptyAndCanBeGivenAKeyAgain) {
  api::Settings settings = kKeyless[1].make();
  EXPECT_EQ(settings.rotorCount(), 0);
  EXPECT_EQ(settings.wiringText(), "");
  EXPECT_TRUE(settings.plugPairs().empty());
  settings = sampleSettings(test::randomSettings(4, {0, 0, 0}));
  EXPECT_TRUE(api::encrypt(settings, "again"));
}

TEST(Library, MachinesAndTracersMovedFromStayWhole) {
  const api::Settings settings = sampleSettings(test::randomSettings(5, {1, 2, 3}));
  auto machine = api::Machine::create(settings);
  ASSERT_TRUE(machine);
  const api::Machine taken = std::move(*machine);
  EXPECT_EQ(machine->press('a'), api::Machine(taken).press('a'));
  auto tracer = api::Tracer::create(settings, 2);
  ASSERT_TRUE(tracer);
  const api::Tracer other = std::move(*tracer);
  int steps = 0;
  tracer->feed("abc", [&](const api::TraceStep&, char) { ++steps; });
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(other.checkLetters()[0].out, api::Tracer(other).checkLetters()[0].out);
  // A step function that is empty is told nothing, and ends nothing.
  api::Tracer silent = *api::Tracer::create(settings, 2);
  silent.feed("abc", {});
  EXPECT_TRUE(silent.shownAll());
}

// An output function that gives no stream, or none at all, ends the decryption with a
// fault naming the output.
TEST(Library, RefusesAnOutputThatGivesNoStream) {
  const test::ScratchDir dir;
  const api::Settings settings = sampleSettings(test::randomSettings(6, {1, 2, 3}));
  dir.write("code.txt", *api::encrypt(settings, "Meet me"));
  const std::pair<const char*, api::OutputFor> outputs[] = {
      {"null stream", [](api::TextLabel) -> Result<std::FILE*> { return nullptr; }},
      {"empty function", api::OutputFor()},
  };
  for (const auto& [name, output] : outputs) {
    const auto found = api::decryptFile(settings, (dir / "code.txt").string(), output, "out.txt");
    ASSERT_FALSE(found) << name;
    EXPECT_EQ(found.fault().kind, FaultKind::kCannotOutput) << name;
    EXPECT_EQ(found.fault().file, "out.txt") << name;
  }
}

// A name holding a NUL byte is refused whole, naming it: the part before the NUL, which
// the system would take, is never touched.
TEST(Library, RefusesNamesHoldingANulByte) {
  const test::ScratchDir dir;
  test::writeSettings(dir, test::randomSettings(8, {1, 2, 3}));
  dir.write("t.txt", "Meet me");
  const std::string folder = dir.path().string();
  const api::Settings settings = *api::Settings::load(folder);
  const std::string code = (dir / "code.txt").string();
  const std::string text = (dir / "t.txt").string();
  const auto withNul = [](const std::string& name) { return name + std::string("\0zz", 3); };
  const auto toStdout = [](api::TextLabel) -> Result<std::FILE*> { return stdout; };
  const std::pair<std::string, Fault> rows[] = {
      {folder, faultOf(api::Settings::load(withNul(folder)))},
      {folder, faultOf(api::Settings::loadWiring(withNul(folder)))},
      {text, faultOf(api::encryptFile(settings, withNul(text), code))},
      {code, faultOf(api::encryptFile(settings, text, withNul(code)))},
      {text, faultOf(api::decryptFile(settings, withNul(text), toStdout, "-"))},
      {"out", faultOf(api::decryptFile(settings, text, toStdout, withNul("out")))},
      {text, faultOf(api::attackFiles({withNul(text)}, settings))},
  };
  for (const auto& [name, fault] : rows) {
    SCOPED_TRACE(name);
    EXPECT_EQ(fault.file, withNul(name));
    EXPECT_NE(api::describe(fault).find(name + "\\x00zz"), std::string::npos)
        << api::describe(fault);
  }
  EXPECT_EQ(rows[0].second.kind, FaultKind::kSettings);
  EXPECT_FALSE(fs::exists(dir / "code.txt"));
  // No lock, no journal: the folder holds what it held.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

// Library callers write where they like, but never over the key they encipher with.
TEST(Library, RefusesAnOutputThatIsAKeyFileOfTheSettings) {
  const test::ScratchDir dir;
  test::writeSettings(dir, test::randomSettings(9, {1, 2, 3}));
  dir.write("t.txt", "Meet me");
  const api::Settings settings = *api::Settings::load(dir.path().string());
  dir.write("code.txt", *api::encrypt(settings, "Meet me"));
  const auto start = dir.read("enigma_init.ef");
  const auto toStdout = [](api::TextLabel) -> Result<std::FILE*> { return stdout; };
  for (const char* keyFile : {"enigma_config.ef", "enigma_init.ef"}) {
    const std::string target = (dir / keyFile).string();
    const Fault rows[] = {
        faultOf(api::encryptFile(settings, (dir / "t.txt").string(), target)),
        faultOf(api::decryptFile(settings, (dir / "code.txt").string(), toStdout, target)),
    };
    for (const Fault& fault : rows) {
      EXPECT_EQ(fault.kind, FaultKind::kSameFile) << keyFile;
      EXPECT_EQ(api::describe(fault),
                target + " is the key file " + target + "; it is not overwritten");
    }
  }
  EXPECT_EQ(dir.read("enigma_init.ef"), start);
  // Settings made from texts have no files to keep.
  const api::Settings parsed = *api::Settings::parse(settings.wiringText(), settings.startText());
  EXPECT_TRUE(
      api::encryptFile(parsed, (dir / "t.txt").string(), (dir / "enigma_init.ef").string()));
}

// A callback that throws ends its call with a fault that says what it threw, and leaves
// no temporary file behind.
TEST(Library, CallbacksThatThrowEndTheCallWithAFault) {
  const test::ScratchDir dir;
  const api::Settings settings = sampleSettings(test::randomSettings(10, {1, 2, 3}));
  dir.write("t.txt", "Meet me at the old mill");
  dir.write("code.txt", *api::encrypt(settings, "Meet me at the old mill"));
  const std::string text = (dir / "t.txt").string();
  const std::string code = (dir / "code.txt").string();
  const std::string out = (dir / "out.code").string();
  const std::pair<const char*, std::function<void()>> throws[] = {
      {"boom", [] { throw std::runtime_error("boom"); }},
      {"a callback failed", [] { throw 42; }},
  };
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink(std::tmpfile(), std::fclose);
  for (const auto& [said, fail] : throws) {
    const auto toSink = [&](api::TextLabel) -> Result<std::FILE*> { return sink.get(); };
    const auto failing = [&](api::TextLabel) -> Result<std::FILE*> {
      fail();
      return sink.get();
    };
    const std::pair<const char*, std::function<Fault()>> calls[] = {
        {"encryptFile progress",
         [&] {
           return faultOf(api::encryptFile(settings, text, out, api::TextLabel::kEnglish,
                                           api::kCheckedCodingType,
                                           [&](std::uint64_t) { fail(); }));
         }},
        {"decryptFile progress",
         [&] {
           return faultOf(
               api::decryptFile(settings, code, toSink, "-", [&](std::uint64_t) { fail(); }));
         }},
        {"decryptFile output",
         [&] { return faultOf(api::decryptFile(settings, code, failing, "-")); }},
        {"attack plan",
         [&] {
           api::AttackOptions options;
           options.onPlan = [&](const api::AttackPlan&) -> Result<void> {
             fail();
             return {};
           };
           return faultOf(api::attackFiles({code}, settings, options));
         }},
    };
    for (const auto& [name, call] : calls) {
      SCOPED_TRACE(std::string(name) + ", " + said);
      const Fault fault = call();
      EXPECT_EQ(fault.kind, FaultKind::kCannotOutput);
      EXPECT_EQ(fault.reason, said);
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    }
  }
}

TEST(Library, GenerateNamesTheCountOutOfRangeAndNoFile) {
  const struct {
    int rotors;
    int plugs;
    const char* message;  // empty: generated
  } rows[] = {
      {0, 10, "faulty settings: the rotor count 0 is outside 1 to 10"},
      {11, 10, "faulty settings: the rotor count 11 is outside 1 to 10"},
      {5, -1, "faulty settings: the plug pair count -1 is outside 0 to 13"},
      {5, 14, "faulty settings: the plug pair count 14 is outside 0 to 13"},
      {1, 0, ""},
      {10, 13, ""},
  };
  for (const auto& row : rows) {
    const auto settings = api::Settings::generate(row.rotors, row.plugs);
    SCOPED_TRACE(std::to_string(row.rotors) + " " + std::to_string(row.plugs));
    if (*row.message == '\0') {
      ASSERT_TRUE(settings);
      EXPECT_EQ(settings->rotorCount(), row.rotors);
      EXPECT_EQ(settings->plugPairs().size(), static_cast<std::size_t>(row.plugs));
    } else {
      ASSERT_FALSE(settings);
      EXPECT_EQ(settings.fault().file, "");
      EXPECT_EQ(api::describe(settings.fault()), row.message);
    }
  }
  EXPECT_EQ(api::describe(api::Settings::generate(5, 14).fault(), true),
            "配置有误：插头数 14不在0到13之间");
}

// A check letter's input is its offset's low 8 bits, which may be no letter: the trace
// shows the letter it enters the rotors as, and the rest of its way stays as it was.
TEST(Library, TracesCheckLettersOfHugeOffsetsAsLetters) {
  const std::int64_t offsets[] = {255, -1, 9223372036854775807, -9223372036854775807 - 1, 30};
  for (const std::int64_t offset : offsets) {
    const api::Settings settings =
        sampleSettings(test::randomSettings(7, {offset, offset, offset}));
    auto tracer = api::Tracer::create(settings, 0);
    ASSERT_TRUE(tracer);
    tracer->feed("Attack at dawn", [](const api::TraceStep&, char) {});
    const std::string code = *api::encrypt(settings, "Attack at dawn");
    const auto steps = tracer->checkLetters();
    for (std::size_t k = 0; k < steps.size(); ++k) {
      SCOPED_TRACE(std::to_string(offset) + " check letter " + std::to_string(k + 1));
      const int low = static_cast<signed char>(static_cast<unsigned char>(offset & 0xFF));
      EXPECT_EQ(steps[k].in, ((low % 26) + 26) % 26);
      EXPECT_GE(steps[k].plugboard, 0);
      EXPECT_LT(steps[k].plugboard, 26);
      EXPECT_EQ(code[code.size() - 3 + k], static_cast<char>('a' + steps[k].out));
    }
  }
}

}  // namespace
}  // namespace rotorwerk
