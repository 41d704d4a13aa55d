// The attack measured: the first stage's rate, and how many random keys it recovers
// from English texts of a given length within a time limit.
//   attack_bench TEXT LETTERS PLUGS KEYS SECONDS [THREADS]
// TEXT is an English text; key k enciphers its letters from offset k * 997. Ten rotors
// are wired at random, three different ones stand in the slots.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "analysis/attack.h"
#include "machine/keystream.h"

namespace {

using namespace rotorwerk;

RotorMachine randomMachine(std::mt19937& random, int plugs) {
  RotorMachine machine;
  machine.rotorCount = kMaxRotors;
  for (std::size_t r = 1; r <= kMaxRotors; ++r) {
    std::iota(machine.forward[r].begin(), machine.forward[r].end(), std::int8_t{0});
    std::shuffle(machine.forward[r].begin(), machine.forward[r].end(), random);
    for (std::size_t k = 0; k < kLetters; ++k)
      machine.inverse[r][static_cast<std::size_t>(machine.forward[r][k])] =
          static_cast<std::int8_t>(k);
  }
  std::array<std::int8_t, kLetters> order{};
  std::iota(order.begin(), order.end(), std::int8_t{0});
  std::shuffle(order.begin(), order.end(), random);
  for (std::size_t k = 0; k < kLetters; k += 2) {
    machine.reflector[static_cast<std::size_t>(order[k])] = order[k + 1];
    machine.reflector[static_cast<std::size_t>(order[k + 1])] = order[k];
  }
  std::array<std::int64_t, kMaxRotors> rotors{};
  std::iota(rotors.begin(), rotors.end(), 1);
  std::shuffle(rotors.begin(), rotors.end(), random);
  machine.slotRotors = {rotors[0], rotors[1], rotors[2]};
  for (auto& offset : machine.startOffsets) offset = static_cast<std::int64_t>(random() % kLetters);
  std::shuffle(order.begin(), order.end(), random);
  for (std::size_t p = 0; p < static_cast<std::size_t>(plugs); ++p) {
    machine.plugboard[static_cast<std::size_t>(order[2 * p])] = order[2 * p + 1];
    machine.plugboard[static_cast<std::size_t>(order[2 * p + 1])] = order[2 * p];
  }
  return machine;
}

// A text file's letters, lowercase, as the machine sees them.
std::string lettersOf(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::string letters;
  for (std::istreambuf_iterator<char> it(file), end; it != end; ++it) {
    const char c = *it;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
      letters.push_back(static_cast<char>(c | 0x20));
  }
  return letters;
}

// False confidence: texts no key of the wiring deciphers into English (random letters,
// or English enciphered under another wiring), with and without check letters, English
// or Chinese by their header; none may be called found with confidence.
int falseConfidence(const std::string& english, double seconds, unsigned threads) {
  std::mt19937 random(7);
  int cases = 0;
  int falselyConfident = 0;
  for (const std::size_t letters : {56, 64, 72, 80, 100, 150, 300}) {
    for (int kind = 0; kind < 6; ++kind) {
      const bool wrongWiring = kind / 2 == 1;
      const bool chinese = kind / 2 == 2;
      const bool withCheck = kind % 2 == 1;
      const RotorMachine machine = randomMachine(random, 10);
      std::string text;
      if (wrongWiring) {
        text = english.substr(random() % (english.size() - letters), letters);
        const RotorMachine other = randomMachine(random, 10);
        Keystream(other, other.startPositions(), Kernel::kPortable).apply(text.data(), text.size());
      } else {
        for (std::size_t i = 0; i < letters; ++i)
          text.push_back(static_cast<char>('a' + random() % 26));
      }
      CipherSample sample;
      CipherMessage message;
      for (const char c : text) message.letters.push_back(static_cast<std::uint8_t>(c - 'a'));
      message.totalLetters = message.letters.size();
      if (withCheck) {
        for (int k = 0; k < 3; ++k)
          message.checkWord.push_back(static_cast<char>('a' + random() % 26));
      }
      sample.messages.push_back(message);
      sample.lettered = !chinese;
      AttackLimits limits;
      limits.threads = threads;
      limits.timeLimit = std::chrono::duration<double>(seconds);
      const auto searched = attack(machine, sample, limits);
      if (!searched) return 1;
      const AttackResult& result = *searched;
      ++cases;
      falselyConfident += result.confident ? 1 : 0;
      std::printf("case %2d: %3zu letters, %s, %s, %s: best score %.3f after %llu checked, %s\n",
                  cases, letters, wrongWiring ? "wrong wiring" : "random letters",
                  chinese ? "RW-Chn" : "RW-Eng", withCheck ? "check letters" : "no check letters",
                  result.score, static_cast<unsigned long long>(result.candidatesChecked),
                  result.confident ? "CONFIDENT" : "not confident");
      std::fflush(stdout);
    }
  }
  std::printf("false confidence: %d of %d cases called confident (limit %.0f s each)\n",
              falselyConfident, cases, seconds);
  return falselyConfident == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--false") {
    const std::string english = lettersOf(argv[2]);
    return falseConfidence(english, std::stod(argv[3]),
                           argc > 4 ? static_cast<unsigned>(std::stoul(argv[4]))
                                    : std::thread::hardware_concurrency());
  }
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: attack_bench TEXT LETTERS PLUGS KEYS SECONDS [THREADS [MESSAGES "
                 "[CRIB_LETTERS [CRIB_PLACE_KNOWN [LANGUAGE]]]]]\n"
                 "       attack_bench --false TEXT SECONDS [THREADS]\n");
    return 2;
  }
  const std::string english = lettersOf(argv[1]);
  const auto letters = static_cast<std::size_t>(std::stoul(argv[2]));
  const int plugs = std::stoi(argv[3]);
  const int keys = std::stoi(argv[4]);
  const double seconds = std::stod(argv[5]);
  const unsigned threads =
      argc > 6 ? static_cast<unsigned>(std::stoul(argv[6])) : std::thread::hardware_concurrency();
  // Several messages of LETTERS each under one key, and a crib of the first one's text.
  const int messages = argc > 7 ? std::stoi(argv[7]) : 1;
  const std::size_t cribLetters = argc > 8 ? std::stoul(argv[8]) : 0;
  const bool cribPlaced = argc > 9 ? std::stoi(argv[9]) != 0 : true;
  // The statistics to score by: en, de, fr or es.
  const std::string language = argc > 10 ? argv[10] : "en";
  const TextLanguage scoredBy = textLanguageOf(language).value_or(TextLanguage::kEnglish);
  if (english.size() <
      letters * static_cast<std::size_t>(messages) + static_cast<std::size_t>(keys) * 997) {
    std::fprintf(stderr, "attack_bench: the text is too short\n");
    return 1;
  }
  std::mt19937 random(20261209);
  int recovered = 0;
  int confident = 0;
  int withinLimit = 0;
  double rateSum = 0;
  double slowest = 0;
  for (int k = 0; k < keys; ++k) {
    const RotorMachine machine = randomMachine(random, plugs);
    CipherSample sample;
    sample.languages = {scoredBy};
    std::vector<std::string> plains;
    std::vector<std::string> codes;
    for (int m = 0; m < messages; ++m) {
      std::string text = english.substr(
          static_cast<std::size_t>(k) * 997 + static_cast<std::size_t>(m) * letters, letters);
      plains.push_back(text);
      Keystream(machine, machine.startPositions(), Kernel::kPortable)
          .apply(text.data(), text.size());
      codes.push_back(text);
      CipherMessage message;
      for (const char c : text) message.letters.push_back(static_cast<std::uint8_t>(c - 'a'));
      message.totalLetters = message.letters.size();
      sample.messages.push_back(message);
    }
    if (cribLetters > 0) {
      Crib crib;
      const std::size_t place = random() % (std::min<std::size_t>(60, letters) - cribLetters + 1);
      for (std::size_t i = 0; i < cribLetters; ++i) {
        crib.letters.push_back(static_cast<std::uint8_t>(plains[0][place + i] - 'a'));
      }
      if (cribPlaced) crib.position = place;
      sample.crib = crib;
    }
    AttackLimits limits;
    limits.threads = threads;
    limits.timeLimit = std::chrono::duration<double>(seconds);
    const auto begin = std::chrono::steady_clock::now();
    const auto searched = attack(machine, sample, limits);
    if (!searched) return 1;
    const AttackResult& result = *searched;
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    // Recovered when the whole text deciphers right: the key may differ only where it
    // makes no difference to this text.
    RotorMachine found = machine;
    for (std::size_t s = 0; s < 3; ++s) {
      found.slotRotors[s] = result.key.slots[s];
      found.startOffsets[s] = result.key.offsets[s];
    }
    found.plugboard = result.key.plugboard;
    bool right = true;
    for (int m = 0; m < messages; ++m) {
      std::string deciphered = codes[static_cast<std::size_t>(m)];
      Keystream(found, found.startPositions(), Kernel::kPortable)
          .apply(deciphered.data(), deciphered.size());
      right = right && deciphered == plains[static_cast<std::size_t>(m)];
    }
    recovered += right ? 1 : 0;
    confident += right && result.confident ? 1 : 0;
    withinLimit += right && took <= seconds ? 1 : 0;
    // A crib may find the key before the first stage runs.
    const double rate =
        result.firstStageSeconds > 0
            ? static_cast<double>(result.firstStageLetters) / result.firstStageSeconds / threads
            : 0;
    rateSum += rate;
    slowest = std::max(slowest, took);
    std::printf(
        "key %2d: %s in %6.1f s, score %.3f, %s; first stage %.0f million letters/s per thread\n",
        k + 1, right ? "recovered" : "missed   ", took, result.score,
        result.confident ? "confident" : "not confident", rate / 1e6);
    std::fflush(stdout);
  }
  std::printf(
      "%d x %zu letters (%s), %d plug pairs, crib %zu%s, %u threads: %d of %d keys recovered "
      "within %.0f s, %d of them with confidence (slowest run %.1f s); first stage %.0f million "
      "letters/s per thread\n",
      messages, letters, language.c_str(), plugs, cribLetters, cribPlaced ? "" : " (place unknown)",
      threads, withinLimit, keys, seconds, confident, slowest, rateSum / keys / 1e6);
  return 0;
}
