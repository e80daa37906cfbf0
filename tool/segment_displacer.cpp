#include "tool/segment_displacer.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "tool/float_math.h"
#include "tool/kernel_path.h"
#include "tool/segment_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using hostapi::PathSegment;

namespace {

bool isFinite(ArtworkPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool within(float value, float limit) { return std::fabs(value) <= limit; }  // false for NaN

// The envelope of the fast path.
//
// displacePoint computes d = |t| * factor with t = a*x + b*y + c (the signed
// distance from the axis; |-0| stays -0), and negates d when
// cosineBetween(point, start, current) < 0, that is when n != 0 and
// q = dot / n < 0, with u = point - start, v = current - start,
// dot = ux*vx + uy*vy and n = sqrt(ux*ux + uy*uy) * |v| (every step rounded
// to float). The axis's normal (a, b) is v's direction up to rounding, turned
// by sigma = the sign of a*vx + b*vy, so away from the axis dot < 0 exactly
// when sigma * t < 0, and then d = t * (sigma * factor) in one rounding.
//
// The blocks use that form where it is proven, for events with |a|, |b| <= 1,
// |v| in [2^-20, 2^20] and the start and c within 2^60, and points with
//   (1) S = |x| + |y| + |start.x| + |start.y| + |c| <= 2^62, and
//   (2) |t| > 2^-16 * S + 2^-50 (rounding of S included).
// The computed t differs from (a / vx) * (u . v), the exact scaled dot product,
// by less than 7 * 2^-24 * S + 2^-148: the coefficients' direction, the
// rounding of c and of t itself (for an axis-parallel drag t is exactly
// +-(point - start) along the drag). The scalar dot differs from u . v by
// less than 3.2 * 2^-24 * |v| * S + 2^-148. So by (2), with its margin of more
// than ten times, dot and sigma * t have the same sign and neither is near 0;
// |u| >= 2^-51, so n is a normal number, not 0; by (1) n is finite; and
// |q| > 2^-20 cannot round to zero. (1) also keeps every intermediate and
// both results finite and fails for infinities and NaN, and (2) fails for
// t = +-0. Any other point goes to displacePoint.
constexpr float kMaxSize = 0x1p62f;
constexpr float kMarginScale = 0x1p-16f;
constexpr float kMarginFloor = 0x1p-34f;  // times kMarginScale: 2^-50
constexpr float kMinDragLength = 0x1p-20f;
constexpr float kMaxDragLength = 0x1p20f;
constexpr float kMaxCoefficient = 1.0f;  // |a|, |b|
constexpr float kMaxUnit = 2.0f;         // |cos|, |sin|
constexpr float kMaxOffset = 0x1p60f;    // |c|, |start.x|, |start.y|
constexpr float kMaxFactor = 128.0f;     // |factor| (clamped to 100)

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
  blocksAllowed_ = within(axisLine_.a, kMaxCoefficient) && within(axisLine_.b, kMaxCoefficient) &&
                   within(axisLine_.c, kMaxOffset) && within(start.x, kMaxOffset) && within(start.y, kMaxOffset) &&
                   within(factor_, kMaxFactor) && within(cosTheta_, kMaxUnit) && within(sinTheta_, kMaxUnit) &&
                   dragLength >= kMinDragLength && dragLength <= kMaxDragLength && along != 0.0f;
  sideFactor_ = along < 0.0f ? factor_ * -1.0f : factor_;
  sizeOffset_ = std::fabs(start.x) + std::fabs(start.y) + std::fabs(axisLine_.c) + kMarginFloor;
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

// The event's values, one per lane; the output factors as (cos, sin, cos, sin).
struct Lanes {
  __m128 a, b, c, sideFactor, sizeOffset, cosSin;
};

// Moves the four points whose coordinates are in x and y, and which are
// stored as the pairs (x0, y0, x1, y1) in `low` and (x2, y2, x3, y3) in
// `high`, as displacePoint does. Returns the lanes (all bits set) whose point
// lies outside the envelope; the results there are not to be used.
[[gnu::always_inline]] inline __m128 moveFour(const Lanes& k, __m128 x, __m128 y, __m128& low, __m128& high) {
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 t = _mm_add_ps(_mm_add_ps(_mm_mul_ps(k.a, x), _mm_mul_ps(k.b, y)), k.c);
  const __m128 size = _mm_add_ps(_mm_add_ps(_mm_and_ps(x, magnitude), _mm_and_ps(y, magnitude)), k.sizeOffset);
  const __m128 outside =
      _mm_or_ps(_mm_cmpnle_ps(size, _mm_set1_ps(kMaxSize)),
                _mm_cmpngt_ps(_mm_and_ps(t, magnitude), _mm_mul_ps(size, _mm_set1_ps(kMarginScale))));
  const __m128 d = _mm_mul_ps(t, k.sideFactor);
  // (x, y) + (cos, sin) * d, pair by pair.
  low = _mm_add_ps(_mm_mul_ps(k.cosSin, _mm_unpacklo_ps(d, d)), low);
  high = _mm_add_ps(_mm_mul_ps(k.cosSin, _mm_unpackhi_ps(d, d)), high);
  return outside;
}

__m64* pair(ArtworkPoint& point) { return reinterpret_cast<__m64*>(&point); }

// The groups of four points a block of four segments is moved in.
constexpr unsigned kFirstPair = 1;   // anchors and in-handles of segments 0 and 1
constexpr unsigned kSecondPair = 2;  // anchors and in-handles of segments 2 and 3
constexpr unsigned kOuts = 4;        // out-handles of segments 0 to 3

// Anchors and in-handles of two segments, 16 contiguous bytes each; false,
// with nothing written, when a point lies outside the envelope.
[[gnu::always_inline]] inline bool moveAnchorsAndIns(const Lanes& k, PathSegment* s) {
  __m128 first = _mm_loadu_ps(&s[0].anchor.x);
  __m128 second = _mm_loadu_ps(&s[1].anchor.x);
  const __m128 x = _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y = _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1));
  if (_mm_movemask_ps(moveFour(k, x, y, first, second)) != 0) return false;
  _mm_storeu_ps(&s[0].anchor.x, first);
  _mm_storeu_ps(&s[1].anchor.x, second);
  return true;
}

// The out-handles of four segments, gathered in pairs.
[[gnu::always_inline]] inline bool moveOuts(const Lanes& k, PathSegment* s) {
  __m128 low = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pair(s[0].out)), pair(s[1].out));
  __m128 high = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pair(s[2].out)), pair(s[3].out));
  const __m128 x = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y = _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
  if (_mm_movemask_ps(moveFour(k, x, y, low, high)) != 0) return false;
  _mm_storel_pi(pair(s[0].out), low);
  _mm_storeh_pi(pair(s[1].out), low);
  _mm_storel_pi(pair(s[2].out), high);
  _mm_storeh_pi(pair(s[3].out), high);
  return true;
}

// Moves four segments; returns the groups left unmoved.
[[gnu::always_inline]] inline unsigned moveBlock(const Lanes& k, PathSegment* s) {
  unsigned left = moveAnchorsAndIns(k, s) ? 0 : kFirstPair;
  if (!moveAnchorsAndIns(k, s + 2)) left |= kSecondPair;
  if (!moveOuts(k, s)) left |= kOuts;
  return left;
}

// The groups a block left unmoved, point by point through the reference.
[[gnu::noinline]] bool moveLeftGroups(const SegmentDisplacer& displacer, PathSegment* s, unsigned left) {
  bool overflowed = false;
  const auto each = [&](std::initializer_list<ArtworkPoint*> points) {
    for (ArtworkPoint* point : points) overflowed = displacer.displacePointAt(*point) || overflowed;
  };
  if (left & kFirstPair) each({&s[0].anchor, &s[0].in, &s[1].anchor, &s[1].in});
  if (left & kSecondPair) each({&s[2].anchor, &s[2].in, &s[3].anchor, &s[3].in});
  if (left & kOuts) each({&s[0].out, &s[1].out, &s[2].out, &s[3].out});
  return overflowed;
}

bool moveBlocks(const SegmentDisplacer& displacer, const Lanes& lanes, PathSegment* segments, std::size_t count) {
  const Lanes k = lanes;  // a copy the segments' stores cannot alias, so it stays in registers
  bool overflowed = false;
  std::size_t i = 0;
  // The inner loop calls nothing, so the event's lanes can stay in registers;
  // a block with points outside the envelope is finished outside it.
  while (i + 4 <= count) {
    unsigned left = 0;
    for (; i + 4 <= count; i += 4) {
      left = moveBlock(k, segments + i);
      if (left != 0) break;
    }
    if (left == 0) break;
    overflowed = moveLeftGroups(displacer, segments + i, left) || overflowed;
    i += 4;
  }
  const std::size_t rest = count - i;
  if (rest == 0) return overflowed;
  // The last one to three segments go through a block of four padded with
  // copies of the last one, which moves as that one does.
  PathSegment block[4];
  for (std::size_t j = 0; j < 4; ++j) block[j] = segments[i + (j < rest ? j : rest - 1)];
  if (const unsigned left = moveBlock(k, block)) {
    overflowed = moveLeftGroups(displacer, block, left) || overflowed;
  }
  for (std::size_t j = 0; j < rest; ++j) segments[i + j] = block[j];
  return overflowed;
}

// The wide blocks as far as they go, then the next block's worth (or the
// rest) through the SSE2 blocks, which finish what the wide ones refused.
template <typename Wide>
bool moveWideBlocks(const SegmentDisplacer& displacer, const Lanes& lanes, const KernelValues& values, Wide wide,
                    std::size_t block, PathSegment* segments, std::size_t count) {
  bool overflowed = false;
  std::size_t i = 0;
  while (i < count) {
    i += wide(values, segments + i, count - i);
    const std::size_t step = count - i < block ? count - i : block;
    overflowed = moveBlocks(displacer, lanes, segments + i, step) || overflowed;
    i += step;
  }
  return overflowed;
}

}  // namespace

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count) const {
  if (!blocksAllowed_) return displaceEachPoint(segments, count);
  const Lanes lanes{_mm_set1_ps(axisLine_.a), _mm_set1_ps(axisLine_.b),
                    _mm_set1_ps(axisLine_.c), _mm_set1_ps(sideFactor_),
                    _mm_set1_ps(sizeOffset_), _mm_setr_ps(cosTheta_, sinTheta_, cosTheta_, sinTheta_)};
#if defined(__i386__) || defined(__x86_64__)  // SSE2 emulated elsewhere has no wide paths
  const KernelValues values{axisLine_.a, axisLine_.b, axisLine_.c, sideFactor_, sizeOffset_, cosTheta_, sinTheta_};
#endif
  switch (activeKernelPath()) {
#if defined(__i386__) || defined(__x86_64__)
    case KernelPath::avx512:
      return moveWideBlocks(*this, lanes, values, moveBlocksAvx512, kAvx512Block, segments, count);
    case KernelPath::avx2:
      return moveWideBlocks(*this, lanes, values, moveBlocksAvx2, kAvx2Block, segments, count);
#endif
    case KernelPath::sse2:
      return moveBlocks(*this, lanes, segments, count);
    default:
      return displaceEachPoint(segments, count);
  }
}

#else

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count) const {
  return displaceEachPoint(segments, count);
}

#endif
