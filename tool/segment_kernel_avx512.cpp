// The AVX-512 path of the segment kernel: the SSE2 blocks' multiplications
// and additions, in the same order with the same roundings (never fused), on
// sixteen segments at a time. Each 128-bit quarter of a register holds what
// an SSE2 register holds for four segments: quarter j segments 4j to 4j+3.
//
// The envelope is the SSE2 blocks' one or narrower: the size
// |x| + |y| + offset is bounded by 2 * max(|x|, |y|) + offset, computed as
// 2 * (max(|x|, |y|) + offset / 2) (the doubling and the halving are exact),
// and a larger size only makes both conditions stricter. It is tested once
// per block, lane by lane, with the largest size and the smallest distance
// among the lane's three points.
#include "tool/segment_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

// GCC 12's AVX-512 intrinsics make their "undefined" vectors by
// self-initialisation, which its own uninitialised-use warnings then flag
// wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

using hostapi::ArtworkPoint;
using hostapi::PathSegment;

#define SW_AVX512 __attribute__((target("avx512f,avx512dq"), always_inline)) inline

namespace {

constexpr float kMaxHalfSize = 0x1p61f;  // half the envelope's largest size, 2^62
constexpr float kHalfSizeToMargin = 0x1p-15f;
// vrangeps selections (their NaN results are NaN, so a NaN is never lost).
constexpr int kLargerMagnitude = 0x0B;   // max(|a|, |b|)
constexpr int kSmallerMagnitude = 0x0A;  // min(|a|, |b|)

struct Lanes {
  __m512 a, b, c, sideFactor, halfOffset, cosSin, maxHalfSize, marginScale;
};

// What a block's points need of the envelope, lane by lane: the largest
// max(|x|, |y|) and the smallest |t| among the lane's points. Each point's own
// test follows from its lane's (the margin grows with the size).
struct Envelope {
  __m512 largest, smallestT;
};

SW_AVX512 void include(Envelope& e, __m512 x, __m512 y, __m512 t) {
  e.largest = _mm512_range_ps(e.largest, _mm512_range_ps(x, y, kLargerMagnitude), kLargerMagnitude);
  e.smallestT = _mm512_range_ps(e.smallestT, t, kSmallerMagnitude);
}

// Whether every point of the block lies inside the envelope.
SW_AVX512 bool inside(const Lanes& k, const Envelope& e) {
  const __m512 halfSize = _mm512_add_ps(e.largest, k.halfOffset);
  const __mmask16 sized = _mm512_cmp_ps_mask(halfSize, k.maxHalfSize, _CMP_LE_OQ);
  const __mmask16 clear =
      _mm512_mask_cmp_ps_mask(sized, e.smallestT, _mm512_mul_ps(halfSize, k.marginScale), _CMP_GT_OQ);
  return static_cast<unsigned>(clear) == 0xFFFFu;
}

// t = a*x + b*y + c, the signed distance from the axis.
SW_AVX512 __m512 distance(const Lanes& k, __m512 x, __m512 y) {
  return _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(k.a, x), _mm512_mul_ps(k.b, y)), k.c);
}

// 16 bytes at each of four places, quarter by quarter.
SW_AVX512 __m512 loadQuarters(const ArtworkPoint& p0, const ArtworkPoint& p1, const ArtworkPoint& p2,
                              const ArtworkPoint& p3) {
  __m512 v = _mm512_castps128_ps512(_mm_loadu_ps(&p0.x));
  v = _mm512_insertf32x4(v, _mm_loadu_ps(&p1.x), 1);
  v = _mm512_insertf32x4(v, _mm_loadu_ps(&p2.x), 2);
  return _mm512_insertf32x4(v, _mm_loadu_ps(&p3.x), 3);
}

SW_AVX512 void storeQuarters(ArtworkPoint& p0, ArtworkPoint& p1, ArtworkPoint& p2, ArtworkPoint& p3, __m512 v) {
  _mm_storeu_ps(&p0.x, _mm512_castps512_ps128(v));
  _mm_storeu_ps(&p1.x, _mm512_extractf32x4_ps(v, 1));
  _mm_storeu_ps(&p2.x, _mm512_extractf32x4_ps(v, 2));
  _mm_storeu_ps(&p3.x, _mm512_extractf32x4_ps(v, 3));
}

// Anchors and in-handles of segments i and i+1 in each quarter, as pairs.
struct AnchorsAndIns {
  __m512 first, second;
};

SW_AVX512 AnchorsAndIns moveAnchorsAndIns(const Lanes& k, const PathSegment* s, Envelope& e) {
  AnchorsAndIns r;
  r.first = loadQuarters(s[0].anchor, s[4].anchor, s[8].anchor, s[12].anchor);
  r.second = loadQuarters(s[1].anchor, s[5].anchor, s[9].anchor, s[13].anchor);
  const __m512 x = _mm512_shuffle_ps(r.first, r.second, _MM_SHUFFLE(2, 0, 2, 0));
  const __m512 y = _mm512_shuffle_ps(r.first, r.second, _MM_SHUFFLE(3, 1, 3, 1));
  const __m512 t = distance(k, x, y);
  include(e, x, y, t);
  const __m512 d = _mm512_mul_ps(t, k.sideFactor);
  // (x, y) + (cos, sin) * d, pair by pair.
  r.first = _mm512_add_ps(_mm512_mul_ps(k.cosSin, _mm512_unpacklo_ps(d, d)), r.first);
  r.second = _mm512_add_ps(_mm512_mul_ps(k.cosSin, _mm512_unpackhi_ps(d, d)), r.second);
  return r;
}

SW_AVX512 void storeAnchorsAndIns(const AnchorsAndIns& r, PathSegment* s) {
  storeQuarters(s[0].anchor, s[4].anchor, s[8].anchor, s[12].anchor, r.first);
  storeQuarters(s[1].anchor, s[5].anchor, s[9].anchor, s[13].anchor, r.second);
}

// The points p and q as one 128-bit pair.
SW_AVX512 __m128 pairOf(const ArtworkPoint& p, const ArtworkPoint& q) {
  const __m128 first = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&p)));
  return _mm_loadh_pi(first, reinterpret_cast<const __m64*>(&q));
}

SW_AVX512 void storePair(ArtworkPoint& p, ArtworkPoint& q, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64*>(&p), v);
  _mm_storeh_pi(reinterpret_cast<__m64*>(&q), v);
}

// The out-handles of segments (i, i+1), (i+4, i+5), (i+8, i+9), (i+12, i+13), as pairs.
SW_AVX512 __m512 loadOuts(const PathSegment* s) {
  __m512 v = _mm512_castps128_ps512(pairOf(s[0].out, s[1].out));
  v = _mm512_insertf32x4(v, pairOf(s[4].out, s[5].out), 1);
  v = _mm512_insertf32x4(v, pairOf(s[8].out, s[9].out), 2);
  return _mm512_insertf32x4(v, pairOf(s[12].out, s[13].out), 3);
}

SW_AVX512 void storeOuts(PathSegment* s, __m512 v) {
  storePair(s[0].out, s[1].out, _mm512_castps512_ps128(v));
  storePair(s[4].out, s[5].out, _mm512_extractf32x4_ps(v, 1));
  storePair(s[8].out, s[9].out, _mm512_extractf32x4_ps(v, 2));
  storePair(s[12].out, s[13].out, _mm512_extractf32x4_ps(v, 3));
}

// The out-handles of all sixteen segments: segments i to i+3 of each quarter.
struct Outs {
  __m512 low, high;
};

SW_AVX512 Outs moveOuts(const Lanes& k, const PathSegment* s, Envelope& e) {
  Outs r{loadOuts(s), loadOuts(s + 2)};
  const __m512 x = _mm512_shuffle_ps(r.low, r.high, _MM_SHUFFLE(2, 0, 2, 0));
  const __m512 y = _mm512_shuffle_ps(r.low, r.high, _MM_SHUFFLE(3, 1, 3, 1));
  const __m512 t = distance(k, x, y);
  include(e, x, y, t);
  const __m512 d = _mm512_mul_ps(t, k.sideFactor);
  r.low = _mm512_add_ps(_mm512_mul_ps(k.cosSin, _mm512_unpacklo_ps(d, d)), r.low);
  r.high = _mm512_add_ps(_mm512_mul_ps(k.cosSin, _mm512_unpackhi_ps(d, d)), r.high);
  return r;
}

// Moves a block of sixteen segments; false, with nothing written, when a
// point lies outside the envelope.
SW_AVX512 bool moveBlock(const Lanes& k, PathSegment* s) {
  Envelope e{_mm512_setzero_ps(), _mm512_set1_ps(__builtin_inff())};
  const AnchorsAndIns first = moveAnchorsAndIns(k, s, e);
  const AnchorsAndIns second = moveAnchorsAndIns(k, s + 2, e);
  const Outs outs = moveOuts(k, s, e);
  if (!inside(k, e)) return false;
  storeAnchorsAndIns(first, s);
  storeAnchorsAndIns(second, s + 2);
  storeOuts(s, outs.low);
  storeOuts(s + 2, outs.high);
  return true;
}

}  // namespace

__attribute__((target("avx512f,avx512dq"))) std::size_t moveBlocksAvx512(const KernelValues& v, PathSegment* segments,
                                                                         std::size_t count) {
  const Lanes k{_mm512_set1_ps(v.a),
                _mm512_set1_ps(v.b),
                _mm512_set1_ps(v.c),
                _mm512_set1_ps(v.sideFactor),
                _mm512_set1_ps(v.sizeOffset * 0.5f),
                _mm512_broadcast_f32x2(_mm_setr_ps(v.cosTheta, v.sinTheta, 0.0f, 0.0f)),
                _mm512_set1_ps(kMaxHalfSize),
                _mm512_set1_ps(kHalfSizeToMargin)};
  std::size_t i = 0;
  while (i + kAvx512Block <= count && moveBlock(k, segments + i)) i += kAvx512Block;
  return i;
}

#endif
