#include "tool/segment_displacer.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "tool/float_math.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using hostapi::PathSegment;

namespace {

bool isFinite(ArtworkPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool within(float value, float limit) { return std::fabs(value) <= limit; }  // false for NaN

// The envelope of the fast path.
//
// displacePoint negates the displacement when cosineBetween(point, start,
// current) < 0, that is when n != 0 and q = dot / n < 0, with
// u = point - start, v = current - start, dot = ux*vx + uy*vy,
// su = ux*ux + uy*uy and n = sqrt(su) * |v| (each step rounded to float).
// The blocks take the sign bit of dot instead. With |v| in [2^-20, 2^20]
// (checked once per event) the two agree whenever
//   (1) su <= 2^100, and
//   (2) dot is not in [-2^-40, -0]:
// for dot >= +0 neither negates. For dot < -2^-40, one of |ux|, |uy| exceeds
// 2^-40 / (2 * 2^20) (rounding included), so su >= 2^-123 and
// n >= 2^-61.5 * 2^-20 is a normal number, not 0; by (1) n <= 2^50 * 2^20, so
// |q| >= 2^-110 cannot round to zero, and q < 0. Leaving out -0 matters: its
// sign bit is set while -0 < 0 is false.
// (1) also bounds the point: |ux|, |uy| <= 2^50, and it fails for infinities
// and NaN. With the start, the axis and the factor bounded as below, every
// intermediate and both results are finite, so no NaN arises and the -1.0
// multiplications are exact sign flips.
constexpr float kMaxSquare = 0x1p100f;
constexpr float kNearAxis = 0x1p-40f;
constexpr float kMinDragLength = 0x1p-20f;
constexpr float kMaxDragLength = 0x1p20f;
constexpr float kMaxUnit = 2.0f;       // |a|, |b|, |cos|, |sin|
constexpr float kMaxOffset = 0x1p64f;  // |c|, |start.x|, |start.y|
constexpr float kMaxFactor = 128.0f;   // |factor| (clamped to 100)

}  // namespace

SegmentDisplacer::SegmentDisplacer(const Stretch& stretch, ArtworkPoint start, ArtworkPoint current)
    : factor_(stretch.factor),
      cosTheta_(stretch.cosTheta),
      sinTheta_(stretch.sinTheta),
      axisLine_(stretch.axisLine),
      start_(start),
      current_(current),
      dragX_(current.x - start.x),
      dragY_(current.y - start.y) {
  // |v| as cosineBetween computes it.
  const float dragLength = sqrtFloat(dragX_ * dragX_ + dragY_ * dragY_);
  blocksAllowed_ = within(axisLine_.a, kMaxUnit) && within(axisLine_.b, kMaxUnit) && within(axisLine_.c, kMaxOffset) &&
                   within(start.x, kMaxOffset) && within(start.y, kMaxOffset) && within(factor_, kMaxFactor) &&
                   within(cosTheta_, kMaxUnit) && within(sinTheta_, kMaxUnit) && dragLength >= kMinDragLength &&
                   dragLength <= kMaxDragLength;
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
  __m128 a, b, c, factor, startX, startY, dragX, dragY, cosSin;
};

// dot is in [-kNearAxis, -0] when its bits, read as a signed integer, are
// below this (negative floats count up from INT_MIN, which is -0, with
// growing magnitude).
constexpr std::int32_t kNearAxisBelow =
    std::bit_cast<std::int32_t>(0x80000000u + std::bit_cast<std::uint32_t>(kNearAxis) + 1u);
constexpr std::int32_t kNegativeZeroBits = std::bit_cast<std::int32_t>(0x80000000u);

// Moves the four points whose coordinates are in x and y, and which are
// stored as the pairs (x0, y0, x1, y1) in `low` and (x2, y2, x3, y3) in
// `high`, as displacePoint does. Returns the lanes (all bits set) whose point
// lies outside the envelope; the results there are not to be used.
//
// d = |t| * factor, negated on the far side, where |t| keeps a -0 as
// lineDistance does: its sign is that of t * factor, flipped for t < 0 and
// again for dot < 0. Both tests are read from sign bits, which is exact
// except for a t of -0; a sum is -0 only when both terms are, so t can be -0
// only when the axis's c is, and for such events (kZeroT) those lanes are
// left to the reference.
template <bool kZeroT>
[[gnu::always_inline]] inline __m128 moveFour(const Lanes& k, __m128 x, __m128 y, __m128& low, __m128& high) {
  const __m128 t = _mm_add_ps(_mm_add_ps(_mm_mul_ps(k.a, x), _mm_mul_ps(k.b, y)), k.c);
  const __m128 ux = _mm_sub_ps(x, k.startX);
  const __m128 uy = _mm_sub_ps(y, k.startY);
  const __m128 dot = _mm_add_ps(_mm_mul_ps(ux, k.dragX), _mm_mul_ps(uy, k.dragY));
  const __m128 su = _mm_add_ps(_mm_mul_ps(ux, ux), _mm_mul_ps(uy, uy));
  __m128i outside = _mm_or_si128(_mm_castps_si128(_mm_cmpnle_ps(su, _mm_set1_ps(kMaxSquare))),
                                 _mm_cmplt_epi32(_mm_castps_si128(dot), _mm_set1_epi32(kNearAxisBelow)));
  if constexpr (kZeroT) {
    outside = _mm_or_si128(outside, _mm_cmpeq_epi32(_mm_castps_si128(t), _mm_set1_epi32(kNegativeZeroBits)));
  }
  const __m128 flips = _mm_and_ps(_mm_xor_ps(t, dot), _mm_set1_ps(-0.0f));
  const __m128 d = _mm_xor_ps(_mm_mul_ps(t, k.factor), flips);
  // (x, y) + (cos, sin) * d, pair by pair.
  low = _mm_add_ps(_mm_mul_ps(k.cosSin, _mm_unpacklo_ps(d, d)), low);
  high = _mm_add_ps(_mm_mul_ps(k.cosSin, _mm_unpackhi_ps(d, d)), high);
  return _mm_castsi128_ps(outside);
}

__m64* pair(ArtworkPoint& point) { return reinterpret_cast<__m64*>(&point); }

// The groups of four points a block of four segments is moved in.
constexpr unsigned kFirstPair = 1;   // anchors and in-handles of segments 0 and 1
constexpr unsigned kSecondPair = 2;  // anchors and in-handles of segments 2 and 3
constexpr unsigned kOuts = 4;        // out-handles of segments 0 to 3

// Anchors and in-handles of two segments, 16 contiguous bytes each; false,
// with nothing written, when a point lies outside the envelope.
template <bool kZeroT>
[[gnu::always_inline]] inline bool moveAnchorsAndIns(const Lanes& k, PathSegment* s) {
  __m128 first = _mm_loadu_ps(&s[0].anchor.x);
  __m128 second = _mm_loadu_ps(&s[1].anchor.x);
  const __m128 x = _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y = _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1));
  if (_mm_movemask_ps(moveFour<kZeroT>(k, x, y, first, second)) != 0) return false;
  _mm_storeu_ps(&s[0].anchor.x, first);
  _mm_storeu_ps(&s[1].anchor.x, second);
  return true;
}

// The out-handles of four segments, gathered in pairs.
template <bool kZeroT>
[[gnu::always_inline]] inline bool moveOuts(const Lanes& k, PathSegment* s) {
  __m128 low = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pair(s[0].out)), pair(s[1].out));
  __m128 high = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pair(s[2].out)), pair(s[3].out));
  const __m128 x = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y = _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
  if (_mm_movemask_ps(moveFour<kZeroT>(k, x, y, low, high)) != 0) return false;
  _mm_storel_pi(pair(s[0].out), low);
  _mm_storeh_pi(pair(s[1].out), low);
  _mm_storel_pi(pair(s[2].out), high);
  _mm_storeh_pi(pair(s[3].out), high);
  return true;
}

// Moves four segments; returns the groups left unmoved.
template <bool kZeroT>
[[gnu::always_inline]] inline unsigned moveBlock(const Lanes& k, PathSegment* s) {
  unsigned left = moveAnchorsAndIns<kZeroT>(k, s) ? 0 : kFirstPair;
  if (!moveAnchorsAndIns<kZeroT>(k, s + 2)) left |= kSecondPair;
  if (!moveOuts<kZeroT>(k, s)) left |= kOuts;
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

template <bool kZeroT>
bool moveBlocks(const SegmentDisplacer& displacer, const Lanes& k, PathSegment* segments, std::size_t count) {
  bool overflowed = false;
  std::size_t i = 0;
  // The inner loop calls nothing, so the event's lanes can stay in registers;
  // a block with points outside the envelope is finished outside it.
  while (i + 4 <= count) {
    unsigned left = 0;
    for (; i + 4 <= count; i += 4) {
      left = moveBlock<kZeroT>(k, segments + i);
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
  if (const unsigned left = moveBlock<kZeroT>(k, block)) {
    overflowed = moveLeftGroups(displacer, block, left) || overflowed;
  }
  for (std::size_t j = 0; j < rest; ++j) segments[i + j] = block[j];
  return overflowed;
}

}  // namespace

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count) const {
  if (!blocksAllowed_) return displaceEachPoint(segments, count);
  const Lanes lanes{
      _mm_set1_ps(axisLine_.a), _mm_set1_ps(axisLine_.b), _mm_set1_ps(axisLine_.c),
      _mm_set1_ps(factor_),     _mm_set1_ps(start_.x),    _mm_set1_ps(start_.y),
      _mm_set1_ps(dragX_),      _mm_set1_ps(dragY_),      _mm_setr_ps(cosTheta_, sinTheta_, cosTheta_, sinTheta_)};
  if (std::signbit(axisLine_.c) && axisLine_.c == 0.0f) return moveBlocks<true>(*this, lanes, segments, count);
  return moveBlocks<false>(*this, lanes, segments, count);
}

#else

bool SegmentDisplacer::displace(PathSegment* segments, std::size_t count) const {
  return displaceEachPoint(segments, count);
}

#endif
