// Startup, unload, reload and shutdown of the plug-in against the host's
// accounting.
#include <gtest/gtest.h>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using swtest::Session;

TEST(Lifecycle, StartupAndShutdownLeaveNothingHeld) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  ASSERT_NE(gGlobals, nullptr);
  EXPECT_EQ(session.host().pluginGlobals(), gGlobals);
  EXPECT_EQ(gGlobals->dragDivisor, 200.0f);
  ASSERT_NE(gGlobals->targetPaths, nullptr);
  ASSERT_NE(gGlobals->referencePaths, nullptr);
  EXPECT_TRUE(gGlobals->targetPaths->empty());
  EXPECT_EQ(session.host().liveBlocks(), 1u);

  EXPECT_EQ(session.shutdown(), 0);
  EXPECT_EQ(gGlobals, nullptr);
  EXPECT_EQ(session.host().pluginGlobals(), nullptr);
  EXPECT_EQ(session.host().liveBlocks(), 0u);
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
  EXPECT_TRUE(session.record().violations.empty());
}

TEST(Lifecycle, ASecondStartupFreesTheListsOfTheFirstRecord) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  ToolGlobals* first = gGlobals;
  ASSERT_EQ(session.send("SP Interface", "Startup"), 0);
  EXPECT_NE(gGlobals, first);
  EXPECT_EQ(first->targetPaths, nullptr);
  EXPECT_EQ(first->referencePaths, nullptr);
  EXPECT_EQ(first->undisposedCopies, nullptr);
  EXPECT_NE(gGlobals->undisposedCopies, nullptr);
}

TEST(Lifecycle, ShutdownWithoutStartupCallsTheHostForNothing) {
  Session session;
  EXPECT_EQ(session.shutdown(), 0);
  for (const auto& call : session.record().calls) EXPECT_EQ(call, "SP Basic Suite/compare strings");
}

TEST(Lifecycle, UnloadHandsTheSameBlockBackEveryTime) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  ToolGlobals* block = gGlobals;
  EXPECT_EQ(session.send("SP Access", "Unload"), 0);
  EXPECT_EQ(session.host().pluginGlobals(), block);
  EXPECT_EQ(block->targetPaths, nullptr);
  EXPECT_EQ(block->referencePaths, nullptr);
  EXPECT_EQ(session.send("SP Access", "Unload"), 0);
  EXPECT_EQ(session.host().pluginGlobals(), block);
  EXPECT_EQ(block->targetPaths, nullptr);
  EXPECT_EQ(block->referencePaths, nullptr);
}

TEST(Lifecycle, ReloadAfterUnloadRecreatesEmptyListsAndKeepsTheRest) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  ToolGlobals* block = gGlobals;
  const auto about = block->aboutMenuItem;
  const auto annotator = block->annotatorHandle;
  ASSERT_EQ(session.send("SP Access", "Unload"), 0);
  gGlobals = nullptr;  // the library is gone: its module pointer starts over
  ASSERT_EQ(session.send("SP Access", "Reload"), 0);
  ASSERT_EQ(gGlobals, block);
  ASSERT_NE(block->targetPaths, nullptr);
  ASSERT_NE(block->referencePaths, nullptr);
  EXPECT_TRUE(block->targetPaths->empty());
  EXPECT_TRUE(block->referencePaths->empty());
  EXPECT_EQ(block->dragDivisor, 200.0f);
  EXPECT_EQ(block->aboutMenuItem, about);
  EXPECT_EQ(block->annotatorHandle, annotator);
  // Reload acquires nothing.
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
}

TEST(Lifecycle, ReloadWithoutABlockLeavesThePlugInUnstarted) {
  Session session;
  EXPECT_EQ(session.send("SP Access", "Reload"), 0);
  EXPECT_EQ(gGlobals, nullptr);
  EXPECT_EQ(session.mouse("AI Mouse Down", 0, 0), kNotStartedError);
}

TEST(Lifecycle, AFailedAllocationLeavesNoGlobalsAndStopsStartup) {
  swhost::World world;
  world.faults = {{"SP Basic Suite/allocate block", 1, 4242}};
  Session session(world);
  EXPECT_EQ(session.startup(), 4242);
  EXPECT_EQ(gGlobals, nullptr);
  EXPECT_EQ(session.host().pluginGlobals(), nullptr);
  EXPECT_TRUE(session.record().menuItems.empty());
  EXPECT_TRUE(session.record().tools.empty());
  // Only the startup nesting remains: the dispatcher's slots were emptied by
  // the inner release.
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
}

TEST(Lifecycle, MessagesAfterUnloadAreRefused) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.send("SP Access", "Unload"), 0);
  EXPECT_EQ(session.mouse("AI Mouse Down", 0, 0), kNotStartedError);
  EXPECT_TRUE(session.record().violations.empty());
}

}  // namespace
