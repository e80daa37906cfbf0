// The three mouse handlers against the substitute host's document.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bridge/globals.h"
#include "tests/support/session.h"
#include "tool/geometry.h"
#include "tool/kernel/segment_displacer.h"

namespace {

using hostapi::ArtworkPoint;
using swtest::cornerPath;
using swtest::countCalls;
using swtest::Session;

swhost::World worldWith(std::vector<swhost::Path> paths) {
  swhost::World world;
  world.paths = std::move(paths);
  return world;
}

ArtworkPoint anchor(const Session& session, std::size_t path, std::size_t segment) {
  return session.host().document().paths().at(path).segments.at(segment).anchor;
}

bool samePaths(const std::vector<swhost::Path>& a, const std::vector<swhost::Path>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].segments.size() != b[i].segments.size()) return false;
    if (!a[i].segments.empty() && std::memcmp(a[i].segments.data(), b[i].segments.data(),
                                              a[i].segments.size() * sizeof(hostapi::PathSegment)) != 0) {
      return false;
    }
  }
  return true;
}

TEST(MouseDrag, ShiftCompressesFlattensAndMirrorsAlongTheDrag) {
  Session session(worldWith({cornerPath("p", {{50, 30}})}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  const std::vector<std::pair<float, float>> expected = {{100, 25}, {200, 0}, {300, -25}};
  for (const auto& [length, x] : expected) {
    ASSERT_EQ(session.mouse("AI Mouse Drag", length, 0, true), 0);
    const ArtworkPoint moved = anchor(session, 0, 0);
    EXPECT_NEAR(moved.x, x, 1e-4) << "drag length " << length;
    EXPECT_NEAR(moved.y, 30.0f, 1e-4) << "drag length " << length;
  }
  // Releasing Shift takes effect at the next drag event.
  ASSERT_EQ(session.mouse("AI Mouse Drag", 200, 0, false), 0);
  EXPECT_NEAR(anchor(session, 0, 0).x, 100.0f, 1e-4);
  EXPECT_EQ(gGlobals->shiftDown, 0);
}

TEST(MouseDrag, DuplicatesLieDirectlyAboveTheirOriginalsDuringTheDrag) {
  Session session(worldWith({cornerPath("a", {{1, 1}}), cornerPath("b", {{2, 2}}, false), cornerPath("c", {{3, 3}})}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  std::vector<std::string> names;
  for (const auto& path : session.host().document().paths()) names.push_back(path.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "a", "b", "c", "c"}));
  EXPECT_TRUE(session.host().annotatorActive());
  EXPECT_EQ(session.host().liveMatchingAnswers(), 0u);
  ASSERT_EQ(session.mouse("AI Mouse Up", 5, 5), 0);
  EXPECT_EQ(session.host().document().size(), 3u);
  EXPECT_FALSE(session.host().annotatorActive());
}

TEST(MouseDrag, AClickThatDoesNotMoveIsUndoneAfterTheDuplicatesAreGone) {
  const auto original = std::vector<swhost::Path>{cornerPath("p", {{50, 30}, {-20, 10}})};
  Session session(worldWith(original));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 10, 10), 0);
  const std::size_t before = session.record().calls.size();
  ASSERT_EQ(session.mouse("AI Mouse Up", 10.2f, 9.9f), 0);  // the same view pixel
  const auto calls = session.callsSince(before);
  const auto dispose = std::find(calls.begin(), calls.end(), "AI Art Suite/dispose art");
  const auto undo = std::find(calls.begin(), calls.end(), "AI Undo Suite/undo changes");
  ASSERT_NE(undo, calls.end());
  EXPECT_LT(dispose, undo);
  EXPECT_EQ(session.record().undos, 1);
  EXPECT_TRUE(samePaths(session.host().document().paths(), original));
}

TEST(MouseDrag, TheMovementTestUsesTheReleasePointNotTheLastDragPoint) {
  Session session(worldWith({cornerPath("p", {{50, 30}})}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 120, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Up", 0, 0), 0);
  EXPECT_EQ(session.record().undos, 1);

  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Up", 3, 0), 0);
  EXPECT_EQ(session.record().undos, 1);
}

TEST(MouseDrag, PathsWithoutSegmentsAreLeftAlone) {
  auto four = cornerPath("four", {{10, 0}, {20, 0}, {30, 0}, {40, 0}});
  auto empty = cornerPath("empty", {});
  Session session(worldWith({four, empty}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  const std::size_t before = session.record().calls.size();
  ASSERT_EQ(session.mouse("AI Mouse Drag", 200, 0), 0);
  const auto calls = session.callsSince(before);
  EXPECT_EQ(countCalls(calls, "AI Path Suite/segment count"), 2u);
  EXPECT_EQ(countCalls(calls, "AI Path Suite/get segments"), 1u);
  EXPECT_EQ(countCalls(calls, "AI Path Suite/set segments"), 1u);
  const auto paths = session.host().document().paths();  // four, its copy, empty, its copy
  ASSERT_EQ(paths.size(), 4u);
  EXPECT_NEAR(paths[0].segments[3].anchor.x, 80.0f, 1e-4);
  EXPECT_TRUE(paths[2].segments.empty());
}

TEST(MouseDrag, DraggingBackOntoTheStartPointChangesNothing) {
  Session session(worldWith({cornerPath("p", {{50, 30}})}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 0, 150, true), 0);
  const auto after = session.host().document().paths();
  const ToolGlobals kept = *gGlobals;
  const std::size_t before = session.record().calls.size();
  ASSERT_EQ(session.mouse("AI Mouse Drag", 0, 0, false), 0);
  EXPECT_EQ(countCalls(session.callsSince(before), "AI Path Suite/set segments"), 0u);
  EXPECT_TRUE(samePaths(session.host().document().paths(), after));
  EXPECT_EQ(std::memcmp(&kept.currentPoint, &gGlobals->currentPoint, sizeof kept.currentPoint), 0);
  EXPECT_EQ(std::memcmp(&kept.axisLine, &gGlobals->axisLine, sizeof kept.axisLine), 0);
  EXPECT_EQ(std::memcmp(&kept.guideStart, &gGlobals->guideStart, sizeof kept.guideStart), 0);
  EXPECT_EQ(gGlobals->shiftDown, 0x80);
}

TEST(MouseDrag, HostBytesPassThroughUnchanged) {
  auto path = cornerPath("p", {{50, 30}, {5, 5}});
  path.segments[0].hostData[0] = 0xDE;
  path.segments[0].hostData[3] = 0x7F;
  path.segments[1].hostData[1] = 0x01;
  Session session(worldWith({path}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 77, -13), 0);
  const auto moved = session.host().document().paths()[0];
  EXPECT_EQ(std::memcmp(moved.segments[0].hostData, path.segments[0].hostData, 4), 0);
  EXPECT_EQ(std::memcmp(moved.segments[1].hostData, path.segments[1].hostData, 4), 0);
}

TEST(MouseDrag, AFailedDuplicationKeepsTheAnnotatorOffAndSkipsTheUnmatchedTarget) {
  swhost::World world = worldWith({cornerPath("a", {{50, 30}}), cornerPath("b", {{60, 30}})});
  world.faults = {{"AI Art Suite/duplicate art", 2, 555}};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(session.mouse("AI Mouse Down", 0, 0), 555);
  EXPECT_EQ(gGlobals->targetPaths->size(), 2u);
  EXPECT_EQ(gGlobals->referencePaths->size(), 1u);
  EXPECT_FALSE(session.host().annotatorActive());
  EXPECT_EQ(session.host().liveMatchingAnswers(), 0u);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 200, 0), 0);
  const auto paths = session.host().document().paths();  // a, a's copy, b
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_NEAR(paths[0].segments[0].anchor.x, 100.0f, 1e-4);
  EXPECT_EQ(paths[2].segments[0].anchor.x, 60.0f);
  ASSERT_EQ(session.mouse("AI Mouse Up", 200, 0), 0);
  EXPECT_EQ(session.host().document().size(), 2u);
}

TEST(MouseDrag, AMouseDownWithoutSelectionLeavesTheToolIdle) {
  Session session(worldWith({cornerPath("p", {{50, 30}}, false)}));
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  EXPECT_FALSE(session.host().annotatorActive());
  const std::size_t before = session.record().calls.size();
  EXPECT_EQ(session.mouse("AI Mouse Drag", 100, 0), 0);
  EXPECT_EQ(session.mouse("AI Mouse Up", 100, 0), 0);
  for (const auto& call : session.callsSince(before)) {
    EXPECT_TRUE(call.rfind("SP Basic Suite/", 0) == 0) << call;
  }
}

TEST(MouseDrag, AFailedDragStopsAtThePathItFailedOn) {
  swhost::World world = worldWith({cornerPath("a", {{50, 30}}), cornerPath("b", {{60, 30}})});
  world.faults = {{"AI Path Suite/set segments", 2, 808}};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  EXPECT_EQ(session.mouse("AI Mouse Drag", 200, 0), 808);
  const auto paths = session.host().document().paths();
  EXPECT_NEAR(paths[0].segments[0].anchor.x, 100.0f, 1e-4);  // written before the failure
  EXPECT_EQ(paths[2].segments[0].anchor.x, 60.0f);
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
}

// A whole drag leaves the host as it found it, with every point scaled by
// (1 + factor) along the drag about the axis.
TEST(MouseDrag, AWholeDragScalesTheOriginalAndLeavesNothingBehind) {
  const auto original = std::vector<swhost::Path>{
      cornerPath("square", {{-40, -40}, {40, -40}, {40, 40}, {-40, 40}}),
      cornerPath("line", {{-75.5f, 12.25f}, {90, -3}}),
  };
  Session session(worldWith(original));
  ASSERT_EQ(session.startup(), 0);
  const ArtworkPoint start{10, 5};
  const ArtworkPoint end{70, 85};  // drag length 100: factor 0.5
  ASSERT_EQ(session.mouse("AI Mouse Down", start.x, start.y), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 30, 20, true), 0);
  ASSERT_EQ(session.draw(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", -200, 400, false), 0);
  ASSERT_EQ(session.draw(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", end.x, end.y, false), 0);
  ASSERT_EQ(session.draw(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Up", end.x, end.y), 0);
  ASSERT_EQ(session.shutdown(), 0);

  EXPECT_TRUE(session.record().violations.empty());
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;  // startup nesting only
  EXPECT_EQ(session.host().liveMatchingAnswers(), 0u);
  EXPECT_EQ(session.host().liveBlocks(), 0u);
  const auto paths = session.host().document().paths();
  ASSERT_EQ(paths.size(), original.size());  // no duplicate left

  const double length = std::hypot(end.x - start.x, end.y - start.y);
  const double ux = (end.x - start.x) / length;
  const double uy = (end.y - start.y) / length;
  const double factor = length / 200.0;
  for (std::size_t p = 0; p < paths.size(); ++p) {
    for (std::size_t s = 0; s < paths[p].segments.size(); ++s) {
      const ArtworkPoint before = original[p].segments[s].anchor;
      const ArtworkPoint after = paths[p].segments[s].anchor;
      const double t0 = (before.x - start.x) * ux + (before.y - start.y) * uy;
      const double a0 = -(before.x - start.x) * uy + (before.y - start.y) * ux;
      const double t1 = (after.x - start.x) * ux + (after.y - start.y) * uy;
      const double a1 = -(after.x - start.x) * uy + (after.y - start.y) * ux;
      const double scale = std::max({1.0, std::abs(t0), std::abs(a0)});
      EXPECT_NEAR(t1, t0 * (1 + factor), 1e-4 * scale) << paths[p].name << " segment " << s;
      EXPECT_NEAR(a1, a0, 1e-4 * scale) << paths[p].name << " segment " << s;
    }
  }
}

// The blocks of a drag's later events test each point against its path's
// largest coordinate, taken at the first event; a drag must never inherit
// the bounds of another. A first drag over a small path is left without its
// mouse-up; then a drag over points a million units out, within a tenth of a
// unit of the axis, where only the full margin of their own bound keeps the
// side of the axis the reference finds, must give the reference's bits.
TEST(MouseDrag, EachDragTakesTheBoundsOfItsOwnPaths) {
  {
    Session first(worldWith({cornerPath("small", {{1, 1}, {2, -1}, {-1, 2}, {1, 0}})}));
    ASSERT_EQ(first.startup(), 0);
    ASSERT_EQ(first.mouse("AI Mouse Down", 0, 0), 0);
    ASSERT_EQ(first.mouse("AI Mouse Drag", 150, 60), 0);
    ASSERT_EQ(first.mouse("AI Mouse Drag", 140, 70), 0);
  }
  const ArtworkPoint start{0, 0};
  const ArtworkPoint current{150, 60};
  std::vector<ArtworkPoint> points;
  for (int i = 0; i < 64; ++i) {
    const float along = 1.0e6f + 977.0f * static_cast<float>(i);
    const float off = 0.1f * static_cast<float>(i % 9 - 4) / 4.0f;
    points.push_back(
        {-along * 60.0f / 161.55f + off * 150.0f / 161.55f, along * 150.0f / 161.55f + off * 60.0f / 161.55f});
  }
  const swhost::Path far = cornerPath("far", points);
  Session second(worldWith({far}));
  ASSERT_EQ(second.startup(), 0);
  ASSERT_EQ(second.mouse("AI Mouse Down", start.x, start.y), 0);
  ASSERT_EQ(second.mouse("AI Mouse Drag", current.x, current.y), 0);
  ASSERT_EQ(second.mouse("AI Mouse Drag", current.x, current.y + 1), 0);
  ASSERT_EQ(second.mouse("AI Mouse Drag", current.x, current.y), 0);
  std::vector<hostapi::PathSegment> expected = far.segments;
  const SegmentDisplacer reference(computeStretch(start, current, false, kDragDivisor), start, current);
  reference.displaceEachPoint(expected.data(), expected.size());
  const std::vector<swhost::Path> paths = second.host().document().paths();
  ASSERT_EQ(paths.size(), 2u);  // the original, reshaped, and its untouched duplicate
  const bool firstMoved = std::memcmp(paths[0].segments.data(), far.segments.data(),
                                      far.segments.size() * sizeof(hostapi::PathSegment)) != 0;
  const auto& moved = paths[firstMoved ? 0 : 1].segments;
  ASSERT_EQ(moved.size(), expected.size());
  for (std::size_t i = 0; i < moved.size(); ++i) {
    EXPECT_EQ(std::memcmp(&moved[i], &expected[i], sizeof(hostapi::PathSegment)), 0) << "segment " << i;
  }
}

}  // namespace
