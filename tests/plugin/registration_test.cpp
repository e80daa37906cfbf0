// The tool and the annotator registered at startup.
#include <gtest/gtest.h>

#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using swtest::countCalls;
using swtest::Session;

TEST(Registration, TheToolJoinsItsCompanionsGroup) {
  swhost::World world;
  world.tools = {"Selection", "Pen", "pkTool2"};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  const auto& tools = session.record().tools;
  ASSERT_EQ(tools.size(), 1u);
  EXPECT_EQ(tools[0].name, "slantWarper");
  EXPECT_EQ(tools[0].title, "slantWarper");
  EXPECT_EQ(tools[0].tooltip, "slantWarper");
  EXPECT_EQ(tools[0].sameGroupAs, 2);
  EXPECT_EQ(tools[0].sameToolSetAs, -2);
  EXPECT_EQ(tools[0].options, 1);
  EXPECT_EQ(tools[0].reserved, 0);
  const auto requests = std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 16050}};
  EXPECT_EQ(session.record().iconRequests, requests);
  EXPECT_NE(gGlobals->toolHandle, nullptr);
  // The annotator is registered and left inactive.
  EXPECT_NE(gGlobals->annotatorHandle, nullptr);
  EXPECT_FALSE(session.host().annotatorActive());
}

TEST(Registration, AnUnusableIconFailsStartupBeforeTheToolIsAdded) {
  swhost::World world;
  world.iconType = 7;
  Session session(world);
  EXPECT_EQ(session.startup(), 0x2169636F);
  EXPECT_TRUE(session.record().tools.empty());
  EXPECT_EQ(countCalls(session.record().calls, "AI Annotator Suite/add annotator"), 0u);
}

TEST(Registration, AMissingCompanionStopsStartupButTheIconIsStillAskedFor) {
  swhost::World world;
  world.tools = {"Selection"};
  Session session(world);
  EXPECT_NE(session.startup(), 0);
  EXPECT_TRUE(session.record().tools.empty());
  EXPECT_EQ(session.record().iconRequests.size(), 1u);
  EXPECT_EQ(countCalls(session.record().calls, "AI Annotator Suite/add annotator"), 0u);
}

TEST(Registration, TheIconsErrorWinsOverTheCompanionLookupsError) {
  swhost::World world;
  world.iconType = 7;
  world.faults = {{"AI Tool Suite/tool number from name", 1, 1234}};
  Session session(world);
  // The icon check replaces the lookup's error.
  EXPECT_EQ(session.startup(), 0x2169636F);
}

TEST(Registration, AFailedAnnotatorRegistrationIsStartupsResult) {
  for (const char* call : {"AI Annotator Suite/add annotator", "AI Annotator Suite/set active"}) {
    swhost::World world;
    world.faults = {{call, 1, 4711}};
    Session session(world);
    EXPECT_EQ(session.startup(), 4711) << call;
    EXPECT_EQ(session.record().tools.size(), 1u) << call;
  }
}

}  // namespace
