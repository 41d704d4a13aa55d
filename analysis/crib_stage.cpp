// With a crib, before stage 1: a bombe-like test deduces the plugboard from it for
// every rotor choice, start and place, and what stands is climbed.
#include <algorithm>
#include <array>
#include <cassert>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/plug_climb.h"
#include "analysis/search.h"

namespace rotorwerk::stages {
namespace {

// A crib without a place is sought among the first message's first letters.
constexpr std::size_t kCribSpan = 60;

// The crib's letters at one place, as a bombe's menu: each crib letter links the
// cipher letter and the plain letter through the rotors at its state, both ways, since
// the machine without plugs is its own inverse there.
struct Menu {
  std::size_t place = 0;
  // For each letter, the crib letters (their index) it stands in and its partner there.
  std::array<std::vector<std::pair<std::uint8_t, std::uint8_t>>, kLetterCount> links;
  std::uint8_t most = 0;  // the letter whose partner is guessed
  // Crib letters that lead from `most` round a loop back to it, when the menu has one:
  // the guessed partner must then come back to itself through their rotors.
  std::vector<std::uint8_t> loop;
};

// A loop of the menu through which `most` is reached again: the first crib letter that
// joins two letters already joined closes one, with the path between them.
void findLoop(Menu& menu, const std::vector<std::array<std::uint8_t, 3>>& edges) {
  // A forest of the edges so far, as each letter's neighbours through crib letters.
  std::array<std::vector<std::pair<std::uint8_t, std::uint8_t>>, kLetterCount> tree;
  for (const auto& [j, u, v] : edges) {
    // The path from u to v in the forest, if there is one.
    std::array<int, kLetterCount> from;
    from.fill(-1);
    std::array<std::uint8_t, kLetterCount> via{};
    std::vector<std::uint8_t> queue = {u};
    from[u] = u;
    for (std::size_t k = 0; k < queue.size() && from[v] < 0; ++k) {
      for (const auto& [letter, index] : tree[queue[k]]) {
        if (from[letter] >= 0) continue;
        from[letter] = queue[k];
        via[letter] = index;
        queue.push_back(letter);
      }
    }
    if (u != v && from[v] >= 0) {
      std::vector<std::uint8_t> path;
      for (std::uint8_t at = v; at != u; at = static_cast<std::uint8_t>(from[at])) {
        path.push_back(via[at]);
      }
      // From u along the path to v, then back to u by this crib letter.
      menu.loop.assign(path.rbegin(), path.rend());
      menu.loop.push_back(j);
      menu.most = u;
      return;
    }
    tree[u].push_back({v, j});
    tree[v].push_back({u, j});
  }
}

Menu menuAt(const Search& search, std::size_t place) {
  const Crib& crib = *search.sample.crib;
  assert(crib.letters.size() <= kMaxCribLetters);  // each is named by a byte
  Menu menu;
  menu.place = place;
  for (std::size_t j = 0; j < crib.letters.size(); ++j) {
    const std::uint8_t cipher = search.letters[place + j];
    const std::uint8_t plain = crib.letters[j];
    menu.links[cipher].push_back({static_cast<std::uint8_t>(j), plain});
    menu.links[plain].push_back({static_cast<std::uint8_t>(j), cipher});
  }
  for (std::size_t x = 0; x < kLetterCount; ++x) {
    if (menu.links[x].size() > menu.links[menu.most].size())
      menu.most = static_cast<std::uint8_t>(x);
  }
  std::vector<std::array<std::uint8_t, 3>> edges;
  for (std::size_t j = 0; j < crib.letters.size(); ++j) {
    edges.push_back({static_cast<std::uint8_t>(j), search.letters[place + j], crib.letters[j]});
  }
  findLoop(menu, edges);
  return menu;
}

constexpr std::uint8_t kUnknown = 0xFF;

// Plugs x and y together, unless either has another partner already: false then.
bool plugTogether(Core& plugs, std::array<std::uint8_t, kLetterCount + 1>& queue,
                  std::size_t& queued, std::uint8_t x, std::uint8_t y) {
  if (plugs[x] == y) return true;
  if (plugs[x] != kUnknown || plugs[y] != kUnknown) return false;
  plugs[x] = y;
  plugs[y] = x;
  queue[queued++] = x;
  if (x != y) queue[queued++] = y;
  return true;
}

// The bombe's test of one start: for each guess of the most linked letter's partner,
// every implied partner follows, until one letter would need two. A guess that holds
// gives the plugs it deduced (letters it did not reach stay unplugged).
bool deduce(const Menu& menu, const StateTable& table, std::size_t start, Core& found) {
  const std::uint8_t* rows = table.row(start + 1 + menu.place);
  for (std::uint8_t guess = 0; guess < kLetterCount; ++guess) {
    // Round the loop first: most guesses do not come back, and that is cheap to see.
    std::uint8_t round = guess;
    for (const std::uint8_t j : menu.loop) round = rows[j * kLetterCount + round];
    if (round != guess) continue;
    Core plugs;
    plugs.fill(kUnknown);
    std::array<std::uint8_t, kLetterCount + 1> queue{};
    std::size_t queued = 0;
    bool holds = plugTogether(plugs, queue, queued, menu.most, guess);
    for (std::size_t next = 0; holds && next < queued; ++next) {
      const std::uint8_t letter = queue[next];
      for (const auto& [j, partner] : menu.links[letter]) {
        const std::uint8_t through = rows[j * kLetterCount + plugs[letter]];
        holds = plugTogether(plugs, queue, queued, partner, through);
        if (!holds) break;
      }
    }
    if (!holds) continue;
    for (std::size_t x = 0; x < kLetterCount; ++x) {
      found[x] = plugs[x] == kUnknown ? static_cast<std::uint8_t>(x) : plugs[x];
    }
    return true;
  }
  return false;
}

}  // namespace

// The places the crib may stand: where no letter of it would encipher to itself.
void findCribPlaces(Search& search) {
  const Crib& crib = *search.sample.crib;
  const std::size_t first = search.ends.front();
  const std::size_t length = crib.letters.size();
  // Without a place: anywhere it fits within the first kCribSpan letters.
  const std::size_t span = crib.position ? *crib.position + length : std::min(kCribSpan, first);
  for (std::size_t place = crib.position.value_or(0); place + length <= std::min(span, first);
       ++place) {
    bool possible = true;
    for (std::size_t j = 0; j < length; ++j) {
      possible = possible && search.letters[place + j] != crib.letters[j];
    }
    if (possible) search.cribPlaces.push_back(place);
  }
}

// The crib's stage, in place of the first two: every slot choice, start and place of
// the crib through the bombe's test.
void cribStage(Search& search) {
  std::vector<Menu> menus;
  for (const std::size_t place : search.cribPlaces) menus.push_back(menuAt(search, place));
  std::vector<std::pair<Candidate, Core>> stops;
  std::vector<std::uint8_t> plain(search.letters.size());
  const TrigramTable& ranking = trigramsOf(search.sample.languages.front());
  for (std::size_t choice; search.take(choice, search.slotChoices);) {
    const std::uint16_t code = slotCode(search, choice);
    const StateTable table(factoredFor(search.wiring, slotsOf(code)), search.longest + 1);
    for (std::size_t start = 0; start < kStates; ++start) {
      if (start % 1024 == 0 && search.done.load(std::memory_order_relaxed)) break;
      for (const Menu& menu : menus) {
        Core plugs{};
        if (deduce(menu, table, start, plugs) && pairsOf(plugs) <= kMaxPairs) {
          // Ranked by how English the text reads with only the deduced plugs: the
          // right start's reads far better than a chance stop's.
          for (std::size_t i = 0; i < search.letters.size(); ++i) {
            plain[i] = plugs[table.row(start + 1 + search.positions[i])[plugs[search.letters[i]]]];
          }
          std::int64_t score = 0;
          std::size_t begin = 0;
          for (const std::size_t end : search.ends) {
            score += trigramScore(ranking, plain.data() + begin, end - begin);
            begin = end;
          }
          stops.emplace_back(Candidate{0, static_cast<std::int32_t>(score), code,
                                       static_cast<std::uint16_t>(start)},
                             plugs);
        }
      }
    }
    ++search.finished;
  }
  const std::lock_guard lock(search.mutex);
  search.cribStops.insert(search.cribStops.end(), stops.begin(), stops.end());
}

namespace {

// The crib's letters that a plugboard deciphers right, weighed so that the climb keeps
// what the crib says unless the text strongly says otherwise.
class CribAndTrigramScore {
 public:
  CribAndTrigramScore(const TrigramTable& table, const std::vector<Core>& cores,
                      const Search& search, std::size_t place)
      : trigrams_(table, cores, search.letters, search.ends),
        cores_(cores),
        cipher_(search.letters),
        crib_(search.sample.crib->letters),
        place_(place) {}
  void accept(const Core&) {}
  std::int64_t operator()(const Core& plugs) { return trigrams_(plugs) + kWeight * matches(plugs); }
  int matches(const Core& plugs) const {
    int matched = 0;
    for (std::size_t j = 0; j < crib_.size(); ++j) {
      const std::size_t i = place_ + j;
      matched += plugs[cores_[i][plugs[cipher_[i]]]] == crib_[j] ? 1 : 0;
    }
    return matched;
  }

 private:
  static constexpr std::int64_t kWeight = 400;  // about a wrong letter's three trigrams
  TrigramScore trigrams_;
  const std::vector<Core>& cores_;
  const std::vector<std::uint8_t>& cipher_;
  const std::vector<std::uint8_t>& crib_;
  std::size_t place_;
};

}  // namespace

// What the bombe left standing, climbed from the plugs it deduced.
void cribClimbStage(Search& search) {
  for (std::size_t index; search.take(index, search.cribStops.size());) {
    const auto& [candidate, deduced] = search.cribStops[index];
    const FactoredMachine factored = factoredFor(search.wiring, slotsOf(candidate.slots));
    const auto cores = coresOf(factored, candidate.start, search.positions);
    std::size_t place = search.cribPlaces.front();
    // The place whose menu let it stand: where the deduced plugs read the crib best.
    const TrigramTable& first = trigramsOf(search.sample.languages.front());
    int best = -1;
    for (const std::size_t each : search.cribPlaces) {
      const int matched = CribAndTrigramScore(first, cores, search, each).matches(deduced);
      if (matched > best) {
        best = matched;
        place = each;
      }
    }
    std::optional<std::pair<std::int64_t, TextLanguage>> bestScore;
    Core bestPlugs = deduced;
    for (const TextLanguage language : search.sample.languages) {
      Core plugs = deduced;
      CribAndTrigramScore score(trigramsOf(language), cores, search, place);
      climb(score, plugs, search.done);
      TrigramScore trigrams(trigramsOf(language), cores, search.letters, search.ends);
      const std::int64_t value = trigrams(plugs);
      if (!bestScore || value > bestScore->first) {
        bestScore = {value, language};
        bestPlugs = plugs;
      }
    }
    offer(search, candidate, bestPlugs, bestScore->first, bestScore->second);
    ++search.finished;
  }
}

}  // namespace rotorwerk::stages
