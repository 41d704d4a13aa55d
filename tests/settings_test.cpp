// Reading the two settings files: layout freedom, the plugboard, and every fault.
#include <gtest/gtest.h>

#include <tuple>

#include "api/settings_files.h"
#include "machine/key_generator.h"
#include "machine/settings.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz";
const std::string kNeighbours = "badcfehgjilknmporqtsvuxwzy";
const std::string kShift = "bcdefghijklmnopqrstuvwxyza";

// Where a fault is: the file's name, the item and its number.
using Where = std::tuple<std::string, SettingsItem, std::int64_t>;

class SettingsTest : public ::testing::Test {
 protected:
  // Loads the files; the machine is built when they are sound.
  std::optional<Where> load(const std::string& wiring, const std::string& start) {
    dir_.write("enigma_config.ef", wiring);
    dir_.write("enigma_init.ef", start);
    return loadFiles();
  }
  std::optional<Where> loadFiles() {
    const auto settings = loadSettings(dir_.path().string());
    if (settings) {
      settings_ = *settings;
      machine_ = buildMachine(*settings);
      return std::nullopt;
    }
    const Fault& fault = settings.fault();
    EXPECT_EQ(fault.kind, FaultKind::kSettings);
    const std::string name = std::filesystem::path(fault.file).filename().string();
    return Where{name, static_cast<SettingsItem>(fault.item), fault.number};
  }

  test::ScratchDir dir_;
  Settings settings_;
  RotorMachine machine_;
};

TEST_F(SettingsTest, LineStructureDoesNotMatter) {
  ASSERT_EQ(load(kNeighbours + " 2 " + kAlphabet + " " + kShift, "0 1 2 2 3 4 5"), std::nullopt);
  const RotorMachine oneLine = machine_;
  // As a Windows editor saves them: a byte-order mark first, CR LF line ends.
  ASSERT_EQ(load("\xEF\xBB\xBF\n\t" + kNeighbours + "\r\n2\n" + kAlphabet + "\n\n" + kShift + "\n",
                 "\xEF\xBB\xBF"
                 "0\r\n1\n2\n2\n3\n4\n5\n"),
            std::nullopt);
  EXPECT_EQ(machine_.forward, oneLine.forward);
  EXPECT_EQ(machine_.inverse, oneLine.inverse);
  EXPECT_EQ(machine_.reflector, oneLine.reflector);
  EXPECT_EQ(machine_.slotRotors, (std::array<std::int64_t, 3>{1, 2, 2}));
  EXPECT_EQ(machine_.startOffsets, (std::array<std::int64_t, 3>{3, 4, 5}));
  EXPECT_EQ(machine_.inverse[2][0], 25);  // the shift sends z to a
}

TEST_F(SettingsTest, PairsMayBeAdjacentSeparatedOrOnTwoLines) {
  ASSERT_EQ(load(kNeighbours + " 1 " + kAlphabet, "3 ab c d\ne\nf 1 1 1 0 0 0"), std::nullopt);
  WiringRow expected = straightRow();
  for (std::size_t k = 0; k < 6; ++k) expected[k] = static_cast<std::int8_t>(k ^ 1U);
  EXPECT_EQ(machine_.plugboard, expected);
  EXPECT_EQ(settings_.start.plugs.size(), 3U);
}

TEST_F(SettingsTest, PlugboardHoldsOnlyTheCurrentStartFilesPairs) {
  ASSERT_EQ(load(kNeighbours + " 1 " + kAlphabet, "1 ab 1 1 1 0 0 0"), std::nullopt);
  ASSERT_EQ(load(kNeighbours + " 1 " + kAlphabet, "0 1 1 1 0 0 0"), std::nullopt);
  EXPECT_EQ(machine_.plugboard, straightRow());
}

TEST_F(SettingsTest, LongerWordsUseTheirFirst26LettersAndOffsetsMayBeAnyValue) {
  ASSERT_EQ(load(kNeighbours + "XYZ 1 " + kAlphabet + std::string(4070, '!'),
                 "1 aa 1 1 1 -9223372036854775808 9223372036854775807 +" +
                     std::string(100000, '0') + "30"),
            std::nullopt);
  EXPECT_EQ(machine_.startOffsets,
            (std::array<std::int64_t, 3>{std::numeric_limits<std::int64_t>::min(),
                                         std::numeric_limits<std::int64_t>::max(), 30}));
  // A letter paired with itself is one pair, and goes to itself.
  EXPECT_EQ(settings_.start.plugs, (std::vector<std::array<char, 2>>{{'a', 'a'}}));
  EXPECT_EQ(machine_.plugboard, straightRow());
}

TEST_F(SettingsTest, WrittenSettingsReadBackTheSame) {
  for (const int plugs : {0, 1, 13}) {
    const auto key = generateKey(7, plugs);
    ASSERT_TRUE(key);
    ASSERT_EQ(load(formatWiring(key->wiring), formatStart(key->start)), std::nullopt);
    EXPECT_EQ(settings_.wiring.reflector, key->wiring.reflector);
    EXPECT_EQ(settings_.wiring.rotors, key->wiring.rotors);
    EXPECT_EQ(settings_.start.plugs, key->start.plugs);
    EXPECT_EQ(settings_.start.slots, key->start.slots);
    EXPECT_EQ(settings_.start.offsets, key->start.offsets);
  }
}

struct FaultCase {
  const char* why;
  std::string wiring;
  std::string start;
  Where fault;
};

TEST_F(SettingsTest, ReportsTheFirstFaultInFileOrder) {
  using enum SettingsItem;
  const auto wiringFault = [](SettingsItem item, std::int64_t n = 0) {
    return Where{kWiringFileName, item, n};
  };
  const auto startFault = [](SettingsItem item, std::int64_t n = 0) {
    return Where{kStartFileName, item, n};
  };
  const std::string good = kNeighbours + " 3 " + kAlphabet + " " + kShift + " " + kAlphabet;
  const std::string okStart = "0 1 2 3 0 0 0";
  const std::string reflectorWithFixedPoint = "abdcfehgjilknmporqtsvuxwzy";
  const std::string notPairing = "bcadfehgjilknmporqtsvuxwzy";
  const std::string notPermutation = "aabcdefghijklmnopqrstuvwxy";
  const std::vector<FaultCase> cases = {
      {"empty wiring", "", okStart, wiringFault(kReflector)},
      {"short reflector", kNeighbours.substr(0, 25) + " 0", okStart, wiringFault(kReflector)},
      {"uppercase reflector", "BADCFEHGJILKNMPORQTSVUXWZY 0", okStart, wiringFault(kReflector)},
      {"fixed point", reflectorWithFixedPoint + " 0", okStart, wiringFault(kReflector)},
      {"not a pairing", notPairing + " 0", okStart, wiringFault(kReflector)},
      {"missing count", kNeighbours, okStart, wiringFault(kRotorCount)},
      {"count word", kNeighbours + " x", okStart, wiringFault(kRotorCount)},
      {"count 11", kNeighbours + " 11", okStart, wiringFault(kRotorCount)},
      {"count -1", kNeighbours + " -1", okStart, wiringFault(kRotorCount)},
      {"missing rotor 3", kNeighbours + " 3 " + kAlphabet + " " + kShift, okStart,
       wiringFault(kRotor, 3)},
      {"rotor 2 not a permutation", kNeighbours + " 2 " + kAlphabet + " " + notPermutation, okStart,
       wiringFault(kRotor, 2)},
      {"rotor 1 with a digit", kNeighbours + " 1 " + kAlphabet.substr(0, 25) + "1", okStart,
       wiringFault(kRotor, 1)},
      {"wiring fault first", kNeighbours + " 11", "x", wiringFault(kRotorCount)},
      {"empty start", good, "", startFault(kPlugCount)},
      {"negative count", good, "-1 1 2 3 0 0 0", startFault(kPlugCount)},
      {"pair missing a letter", good, "2 ab c", startFault(kPlug, 2)},
      {"pair uppercase", good, "1 aB 1 2 3 0 0 0", startFault(kPlug, 1)},
      {"letter in two pairs", good, "2 ab ca 1 2 3 0 0 0", startFault(kPlug, 2)},
      {"second letter in two pairs", good, "2 ab bc 1 2 3 0 0 0", startFault(kPlug, 2)},
      {"byte-order mark not first", good,
       "0 \xEF\xBB\xBF"
       "1 2 3 0 0 0",
       startFault(kLeftRotor)},
      {"half a byte-order mark", "\xEF\xBB" + good, okStart, wiringFault(kReflector)},
      {"self pair then reuse", good, "2 aa ab 1 2 3 0 0 0", startFault(kPlug, 2)},
      {"huge count", good, "99999999999999 ab cd ef gh ij kl mn op qr st uv wx yz za",
       startFault(kPlug, 14)},
      {"left rotor 0", good, "0 0 2 3 0 0 0", startFault(kLeftRotor)},
      {"middle rotor above N", good, "0 1 4 3 0 0 0", startFault(kMiddleRotor)},
      {"right rotor missing", good, "0 1 2", startFault(kRightRotor)},
      {"left offset word", good, "0 1 2 3 x 0 0", startFault(kLeftOffset)},
      {"middle offset overflow", good, "0 1 2 3 0 9223372036854775808 0",
       startFault(kMiddleOffset)},
      {"right offset missing", good, "0 1 2 3 0 0", startFault(kRightOffset)},
      {"no rotors at all", kNeighbours + " 0", "0 1 1 1 0 0 0", startFault(kLeftRotor)},
      {"count with junk", kNeighbours + " 5;", okStart, wiringFault(kRotorCount)},
      {"huge word", std::string(5000, 'a'), okStart, wiringFault(kReflector)},
      {"pair count with junk", good, "2x ab cd 1 2 3 0 0 0", startFault(kPlugCount)},
      {"slot with junk", good, "0 1x 2 3 0 0 0", startFault(kLeftRotor)},
      {"junk after a slot", good, "0 1 2 3x 7 19 3", startFault(kRightRotor)},
      {"letter O for zero", good, "0 1 2 3 7 19 1O", startFault(kRightOffset)},
      {"hexadecimal", good, "0 1 2 3 0x1f 0 0", startFault(kLeftOffset)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load(c.wiring, c.start), c.fault) << c.why;
  }
}

TEST_F(SettingsTest, MissingOrUnreadableFilesCannotBeOpened) {
  EXPECT_EQ(loadFiles(), (Where{kWiringFileName, SettingsItem::kCannotOpen, 0}));
  dir_.write("enigma_config.ef", kNeighbours + " 1 " + kAlphabet);
  std::filesystem::create_directory(dir_ / "enigma_init.ef");
  EXPECT_EQ(loadFiles(), (Where{kStartFileName, SettingsItem::kCannotOpen, 0}));
}

}  // namespace
}  // namespace rotorwerk
