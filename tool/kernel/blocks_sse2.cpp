// The SSE2 path of the segment kernel: four segments (28 floats) at a time,
// the twelve points in three groups of four, each group's coordinates
// gathered into an x and a y register by one shuffle each: the anchors and
// in-handles of segments 0 and 1, those of segments 2 and 3, and the four
// out-handles. With sixteen vector registers (x86-64, and the page's
// WebAssembly, translated to SIMD) two blocks share one envelope test; only
// their t are kept across it, and their points read again for the moves.
// With eight (i686) each block is tested alone and kept in registers from its
// test to its stores. A path's bound (blocks.h) is read four segments at a
// time as well. The code uses only SSE2 operations that have a direct
// 128-bit WebAssembly counterpart; only the AVX2 path's chunked block, on
// x86 alone, writes with 32-byte stores.
#include "tool/kernel/blocks.h"

#if defined(__SSE2__)

#include <emmintrin.h>
#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

#include <atomic>
#include <cstdint>

using hostapi::PathSegment;

#define SW_SSE2 [[gnu::always_inline]] inline

namespace {

// The event's values (BlockValues) in registers, loaded once per call, and
// for bounded blocks the path's threshold (P).
struct Lanes {
  __m128 a, b, c, sideFactor, cosSin, cosTheta, sinTheta, marginOffset, pathThreshold;
};

SW_SSE2 Lanes lanesOf(const BlockValues& v, float threshold = 0.0f) {
  return {_mm_loadu_ps(v.a.lane),        _mm_loadu_ps(v.b.lane),
          _mm_loadu_ps(v.c.lane),        _mm_loadu_ps(v.sideFactor.lane),
          _mm_loadu_ps(v.cosSin.lane),   _mm_loadu_ps(v.cosTheta.lane),
          _mm_loadu_ps(v.sinTheta.lane), _mm_loadu_ps(v.marginOffset.lane),
          _mm_set1_ps(threshold)};
}

// The envelope's bounds, lane by lane over the lane's points: the largest
// coordinate magnitude (for bounded blocks the largest |t|) and the smallest
// |t|. SSE2 has no 32-bit integer
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

template <bool bounded>
SW_SSE2 Envelope envelopeOf(__m128 x, __m128 y, __m128 t) {
  if constexpr (bounded) {
    const __m128i distance = magnitude(t);
    return {distance, distance};
  }
  return {_mm_max_epi16(magnitude(x), magnitude(y)), magnitude(t)};
}

template <bool bounded>
SW_SSE2 void include(Envelope& e, __m128 x, __m128 y, __m128 t) {
  const __m128i distance = magnitude(t);
  if constexpr (bounded) {
    e.largest = _mm_max_epi16(e.largest, distance);
  } else {
    e.largest = _mm_max_epi16(e.largest, _mm_max_epi16(magnitude(x), magnitude(y)));
  }
  e.nearest = _mm_min_epi16(e.nearest, distance);
}

// The high halves bound the lane's values: a magnitude whose high half is h
// lies below the float whose bits are (h + 1) << 16, at most 1 + 2^-7 times
// the float whose bits are h << 16 or more (a subnormal h: 2^-133 more, far
// inside the margin); a |t| whose high half is h is at least the float whose
// bits are h << 16.
constexpr float kLargestToMargin = kMarginScale * (1.0f + 0x1p-7f);  // exact
// (G) for the high halves, and a low half no 16-bit value exceeds; the same
// for |t| < 2^62 (P).
constexpr int kMaxCoordinateHigh = static_cast<int>(kMaxCoordinateBits & 0xFFFF0000u) | 0x7FFF;
constexpr int kMaxDistanceHigh = static_cast<int>(kMaxDistanceBits & 0xFFFF0000u) | 0x7FFF;

// Whether every point lies inside the envelope: (G) on the largest
// magnitude's high half, then (M) on the high halves of the smallest |t| and
// of the threshold, all compared as 16-bit integers (non-negative floats
// order as their bits do); only the high halves' results count. Bounded
// blocks test (P): a smallest |t| whose high half exceeds the path
// threshold's is above it, and the largest |t| below 2^62.
template <bool bounded>
SW_SSE2 bool inside(const Lanes& k, const Envelope& e) {
  __m128i sized;
  __m128 threshold;
  if constexpr (bounded) {
    sized = _mm_cmpgt_epi16(e.largest, _mm_set1_epi32(kMaxDistanceHigh));
    threshold = k.pathThreshold;
  } else {
    sized = _mm_cmpgt_epi16(e.largest, _mm_set1_epi32(kMaxCoordinateHigh));
    threshold = _mm_add_ps(_mm_mul_ps(_mm_castsi128_ps(e.largest), _mm_set1_ps(kLargestToMargin)), k.marginOffset);
  }
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

// A block's four segments are 28 floats: segment i's anchor, in- and
// out-handle at floats 7i, 7i + 2 and 7i + 4, its host bytes at 7i + 6. Its
// twelve points are taken in three groups of four, each gathered from two
// registers of pairs (x, y, x, y) by one shuffle per coordinate: the anchors
// and in-handles of segments 0 and 1 (floats 0-3 and 7-10), those of
// segments 2 and 3 (14-17 and 21-24), and the four out-handles.
struct Pairs {
  __m128 first0, first1, second0, second1, outs0, outs1;
};

SW_SSE2 Pairs loadBlock(const float* f) {
  return {_mm_loadu_ps(f),      _mm_loadu_ps(f + 7),      _mm_loadu_ps(f + 14),
          _mm_loadu_ps(f + 21), loadPairs(f + 4, f + 11), loadPairs(f + 18, f + 25)};
}

// The t of each group.
struct Distances {
  __m128 t0, t1, t2;
};

// A block's twelve points as three groups of four, x and y apart.
struct Groups {
  __m128 x0, y0, x1, y1, x2, y2;
};

SW_SSE2 __m128 xs(__m128 low, __m128 high) { return _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)); }
SW_SSE2 __m128 ys(__m128 low, __m128 high) { return _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)); }

SW_SSE2 Groups groupsOf(const Pairs& p) {
  return {xs(p.first0, p.first1),   ys(p.first0, p.first1), xs(p.second0, p.second1),
          ys(p.second0, p.second1), xs(p.outs0, p.outs1),   ys(p.outs0, p.outs1)};
}

// The groups' t, folded into the envelope `e` (begun when `first`).
template <bool bounded = false>
SW_SSE2 Distances distances(const Lanes& k, const Groups& g, Envelope& e, bool first) {
  const Distances t{distance(k, g.x0, g.y0), distance(k, g.x1, g.y1), distance(k, g.x2, g.y2)};
  if (first) {
    e = envelopeOf<bounded>(g.x0, g.y0, t.t0);
  } else {
    include<bounded>(e, g.x0, g.y0, t.t0);
  }
  include<bounded>(e, g.x1, g.y1, t.t1);
  include<bounded>(e, g.x2, g.y2, t.t2);
  return t;
}

template <bool bounded>
SW_SSE2 Distances distances(const Lanes& k, const Pairs& p, Envelope& e, bool first) {
  return distances<bounded>(k, groupsOf(p), e, first);
}

// Writes the block's points moved by their t; the host bytes are not written.
// Each group's d is formed next to its stores, which schedules better than
// forming them all first.
SW_SSE2 void store(const Lanes& k, float* f, const Pairs& p, const Distances& t) {
  const __m128 d0 = _mm_mul_ps(t.t0, k.sideFactor);
  _mm_storeu_ps(f, movedLow(k, d0, p.first0));
  _mm_storeu_ps(f + 7, movedHigh(k, d0, p.first1));
  const __m128 d1 = _mm_mul_ps(t.t1, k.sideFactor);
  _mm_storeu_ps(f + 14, movedLow(k, d1, p.second0));
  _mm_storeu_ps(f + 21, movedHigh(k, d1, p.second1));
  const __m128 d2 = _mm_mul_ps(t.t2, k.sideFactor);
  const __m128 low = movedLow(k, d2, p.outs0);
  const __m128 high = movedHigh(k, d2, p.outs1);
  _mm_storel_pi(reinterpret_cast<__m64*>(f + 4), low);
  _mm_storeh_pi(reinterpret_cast<__m64*>(f + 11), low);
  _mm_storel_pi(reinterpret_cast<__m64*>(f + 18), high);
  _mm_storeh_pi(reinterpret_cast<__m64*>(f + 25), high);
}

// The same block as its seven 16-byte chunks, floats 4i to 4i + 3. Its
// groups are gathered from the chunks and the moved groups scattered back
// into them by shuffles, which move bits as they are (the host bytes among
// them).
struct Chunks {
  __m128 c0, c1, c2, c3, c4, c5, c6;
};

SW_SSE2 Chunks loadChunks(const float* f) {
  return {_mm_loadu_ps(f),      _mm_loadu_ps(f + 4),  _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 12),
          _mm_loadu_ps(f + 16), _mm_loadu_ps(f + 20), _mm_loadu_ps(f + 24)};
}

// (low[i0], low[i1], high[i2], high[i3]).
template <int i0, int i1, int i2, int i3>
SW_SSE2 __m128 pick(__m128 low, __m128 high) {
  return _mm_shuffle_ps(low, high, _MM_SHUFFLE(i3, i2, i1, i0));
}

// The groups of the block in chunks: the anchors and in-handles of segments
// 0 and 1 (x at floats 0, 2, 7, 9), of segments 2 and 3 (14, 16, 21, 23),
// and the out-handles of segments 0, 2, 1 and 3 (4, 18, 11, 25), each y
// the float after its x.
SW_SSE2 Groups groupsOf(const Chunks& c) {
  const __m128 outs02 = pick<0, 1, 2, 3>(c.c1, c.c4);                          // floats 4, 5, 18, 19
  const __m128 outs13 = pick<0, 2, 1, 2>(pick<3, 3, 0, 0>(c.c2, c.c3), c.c6);  // 11, 12, 25, 26
  return {pick<0, 2, 0, 2>(c.c0, pick<3, 3, 1, 1>(c.c1, c.c2)),
          pick<1, 3, 0, 2>(c.c0, c.c2),
          pick<0, 2, 1, 3>(pick<2, 2, 0, 0>(c.c3, c.c4), c.c5),
          pick<0, 2, 0, 2>(pick<3, 3, 1, 1>(c.c3, c.c4), pick<2, 2, 0, 0>(c.c5, c.c6)),
          pick<0, 2, 0, 2>(outs02, outs13),
          pick<1, 3, 1, 3>(outs02, outs13)};
}

// The groups' points moved by their t: x + cos * d and y + sin * d, as
// movedLow and movedHigh form them for pairs.
SW_SSE2 Groups moved(const Lanes& k, const Groups& g, const Distances& t) {
  const __m128 d0 = _mm_mul_ps(t.t0, k.sideFactor);
  const __m128 d1 = _mm_mul_ps(t.t1, k.sideFactor);
  const __m128 d2 = _mm_mul_ps(t.t2, k.sideFactor);
  return {_mm_add_ps(_mm_mul_ps(k.cosTheta, d0), g.x0), _mm_add_ps(_mm_mul_ps(k.sinTheta, d0), g.y0),
          _mm_add_ps(_mm_mul_ps(k.cosTheta, d1), g.x1), _mm_add_ps(_mm_mul_ps(k.sinTheta, d1), g.y1),
          _mm_add_ps(_mm_mul_ps(k.cosTheta, d2), g.x2), _mm_add_ps(_mm_mul_ps(k.sinTheta, d2), g.y2)};
}

// The chunks of the moved groups `m`, with the host bytes of `c`.
SW_SSE2 Chunks chunksOf(const Groups& m, const Chunks& c) {
  const __m128 first = _mm_unpacklo_ps(m.x0, m.y0);   // floats 0-3
  const __m128 second = _mm_unpackhi_ps(m.x0, m.y0);  // 7-10
  const __m128 third = _mm_unpacklo_ps(m.x1, m.y1);   // 14-17
  const __m128 fourth = _mm_unpackhi_ps(m.x1, m.y1);  // 21-24
  const __m128 outs02 = _mm_unpacklo_ps(m.x2, m.y2);  // 4, 5, 18, 19
  const __m128 outs13 = _mm_unpackhi_ps(m.x2, m.y2);  // 11, 12, 25, 26
  // The floats where a chunk joins two registers, each float twice.
  const __m128 host0 = pick<2, 2, 0, 0>(c.c1, second);    // floats 6, 6, 7, 7
  const __m128 tail1 = pick<3, 3, 0, 0>(second, outs13);  // 10, 10, 11, 11
  const __m128 host1 = pick<1, 1, 1, 1>(outs13, c.c3);    // 12, 12, 13, 13
  const __m128 host2 = pick<0, 0, 0, 0>(c.c5, fourth);    // 20, 20, 21, 21
  const __m128 tail3 = pick<3, 3, 2, 2>(fourth, outs13);  // 24, 24, 25, 25
  const __m128 host3 = pick<3, 3, 3, 3>(outs13, c.c6);    // 26, 26, 27, 27
  return {first,
          pick<0, 1, 0, 2>(outs02, host0),
          pick<1, 2, 0, 2>(second, tail1),
          pick<0, 2, 0, 1>(host1, third),
          pick<2, 3, 2, 3>(third, outs02),
          pick<0, 2, 1, 2>(host2, fourth),
          pick<0, 2, 0, 2>(tail3, host3)};
}

// The moved chunks of the block at f, or false when a point lies outside
// the envelope.
SW_SSE2 bool movedChunks(const BlockValues& v, const float* f, Chunks& m) {
  const Lanes k = lanesOf(v);
  const Chunks c = loadChunks(f);
  const Groups g = groupsOf(c);
  Envelope e;
  const Distances t = distances(k, g, e, true);
  if (!inside<false>(k, e)) return false;
  m = chunksOf(moved(k, g, t), c);
  return true;
}

SW_SSE2 void storeChunks(float* f, const Chunks& c) {
  _mm_storeu_ps(f, c.c0);
  _mm_storeu_ps(f + 4, c.c1);
  _mm_storeu_ps(f + 8, c.c2);
  _mm_storeu_ps(f + 12, c.c3);
  _mm_storeu_ps(f + 16, c.c4);
  _mm_storeu_ps(f + 20, c.c5);
  _mm_storeu_ps(f + 24, c.c6);
}

// Moves four segments; when `tested`, first makes sure every point lies
// inside the envelope, and otherwise returns false with nothing written.
template <bool tested, bool bounded = false>
SW_SSE2 bool moveBlock(const Lanes& k, PathSegment* s) {
  float* const f = &s->anchor.x;
  const Pairs p = loadBlock(f);
  Envelope e;
  const Distances t = distances<bounded>(k, p, e, true);
  if (tested && !inside<bounded>(k, e)) return false;
  store(k, f, p, t);
  return true;
}

// Moves two blocks with one envelope test; false, with nothing written, when
// a point of either lies outside. The points are read again for the moves
// rather than kept, which is cheaper than keeping them where registers are
// few.
template <bool bounded>
SW_SSE2 bool moveTwoBlocks(const Lanes& k, PathSegment* s) {
  float* const f = &s->anchor.x;
  Envelope e;
  const Distances first = distances<bounded>(k, loadBlock(f), e, true);
  const Distances second = distances<bounded>(k, loadBlock(f + 28), e, false);
  if (!inside<bounded>(k, e)) return false;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  store(k, f, loadBlock(f), first);
  store(k, f + 28, loadBlock(f + 28), second);
  return true;
}

}  // namespace

// Whether two blocks share one envelope test: it saves more than reading the
// points again costs where sixteen registers hold the two blocks' t, and
// costs more where eight do (i686: 2.3 against 2.1 ns per segment on a
// Zen 3 EPYC).
#if defined(__i386__)
constexpr bool kTwoBlocksPerTest = false;
#else
constexpr bool kTwoBlocksPerTest = true;
#endif

namespace {

template <bool bounded>
std::size_t moveBlocks(const Lanes& k, PathSegment* segments, std::size_t count) {
  std::size_t i = 0;
  if constexpr (kTwoBlocksPerTest) {
    while (i + 2 * kSse2Block <= count && moveTwoBlocks<bounded>(k, segments + i)) i += 2 * kSse2Block;
  }
  while (i + kSse2Block <= count && moveBlock<true, bounded>(k, segments + i)) i += kSse2Block;
  return i;
}

}  // namespace

std::size_t moveBlocksSse2(const BlockValues& v, PathSegment* segments, std::size_t count) {
  return moveBlocks<false>(lanesOf(v), segments, count);
}

std::size_t moveBoundedBlocksSse2(const BlockValues& v, float threshold, PathSegment* segments, std::size_t count) {
  return moveBlocks<true>(lanesOf(v, threshold), segments, count);
}

void moveBlockUntestedSse2(const BlockValues& v, PathSegment* segments) { moveBlock<false>(lanesOf(v), segments); }

bool moveChunkedBlockSse2(const BlockValues& v, PathSegment* segments) {
  float* const f = &segments->anchor.x;
  Chunks m;
  if (!movedChunks(v, f, m)) return false;
  storeChunks(f, m);
  return true;
}

namespace {

constexpr auto kMagnitudeMasks = magnitudeMasks<kSse2Block>();

// The larger of two words lane by lane, both below 2^31, where SSE2's one
// comparison, a signed one, orders them as they are.
SW_SSE2 __m128i larger(__m128i a, __m128i b) {
  const __m128i greater = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(greater, a), _mm_andnot_si128(greater, b));
}

}  // namespace

std::uint32_t largestMagnitudeBitsSse2(const PathSegment* segments, std::size_t count) {
  const auto* masks = reinterpret_cast<const __m128i*>(kMagnitudeMasks.word);
  __m128i largest = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + kSse2Block <= count; i += kSse2Block) {
    const auto* block = reinterpret_cast<const __m128i*>(segments + i);
    __m128i r[7];
    for (int j = 0; j < 7; ++j) r[j] = _mm_and_si128(_mm_loadu_si128(block + j), _mm_load_si128(masks + j));
    // A tree, so that only its last step waits for the blocks before.
    largest = larger(largest, larger(larger(larger(r[0], r[1]), larger(r[2], r[3])), larger(larger(r[4], r[5]), r[6])));
  }
  alignas(16) std::uint32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), largest);
  std::uint32_t bits = largestMagnitudeBits(segments + i, count - i);
  for (const std::uint32_t lane : lanes) bits = lane > bits ? lane : bits;
  return bits;
}

#if defined(__i386__) || defined(__x86_64__)

// Chunks 0-1, 2-3, 3-4 and 5-6 as four 32-byte stores, the fourth chunk
// written twice: each 32-byte read at a 16-byte step from the block's
// start, as the C library's copies make them where the processor has AVX,
// lies within one of them.
__attribute__((target("avx2"))) bool moveChunkedBlockAvx2(const BlockValues& v, PathSegment* segments) {
  float* const f = &segments->anchor.x;
  Chunks m;
  if (!movedChunks(v, f, m)) return false;
  _mm256_storeu_ps(f, _mm256_insertf128_ps(_mm256_castps128_ps256(m.c0), m.c1, 1));
  _mm256_storeu_ps(f + 8, _mm256_insertf128_ps(_mm256_castps128_ps256(m.c2), m.c3, 1));
  _mm256_storeu_ps(f + 12, _mm256_insertf128_ps(_mm256_castps128_ps256(m.c3), m.c4, 1));
  _mm256_storeu_ps(f + 20, _mm256_insertf128_ps(_mm256_castps128_ps256(m.c5), m.c6, 1));
  return true;
}

#endif

#endif
