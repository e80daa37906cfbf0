// The AVX2 path of the segment kernel: the SSE2 blocks' operations, in the
// same order with the same roundings (separate multiplications and additions,
// never fused), on eight segments at a time. Each 128-bit half of a register
// holds what an SSE2 register holds for four segments: the low half segments
// 0 to 3 of the block, the high half segments 4 to 7, 28 floats further on.
// Two blocks share one envelope test. A path's bound (blocks.h) is read
// eight segments at a time as well, on this path and on AVX-512's.
#include "tool/kernel/blocks.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

using hostapi::PathSegment;

#define SW_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace {

constexpr int kHalf = 28;  // floats from a block's low half to its high half

// The event's values (BlockValues) in registers, loaded once per call, and
// the envelope's constants; for bounded blocks the path's threshold (P).
struct Lanes {
  __m256 a, b, c, sideFactor, cosSin, marginOffset, marginScale, pathThreshold;
  __m256i magnitude, maxCoordinate, maxDistance;
};

// The envelope's bounds, lane by lane over the lane's points: the largest
// coordinate magnitude (for bounded blocks the largest |t|) and the smallest
// |t|, as integers (the bits of a
// float without its sign order as its magnitude does, NaN and infinity
// above every finite value).
struct Envelope {
  __m256i largest, nearest;
};

// t = a*x + b*y + c, the signed distance from the axis.
SW_AVX2 __m256 distance(const Lanes& k, __m256 x, __m256 y) {
  return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(k.a, x), _mm256_mul_ps(k.b, y)), k.c);
}

SW_AVX2 __m256i magnitude(const Lanes& k, __m256 v) { return _mm256_and_si256(_mm256_castps_si256(v), k.magnitude); }

// The t of the group of points in the pairs `low` and `high`, folded into
// the envelope.
template <bool bounded>
SW_AVX2 __m256 groupDistance(const Lanes& k, __m256 low, __m256 high, Envelope& e, bool first) {
  const __m256 x = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 y = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
  const __m256 t = distance(k, x, y);
  const __m256i nearest = magnitude(k, t);
  const __m256i largest = bounded ? nearest : _mm256_max_epu32(magnitude(k, x), magnitude(k, y));
  e.largest = first ? largest : _mm256_max_epu32(e.largest, largest);
  e.nearest = first ? nearest : _mm256_min_epu32(e.nearest, nearest);
  return t;
}

// (G), then (M) where (G) holds, both as integer comparisons; for bounded
// blocks (P).
template <bool bounded>
SW_AVX2 bool inside(const Lanes& k, const Envelope& e) {
  const __m256i sized = _mm256_cmpgt_epi32(e.largest, bounded ? k.maxDistance : k.maxCoordinate);
  const __m256 threshold =
      bounded ? k.pathThreshold
              : _mm256_add_ps(_mm256_mul_ps(_mm256_castsi256_ps(e.largest), k.marginScale), k.marginOffset);
  const __m256i clear = _mm256_cmpgt_epi32(e.nearest, _mm256_castps_si256(threshold));
  return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_andnot_si256(sized, clear))) == 0xFF;
}

// (x, y) + (cos, sin) * d for the pairs whose d are the low or high two
// lanes of each half of `d`.
SW_AVX2 __m256 movedLow(const Lanes& k, __m256 d, __m256 pairs) {
  return _mm256_add_ps(_mm256_mul_ps(k.cosSin, _mm256_unpacklo_ps(d, d)), pairs);
}

SW_AVX2 __m256 movedHigh(const Lanes& k, __m256 d, __m256 pairs) {
  return _mm256_add_ps(_mm256_mul_ps(k.cosSin, _mm256_unpackhi_ps(d, d)), pairs);
}

// 16 bytes at f and at f + kHalf: the low half of a 32-byte load at f and
// the high half of one at f + kHalf - 4, blended (a blend runs on more ports
// than an insert). Every load lies within the block's 56 floats.
SW_AVX2 __m256 loadHalves(const float* f) {
  return _mm256_blend_ps(_mm256_loadu_ps(f), _mm256_loadu_ps(f + kHalf - 4), 0xF0);
}

SW_AVX2 void storeHalves(float* f, __m256 v) { _mm256_storeu2_m128(f + kHalf, f, v); }

SW_AVX2 void storePairs(float* first, float* second, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64*>(first), v);
  _mm_storeh_pi(reinterpret_cast<__m64*>(second), v);
}

// A block's pairs as in the SSE2 blocks, each register's halves from two
// 32-byte loads and a blend. In each half, segment i's anchor, in- and
// out-handle are floats 7i, 7i + 2 and 7i + 4.
struct Pairs {
  __m256 first0, first1, second0, second1, outs0, outs1;
};

SW_AVX2 Pairs loadBlock(const float* f) {
  // The out-handles, from 16 bytes that begin or end with each: (out 0, out 1)
  // and (out 2, out 3) as pairs.
  return {loadHalves(f),
          loadHalves(f + 7),   // anchors and in-handles of segments 0 and 1
          loadHalves(f + 14),  // of segments 2 and 3
          loadHalves(f + 21),
          _mm256_shuffle_ps(loadHalves(f + 4), loadHalves(f + 11), _MM_SHUFFLE(1, 0, 1, 0)),
          _mm256_shuffle_ps(loadHalves(f + 18), loadHalves(f + 24), _MM_SHUFFLE(2, 1, 1, 0))};
}

struct Distances {
  __m256 t0, t1, t2;
};

template <bool bounded>
SW_AVX2 Distances distances(const Lanes& k, const Pairs& p, Envelope& e, bool first) {
  return {groupDistance<bounded>(k, p.first0, p.first1, e, first),
          groupDistance<bounded>(k, p.second0, p.second1, e, false),
          groupDistance<bounded>(k, p.outs0, p.outs1, e, false)};
}

// A block's pairs moved by their t, in the layout of Pairs.
SW_AVX2 Pairs moved(const Lanes& k, const Pairs& p, const Distances& t) {
  const __m256 d0 = _mm256_mul_ps(t.t0, k.sideFactor);
  const __m256 d1 = _mm256_mul_ps(t.t1, k.sideFactor);
  const __m256 d2 = _mm256_mul_ps(t.t2, k.sideFactor);
  return {movedLow(k, d0, p.first0),   movedHigh(k, d0, p.first1), movedLow(k, d1, p.second0),
          movedHigh(k, d1, p.second1), movedLow(k, d2, p.outs0),   movedHigh(k, d2, p.outs1)};
}

// Writes a block's moved pairs; the host bytes are not written.
SW_AVX2 void store(float* f, const Pairs& m) {
  storeHalves(f, m.first0);
  storeHalves(f + 7, m.first1);
  storeHalves(f + 14, m.second0);
  storeHalves(f + 21, m.second1);
  storePairs(f + 4, f + 11, _mm256_castps256_ps128(m.outs0));
  storePairs(f + 4 + kHalf, f + 11 + kHalf, _mm256_extractf128_ps(m.outs0, 1));
  storePairs(f + 18, f + 25, _mm256_castps256_ps128(m.outs1));
  storePairs(f + 18 + kHalf, f + 25 + kHalf, _mm256_extractf128_ps(m.outs1, 1));
}

// Whether the points are moved before the envelope test. Across the test,
// sixteen vector registers (x86-64) hold the moved pairs of two blocks with
// fewer spills than their original pairs and t; in eight (i686) the original
// pairs and t, moved after the test, spill less.
#if defined(__x86_64__)
constexpr bool kMoveBeforeTest = true;
#else
constexpr bool kMoveBeforeTest = false;
#endif

// Moves `blocks` consecutive blocks of eight segments with one envelope test;
// false, with nothing written, when a point of any lies outside the envelope.
template <int blocks, bool bounded>
SW_AVX2 bool moveBlocks(const Lanes& k, PathSegment* s) {
  float* const f = &s->anchor.x;
  Envelope e;
  Pairs p[blocks];
  Distances t[blocks];
  for (int j = 0; j < blocks; ++j) {
    p[j] = loadBlock(f + 2 * kHalf * j);
    t[j] = distances<bounded>(k, p[j], e, j == 0);
    if constexpr (kMoveBeforeTest) p[j] = moved(k, p[j], t[j]);
  }
  if (!inside<bounded>(k, e)) return false;
  for (int j = 0; j < blocks; ++j) store(f + 2 * kHalf * j, kMoveBeforeTest ? p[j] : moved(k, p[j], t[j]));
  return true;
}

template <bool bounded>
__attribute__((target("avx2"))) std::size_t moveAll(const BlockValues& v, float threshold, PathSegment* segments,
                                                    std::size_t count) {
  const Lanes k{_mm256_loadu_ps(v.a.lane),
                _mm256_loadu_ps(v.b.lane),
                _mm256_loadu_ps(v.c.lane),
                _mm256_loadu_ps(v.sideFactor.lane),
                _mm256_loadu_ps(v.cosSin.lane),
                _mm256_loadu_ps(v.marginOffset.lane),
                _mm256_set1_ps(kMarginScale),
                _mm256_set1_ps(threshold),
                _mm256_set1_epi32(static_cast<int>(kMagnitudeBits)),
                _mm256_set1_epi32(static_cast<int>(kMaxCoordinateBits)),
                _mm256_set1_epi32(static_cast<int>(kMaxDistanceBits))};
  std::size_t i = 0;
  while (i + 2 * kAvx2Block <= count && moveBlocks<2, bounded>(k, segments + i)) i += 2 * kAvx2Block;
  while (i + kAvx2Block <= count && moveBlocks<1, bounded>(k, segments + i)) i += kAvx2Block;
  return i;
}

constexpr auto kMagnitudeMasks = magnitudeMasks<kAvx2Block>();

}  // namespace

__attribute__((target("avx2"))) std::uint32_t largestMagnitudeBitsAvx2(const PathSegment* segments, std::size_t count) {
  const auto* masks = reinterpret_cast<const __m256i*>(kMagnitudeMasks.word);
  __m256i largest = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + kAvx2Block <= count; i += kAvx2Block) {
    const auto* block = reinterpret_cast<const __m256i*>(segments + i);
    __m256i r[7];
    for (int j = 0; j < 7; ++j) r[j] = _mm256_and_si256(_mm256_loadu_si256(block + j), _mm256_load_si256(masks + j));
    // A tree, so that only its last step waits for the blocks before.
    const __m256i low = _mm256_max_epu32(_mm256_max_epu32(r[0], r[1]), _mm256_max_epu32(r[2], r[3]));
    const __m256i high = _mm256_max_epu32(_mm256_max_epu32(r[4], r[5]), r[6]);
    largest = _mm256_max_epu32(largest, _mm256_max_epu32(low, high));
  }
  alignas(32) std::uint32_t lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), largest);
  std::uint32_t bits = largestMagnitudeBits(segments + i, count - i);
  for (const std::uint32_t lane : lanes) bits = lane > bits ? lane : bits;
  return bits;
}

__attribute__((target("avx2"))) std::size_t moveBlocksAvx2(const BlockValues& v, PathSegment* segments,
                                                           std::size_t count) {
  return moveAll<false>(v, 0.0f, segments, count);
}

__attribute__((target("avx2"))) std::size_t moveBoundedBlocksAvx2(const BlockValues& v, float threshold,
                                                                  PathSegment* segments, std::size_t count) {
  return moveAll<true>(v, threshold, segments, count);
}

#endif
