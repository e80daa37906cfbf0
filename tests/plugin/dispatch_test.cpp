// Which messages reach which handler, and what each costs in host calls.
#include <gtest/gtest.h>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using swtest::countCalls;
using swtest::Session;

constexpr const char* kCompare = "SP Basic Suite/compare strings";

// Every call in the list is a string comparison: the plug-in asked the host
// for nothing else.
bool onlyComparisons(const std::vector<std::string>& calls) { return countCalls(calls, kCompare) == calls.size(); }

std::size_t acquiresOf(const std::vector<std::string>& calls) {
  std::size_t n = 0;
  for (const auto& call : calls) n += call.rfind("SP Basic Suite/acquire suite ", 0) == 0 ? 1 : 0;
  return n;
}

std::size_t releasesOf(const std::vector<std::string>& calls) {
  std::size_t n = 0;
  for (const auto& call : calls) n += call.rfind("SP Basic Suite/release suite ", 0) == 0 ? 1 : 0;
  return n;
}

TEST(Dispatch, CallersWithoutAMatchingSelectorReturnZeroWithoutAcquiring) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  for (const char* caller : {"SP Access", "AI Menu", "AI Tool", "AI Annotation"}) {
    const std::size_t before = session.record().calls.size();
    EXPECT_EQ(session.send(caller, "Startup"), 0) << caller;
    EXPECT_TRUE(onlyComparisons(session.callsSince(before))) << caller;
  }
}

TEST(Dispatch, StartupNestsTheSuiteTable) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  const auto calls = session.callsSince(0);
  // The dispatcher acquires all sixteen, onStartup acquires them again and
  // releases them; the dispatcher's own release then finds the slots empty.
  // The about item's helper holds a menu suite of its own for its one call.
  EXPECT_EQ(acquiresOf(calls), 32u + 1u);
  EXPECT_EQ(releasesOf(calls), 16u + 1u);
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
  EXPECT_EQ(calls.back(), "SP Basic Suite/release suite AI Undo Suite");
}

TEST(Dispatch, UnknownMessagesCostOneAcquireAndReleaseOfEverySuite) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  for (const auto& [caller, selector] : std::vector<std::pair<std::string, std::string>>{
           {"AI Notifier", "Notify"}, {"SP Interface", "About"}, {"Some Caller", "Some Selector"}}) {
    const std::size_t before = session.record().calls.size();
    EXPECT_EQ(session.send(caller, selector), 0);
    const auto calls = session.callsSince(before);
    EXPECT_EQ(acquiresOf(calls), 16u) << caller;
    EXPECT_EQ(releasesOf(calls), 16u) << caller;
  }
}

TEST(Dispatch, UnknownMessageReturnsTheFirstAcquireErrorAfterAskingForEveryRow) {
  swhost::World world;
  world.faults = {{"SP Basic Suite/acquire suite AI Tool Suite", 0, 3333},
                  {"SP Basic Suite/acquire suite ADM Basic Suite", 0, 9999}};
  Session session(world);
  const std::size_t before = session.record().calls.size();
  EXPECT_EQ(session.send("AI Notifier", "Notify"), 3333);
  const auto calls = session.callsSince(before);
  EXPECT_EQ(acquiresOf(calls), 16u);
  // Only the fourteen suites that were handed out are given back.
  EXPECT_EQ(releasesOf(calls), 14u);
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 0) << suite;
}

TEST(Dispatch, FailedAcquireAtStartupSkipsTheStartupHandler) {
  swhost::World world;
  world.faults = {{"SP Basic Suite/acquire suite AI Path Suite", 1, 77}};
  Session session(world);
  EXPECT_EQ(session.startup(), 77);
  EXPECT_EQ(gGlobals, nullptr);
  EXPECT_EQ(session.host().liveBlocks(), 0u);
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 0) << suite;
}

TEST(Dispatch, MessagesBeforeStartupAreRefusedWithoutHostCalls) {
  Session session;
  for (const char* selector : {"AI Mouse Down", "AI Mouse Drag", "AI Mouse Up"}) {
    const std::size_t before = session.record().calls.size();
    EXPECT_EQ(session.mouse(selector, 1, 2), kNotStartedError) << selector;
    EXPECT_TRUE(onlyComparisons(session.callsSince(before))) << selector;
  }
  EXPECT_EQ(session.draw(), kNotStartedError);
  EXPECT_EQ(session.send("AI Annotation", "AI Invalidate"), kNotStartedError);
  EXPECT_EQ(session.menu("slantWarper..."), kNotStartedError);
  EXPECT_TRUE(onlyComparisons(session.callsSince(0)));
  // The cursor needs nothing from the record.
  EXPECT_EQ(session.send("AI Tool", "AI Track Cursor"), 0);
  EXPECT_TRUE(session.record().violations.empty());
}

TEST(Dispatch, UnreadableMessagesAreRefused) {
  hostapi::MessageHeader header{nullptr, nullptr, nullptr};
  EXPECT_EQ(PluginMain("SP Interface", "Startup", &header), kBadMessageError);
  EXPECT_EQ(PluginMain("SP Interface", "Startup", nullptr), kBadMessageError);
  EXPECT_EQ(PluginMain(nullptr, "Startup", &header), kBadMessageError);
  EXPECT_EQ(PluginMain("SP Interface", nullptr, &header), kBadMessageError);
}

}  // namespace
