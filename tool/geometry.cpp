// The directional stretch's arithmetic in 32-bit floats (geometry.h).
#include "tool/geometry.h"

#include <limits>

#include "tool/float/float_math.h"

using hostapi::ArtworkPoint;

bool pointsEqual(ArtworkPoint p, ArtworkPoint q) { return p.x == q.x && p.y == q.y; }

LineCoefficients lineThroughPoints(float x1, float y1, float x2, float y2) {
  if (x1 == x2) return {1.0f, 0.0f, -x1};
  if (y1 == y2) return {0.0f, 1.0f, -y1};
  const float m = (y2 - y1) / (x2 - x1);
  const float s = m * m + 1.0f;
  if (s == std::numeric_limits<float>::infinity()) {
    // |m| > 2^64 (or m overflowed): h would be infinite and the line would
    // lose its direction (a = m / h turns 0 or NaN). In float such a line's
    // normalised coefficients are (sign m, -1 / |m|, y1 / |m| - sign m * x1).
    const float sign = m > 0.0f ? 1.0f : -1.0f;
    const float steepness = m * sign;
    return {sign, -1.0f / steepness, y1 / steepness - sign * x1};
  }
  const float h = sqrtFloat(s);
  return {m / h, -1.0f / h, (y1 - m * x1) / h};
}

LineCoefficients perpendicularThrough(const LineCoefficients& line, float x, float y) {
  return {-line.b, line.a, x * line.b - y * line.a};
}

float lineDistance(const LineCoefficients& line, ArtworkPoint p) {
  float d = line.a * p.x + line.b * p.y + line.c;
  if (d < 0.0f) d = d * -1.0f;
  return d;
}

float cosineBetween(ArtworkPoint p, ArtworkPoint origin, ArtworkPoint q) {
  const ArtworkPoint u{p.x - origin.x, p.y - origin.y};
  const ArtworkPoint v{q.x - origin.x, q.y - origin.y};
  const float su = u.x * u.x + u.y * u.y;
  const float nu = sqrtFloat(su);
  const float sv = v.x * v.x + v.y * v.y;
  const float nv = sqrtFloat(sv);
  const float n = nu * nv;
  if (n == 0.0f) return 0.0f;
  return (u.x * v.x + u.y * v.y) / n;
}

AxisGuide setAxisGuide(float theta, ArtworkPoint start) {
  const double a1 = double{theta} + double{kHalfPi};
  const double a2 = double{theta} - double{kHalfPi};
  return {{cosFloat(a1) * kGuideHalfLength + start.x, sinFloat(a1) * kGuideHalfLength + start.y},
          {cosFloat(a2) * kGuideHalfLength + start.x, sinFloat(a2) * kGuideHalfLength + start.y}};
}

Stretch computeStretch(ArtworkPoint start, ArtworkPoint current, bool shift, float divisor) {
  Stretch stretch{};
  const float dx = current.x - start.x;
  const float dy = current.y - start.y;
  stretch.theta = atan2Float(dy, dx);
  const LineCoefficients dragLine = lineThroughPoints(start.x, start.y, current.x, current.y);
  stretch.axisLine = perpendicularThrough(dragLine, start.x, start.y);
  stretch.cosTheta = cosFloat(stretch.theta);
  stretch.sinTheta = sinFloat(stretch.theta);
  stretch.guide = setAxisGuide(stretch.theta, start);
  float factor = lineDistance(stretch.axisLine, current) / divisor;
  if (shift) factor = factor * -1.0f;
  if (factor > kFactorLimit) factor = kFactorLimit;
  if (factor < -kFactorLimit) factor = -kFactorLimit;
  stretch.factor = factor;
  return stretch;
}

void displacePoint(ArtworkPoint& point, float factor, float cosTheta, float sinTheta, const LineCoefficients& axisLine,
                   ArtworkPoint start, ArtworkPoint current) {
  float d = lineDistance(axisLine, point);
  d = d * factor;
  if (cosineBetween(point, start, current) < 0.0f) d = d * -1.0f;
  point.x = cosTheta * d + point.x;
  point.y = sinTheta * d + point.y;
}
