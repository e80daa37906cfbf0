// Strict mode: the first broken contract reaches the handler at once, inside
// the offending call, with the call, its suite and the message; off, the
// host records it and the run goes on.
#include <gtest/gtest.h>

#include <optional>

#include "host/host.h"
#include "tests/support/strict_mode.h"

namespace {

using namespace hostapi;

const swhost::Event kMouseDown{"AI Tool", "AI Mouse Down", ArtworkPoint{0, 0}, {}, {}};

// Acquires and releases the path suite, then counts segments through it:
// a call on a suite no longer held. Then asks for the suite again.
HostError HOSTAPI_CALL callsAReleasedSuite(const char*, const char*, void* message) {
  const auto& header = *static_cast<MessageHeader*>(message);
  const void* suite = nullptr;
  header.basic->acquireSuite(kPathSuiteName, kPathSuiteVersion, &suite);
  header.basic->releaseSuite(kPathSuiteName, kPathSuiteVersion);
  std::int16_t count = 0;
  static_cast<const PathSuite*>(suite)->segmentCount(nullptr, &count);
  header.basic->acquireSuite(kPathSuiteName, kPathSuiteVersion, &suite);
  header.basic->releaseSuite(kPathSuiteName, kPathSuiteVersion);
  return kNoError;
}

TEST(StrictMode, TheBreachReachesTheHandlerInsideTheCallThatMadeIt) {
  swhost::Host host{swhost::World{}};
  host.attach(callsAReleasedSuite);
  std::optional<swhost::Breach> seen;
  std::size_t callsWhenSeen = 0;
  host.setStrict([&](const swhost::Breach& breach) {
    ASSERT_FALSE(seen) << "a second breach: " << swtest::describe(breach);
    seen = breach;
    callsWhenSeen = host.record().calls.size();
  });
  host.deliver(kMouseDown);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->call, "AI Path Suite/segment count");
  EXPECT_EQ(seen->suite, "AI Path Suite");
  EXPECT_EQ(seen->message, "AI Tool / AI Mouse Down");
  EXPECT_EQ(seen->what, "called while the suite is not held");
  // Acquire, release, the offending call: the plug-in had not gone on.
  EXPECT_EQ(callsWhenSeen, 3u);
  EXPECT_EQ(host.record().calls.size(), 5u);
  ASSERT_EQ(host.record().violations.size(), 1u);
}

TEST(StrictMode, OffTheBreachIsRecordedAndTheRunGoesOn) {
  const swhost::StrictModeScope lenient(nullptr);
  swhost::Host host{swhost::World{}};
  EXPECT_FALSE(host.strict());
  host.attach(callsAReleasedSuite);
  EXPECT_EQ(host.deliver(kMouseDown).calls, 5u);
  ASSERT_EQ(host.record().violations.size(), 1u);
  EXPECT_EQ(host.record().violations[0].call, "AI Path Suite/segment count");
}

TEST(StrictModeDeathTest, TheTestsDefaultStopsTheProcessNamingTheBreach) {
  EXPECT_DEATH(
      {
        swhost::Host host{swhost::World{}};
        host.attach(callsAReleasedSuite);
        host.deliver(kMouseDown);
      },
      "broken host contract: AI Path Suite/segment count \\(AI Path Suite\\) while handling AI Tool / AI Mouse Down: "
      "called while the suite is not held");
}

}  // namespace
