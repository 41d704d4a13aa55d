// When the attack calls a key found: the rule's boundaries, row by row.
#include <gtest/gtest.h>

#include "analysis/attack.h"

namespace rotorwerk {
namespace {

TEST(AttackEvidence, NeedsEnoughLettersAScoreOrCheckLettersFewCandidatesCouldMatch) {
  // The rule's numbers as the user is promised them, not as the header says: 100 letters
  // scoring -3.6 per letter; check letters among at most 35 candidates (a chance match
  // once in 500 at 17,576 to one); or both, at 50 letters scoring -3.4.
  const std::uint64_t few = 35;
  struct Case {
    double score;
    std::size_t letters;
    bool lettered;
    bool checks;
    std::uint64_t checked;
    Evidence evidence;
  };
  for (const Case& c : {
           Case{-3.6, 100, true, false, 100000, Evidence::kLanguage},
           {-3.61, 100, true, false, 1, Evidence::kNone},
           {-3.0, 99, true, false, 1, Evidence::kNone},
           {-3.0, 100, false, false, 1, Evidence::kNone},
           {-3.0, 99, true, true, 1, Evidence::kCheckLetters},
           {-5.0, 40, true, true, few, Evidence::kCheckLetters},
           {-5.0, 40, true, true, few + 1, Evidence::kNone},
           {-5.0, 40, false, true, few, Evidence::kCheckLetters},
           {-5.0, 40, false, true, few + 1, Evidence::kNone},
           {-3.4, 50, true, true, 100000, Evidence::kCheckLettersAndLanguage},
           {-3.4, 50, true, true, few + 1, Evidence::kCheckLettersAndLanguage},
           {-3.41, 50, true, true, 100000, Evidence::kNone},
           {-3.0, 49, true, true, 100000, Evidence::kNone},
           {-3.0, 50, false, true, 100000, Evidence::kNone},
           {-3.0, 50, true, false, 1, Evidence::kNone},
       }) {
    AttackResult result;
    result.score = c.score;
    result.checkLettersVerify = c.checks;
    result.checkWords = c.checks ? 1 : 0;
    result.candidatesChecked = c.checked;
    EXPECT_EQ(evidenceOf(result, c.lettered, c.letters), c.evidence)
        << c.score << " " << c.letters << " " << c.checked;
  }
  // Two messages' check letters make a chance match far rarer: up to 617,831 candidates
  // (17,576 squared over 500) may be checked.
  AttackResult two;
  two.score = -5.0;
  two.checkLettersVerify = true;
  two.checkWords = 2;
  two.candidatesChecked = 617831;
  EXPECT_EQ(evidenceOf(two, true, 40), Evidence::kCheckLetters);
  two.candidatesChecked = 617832;
  EXPECT_EQ(evidenceOf(two, true, 40), Evidence::kNone);
}

}  // namespace
}  // namespace rotorwerk
