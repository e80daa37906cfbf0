// The SSE2 path of the segment kernel: four segments (28 floats) at a time,
// the twelve points in three groups of four, each group's coordinates
// gathered into an x and a y register by one shuffle each: the anchors and
// in-handles of segments 0 and 1, those of segments 2 and 3, and the four
// out-handles. The same code runs on the i686 build (eight vector registers)
// and, translated to WebAssembly SIMD, in the page; it uses only SSE2
// operations that have a direct 128-bit WebAssembly counterpart.
#include "tool/segment_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

using hostapi::PathSegment;

#define SW_SSE2 [[gnu::always_inline]] inline

namespace {

struct Lanes {
  __m128 a, b, c, sideFactor, cosSin, marginOffset;
};

// The envelope's bounds, lane by lane over the lane's points: the largest
// coordinate magnitude and the smallest |t|. SSE2 has no 32-bit integer
// maximum, so each is kept in the high 16 bits of its lane: a magnitude's
// exponent and top seven fraction bits, a non-negative 16-bit integer that
// orders as the magnitude does (NaN and infinity above every finite value).
// The low halves are of no meaning.
struct Envelope {
  __m128i largest, nearest;
};

SW_SSE2 __m128i magnitude(__m128 v) {
  return _mm_and_si128(_mm_castps_si128(v), _mm_set1_epi32(static_cast<int>(kMagnitudeBits)));
}

// t = a*x + b*y + c, the signed distance from the axis, of four points.
SW_SSE2 __m128 distance(const Lanes& k, __m128 x, __m128 y) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(k.a, x), _mm_mul_ps(k.b, y)), k.c);
}

SW_SSE2 Envelope envelopeOf(__m128 x, __m128 y, __m128 t) {
  return {_mm_max_epi16(magnitude(x), magnitude(y)), magnitude(t)};
}

SW_SSE2 void include(Envelope& e, __m128 x, __m128 y, __m128 t) {
  e.largest = _mm_max_epi16(e.largest, _mm_max_epi16(magnitude(x), magnitude(y)));
  e.nearest = _mm_min_epi16(e.nearest, magnitude(t));
}

// The high halves bound the lane's values: a magnitude whose high half is h
// lies below the float whose bits are (h + 1) << 16, at most 1 + 2^-7 times
// the float whose bits are h << 16 or more (a subnormal h: 2^-133 more, far
// inside the margin); a |t| whose high half is h is at least the float whose
// bits are h << 16.
constexpr float kLargestToMargin = kMarginScale * (1.0f + 0x1p-7f);  // exact
// (G) for the high halves, and a low half no 16-bit value exceeds.
constexpr int kMaxCoordinateHigh = static_cast<int>(kMaxCoordinateBits & 0xFFFF0000u) | 0x7FFF;

// Whether every point lies inside the envelope: (G) on the largest
// magnitude's high half, then (M) on the high halves of the smallest |t| and
// of the threshold, all compared as 16-bit integers (non-negative floats
// order as their bits do); only the high halves' results count.
SW_SSE2 bool inside(const Lanes& k, const Envelope& e) {
  const __m128i sized = _mm_cmpgt_epi16(e.largest, _mm_set1_epi32(kMaxCoordinateHigh));
  const __m128 threshold =
      _mm_add_ps(_mm_mul_ps(_mm_castsi128_ps(e.largest), _mm_set1_ps(kLargestToMargin)), k.marginOffset);
  const __m128i clear = _mm_cmpgt_epi16(e.nearest, _mm_castps_si128(threshold));
  constexpr int kHighHalves = 0xCCCC;  // bytes 2 and 3 of each lane
  return (_mm_movemask_epi8(_mm_andnot_si128(sized, clear)) & kHighHalves) == kHighHalves;
}

SW_SSE2 __m128 loadPairs(const float* first, const float* second) {
  const __m128 low = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(first));
  return _mm_loadh_pi(low, reinterpret_cast<const __m64*>(second));
}

// (x, y) + (cos, sin) * d for the pairs of points whose d are lanes 0 and 1
// (low) or 2 and 3 (high) of `d`.
SW_SSE2 __m128 movedLow(const Lanes& k, __m128 d, __m128 pairs) {
  return _mm_add_ps(_mm_mul_ps(k.cosSin, _mm_unpacklo_ps(d, d)), pairs);
}

SW_SSE2 __m128 movedHigh(const Lanes& k, __m128 d, __m128 pairs) {
  return _mm_add_ps(_mm_mul_ps(k.cosSin, _mm_unpackhi_ps(d, d)), pairs);
}

// Moves four segments; false, with nothing written, when a point lies
// outside the envelope. Segment i's anchor, in- and out-handle are floats
// 7i, 7i + 2 and 7i + 4 of the block.
SW_SSE2 bool moveBlock(const Lanes& k, PathSegment* s) {
  float* const f = &s->anchor.x;
  const __m128 first0 = _mm_loadu_ps(f);  // anchors and in-handles, as pairs (x, y, x, y)
  const __m128 first1 = _mm_loadu_ps(f + 7);
  const __m128 x0 = _mm_shuffle_ps(first0, first1, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y0 = _mm_shuffle_ps(first0, first1, _MM_SHUFFLE(3, 1, 3, 1));
  const __m128 t0 = distance(k, x0, y0);
  Envelope e = envelopeOf(x0, y0, t0);

  const __m128 second0 = _mm_loadu_ps(f + 14);
  const __m128 second1 = _mm_loadu_ps(f + 21);
  const __m128 x1 = _mm_shuffle_ps(second0, second1, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y1 = _mm_shuffle_ps(second0, second1, _MM_SHUFFLE(3, 1, 3, 1));
  const __m128 t1 = distance(k, x1, y1);
  include(e, x1, y1, t1);

  const __m128 outs0 = loadPairs(f + 4, f + 11);  // the out-handles, as pairs
  const __m128 outs1 = loadPairs(f + 18, f + 25);
  const __m128 x2 = _mm_shuffle_ps(outs0, outs1, _MM_SHUFFLE(2, 0, 2, 0));
  const __m128 y2 = _mm_shuffle_ps(outs0, outs1, _MM_SHUFFLE(3, 1, 3, 1));
  const __m128 t2 = distance(k, x2, y2);
  include(e, x2, y2, t2);

  if (!inside(k, e)) return false;

  const __m128 d0 = _mm_mul_ps(t0, k.sideFactor);
  _mm_storeu_ps(f, movedLow(k, d0, first0));
  _mm_storeu_ps(f + 7, movedHigh(k, d0, first1));
  const __m128 d1 = _mm_mul_ps(t1, k.sideFactor);
  _mm_storeu_ps(f + 14, movedLow(k, d1, second0));
  _mm_storeu_ps(f + 21, movedHigh(k, d1, second1));
  const __m128 d2 = _mm_mul_ps(t2, k.sideFactor);
  const __m128 low = movedLow(k, d2, outs0);
  const __m128 high = movedHigh(k, d2, outs1);
  _mm_storel_pi(reinterpret_cast<__m64*>(f + 4), low);
  _mm_storeh_pi(reinterpret_cast<__m64*>(f + 11), low);
  _mm_storel_pi(reinterpret_cast<__m64*>(f + 18), high);
  _mm_storeh_pi(reinterpret_cast<__m64*>(f + 25), high);
  return true;
}

}  // namespace

std::size_t moveBlocksSse2(const KernelValues& v, PathSegment* segments, std::size_t count) {
  const Lanes k{_mm_set1_ps(v.a),
                _mm_set1_ps(v.b),
                _mm_set1_ps(v.c),
                _mm_set1_ps(v.sideFactor),
                _mm_setr_ps(v.cosTheta, v.sinTheta, v.cosTheta, v.sinTheta),
                _mm_set1_ps(v.marginOffset)};
  std::size_t i = 0;
  while (i + kSse2Block <= count && moveBlock(k, segments + i)) i += kSse2Block;
  return i;
}

#endif
