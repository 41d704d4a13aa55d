// The library's attack under misuse a caller can make: callbacks that throw, a language
// it does not know. Each ends the call with a fault that says so, never the program.
#include <gtest/gtest.h>

#include <stdexcept>

#include "rotorwerk/rotorwerk.h"

namespace rotorwerk {
namespace {

class AttackLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto settings = api::Settings::load(ROTORWERK_EXAMPLES);
    ASSERT_TRUE(settings);
    auto enciphered = api::encrypt(*settings, "Meet me at the bridge on Sunday after church.");
    ASSERT_TRUE(enciphered);
    code_ = *enciphered;
    auto loaded = api::Settings::loadWiring(ROTORWERK_EXAMPLES);
    ASSERT_TRUE(loaded);
    wiring_.emplace(std::move(*loaded));
  }

  Result<api::AttackOutcome> attack(const api::AttackOptions& options) const {
    return api::attack({code_}, *wiring_, options);
  }

  std::string code_;
  std::optional<api::Settings> wiring_;
};

TEST_F(AttackLibraryTest, ACallbackThatThrowsEndsTheSearchWithAFault) {
  struct Case {
    const char* name;
    bool throwsInProgress;
    bool throwsStandard;
    AttackFailure failure;
    const char* reason;
  };
  for (const Case& c : {Case{"progress", true, true, AttackFailure::kProgressFailed, "no display"},
                        {"progress, not std", true, false, AttackFailure::kProgressFailed, ""},
                        {"stop", false, true, AttackFailure::kStopFailed, "no display"},
                        {"stop, not std", false, false, AttackFailure::kStopFailed, ""}}) {
    int calls = 0;
    const auto fail = [&] {
      ++calls;
      if (c.throwsStandard) throw std::runtime_error("no display");
      throw 7;
    };
    api::AttackOptions options;
    options.threads = 2;
    if (c.throwsInProgress) {
      options.progress = [&](const api::AttackStatus&) { fail(); };
    } else {
      options.stopRequested = [&]() -> bool {
        fail();
        return false;
      };
    }
    const auto found = attack(options);
    ASSERT_FALSE(found) << c.name;
    EXPECT_EQ(found.fault().kind, FaultKind::kAttackFailed) << c.name;
    EXPECT_EQ(found.fault().item, static_cast<int>(c.failure)) << c.name;
    EXPECT_EQ(found.fault().reason, c.reason) << c.name;
    // The search stops at the first: no callback is called again after it threw.
    EXPECT_EQ(calls, 1) << c.name;
  }
  api::AttackOptions options;
  options.progress = [](const api::AttackStatus&) { throw std::runtime_error("no display"); };
  const auto found = attack(options);
  ASSERT_FALSE(found);
  EXPECT_EQ(api::describe(found.fault()),
            "the attack's progress callback failed (no display): the search stopped without a "
            "key");
}

TEST_F(AttackLibraryTest, OnlyTheLanguagesTheCommandLineNamesAreTaken) {
  api::AttackOptions options;
  // Known words run; stopped at once, nothing is scored.
  options.stopRequested = [] { return true; };
  for (const std::string language : {"en", "de", "fr", "es", "auto"}) {
    options.language = language;
    const auto found = attack(options);
    ASSERT_TRUE(found) << language << ": " << api::describe(found.fault());
    EXPECT_FALSE(found->scored) << language;
  }
  for (const std::string language : {"xx", "", "EN", "en ", "english", "zh", "Auto"}) {
    options.language = language;
    const auto found = attack(options);
    ASSERT_FALSE(found) << language;
    EXPECT_EQ(found.fault().kind, FaultKind::kAttackInput) << language;
    EXPECT_EQ(found.fault().item, static_cast<int>(AttackInput::kNoLanguage)) << language;
    EXPECT_EQ(found.fault().reason, language);
  }
  options.language = "xx";
  EXPECT_EQ(api::describe(attack(options).fault()),
            "the attack knows no language xx: en, de, fr, es or auto");
}

// A place after the crib's last @ that is no letter number is refused, not read as more
// of the crib's text, which would search for it everywhere; an @ among letters is text.
TEST_F(AttackLibraryTest, CribPlacesMistypedAreRefused) {
  api::AttackOptions options;
  options.stopRequested = [] { return true; };
  for (const std::string crib : {"meet@26", "meet@1", "me@home", "a@b@3", "meet"}) {
    options.crib = crib;
    const auto found = attack(options);
    EXPECT_TRUE(found) << crib << ": " << api::describe(found.fault());
  }
  for (const auto& [crib, place] :
       std::vector<std::pair<std::string, std::string>>{{"meet@-1", "-1"},
                                                        {"meet@ 26", " 26"},
                                                        {"meet@", ""},
                                                        {"meet@+3", "+3"},
                                                        {"meet@2.5", "2.5"},
                                                        {"me@home@-2", "-2"}}) {
    options.crib = crib;
    const auto found = attack(options);
    ASSERT_FALSE(found) << crib;
    EXPECT_EQ(found.fault().item, static_cast<int>(AttackInput::kCribPlace)) << crib;
    EXPECT_EQ(found.fault().reason, place) << crib;
  }
  options.crib = "meet@-1";
  EXPECT_EQ(api::describe(attack(options).fault()),
            "the crib's place @-1 is no letter number: TEXT@N puts it at the N-th letter, from 1");
}

}  // namespace
}  // namespace rotorwerk
