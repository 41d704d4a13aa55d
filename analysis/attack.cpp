// The attack: its stages, in the order they run, on every thread the system grants.
// With a crib, a bombe-like stage first deduces the plugboard from it for every rotor
// choice, start and place, and climbs what stands. Then, or without one: an exhaustive
// first stage over rotor choices and starts without plugs, scored by coincidences; its
// best starts climbed at once (stage 2), on coincidences, then on trigrams; then a sweep
// (stage 3) of every start of every slot choice with plug pairs added greedily on
// coincidences, whose best few per slot choice are climbed likewise; then, while time
// remains, the rest of the first stage's best (stage 4). Each result is judged by
// evidenceOf as it comes.
#include "analysis/attack.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/search.h"

namespace rotorwerk {
namespace {

using namespace stages;

// What a callback or an allocation that failed says, once the search is stopped.
Fault failureOf(AttackFailure why, std::string reason = {}) {
  return Fault{FaultKind::kAttackFailed, {}, static_cast<int>(why), 0, std::move(reason)};
}

// A failure stops the search; the first one is what the call gives.
void failed(Search& search, Fault fault) {
  const std::lock_guard lock(search.mutex);
  if (!search.failure) search.failure = std::move(fault);
  search.done = true;
}

// Work whose memory runs out ends the search with a fault instead of ending the
// program from a thread.
template <class Work>
void guarded(Search& search, const Work& work) {
  try {
    work();
  } catch (const std::bad_alloc&) {
    failed(search, failureOf(AttackFailure::kNoMemory));
  }
}

// Calls one of the caller's callbacks; an exception it throws ends the search with the
// fault `why`, not the program. Memory that runs out is told as such, further up.
template <typename Call>
void guarded(Search& search, AttackFailure why, Call call) {
  try {
    call();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& failure) {
    failed(search, failureOf(why, failure.what()));
  } catch (...) {
    failed(search, failureOf(why));
  }
}

// A stop callback that throws asks to stop as well.
bool stopAsked(Search& search, const AttackLimits& limits) {
  if (!limits.stopRequested) return false;
  bool stop = true;
  guarded(search, AttackFailure::kStopFailed, [&] { stop = limits.stopRequested(); });
  return stop;
}

void tell(Search& search, const AttackLimits& limits, const AttackProgress& progress) {
  guarded(search, AttackFailure::kProgressFailed, [&] { limits.progress(progress); });
}

// The stage on the calling thread, its limits watched between its items.
void runHere(Search& search, void (*work)(Search&), const std::function<void()>& watch) {
  auto last = Clock::now() - std::chrono::seconds(1);
  search.watch = [&] {
    if (Clock::now() - last < std::chrono::milliseconds(100)) return;
    last = Clock::now();
    watch();
  };
  guarded(search, [&] { work(search); });
  search.watch = nullptr;
}

// The stage on `threads` threads while this one watches; on as many as can start, and
// here when none can (a browser's page has one thread, a system may grant no more).
void runStage(Search& search, void (*work)(Search&), unsigned threads,
              const std::function<void()>& watch) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  (void)threads;
  runHere(search, work, watch);
#else
  std::vector<std::thread> workers;
  guarded(search, [&] { workers.reserve(threads); });
  for (unsigned t = 0; t < threads && workers.capacity() == threads; ++t) {
    try {
      workers.emplace_back([&search, work] { guarded(search, [&] { work(search); }); });
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  if (workers.empty()) {
    if (!search.done) runHere(search, work, watch);
    return;
  }
  while (search.finished < search.stageItems && !search.done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    watch();
  }
  for (auto& worker : workers) worker.join();
#endif
}

// The letters searched on: each message's first, up to kAttackLetters in all.
void takeLetters(Search& search) {
  for (const CipherMessage& message : search.sample.messages) {
    const std::size_t taken =
        std::min(message.letters.size(), kAttackLetters - search.letters.size());
    for (std::size_t i = 0; i < taken; ++i) {
      search.letters.push_back(message.letters[i]);
      search.positions.push_back(static_cast<std::uint32_t>(i));
    }
    search.longest = std::max(search.longest, static_cast<std::uint32_t>(taken));
    if (taken > 0) search.ends.push_back(search.letters.size());
    search.checkWords += message.checkWord.empty() ? 0 : 1;
  }
  const auto rotors = at(static_cast<int>(search.wiring.rotorCount));
  search.slotChoices = rotors * rotors * rotors;
}

// The whole search, its stages in order.
Result<AttackResult> searchAll(const RotorMachine& wiring, const CipherSample& sample,
                               const AttackLimits& limits) {
  Search search(wiring, sample);
  takeLetters(search);
  const auto begin = Clock::now();
  // More threads than cores only take turns, and each stops later.
  const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
  const unsigned threads = std::clamp(limits.threads, 1U, cores);
  // Runs one stage on every thread, telling its progress, until it is through, found
  // what it sought, runs out of time or is asked to stop.
  const auto run = [&](int stage, void (*work)(Search&), std::size_t total) {
    search.next = 0;
    search.finished = 0;
    search.stageItems = total;
    const auto watch = [&] {
      const std::chrono::duration<double> used = Clock::now() - begin;
      if (used >= limits.timeLimit || stopAsked(search, limits)) search.done = true;
      if (limits.progress) {
        AttackProgress progress;
        progress.stage = stage;
        progress.share =
            total == 0 ? 1 : static_cast<double>(search.finished) / static_cast<double>(total);
        {
          const std::lock_guard lock(search.mutex);
          progress.best = search.best.score;
        }
        progress.secondsLeft = std::max(0.0, (limits.timeLimit - used).count());
        tell(search, limits, progress);
      }
    };
    runStage(search, work, threads, [&] { guarded(search, watch); });
  };
  if (sample.crib && !search.ends.empty()) {
    findCribPlaces(search);
    if (!search.cribPlaces.empty()) {
      run(1, cribStage, search.slotChoices);
      std::stable_sort(
          search.cribStops.begin(), search.cribStops.end(),
          [](const auto& x, const auto& y) { return x.first.climbed > y.first.climbed; });
      if (!search.done) run(2, cribClimbStage, search.cribStops.size());
    }
  }
  if (!search.done) run(1, firstStage, search.slotChoices);
  const bool firstDone = !search.done;
  const std::chrono::duration<double> firstStageTime = Clock::now() - begin;
  const std::uint64_t firstStageLetters =
      std::uint64_t{search.finished} * kStates * search.letters.size();
  keepFirstStageBest(search);
  if (firstDone) run(2, secondStage, search.climbing);
  if (firstDone && !search.done) {
    orderSweep(search);
    run(3, sweepStage, search.sweepOrder.size());
  }
  if (firstDone && !search.done) {
    groupTheRest(search);
    run(4, rankStage, search.candidates.size());
    orderTheRanked(search);
    if (!search.done) run(4, secondStage, search.climbing);
  }
  if (search.failure) return *search.failure;
  AttackResult result = search.best;
  result.firstStageLetters = firstStageLetters;
  result.firstStageSeconds = firstStageTime.count();
  result.searched = result.confident || !search.done;
  return result;
}

}  // namespace

Result<AttackResult> attack(const RotorMachine& wiring, const CipherSample& sample,
                            const AttackLimits& limits) {
  // No thread runs once the search returns or throws: what it could not allocate ends
  // it here.
  try {
    return searchAll(wiring, sample, limits);
  } catch (const std::bad_alloc&) {
    return failureOf(AttackFailure::kNoMemory);
  }
}

}  // namespace rotorwerk
