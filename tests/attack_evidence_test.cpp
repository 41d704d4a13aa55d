// When the attack calls a key found: the rule's boundaries, row by row.
#include <gtest/gtest.h>

#include "analysis/attack.h"

namespace rotorwerk {
namespace {

TEST(AttackEvidence, NeedsEnoughLettersAScoreOrCheckLettersFewCandidatesCouldMatch) {
  // Candidates checked at the edge of a chance match of the check letters.
  const auto few = static_cast<std::uint64_t>(kCheckChance * 17576);
  struct Case {
    double score;
    std::size_t letters;
    bool lettered;
    bool checks;
    std::uint64_t checked;
    Evidence evidence;
  };
  for (const Case& c : {
           Case{kEnglishThreshold, kShortText, true, false, 100000, Evidence::kLanguage},
           {kEnglishThreshold - 0.01, kShortText, true, false, 1, Evidence::kNone},
           {-3.0, kShortText - 1, true, false, 1, Evidence::kNone},
           {-3.0, kShortText, false, false, 1, Evidence::kNone},
           {-5.0, 40, true, true, few, Evidence::kCheckLetters},
           {-5.0, 40, false, true, few + 1, Evidence::kNone},
           {kCheckedEnglishThreshold, kShortCheckedText, true, true, 100000,
            Evidence::kCheckLettersAndLanguage},
           {kCheckedEnglishThreshold - 0.01, kShortCheckedText, true, true, 100000,
            Evidence::kNone},
           {-3.0, kShortCheckedText - 1, true, true, 100000, Evidence::kNone},
           {-3.0, kShortCheckedText, true, false, 1, Evidence::kNone},
       }) {
    AttackResult result;
    result.score = c.score;
    result.checkLettersVerify = c.checks;
    result.checkWords = c.checks ? 1 : 0;
    result.candidatesChecked = c.checked;
    EXPECT_EQ(evidenceOf(result, c.lettered, c.letters), c.evidence)
        << c.score << " " << c.letters << " " << c.checked;
  }
  // Two messages' check letters make a chance match far rarer: many more may be checked.
  AttackResult two;
  two.score = -5.0;
  two.checkLettersVerify = true;
  two.checkWords = 2;
  two.candidatesChecked = 100 * few;
  EXPECT_EQ(evidenceOf(two, true, 40), Evidence::kCheckLetters);
}

}  // namespace
}  // namespace rotorwerk
