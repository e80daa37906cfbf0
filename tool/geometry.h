// The arithmetic of the directional stretch, in 32-bit floats.
//
// Every intermediate is rounded to a 32-bit float when it is formed;
// atan2, cos, sin and square roots are computed in double precision on the
// 32-bit inputs and rounded back (see tool/float/float_math.h). The same code
// runs in the Linux and the Windows build, compiled for SSE2 without
// contraction, so both produce the same bits for the same inputs.
#pragma once

#include <cmath>

#include "bridge/host_api.h"

// The line a*x + b*y + c = 0, normalised so that a*a + b*b = 1: a*x + b*y + c
// is then the signed distance of (x, y) from the line.
struct LineCoefficients {
  float a;
  float b;
  float c;
};

// The two ends of the dashed guide drawn along the axis.
struct AxisGuide {
  hostapi::ArtworkPoint start;
  hostapi::ArtworkPoint end;
};

// Everything a drag position implies for the stretch.
struct Stretch {
  float theta;     // drag angle, atan2 of the drag vector
  float cosTheta;  // unit drag direction
  float sinTheta;
  LineCoefficients axisLine;  // through the start point, perpendicular to the drag
  AxisGuide guide;            // 200 units long, centred on the start point, on the axis
  float factor;               // drag length / divisor, negated with Shift, clamped to +-100
};

inline constexpr float kHalfPi = 1.5707964f;  // half pi rounded to a 32-bit float
inline constexpr float kGuideHalfLength = 100.0f;
inline constexpr float kFactorLimit = 100.0f;

// Exact comparison of both coordinates.
bool pointsEqual(hostapi::ArtworkPoint p, hostapi::ArtworkPoint q);

// Both coordinates are numbers and neither is infinite.
inline bool isFinite(hostapi::ArtworkPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The line through (x1, y1) and (x2, y2); vertical and horizontal lines come
// out as exactly (1, 0, -x1) and (0, 1, -y1). Otherwise a = m / h and
// b = -1 / h with m the slope and h = sqrt(m^2 + 1); a line so steep that m^2
// overflows still comes out normalised.
LineCoefficients lineThroughPoints(float x1, float y1, float x2, float y2);

// The line through (x, y) perpendicular to `line`.
LineCoefficients perpendicularThrough(const LineCoefficients& line, float x, float y);

// Unsigned distance of p from a normalised line.
float lineDistance(const LineCoefficients& line, hostapi::ArtworkPoint p);

// Cosine of the angle at `origin` between the directions to p and to q;
// 0 when either point coincides with the origin.
float cosineBetween(hostapi::ArtworkPoint p, hostapi::ArtworkPoint origin, hostapi::ArtworkPoint q);

// The guide ends at start + 100 * (cos, sin)(theta +- half pi).
AxisGuide setAxisGuide(float theta, hostapi::ArtworkPoint start);

// Angle, axis, guide and factor for a drag from `start` to `current`.
Stretch computeStretch(hostapi::ArtworkPoint start, hostapi::ArtworkPoint current, bool shift, float divisor);

// Moves `point` along the drag direction by factor times its distance from
// the axis, away from the axis on the side of the drag and towards the
// other side beyond it: a scaling by (1 + factor) with the axis fixed.
void displacePoint(hostapi::ArtworkPoint& point, float factor, float cosTheta, float sinTheta,
                   const LineCoefficients& axisLine, hostapi::ArtworkPoint start, hostapi::ArtworkPoint current);
