// The drag never writes values the user cannot recover and never leaves
// stray copies in the document, whatever the host or the mouse reports.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using swtest::cornerPath;
using swtest::Session;

swhost::World twoSelected() {
  swhost::World world;
  world.paths = {cornerPath("a", {{50, 30}}), cornerPath("b", {{60, 30}})};
  return world;
}

std::size_t countNamed(const Session& session, const std::string& name) {
  std::size_t n = 0;
  for (const auto& path : session.host().document().paths()) n += path.name == name ? 1 : 0;
  return n;
}

TEST(DragRobustness, APositionThatIsNotFiniteChangesNothing) {
  Session session(twoSelected());
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 100, 0), 0);
  const auto before = session.host().document().paths();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  for (const auto& [x, y] : std::vector<std::pair<float, float>>{{std::nanf(""), 0}, {0, kInf}, {-kInf, kInf}}) {
    EXPECT_EQ(session.mouse("AI Mouse Drag", x, y), 0);
    EXPECT_EQ(session.host().document().paths()[0].segments[0].anchor.x, before[0].segments[0].anchor.x);
  }
  for (const auto& path : session.host().document().paths()) {
    for (const auto& segment : path.segments) EXPECT_TRUE(std::isfinite(segment.anchor.x));
  }
}

TEST(DragRobustness, AMouseDownThatIsNotFiniteLeadsToNoChange) {
  Session session(twoSelected());
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", std::nanf(""), 0), 0);
  EXPECT_EQ(session.mouse("AI Mouse Drag", 100, 0), 0);
  EXPECT_EQ(session.host().document().paths()[0].segments[0].anchor.x, 50.0f);
  EXPECT_EQ(session.host().document().paths()[2].segments[0].anchor.x, 60.0f);
}

TEST(DragRobustness, AShapeThatWouldOverflowIsNotWritten) {
  swhost::World world;
  world.paths = {cornerPath("huge", {{3e38f, 0}}), cornerPath("small", {{10, 0}})};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  EXPECT_EQ(session.mouse("AI Mouse Drag", 1e30f, 0), 0);  // factor clamped at 100
  const auto paths = session.host().document().paths();    // huge, copy, small, copy
  EXPECT_EQ(paths[0].segments[0].anchor.x, 3e38f);
  EXPECT_NEAR(paths[2].segments[0].anchor.x, 1010.0f, 1e-3);
}

TEST(DragRobustness, AFailedDisposalNeverDisposesTheSameCopyTwice) {
  swhost::World world = twoSelected();
  world.faults = {{"AI Art Suite/dispose art", 2, 919}};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  EXPECT_EQ(session.mouse("AI Mouse Up", 10, 0), 919);
  EXPECT_EQ(countNamed(session, "a"), 1u);
  EXPECT_EQ(countNamed(session, "b"), 2u);  // its copy is still in the document
  EXPECT_TRUE(session.host().annotatorActive());
  EXPECT_EQ(gGlobals->referencePaths->size(), 1u);
  EXPECT_EQ(gGlobals->targetPaths->size(), 1u);
  // A retried mouse-up disposes only what is left.
  EXPECT_EQ(session.mouse("AI Mouse Up", 10, 0), 0);
  EXPECT_EQ(countNamed(session, "b"), 1u);
  EXPECT_FALSE(session.host().annotatorActive());
  EXPECT_TRUE(session.record().violations.empty());
}

TEST(DragRobustness, AMouseDownRemovesCopiesAFailedMouseUpLeftBehind) {
  swhost::World world = twoSelected();
  world.faults = {{"AI Art Suite/dispose art", 1, 919}};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  EXPECT_EQ(session.mouse("AI Mouse Up", 10, 0), 919);
  EXPECT_EQ(session.host().document().size(), 4u);
  ASSERT_EQ(session.mouse("AI Mouse Down", 5, 5), 0);
  // Two originals and this drag's two copies; the old copies are gone.
  EXPECT_EQ(session.host().document().size(), 4u);
  ASSERT_EQ(session.mouse("AI Mouse Up", 50, 5), 0);
  EXPECT_EQ(session.host().document().size(), 2u);
  EXPECT_TRUE(session.record().violations.empty());
}

TEST(DragRobustness, AMatchingAnswerWithoutArtIsNoSelection) {
  // The host reports a count but hands back no array: nothing is captured.
  swhost::World world = twoSelected();
  world.quirks.matchingCountWithoutArray = true;
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  EXPECT_TRUE(gGlobals->referencePaths->empty());
  EXPECT_FALSE(session.host().annotatorActive());
  EXPECT_EQ(session.host().document().size(), 2u);
}

TEST(DragRobustness, InvalidateBeforeAnyMouseDownErasesNothing) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(session.send("AI Annotation", "AI Invalidate"), 0);
  ASSERT_EQ(session.record().invalidated.size(), 1u);
  const auto rect = session.record().invalidated[0];
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 0);
  EXPECT_EQ(rect.bottom, 0);
}

}  // namespace
