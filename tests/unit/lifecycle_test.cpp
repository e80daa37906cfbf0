// Startup, unload, reload and shutdown of the plug-in against the host's
// accounting.
#include <gtest/gtest.h>

#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using swtest::Session;

TEST(Lifecycle, StartupAndShutdownLeaveNothingHeld) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  ASSERT_NE(gGlobals, nullptr);
  EXPECT_EQ(session.host().pluginGlobals(), gGlobals);
  EXPECT_FLOAT_EQ(gGlobals->dragDivisor, 200.0f);
  EXPECT_EQ(session.host().liveBlocks(), 1u);
  EXPECT_EQ(session.shutdown(), 0);
  EXPECT_EQ(gGlobals, nullptr);
  EXPECT_EQ(session.host().pluginGlobals(), nullptr);
  EXPECT_EQ(session.host().liveBlocks(), 0u);
  EXPECT_TRUE(session.record().violations.empty());
}

}  // namespace
