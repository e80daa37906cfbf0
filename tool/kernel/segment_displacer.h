// Moves every anchor and handle of a buffer of path segments for one drag
// position, with exactly the bits displacePoint gives point by point.
//
// The fast path works on blocks of segments with the widest vector unit the
// processor and the operating system support (kernel_path.h): sixteen at a
// time with AVX-512, eight with AVX2, four with SSE2, which both the i686 and
// the x86-64 build assume; a target without SSE2 uses the point-by-point
// loop. Every path repeats displacePoint's operations in the same order with
// the same roundings, and replaces only the side test (the sign of the
// cosine, which needs two square roots and a division) by the sign of the
// point's distance from the axis, where a margin proves that the two agree
// (blocks.h). A wide block with a point outside that envelope (on or
// next to the axis, huge, infinite or not a number) goes through the SSE2
// blocks; an SSE2 block with one is moved by their arithmetic all the same,
// and each of its points outside the envelope again, from the original, by
// displacePoint itself. So every result, a NaN's payload included, is the
// reference's, and a point on the axis costs displacePoint once, not for
// its whole block.
#pragma once

#include <cstddef>

#include "bridge/host_api.h"
#include "tool/geometry.h"
#include "tool/kernel/blocks.h"
#include "tool/kernel/kernel_path.h"

class SegmentDisplacer {
 public:
  // The stretch of one drag event from `start` to `current`. Everything the
  // segments need of it is derived here, once per event, and so is the
  // vector path: the one active now (kernel_path.h).
  SegmentDisplacer(const Stretch& stretch, hostapi::ArtworkPoint start, hostapi::ArtworkPoint current);

  // Moves the anchor, in-handle and out-handle of each segment; the host bytes
  // are not touched. Returns true when a point whose coordinates were both
  // finite came out with a coordinate that is not.
  bool displace(hostapi::PathSegment* segments, std::size_t count) const;

  // The same for segments whose largest coordinate is `largest`
  // (largestCoordinate in blocks.h, taken from these very segments, for
  // instance at an earlier event of the same drag): the blocks then test
  // each point's distance from the axis against the path's bound alone
  // (blocks.h), a third of their envelope's work. An infinite `largest`
  // (a coordinate beyond the blocks' range) is displace() above.
  bool displace(hostapi::PathSegment* segments, std::size_t count, float largest) const;

  // largestCoordinate (blocks.h) of `segments`, the same value, read a
  // block at a time on this event's vector path: the bound a drag takes
  // from each path at its first event.
  float largestCoordinate(const hostapi::PathSegment* segments, std::size_t count) const;

  // The reference: displacePoint on the anchor, the in-handle and the
  // out-handle of each segment in turn. Same contract as displace().
  bool displaceEachPoint(hostapi::PathSegment* segments, std::size_t count) const;

  // Whether displace() uses the blocks for this event: its values are within
  // the blocks' bounds and the process has a vector path. Otherwise
  // displace() is displaceEachPoint.
  bool blocksApply() const { return path_ != KernelPath::points; }

  // The event's values as the blocks take them (blocks.h).
  const BlockValues& blockValues() const { return values_; }

  // displacePoint on one point; true when it was finite and is no longer.
  bool displacePointAt(hostapi::ArtworkPoint& point) const;

 private:
  float factor_;
  float cosTheta_;
  float sinTheta_;
  LineCoefficients axisLine_;
  hostapi::ArtworkPoint start_;
  hostapi::ArtworkPoint current_;
  BlockValues values_;
  // The path active when the displacer was made, or points when the event's
  // values are outside the blocks' bounds.
  KernelPath path_;

  // The blocks' segments moved; `threshold` null for each point's envelope.
  std::size_t moveBlocks(const BlockMovers& blocks, const float* threshold, hostapi::PathSegment* segments,
                         std::size_t count) const;
  bool settleFour(hostapi::PathSegment* segments) const;
  bool moveChunked(hostapi::PathSegment* segments) const;
  bool moveFours(const float* threshold, hostapi::PathSegment* segments, std::size_t count) const;
  bool moveWide(const BlockMovers& wide, const float* threshold, hostapi::PathSegment* segments,
                std::size_t count) const;
  bool displaceWithin(const float* threshold, hostapi::PathSegment* segments, std::size_t count) const;
};
