// What the annotator draws and invalidates during a drag, and the cursor.
#include <gtest/gtest.h>

#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using hostapi::ViewRect;
using swtest::cornerPath;
using swtest::Session;

bool operator==(const ViewRect& a, const ViewRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

swhost::World selectedSquare() {
  swhost::World world;
  world.paths = {cornerPath("square", {{0, 0}, {10, 0}, {10, 10}})};
  return world;
}

TEST(DragFeedback, StoresTheBoundsOfTheFourPointsWithAMargin) {
  Session session(selectedSquare());  // view 0: x right, y down, one pixel per unit
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 10, -20), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 110, -20), 0);
  ASSERT_EQ(session.draw(), 0);
  // Lines (10, 20)-(110, 20) and, dashed, (10, -80)-(10, 120).
  const auto& drawing = session.record().drawing;
  ASSERT_EQ(drawing.size(), 2u);
  EXPECT_EQ(drawing[0].from.x, 10);
  EXPECT_EQ(drawing[0].from.y, 20);
  EXPECT_EQ(drawing[0].to.x, 110);
  EXPECT_EQ(drawing[1].from.y, -80);
  EXPECT_EQ(drawing[1].to.y, 120);
  EXPECT_TRUE(gGlobals->feedbackRect == (ViewRect{5, -85, 115, 125}));
  // The next draw and the mouse-up erase exactly that rectangle first.
  ASSERT_EQ(session.draw(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Up", 110, -20), 0);
  const auto& invalidated = session.record().invalidated;
  ASSERT_EQ(invalidated.size(), 3u);
  EXPECT_TRUE(invalidated[0] == (ViewRect{0, 0, 0, 0}));
  EXPECT_TRUE(invalidated[1] == (ViewRect{5, -85, 115, 125}));
  EXPECT_TRUE(invalidated[2] == (ViewRect{5, -85, 115, 125}));
}

TEST(DragFeedback, ColourFollowsShiftAndOnlyTheGuideIsDashed) {
  Session session(selectedSquare());
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 50, 50), 0);
  ASSERT_EQ(session.draw(), 0);
  auto drawing = session.record().drawing;
  ASSERT_EQ(drawing.size(), 2u);
  for (const auto& line : drawing) {
    EXPECT_EQ(line.color.red, 0xFFFF);
    EXPECT_EQ(line.color.green, 0);
    EXPECT_EQ(line.color.blue, 0);
  }
  EXPECT_TRUE(drawing[0].dash.empty());
  EXPECT_EQ(drawing[1].dash, std::vector<float>{4.0f});

  ASSERT_EQ(session.mouse("AI Mouse Drag", 60, 50, true), 0);
  ASSERT_EQ(session.draw(), 0);
  drawing = session.record().drawing;
  ASSERT_EQ(drawing.size(), 2u);
  for (const auto& line : drawing) {
    EXPECT_EQ(line.color.red, 0x3333);
    EXPECT_EQ(line.color.green, 0x9999);
    EXPECT_EQ(line.color.blue, 0xFFFF);
  }
}

TEST(DragFeedback, ADrawRightAfterMouseDownMarksTheStartPoint) {
  Session session(selectedSquare());
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 30, -40), 0);
  ASSERT_EQ(session.draw(), 0);
  const auto& drawing = session.record().drawing;
  ASSERT_EQ(drawing.size(), 2u);
  for (const auto& line : drawing) {
    EXPECT_EQ(line.from.x, 30);
    EXPECT_EQ(line.from.y, 40);
    EXPECT_EQ(line.to.x, 30);
    EXPECT_EQ(line.to.y, 40);
  }
  EXPECT_TRUE(gGlobals->feedbackRect == (ViewRect{25, 35, 35, 45}));
}

TEST(DragFeedback, AFailedConversionDrawsNothingAndKeepsTheOldRectangle) {
  swhost::World world = selectedSquare();
  world.faults = {{"AI Document View Suite/artwork to view point", 6, 321}};  // p2 of the second draw
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 100, 0), 0);
  ASSERT_EQ(session.draw(), 0);
  const ViewRect stored = gGlobals->feedbackRect;
  EXPECT_EQ(session.draw(), 321);
  EXPECT_TRUE(session.record().drawing.empty());
  EXPECT_TRUE(gGlobals->feedbackRect == stored);
  EXPECT_TRUE(session.record().invalidated.back() == stored);  // already erased
}

TEST(DragFeedback, InvalidateErasesTheStoredRectangle) {
  Session session(selectedSquare());
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.draw(), 0);
  ASSERT_EQ(session.send("AI Annotation", "AI Invalidate"), 0);
  EXPECT_TRUE(session.record().invalidated.back() == (ViewRect{-5, -5, 5, 5}));
}

TEST(DragFeedback, TrackCursorShowsTheToolCursor) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(session.send("AI Tool", "AI Track Cursor"), 0);
  EXPECT_EQ(session.record().cursors, std::vector<std::int32_t>{16001});
}

TEST(DragFeedback, ACursorFailureIsNotTheHandlersResult) {
  swhost::World world;
  world.faults = {{"ADM Basic Suite/set cursor", 0, 99}};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(session.send("AI Tool", "AI Track Cursor"), 0);
}

}  // namespace
