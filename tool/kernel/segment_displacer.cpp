// SegmentDisplacer (segment_displacer.h): a buffer moved block by block on
// the chosen vector path, what a wide path refuses through the SSE2 blocks,
// the points outside the envelope of a refused SSE2 block again by
// displacePoint, the last one to three segments as a padded block; without
// SSE2, or for an event whose values lie outside the blocks' bounds, every
// point by displacePoint.
#include "tool/kernel/segment_displacer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <initializer_list>

#include "tool/float/float_math.h"
#include "tool/kernel/blocks.h"
#include "tool/kernel/kernel_path.h"

using hostapi::PathSegment;

using hostapi::ArtworkPoint;

namespace {

bool within(float value, float limit) { return std::fabs(value) <= limit; }  // false for NaN

}  // namespace

SegmentDisplacer::SegmentDisplacer(const Stretch& stretch, ArtworkPoint start, ArtworkPoint current)
    : factor_(stretch.factor),
      cosTheta_(stretch.cosTheta),
      sinTheta_(stretch.sinTheta),
      axisLine_(stretch.axisLine),
      start_(start),
      current_(current) {
  // v and |v| as cosineBetween computes them.
  const float dragX = current.x - start.x;
  const float dragY = current.y - start.y;
  const float dragLength = sqrtFloat(dragX * dragX + dragY * dragY);
  // The side of the axis that v points to.
  const float along = axisLine_.a * dragX + axisLine_.b * dragY;
  const bool blocksAllowed = within(axisLine_.a, kMaxCoefficient) && within(axisLine_.b, kMaxCoefficient) &&
                             within(axisLine_.c, kMaxOffset) && within(start.x, kMaxOffset) &&
                             within(start.y, kMaxOffset) && within(factor_, kMaxFactor) &&
                             within(cosTheta_, kMaxUnit) && within(sinTheta_, kMaxUnit) &&
                             dragLength >= kMinDragLength && dragLength <= kMaxDragLength && along != 0.0f;
  const float offset = std::fabs(start.x) + std::fabs(start.y) + std::fabs(axisLine_.c) + kMarginFloor;
  values_ = blockValuesOf(axisLine_.a, axisLine_.b, axisLine_.c, along < 0.0f ? factor_ * -1.0f : factor_, cosTheta_,
                          sinTheta_, offset * kOffsetToMargin);
  path_ = blocksAllowed ? activeKernelPath() : KernelPath::points;
}

bool SegmentDisplacer::displacePointAt(ArtworkPoint& point) const {
  const bool wasFinite = isFinite(point);
  displacePoint(point, factor_, cosTheta_, sinTheta_, axisLine_, start_, current_);
  return wasFinite && !isFinite(point);
}

bool SegmentDisplacer::displaceEachPoint(PathSegment* segments, std::size_t count) const {
  bool overflowed = false;
  for (std::size_t i = 0; i < count; ++i) {
    for (ArtworkPoint* point : {&segments[i].anchor, &segments[i].in, &segments[i].out}) {
      overflowed = displacePointAt(*point) || overflowed;
    }
  }
  return overflowed;
}

#if defined(__SSE2__)

namespace {

constexpr BlockMovers kSse2Blocks{moveBlocksSse2, moveBoundedBlocksSse2, kSse2Block};
#if defined(__i386__) || defined(__x86_64__)
constexpr BlockMovers kAvx2Blocks{moveBlocksAvx2, moveBoundedBlocksAvx2, kAvx2Block};
constexpr BlockMovers kAvx512Blocks{moveBlocksAvx512, moveBoundedBlocksAvx512, kAvx512Block};
#endif

}  // namespace

std::size_t SegmentDisplacer::moveBlocks(const BlockMovers& blocks, const float* threshold, PathSegment* segments,
                                         std::size_t count) const {
  return threshold != nullptr ? blocks.bounded(values_, *threshold, segments, count)
                              : blocks.each(values_, segments, count);
}

// A block of four segments the SSE2 blocks refused: moved by their
// arithmetic all the same, then each point outside the envelope moved again,
// from its original, by displacePoint. Only those can overflow: inside the
// envelope every result is finite.
bool SegmentDisplacer::settleFour(PathSegment* segments) const {
  PathSegment original[kSse2Block];
  std::copy(segments, segments + kSse2Block, original);
  moveBlockUntestedSse2(values_, segments);
  bool overflowed = false;
  for (std::size_t j = 0; j < kSse2Block; ++j) {
    for (ArtworkPoint PathSegment::*member : {&PathSegment::anchor, &PathSegment::in, &PathSegment::out}) {
      ArtworkPoint point = original[j].*member;
      if (pointInside(values_, point)) continue;
      overflowed = displacePointAt(point) || overflowed;
      segments[j].*member = point;
    }
  }
  return overflowed;
}

// The SSE2 blocks as far as they go, a block they refuse settled point by
// point, and the last one to three segments as a block of four padded with
// copies of the last one, which moves as that one does.
bool SegmentDisplacer::moveFours(const float* threshold, PathSegment* segments, std::size_t count) const {
  bool overflowed = false;
  std::size_t i = 0;
  for (;;) {
    i += moveBlocks(kSse2Blocks, threshold, segments + i, count - i);
    if (count - i < kSse2Block) break;
    overflowed = settleFour(segments + i) || overflowed;
    i += kSse2Block;
  }
  const std::size_t rest = count - i;
  if (rest == 0) return overflowed;
  PathSegment block[kSse2Block];
  for (std::size_t j = 0; j < kSse2Block; ++j) block[j] = segments[i + (j < rest ? j : rest - 1)];
  if (moveBlocksSse2(values_, block, kSse2Block) == 0) overflowed = settleFour(block) || overflowed;
  std::copy(block, block + rest, segments + i);
  return overflowed;
}

// The wide blocks as far as they go, then the next block's worth (or the
// rest) through the SSE2 blocks, which finish what the wide ones refused.
bool SegmentDisplacer::moveWide(const BlockMovers& wide, const float* threshold, PathSegment* segments,
                                std::size_t count) const {
  bool overflowed = false;
  std::size_t i = 0;
  while (i < count) {
    if (count - i >= wide.size) i += moveBlocks(wide, threshold, segments + i, count - i);
    const std::size_t step = count - i < wide.size ? count - i : wide.size;
    overflowed = moveFours(threshold, segments + i, step) || overflowed;
    i += step;
  }
  return overflowed;
}

// The chunked block of the active path: AVX-512's or AVX2's where that
// path is active, otherwise SSE2's.
bool SegmentDisplacer::moveChunked(PathSegment* segments) const {
#if defined(__i386__) || defined(__x86_64__)
  if (path_ == KernelPath::avx512) return moveChunkedBlockAvx512(values_, segments);
  if (path_ == KernelPath::avx2) return moveChunkedBlockAvx2(values_, segments);
#endif
  return moveChunkedBlockSse2(values_, segments);
}

bool SegmentDisplacer::displaceWithin(const float* threshold, PathSegment* segments, std::size_t count) const {
  // A path of four segments: one block, read and written in chunks; the
  // blocks below settle it if it is refused.
  if (count == kSse2Block && path_ != KernelPath::points && moveChunked(segments)) return false;
  switch (path_) {
#if defined(__i386__) || defined(__x86_64__)  // SSE2 translated elsewhere has no wide paths
    case KernelPath::avx512:
      return moveWide(kAvx512Blocks, threshold, segments, count);
    case KernelPath::avx2:
      return moveWide(kAvx2Blocks, threshold, segments, count);
#endif
    case KernelPath::sse2:
      return moveFours(threshold, segments, count);
    default:
      return displaceEachPoint(segments, count);
  }
}

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count) const {
  return displaceWithin(nullptr, segments, count);
}

float SegmentDisplacer::largestCoordinate(const PathSegment* segments, std::size_t count) const {
  switch (path_) {
#if defined(__i386__) || defined(__x86_64__)
    case KernelPath::avx512:
    case KernelPath::avx2:
      return boundOf(largestMagnitudeBitsAvx2(segments, count));
#endif
    case KernelPath::sse2:
      return boundOf(largestMagnitudeBitsSse2(segments, count));
    default:
      return ::largestCoordinate(segments, count);
  }
}

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count, float largest) const {
  if (!(largest <= std::bit_cast<float>(kMaxCoordinateBits))) return displaceWithin(nullptr, segments, count);
  const float threshold = pathThreshold(values_, largest);
  return displaceWithin(&threshold, segments, count);
}

#else

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count) const {
  return displaceEachPoint(segments, count);
}

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count, float) const {
  return displaceEachPoint(segments, count);
}

float SegmentDisplacer::largestCoordinate(const PathSegment* segments, std::size_t count) const {
  return ::largestCoordinate(segments, count);
}

#endif
