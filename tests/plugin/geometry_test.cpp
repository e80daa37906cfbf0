// The stretch geometry: lines, axis, guide, factor and the displacement of
// single points, as tables of {input, expected, tolerance}, plus the scaling
// property over random drags.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "tool/geometry.h"

namespace {

using hostapi::ArtworkPoint;

std::uint32_t bitsOf(float f) { return std::bit_cast<std::uint32_t>(f); }

ArtworkPoint displaced(ArtworkPoint point, const Stretch& s, ArtworkPoint start, ArtworkPoint current) {
  displacePoint(point, s.factor, s.cosTheta, s.sinTheta, s.axisLine, start, current);
  return point;
}

#define EXPECT_POINT_NEAR(actual, ex, ey, tol) \
  do {                                         \
    EXPECT_NEAR((actual).x, ex, tol);          \
    EXPECT_NEAR((actual).y, ey, tol);          \
  } while (false)

TEST(Geometry, LineThroughPoints) {
  const float r = 0.70710677f;
  struct Case {
    float x1, y1, x2, y2;
    float a, b, c, tolerance;
  } cases[] = {
      {3, 1, 3, 7, 1, 0, -3, 0},                                 // vertical: exact
      {1, 4, 9, 4, 0, 1, -4, 0},                                 // horizontal: exact
      {0, 0, 100, 100, r, -r, 0, 1e-7f},                         // slope 1
      {0, 1, 2, 5, 0.8944272f, -0.4472136f, 0.4472136f, 1e-7f},  // slope 2, c = y1 / h
      {10, 0, 0, 10, -r, -r, r * 10, 2e-6f},                     // slope -1
      {0, 0, 1e-20f, 1, 1, -1e-20f, 0, 1e-7f},                   // squared slope overflows
      {0, 0, 1e-45f, 1, 1, 0, 0, 1e-7f},                         // slope itself overflows
      {0, 2, -1e-20f, 3, -1, -1e-20f, 2e-20f, 1e-7f},            // the same, falling
  };
  for (const Case& k : cases) {
    const LineCoefficients line = lineThroughPoints(k.x1, k.y1, k.x2, k.y2);
    SCOPED_TRACE(testing::Message() << "(" << k.x1 << ", " << k.y1 << ") (" << k.x2 << ", " << k.y2 << ")");
    EXPECT_NEAR(line.a, k.a, k.tolerance);
    EXPECT_NEAR(line.b, k.b, k.tolerance);
    EXPECT_NEAR(line.c, k.c, k.tolerance);
    // Both points on the line, and the line normalised.
    EXPECT_NEAR(line.a * k.x1 + line.b * k.y1 + line.c, 0, 1e-5);
    EXPECT_NEAR(line.a * k.x2 + line.b * k.y2 + line.c, 0, 1e-5);
    EXPECT_NEAR(line.a * line.a + line.b * line.b, 1, 3e-7);
  }
}

TEST(Geometry, AxisOfVerticalAndHorizontalDragsKeepsTheirSignedZeros) {
  // Up or down: the horizontal line through the start, (-0, 1, -start.y).
  for (const ArtworkPoint current : {ArtworkPoint{5, 20}, ArtworkPoint{5, -3}}) {
    const Stretch s = computeStretch({5, 7}, current, false, 200);
    EXPECT_EQ(bitsOf(s.axisLine.a), bitsOf(-0.0f));
    EXPECT_EQ(s.axisLine.b, 1.0f);
    EXPECT_EQ(s.axisLine.c, -7.0f);
    EXPECT_EQ(s.theta, current.y > 7 ? 1.5707964f : -1.5707964f);
  }
  // Sideways: the vertical line through the start, (-1, +0, start.x).
  for (const ArtworkPoint current : {ArtworkPoint{9, 7}, ArtworkPoint{-9, 7}}) {
    const Stretch s = computeStretch({5, 7}, current, false, 200);
    EXPECT_EQ(s.axisLine.a, -1.0f);
    EXPECT_EQ(bitsOf(s.axisLine.b), bitsOf(0.0f));
    EXPECT_EQ(s.axisLine.c, 5.0f);
    EXPECT_EQ(bitsOf(s.theta), bitsOf(current.x > 5 ? 0.0f : 3.1415927f));
  }
}

TEST(Geometry, ComputeStretch) {
  const float r = 0.70710677f;
  struct Case {
    ArtworkPoint start, current;
    bool shift;
    float theta, axisA, axisB, axisC, factor;
    ArtworkPoint guideStart, guideEnd;
    float tolerance;
  } cases[] = {
      {{0, 0}, {200, 0}, false, 0, -1, 0, 0, 1, {0, 100}, {0, -100}, 1e-5f},
      {{0, 0}, {200, 0}, true, 0, -1, 0, 0, -1, {0, 100}, {0, -100}, 1e-5f},
      {{0, 0}, {100, 100}, false, 0.7853982f, r, r, 0, r, {-70.71068f, 70.71068f}, {70.71068f, -70.71068f}, 1e-5f},
      {{10, 20}, {10, 120}, true, 1.5707964f, -0.0f, 1, -20, -0.5f, {-90, 20}, {110, 20}, 1e-5f},
      {{0, 0}, {25000, 0}, false, 0, -1, 0, 0, 100, {0, 100}, {0, -100}, 1e-5f},  // clamped
      {{0, 0}, {0, -30000}, true, -1.5707964f, -0.0f, 1, 0, -100, {100, 0}, {-100, 0}, 1e-5f},
      {{0, 0}, {20000, 0}, false, 0, -1, 0, 0, 100, {0, 100}, {0, -100}, 1e-5f},              // exactly the limit
      {{0, 0}, {1e-45f, 1}, false, 1.5707964f, 0, 1, 0, 0.005f, {-100, 0}, {100, 0}, 1e-5f},  // near-vertical
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "(" << k.start.x << ", " << k.start.y << ") -> (" << k.current.x << ", "
                                    << k.current.y << ")" << (k.shift ? " shift" : ""));
    const Stretch s = computeStretch(k.start, k.current, k.shift, 200);
    EXPECT_NEAR(s.theta, k.theta, 1e-7);
    EXPECT_NEAR(s.cosTheta, std::cos(k.theta), 1e-7);
    EXPECT_NEAR(s.sinTheta, std::sin(k.theta), 1e-7);
    EXPECT_NEAR(s.axisLine.a, k.axisA, 1e-7);
    EXPECT_NEAR(s.axisLine.b, k.axisB, 1e-7);
    EXPECT_NEAR(s.axisLine.c, k.axisC, k.tolerance);
    EXPECT_NEAR(s.factor, k.factor, 1e-7);
    EXPECT_POINT_NEAR(s.guide.start, k.guideStart.x, k.guideStart.y, k.tolerance);
    EXPECT_POINT_NEAR(s.guide.end, k.guideEnd.x, k.guideEnd.y, k.tolerance);
  }
}

TEST(Geometry, DisplacePoint) {
  struct Case {
    ArtworkPoint start, current;
    bool shift;
    ArtworkPoint point, expected;
    float tolerance;
  } cases[] = {
      {{0, 0}, {200, 0}, false, {50, 30}, {100, 30}, 0},
      {{0, 0}, {200, 0}, false, {-50, 10}, {-100, 10}, 0},
      {{0, 0}, {200, 0}, true, {50, 30}, {0, 30}, 0},  // flattened onto the axis
      {{0, 0}, {200, 0}, true, {-50, 10}, {0, 10}, 0},
      {{0, 0}, {100, 0}, true, {50, 30}, {25, 30}, 0},   // compressed
      {{0, 0}, {300, 0}, true, {50, 30}, {-25, 30}, 0},  // mirrored
      {{0, 0}, {100, 100}, false, {10, 0}, {13.535534f, 3.535534f}, 2e-6f},
      {{0, 0}, {100, 100}, false, {-10, 0}, {-13.535534f, -3.535534f}, 2e-6f},
      {{0, 0}, {100, 100}, false, {-30, 30}, {-30, 30}, 0},  // on the axis
      {{0, 0}, {100, 100}, false, {0, 0}, {0, 0}, 0},        // the start point
      {{3, -7}, {41, 12}, true, {3, -7}, {3, -7}, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "(" << k.point.x << ", " << k.point.y << ") dragged (" << k.start.x << ", "
                                    << k.start.y << ") -> (" << k.current.x << ", " << k.current.y << ")"
                                    << (k.shift ? " shift" : ""));
    const Stretch s = computeStretch(k.start, k.current, k.shift, 200);
    const ArtworkPoint moved = displaced(k.point, s, k.start, k.current);
    EXPECT_POINT_NEAR(moved, k.expected.x, k.expected.y, k.tolerance);
  }
}

TEST(Geometry, CosineBetween) {
  struct Case {
    ArtworkPoint p, origin, q;
    float expected;
  } cases[] = {
      {{0, 0}, {0, 0}, {5, 5}, 0},                                         // p at the origin: 0, not NaN
      {{5, 5}, {0, 0}, {0, 0}, 0},                                         // q at the origin
      {{2, 2}, {2, 2}, {2, 2}, 0},           {{3, 4}, {1, 1}, {5, 7}, 1},  // same direction
      {{-1, -2}, {1, 1}, {5, 7}, -1},        {{4, 1}, {1, 1}, {1, 9}, 0},  // perpendicular
      {{2, 0}, {0, 0}, {1, 1}, 0.70710677f},
  };
  for (const Case& k : cases) {
    const float c = cosineBetween(k.p, k.origin, k.q);
    EXPECT_NEAR(c, k.expected, 1e-7) << "p (" << k.p.x << ", " << k.p.y << ")";
  }
}

TEST(Geometry, AxisGuideIsCentredOnTheStartAndPerpendicularToTheDrag) {
  const AxisGuide flat = setAxisGuide(0, {0, 0});
  EXPECT_POINT_NEAR(flat.start, 0, 100, 1e-5);
  EXPECT_POINT_NEAR(flat.end, 0, -100, 1e-5);

  std::mt19937 rng(9);
  std::uniform_real_distribution<float> angle(-3.1415927f, 3.1415927f), coordinate(-5000, 5000);
  for (int i = 0; i < 2000; ++i) {
    const float theta = angle(rng);
    const ArtworkPoint start{coordinate(rng), coordinate(rng)};
    const AxisGuide g = setAxisGuide(theta, start);
    const double dx = double{g.end.x} - g.start.x, dy = double{g.end.y} - g.start.y;
    EXPECT_NEAR(std::hypot(dx, dy), 200, 2e-3);
    EXPECT_NEAR(dx * std::cos(theta) + dy * std::sin(theta), 0, 2e-3);
    EXPECT_NEAR((double{g.start.x} + g.end.x) / 2, start.x, 1e-3);
    EXPECT_NEAR((double{g.start.y} + g.end.y) / 2, start.y, 1e-3);
    if (HasFailure()) break;
  }
}

// A point at signed distance t from the axis (along the drag) ends at
// t * (1 + factor); its position along the axis does not change.
TEST(Geometry, DisplacementScalesAlongTheDragWithTheAxisFixed) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> coordinate(-1000, 1000);
  std::uniform_real_distribution<float> length(0.5f, 3000);
  std::uniform_real_distribution<double> direction(-3.14159, 3.14159);
  for (int drag = 0; drag < 4000; ++drag) {
    const ArtworkPoint start{coordinate(rng), coordinate(rng)};
    const double angle = direction(rng);
    const float len = length(rng);
    const ArtworkPoint current{start.x + static_cast<float>(len * std::cos(angle)),
                               start.y + static_cast<float>(len * std::sin(angle))};
    if (pointsEqual(start, current)) continue;
    const bool shift = drag % 2 == 1;
    const Stretch s = computeStretch(start, current, shift, 200);

    const double ux = double{current.x} - start.x, uy = double{current.y} - start.y;
    const double dragLength = std::hypot(ux, uy);
    const double cx = ux / dragLength, cy = uy / dragLength;
    const double expectedFactor = std::clamp(dragLength / 200 * (shift ? -1 : 1), -100.0, 100.0);
    ASSERT_NEAR(s.factor, expectedFactor, 2e-6 * (1 + std::fabs(expectedFactor)));

    for (int i = 0; i < 8; ++i) {
      const ArtworkPoint p{coordinate(rng), coordinate(rng)};
      const ArtworkPoint q = displaced(p, s, start, current);
      const double t = (double{p.x} - start.x) * cx + (double{p.y} - start.y) * cy;
      const double along = -(double{p.x} - start.x) * cy + (double{p.y} - start.y) * cx;
      const double t2 = (double{q.x} - start.x) * cx + (double{q.y} - start.y) * cy;
      const double along2 = -(double{q.x} - start.x) * cy + (double{q.y} - start.y) * cx;
      // Float rounding: a few 1e-7 of the coordinates' size, scaled by the factor.
      const double tolerance = 5e-7 * 3000 * (1 + std::fabs(s.factor));
      ASSERT_NEAR(t2, t * (1 + s.factor), tolerance) << "drag " << drag << " point " << i;
      ASSERT_NEAR(along2, along, tolerance) << "drag " << drag << " point " << i;
    }
  }
}

}  // namespace
