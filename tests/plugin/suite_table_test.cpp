// Acquiring and releasing the sixteen suites around a handler.
#include <gtest/gtest.h>

#include "bridge/suites.h"
#include "host/suite_tables.h"
#include "tests/support/session.h"

namespace {

using swtest::Session;

bool allSlotsEmpty() {
  for (const SuiteImport& row : kSuiteTable) {
    if (*row.slot != nullptr) return false;
  }
  return true;
}

TEST(SuiteTable, RowsAreTheSixteenSuitesInOrder) {
  const std::vector<std::pair<std::string, int>> expected = {
      {"SP Blocks Suite", 2},         {"SP Access Suite", 3},
      {"AI Art Suite", 15},           {"AI Tool Suite", 11},
      {"AI Menu Suite", 9},           {"AI Unicode String Suite", 6},
      {"AI Path Suite", 9},           {"AI Path Style Suite", 11},
      {"AI Matching Art Suite", 5},   {"ADM Basic Suite", 10},
      {"ADM Icon Suite", 1},          {"AI MdMemory Suite", 1},
      {"AI Annotator Suite", 4},      {"AI Annotator Drawer Suite", 2},
      {"AI Document View Suite", 10}, {"AI Undo Suite", 5}};
  ASSERT_EQ(std::size(kSuiteTable), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(kSuiteTable[i].name, expected[i].first);
    EXPECT_EQ(kSuiteTable[i].version, expected[i].second);
    // The substitute host offers exactly these.
    EXPECT_NE(swhost::findSuite(kSuiteTable[i].name, kSuiteTable[i].version), nullptr);
  }
}

TEST(SuiteTable, AcquireGoesOnPastFailuresAndReturnsTheFirst) {
  swhost::World world;
  world.faults = {{"SP Basic Suite/acquire suite AI Tool Suite", 0, 303},
                  {"SP Basic Suite/acquire suite ADM Basic Suite", 0, 909}};
  Session session(world);
  EXPECT_EQ(acquireSuites(&swhost::kBasicSuite), 303);
  EXPECT_EQ(session.record().calls.size(), 16u);
  EXPECT_EQ(sTool, nullptr);
  EXPECT_EQ(sAdmBasic, nullptr);
  EXPECT_NE(sUndo, nullptr);
  EXPECT_EQ(releaseSuites(&swhost::kBasicSuite), 0);
  EXPECT_EQ(session.record().calls.size(), 16u + 14u);
  EXPECT_TRUE(allSlotsEmpty());
}

TEST(SuiteTable, AFailedReleaseKeepsItsSlotAndTheFirstErrorIsReturned) {
  swhost::World world;
  world.faults = {{"SP Basic Suite/release suite AI Path Suite", 1, 61},
                  {"SP Basic Suite/release suite AI Undo Suite", 1, 62}};
  Session session(world);
  ASSERT_EQ(acquireSuites(&swhost::kBasicSuite), 0);
  EXPECT_EQ(releaseSuites(&swhost::kBasicSuite), 61);
  EXPECT_NE(sPath, nullptr);
  EXPECT_NE(sUndo, nullptr);
  EXPECT_EQ(sArt, nullptr);
  // Only the two kept slots are asked for again, and now they go.
  const std::size_t before = session.record().calls.size();
  EXPECT_EQ(releaseSuites(&swhost::kBasicSuite), 0);
  EXPECT_EQ(session.callsSince(before), (std::vector<std::string>{"SP Basic Suite/release suite AI Path Suite",
                                                                  "SP Basic Suite/release suite AI Undo Suite"}));
  EXPECT_TRUE(allSlotsEmpty());
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 0) << suite;
}

TEST(SuiteTable, ASecondReleaseCallsTheHostForNothing) {
  Session session;
  ASSERT_EQ(acquireSuites(&swhost::kBasicSuite), 0);
  ASSERT_EQ(releaseSuites(&swhost::kBasicSuite), 0);
  const std::size_t before = session.record().calls.size();
  EXPECT_EQ(releaseSuites(&swhost::kBasicSuite), 0);
  EXPECT_EQ(session.record().calls.size(), before);
  EXPECT_TRUE(session.record().violations.empty());
}

}  // namespace
