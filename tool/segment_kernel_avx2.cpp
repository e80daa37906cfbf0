// The AVX2 path of the segment kernel: the SSE2 blocks' operations, in the
// same order with the same roundings (separate multiplications and additions,
// never fused), on eight segments at a time. Each 128-bit half of a register
// holds what an SSE2 register holds for four segments: the low half segments
// 0 to 3 of the block, the high half segments 4 to 7.
#include "tool/segment_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

using hostapi::ArtworkPoint;
using hostapi::PathSegment;

#define SW_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace {

constexpr float kMaxSize = 0x1p62f;  // the envelope, as in segment_displacer.cpp
constexpr float kMarginScale = 0x1p-16f;

struct Lanes {
  __m256 a, b, c, sideFactor, sizeOffset, cosSin, magnitude, maxSize, marginScale;
};

// Moves the eight points whose coordinates are x and y and which are stored
// as pairs in `low` and `high` (as the SSE2 blocks lay them out, per half);
// returns the lanes outside the envelope.
SW_AVX2 __m256 moveEight(const Lanes& k, __m256 x, __m256 y, __m256& low, __m256& high) {
  const __m256 t = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(k.a, x), _mm256_mul_ps(k.b, y)), k.c);
  const __m256 size =
      _mm256_add_ps(_mm256_add_ps(_mm256_and_ps(x, k.magnitude), _mm256_and_ps(y, k.magnitude)), k.sizeOffset);
  const __m256 outside =
      _mm256_or_ps(_mm256_cmp_ps(size, k.maxSize, _CMP_NLE_UQ),
                   _mm256_cmp_ps(_mm256_and_ps(t, k.magnitude), _mm256_mul_ps(size, k.marginScale), _CMP_NGT_UQ));
  const __m256 d = _mm256_mul_ps(t, k.sideFactor);
  low = _mm256_add_ps(_mm256_mul_ps(k.cosSin, _mm256_unpacklo_ps(d, d)), low);
  high = _mm256_add_ps(_mm256_mul_ps(k.cosSin, _mm256_unpackhi_ps(d, d)), high);
  return outside;
}

SW_AVX2 __m256 loadHalves(const ArtworkPoint& low, const ArtworkPoint& high) {
  return _mm256_loadu2_m128(&high.x, &low.x);
}

SW_AVX2 void storeHalves(ArtworkPoint& low, ArtworkPoint& high, __m256 v) {
  _mm_storeu_ps(&low.x, _mm256_castps256_ps128(v));
  _mm_storeu_ps(&high.x, _mm256_extractf128_ps(v, 1));
}

// The points p and q as one 128-bit pair.
SW_AVX2 __m128 pairOf(const ArtworkPoint& p, const ArtworkPoint& q) {
  const __m128 first = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&p)));
  return _mm_loadh_pi(first, reinterpret_cast<const __m64*>(&q));
}

SW_AVX2 void storePair(ArtworkPoint& p, ArtworkPoint& q, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64*>(&p), v);
  _mm_storeh_pi(reinterpret_cast<__m64*>(&q), v);
}

// Anchors and in-handles of segments (i, i+1) and (i+4, i+5).
struct AnchorsAndIns {
  __m256 first, second, outside;
};

SW_AVX2 AnchorsAndIns moveAnchorsAndIns(const Lanes& k, const PathSegment* s) {
  AnchorsAndIns r;
  r.first = loadHalves(s[0].anchor, s[4].anchor);
  r.second = loadHalves(s[1].anchor, s[5].anchor);
  const __m256 x = _mm256_shuffle_ps(r.first, r.second, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 y = _mm256_shuffle_ps(r.first, r.second, _MM_SHUFFLE(3, 1, 3, 1));
  r.outside = moveEight(k, x, y, r.first, r.second);
  return r;
}

SW_AVX2 void storeAnchorsAndIns(const AnchorsAndIns& r, PathSegment* s) {
  storeHalves(s[0].anchor, s[4].anchor, r.first);
  storeHalves(s[1].anchor, s[5].anchor, r.second);
}

// Moves a block of eight segments; false, with nothing written, when a point
// lies outside the envelope.
SW_AVX2 bool moveBlock(const Lanes& k, PathSegment* s) {
  const AnchorsAndIns first = moveAnchorsAndIns(k, s);
  const AnchorsAndIns second = moveAnchorsAndIns(k, s + 2);
  __m256 low = _mm256_set_m128(pairOf(s[4].out, s[5].out), pairOf(s[0].out, s[1].out));
  __m256 high = _mm256_set_m128(pairOf(s[6].out, s[7].out), pairOf(s[2].out, s[3].out));
  const __m256 x = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 y = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
  const __m256 outs = moveEight(k, x, y, low, high);
  if (_mm256_movemask_ps(_mm256_or_ps(_mm256_or_ps(first.outside, second.outside), outs)) != 0) return false;
  storeAnchorsAndIns(first, s);
  storeAnchorsAndIns(second, s + 2);
  storePair(s[0].out, s[1].out, _mm256_castps256_ps128(low));
  storePair(s[4].out, s[5].out, _mm256_extractf128_ps(low, 1));
  storePair(s[2].out, s[3].out, _mm256_castps256_ps128(high));
  storePair(s[6].out, s[7].out, _mm256_extractf128_ps(high, 1));
  return true;
}

}  // namespace

__attribute__((target("avx2"))) std::size_t moveBlocksAvx2(const KernelValues& v, PathSegment* segments,
                                                           std::size_t count) {
  const Lanes k{
      _mm256_set1_ps(v.a),
      _mm256_set1_ps(v.b),
      _mm256_set1_ps(v.c),
      _mm256_set1_ps(v.sideFactor),
      _mm256_set1_ps(v.sizeOffset),
      _mm256_setr_ps(v.cosTheta, v.sinTheta, v.cosTheta, v.sinTheta, v.cosTheta, v.sinTheta, v.cosTheta, v.sinTheta),
      _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)),
      _mm256_set1_ps(kMaxSize),
      _mm256_set1_ps(kMarginScale)};
  std::size_t i = 0;
  while (i + kAvx2Block <= count && moveBlock(k, segments + i)) i += kAvx2Block;
  return i;
}

#endif
