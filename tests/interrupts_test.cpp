// The signals held back while a temporary file is created and armed for removal.
#include "platform/interrupts.h"

#include <gtest/gtest.h>

#include <csignal>

namespace rotorwerk {
namespace {

volatile std::sig_atomic_t gArrived = 0;
extern "C" void countArrival(int) { gArrived = gArrived + 1; }

TEST(InterruptsHeldTest, HandledSignalsArriveOnlyOnceReleased) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU, SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF}) {
    struct sigaction counting {};
    struct sigaction previous {};
    counting.sa_handler = countArrival;
    sigemptyset(&counting.sa_mask);
    ASSERT_EQ(sigaction(signalNumber, &counting, &previous), 0);
    gArrived = 0;
    {
      const InterruptsHeld held;
      std::raise(signalNumber);
      EXPECT_EQ(gArrived, 0) << "signal " << signalNumber;
    }
    EXPECT_EQ(gArrived, 1) << "signal " << signalNumber;
    sigaction(signalNumber, &previous, nullptr);
  }
}

}  // namespace
}  // namespace rotorwerk
