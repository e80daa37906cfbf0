// The AVX-512 path of the segment kernel: sixteen segments at a time, with
// the SSE2 blocks' multiplications and additions in the same order with the
// same roundings (never fused).
//
// A block is 112 floats, seven 64-byte registers as they lie in memory
// (segment i's anchor, in- and out-handle at floats 7i, 7i + 2 and 7i + 4,
// its host bytes at 7i + 6). Its 48 points are moved in four groups, each
// gathered from one window of the block by permutes: floats 0-31 (14
// points), 32-47 (7), 49-80 and 79-110 (14 each, the last two windows read
// by unaligned loads; segment 11's in-handle lies in both and is computed in
// both). The groups of fourteen have an x and a y register, gathered by one
// two-source permute each; lanes without a point of their own repeat one of
// the group's. The group of seven has its x in the low and its y in the
// high half of one register, and the same formula runs on it and on its
// halves exchanged with (a, b) and (b, a) per half (addition commutes), so
// t, d and the products come out in both halves. The products go back to the memory
// layout by one permute per register, each register drawing on one group
// only, and a masked add leaves the host bytes exactly as they were; the
// block is then stored whole. Two blocks share one envelope test.
//
// A path of exactly four segments has a block of its own
// (moveChunkedBlockAvx512), read and written in the 16-byte chunks of the
// SSE2 chunked block, its twelve points in one x and one y register.
#include "tool/kernel/blocks.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

#include <array>
#include <cstdint>

// GCC 12's AVX-512 intrinsics make their "undefined" vectors by
// self-initialisation, which its own uninitialised-use warnings then flag
// wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

using hostapi::PathSegment;

#define SW_AVX512 __attribute__((target("avx512f,avx512dq"), always_inline)) inline

namespace {

constexpr int kFloatsPerSegment = 7;
constexpr int kRegisters = 7;
constexpr int kGroups = 4;
constexpr int kLanes = 16;
constexpr int kHalf = kLanes / 2;
constexpr int kHalves = 1;  // the group of seven

// Each group's window: its first float and its length.
constexpr int kWindowStart[kGroups] = {0, 32, 49, 79};
constexpr int kWindowLength[kGroups] = {32, 16, 32, 32};
// The group each register's points are taken from.
constexpr int kRegisterGroup[kRegisters] = {0, 0, kHalves, 2, 2, 3, 3};

constexpr bool isHostFloat(int f) { return f % kFloatsPerSegment == 6; }

// The permutes' indices and the masks of coordinate lanes, derived from the
// layout above.
struct Tables {
  // Per group and lane: the float within the window of the lane's x (the y
  // is the next float), or for the group of seven of the lane's coordinate.
  std::array<std::array<std::int32_t, kLanes>, kGroups> gather{};
  // Per register and lane: the coordinate's lane among its group's products:
  // cos * d (0-15) or sin * d (16-31), or in the group of seven's one
  // register.
  std::array<std::array<std::int32_t, kLanes>, kRegisters> scatter{};
  std::array<std::uint16_t, kRegisters> coordinates{};  // lanes that are not host bytes
};

constexpr Tables makeTables() {
  Tables tables;
  // The points of each group: the block's points that lie wholly in its window.
  std::array<std::array<int, kLanes>, kGroups> pointX{};  // the x coordinate's float in the block
  std::array<int, kGroups> count{};
  for (int g = 0; g < kGroups; ++g) {
    for (int segment = 0; segment < 16; ++segment) {
      for (int point = 0; point < 3; ++point) {
        const int x = kFloatsPerSegment * segment + 2 * point;
        if (x >= kWindowStart[g] && x + 1 < kWindowStart[g] + kWindowLength[g]) pointX[g][count[g]++] = x;
      }
    }
    for (int lane = 0; lane < kLanes; ++lane) {
      if (g == kHalves) {
        const int p = lane % kHalf;  // count[kHalves] < kHalf, checked below
        tables.gather[g][lane] = pointX[g][p < count[g] ? p : 0] + lane / kHalf - kWindowStart[g];
      } else {
        tables.gather[g][lane] = pointX[g][lane < count[g] ? lane : lane % count[g]] - kWindowStart[g];
      }
    }
  }
  for (int r = 0; r < kRegisters; ++r) {
    const int g = kRegisterGroup[r];
    for (int lane = 0; lane < kLanes; ++lane) {
      const int f = kLanes * r + lane;
      if (isHostFloat(f)) continue;
      tables.coordinates[r] = static_cast<std::uint16_t>(tables.coordinates[r] | (1u << lane));
      const int x = f - f % kFloatsPerSegment + (f % kFloatsPerSegment) / 2 * 2;
      int found = -1;
      for (int p = 0; p < count[g]; ++p) {
        if (pointX[g][p] == x) found = p;
      }
      tables.scatter[r][lane] = found < 0 ? -1 : found + (f == x ? 0 : (g == kHalves ? kHalf : kLanes));
    }
  }
  return tables;
}

constexpr Tables kTables = makeTables();

// Every coordinate of a register is in the group it draws on, and the group
// of seven fits a half.
constexpr bool layoutHolds() {
  for (int r = 0; r < kRegisters; ++r) {
    for (int lane = 0; lane < kLanes; ++lane) {
      const bool coordinate = (kTables.coordinates[static_cast<std::size_t>(r)] >> lane) & 1u;
      if (coordinate && kTables.scatter[static_cast<std::size_t>(r)][static_cast<std::size_t>(lane)] < 0) return false;
    }
  }
  int seven = 0;
  for (int segment = 0; segment < 16; ++segment) {
    for (int point = 0; point < 3; ++point) {
      const int x = kFloatsPerSegment * segment + 2 * point;
      if (x >= kWindowStart[kHalves] && x + 1 < kWindowStart[kHalves] + kWindowLength[kHalves]) ++seven;
    }
  }
  return seven < kHalf;
}
static_assert(layoutHolds(), "a register draws on a group that lacks one of its points");

// The event's values (BlockValues) in registers, loaded once per call, and
// the envelope's constants.
struct Lanes {
  __m512 a, b, c, sideFactor, cosTheta, sinTheta, marginOffset, marginScale;
  __m512 abHalves, baHalves, cosSinHalves;  // for the group of seven
  __m512i magnitude, maxCoordinate;
  __m512i pathThreshold, maxDistance;  // (P), for bounded blocks
};

// The envelope's bounds, lane by lane over the lane's points: the largest
// coordinate magnitude (for bounded blocks the largest |t|) and the smallest
// |t|, as integers (the bits of a
// float without its sign order as its magnitude does, NaN and infinity
// above every finite value).
struct Envelope {
  __m512i largest, nearest;
};

// A group of points in an x and a y register: their t, and once the block
// is known to be inside the envelope, cos * d and sin * d. Until then only
// the t are kept, so that where registers are few (eight in the i686 build)
// less is spilled.
struct Group {
  __m512 t, cosD, sinD;
};

// t = a*x + b*y + c, the signed distance from the axis, of the points whose
// x are `x` and y are `y`; and units * d with d = t * sideFactor, the
// displacement's x (units cos) or y (sin): the move, once, for every group.
SW_AVX512 __m512 distance(__m512 a, __m512 b, __m512 c, __m512 x, __m512 y) {
  return _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(a, x), _mm512_mul_ps(b, y)), c);
}

SW_AVX512 __m512 scaled(const Lanes& k, __m512 units, __m512 t) {
  return _mm512_mul_ps(units, _mm512_mul_ps(t, k.sideFactor));
}

SW_AVX512 __m512i magnitude(const Lanes& k, __m512 v) { return _mm512_and_si512(_mm512_castps_si512(v), k.magnitude); }

// The smaller of the smallest |t| so far and |t|. A block is moved only when
// (G) holds in every lane, and then every t is finite, so how vrangeps
// treats a NaN never matters.
SW_AVX512 __m512i nearer(__m512i nearest, __m512 t) {
  constexpr int kSmallerMagnitude = 0x0A;  // min(|a|, |b|), its sign cleared
  return _mm512_castps_si512(_mm512_range_ps(_mm512_castsi512_ps(nearest), t, kSmallerMagnitude));
}

// Bounded blocks fold |t| both ways, with no vrangeps.
SW_AVX512 void includeDistance(const Lanes& k, Envelope& e, __m512 t, bool first) {
  const __m512i distance = magnitude(k, t);
  e.largest = first ? distance : _mm512_max_epu32(e.largest, distance);
  e.nearest = first ? distance : _mm512_min_epu32(e.nearest, distance);
}

template <bool bounded>
SW_AVX512 Group moveGroup(const Lanes& k, __m512 x, __m512 y, Envelope& e, bool first) {
  Group group;
  group.t = distance(k.a, k.b, k.c, x, y);
  if constexpr (bounded) {
    includeDistance(k, e, group.t, first);
    return group;
  }
  const __m512i largest = _mm512_max_epu32(magnitude(k, x), magnitude(k, y));
  e.largest = first ? largest : _mm512_max_epu32(e.largest, largest);
  e.nearest = first ? magnitude(k, group.t) : nearer(e.nearest, group.t);
  return group;
}

SW_AVX512 void formProducts(const Lanes& k, Group& group) {
  group.cosD = scaled(k, k.cosTheta, group.t);
  group.sinD = scaled(k, k.sinTheta, group.t);
}

// The group of seven, x in the low half of `xy` and y in the high: its t, in
// both halves, with (a, b) on `xy` and (b, a) on its halves exchanged (the
// high half adds b*y and a*x, which is the same sum). Lane j of the envelope
// holds the magnitude of x_j and lane j + 8 that of y_j, beside the same
// |t_j| in both, so the lanes' tests together bound the point by the larger.
template <bool bounded>
SW_AVX512 __m512 halvesDistance(const Lanes& k, __m512 xy, Envelope& e) {
  const __m512 exchanged = _mm512_shuffle_f32x4(xy, xy, _MM_SHUFFLE(1, 0, 3, 2));
  const __m512 t = distance(k.abHalves, k.baHalves, k.c, xy, exchanged);
  if constexpr (bounded) {
    includeDistance(k, e, t, false);
    return t;
  }
  e.largest = _mm512_max_epu32(e.largest, magnitude(k, xy));
  e.nearest = nearer(e.nearest, t);
  return t;
}

// (G), then (M) where (G) holds, both as integer comparisons; for bounded
// blocks (P).
template <bool bounded>
SW_AVX512 bool inside(const Lanes& k, const Envelope& e) {
  if constexpr (bounded) {
    const __mmask16 sized = _mm512_cmple_epu32_mask(e.largest, k.maxDistance);
    return _mm512_mask_cmpgt_epu32_mask(sized, e.nearest, k.pathThreshold) == 0xFFFF;
  }
  const __mmask16 sized = _mm512_cmple_epu32_mask(e.largest, k.maxCoordinate);
  const __m512 threshold = _mm512_add_ps(_mm512_mul_ps(_mm512_castsi512_ps(e.largest), k.marginScale), k.marginOffset);
  const __mmask16 clear = _mm512_mask_cmpgt_epu32_mask(sized, e.nearest, _mm512_castps_si512(threshold));
  return clear == 0xFFFF;
}

SW_AVX512 __m512i indices(const std::array<std::int32_t, kLanes>& values) { return _mm512_loadu_si512(values.data()); }

// values + products in the lanes of `coordinates`, and the other lanes of
// `values` bit for bit. The lanes kept are host bytes, which may have a
// signalling NaN's bits: the add is masked, so they are never an operand.
// GCC keeps a masked add's other lanes as they are; Clang, whose
// floating-point model lets an add quiet a signalling NaN, turns it into an
// unmasked add of -0 to them unless the kept lanes come from a copy it
// cannot see through. (The copy costs GCC's blocks some 7 %, so only Clang
// makes it.)
SW_AVX512 __m512 addKeeping(__mmask16 coordinates, __m512 values, __m512 products) {
  __m512 kept = values;
#if defined(__clang__)
  asm("" : "+v"(kept));
#endif
  return _mm512_mask_add_ps(kept, coordinates, products, values);
}

// Register r of the block, moved: its coordinates' products put in their
// places and added, the host bytes kept.
SW_AVX512 __m512 moved(int r, __m512 original, __m512 products) {
  return addKeeping(kTables.coordinates[static_cast<std::size_t>(r)], original, products);
}

SW_AVX512 __m512 scattered(int r, const Group& group) {
  return _mm512_permutex2var_ps(group.cosD, indices(kTables.scatter[static_cast<std::size_t>(r)]), group.sinD);
}

// The x or y register of a group of fourteen, from its window's two registers.
SW_AVX512 __m512 gathered(int g, int coordinate, __m512 low, __m512 high) {
  __m512i index = indices(kTables.gather[static_cast<std::size_t>(g)]);
  if (coordinate == 1) index = _mm512_add_epi32(index, _mm512_set1_epi32(1));
  return _mm512_permutex2var_ps(low, index, high);
}

// A block as loaded, and its groups' t: all the envelope test needs, and
// all its moves need after it.
struct Prepared {
  __m512 r[kRegisters];
  Group g0, g2, g3;
  __m512 sevenT;
};

// Loads the block at `f`, gathers its groups and folds them into `e`
// (begun when `first`).
template <bool bounded>
SW_AVX512 void prepare(const Lanes& k, const float* f, Prepared& p, Envelope& e, bool first) {
  for (int i = 0; i < kRegisters; ++i) p.r[i] = _mm512_loadu_ps(f + kLanes * i);
  const __m512 third0 = _mm512_loadu_ps(f + kWindowStart[2]);
  const __m512 third1 = _mm512_loadu_ps(f + kWindowStart[2] + kLanes);
  const __m512 fourth0 = _mm512_loadu_ps(f + kWindowStart[3]);
  const __m512 fourth1 = _mm512_loadu_ps(f + kWindowStart[3] + kLanes);
  p.g0 = moveGroup<bounded>(k, gathered(0, 0, p.r[0], p.r[1]), gathered(0, 1, p.r[0], p.r[1]), e, first);
  p.sevenT = halvesDistance<bounded>(k, _mm512_permutexvar_ps(indices(kTables.gather[kHalves]), p.r[2]), e);
  p.g2 = moveGroup<bounded>(k, gathered(2, 0, third0, third1), gathered(2, 1, third0, third1), e, false);
  p.g3 = moveGroup<bounded>(k, gathered(3, 0, fourth0, fourth1), gathered(3, 1, fourth0, fourth1), e, false);
}

// Writes the prepared block moved, its host bytes as they were.
SW_AVX512 void storeBlock(const Lanes& k, float* f, Prepared& p) {
  formProducts(k, p.g0);
  _mm512_storeu_ps(f, moved(0, p.r[0], scattered(0, p.g0)));
  _mm512_storeu_ps(f + kLanes, moved(1, p.r[1], scattered(1, p.g0)));
  const __m512 seven = _mm512_permutexvar_ps(indices(kTables.scatter[2]), scaled(k, k.cosSinHalves, p.sevenT));
  _mm512_storeu_ps(f + 2 * kLanes, moved(2, p.r[2], seven));
  formProducts(k, p.g2);
  _mm512_storeu_ps(f + 3 * kLanes, moved(3, p.r[3], scattered(3, p.g2)));
  _mm512_storeu_ps(f + 4 * kLanes, moved(4, p.r[4], scattered(4, p.g2)));
  formProducts(k, p.g3);
  _mm512_storeu_ps(f + 5 * kLanes, moved(5, p.r[5], scattered(5, p.g3)));
  _mm512_storeu_ps(f + 6 * kLanes, moved(6, p.r[6], scattered(6, p.g3)));
}

// Moves a block of sixteen segments; false, with nothing written, when a
// point lies outside the envelope.
template <bool bounded>
SW_AVX512 bool moveBlock(const Lanes& k, PathSegment* s) {
  float* const f = &s->anchor.x;
  Prepared p;
  Envelope e;
  prepare<bounded>(k, f, p, e, true);
  if (!inside<bounded>(k, e)) return false;
  storeBlock(k, f, p);
  return true;
}

// Two blocks with one envelope test, the second's loads and arithmetic
// beside the first's; false, with nothing written, when a point of either
// lies outside.
template <bool bounded>
SW_AVX512 bool moveTwoBlocks(const Lanes& k, PathSegment* s) {
  float* const f = &s->anchor.x;
  constexpr int kBlockFloats = kFloatsPerSegment * kLanes;
  Prepared first;
  Prepared second;
  Envelope e;
  prepare<bounded>(k, f, first, e, true);
  prepare<bounded>(k, f + kBlockFloats, second, e, false);
  if (!inside<bounded>(k, e)) return false;
  storeBlock(k, f, first);
  storeBlock(k, f + kBlockFloats, second);
  return true;
}

// A block of four segments read as seven 16-byte chunks, as the SSE2
// chunked block reads it (see blocks.h): floats 0-15 and 16-27 put together
// from them, its twelve points gathered into lanes 0-11 of an x and a y
// register by one two-source permute each, the host bytes of the four
// segments into lanes 12-15 of the x register, where a masked add leaves
// them as they are. The moved registers go back to the memory layout by one
// permute for each of two 64-byte stores, floats 0-15 and 12-27, which
// overlap: every read of up to 32 bytes at a 16-byte step from the block's
// start, and each 64 bytes from either end, lies within one of them, so the
// host's copy out can take it from that store without waiting for the store
// to reach the cache. The tables: each lane's float for x and y, and for
// each lane of the two stores the lane of the moved x (0-15) or y (16-31)
// its float comes from.
struct Chunked {
  std::array<std::int32_t, kLanes> x, y, low, high;
};

constexpr int kChunkedPoints = 12;
constexpr std::uint16_t kChunkedCoordinates = (1u << kChunkedPoints) - 1;
constexpr int kChunkedHigh = 4 * kFloatsPerSegment - kLanes;  // the high store's first float

// The lane of the moved x (0-15) or y (16-31) that float f of the block
// comes from.
constexpr int chunkedSource(int f) {
  const int segment = f / kFloatsPerSegment;
  const int within = f % kFloatsPerSegment;
  if (within == 6) return kChunkedPoints + segment;
  return 3 * segment + within / 2 + (within % 2 == 0 ? 0 : kLanes);
}

constexpr Chunked makeChunked() {
  Chunked c{};
  for (int lane = 0; lane < kLanes; ++lane) {
    const int segment = lane < kChunkedPoints ? lane / 3 : lane - kChunkedPoints;
    const int x =
        lane < kChunkedPoints ? kFloatsPerSegment * segment + 2 * (lane % 3) : kFloatsPerSegment * segment + 6;
    c.x[static_cast<std::size_t>(lane)] = x;
    c.y[static_cast<std::size_t>(lane)] = lane < kChunkedPoints ? x + 1 : 1;
  }
  for (int lane = 0; lane < kLanes; ++lane) {
    c.low[static_cast<std::size_t>(lane)] = chunkedSource(lane);
    c.high[static_cast<std::size_t>(lane)] = chunkedSource(kChunkedHigh + lane);
  }
  return c;
}

constexpr Chunked kChunked = makeChunked();

// The 16-byte chunks at f and f + 4 in one register. The chunks are paired
// first and then the pairs, so that two inserts lie between any chunk and
// its register, where inserting one chunk after another would take four.
SW_AVX512 __m256 chunkPair(const float* f) {
  return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(f)), _mm_loadu_ps(f + 4), 1);
}

template <bool bounded>
__attribute__((target("avx512f,avx512dq"))) std::size_t moveAll(const BlockValues& v, float threshold,
                                                                PathSegment* segments, std::size_t count) {
  const Lanes k{_mm512_loadu_ps(v.a.lane),
                _mm512_loadu_ps(v.b.lane),
                _mm512_loadu_ps(v.c.lane),
                _mm512_loadu_ps(v.sideFactor.lane),
                _mm512_loadu_ps(v.cosTheta.lane),
                _mm512_loadu_ps(v.sinTheta.lane),
                _mm512_loadu_ps(v.marginOffset.lane),
                _mm512_set1_ps(kMarginScale),
                _mm512_loadu_ps(v.abHalves.lane),
                _mm512_loadu_ps(v.baHalves.lane),
                _mm512_loadu_ps(v.cosSinHalves.lane),
                _mm512_set1_epi32(static_cast<int>(kMagnitudeBits)),
                _mm512_set1_epi32(static_cast<int>(kMaxCoordinateBits)),
                _mm512_set1_epi32(std::bit_cast<int>(threshold)),
                _mm512_set1_epi32(static_cast<int>(kMaxDistanceBits))};
  std::size_t i = 0;
  while (i + 2 * kAvx512Block <= count && moveTwoBlocks<bounded>(k, segments + i)) i += 2 * kAvx512Block;
  while (i + kAvx512Block <= count && moveBlock<bounded>(k, segments + i)) i += kAvx512Block;
  return i;
}

}  // namespace

__attribute__((target("avx512f,avx512dq"))) bool moveChunkedBlockAvx512(const BlockValues& v, PathSegment* segments) {
  float* const f = &segments->anchor.x;
  const __m512 low = _mm512_insertf32x8(_mm512_castps256_ps512(chunkPair(f)), chunkPair(f + 8), 1);
  const __m512 high = _mm512_insertf32x4(_mm512_castps256_ps512(chunkPair(f + 16)), _mm_loadu_ps(f + 24), 2);
  const __m512 x = _mm512_permutex2var_ps(low, indices(kChunked.x), high);
  const __m512 y = _mm512_permutex2var_ps(low, indices(kChunked.y), high);
  // Lanes 12-15 of t and of the moved y are of no meaning.
  const __m512 t = distance(_mm512_loadu_ps(v.a.lane), _mm512_loadu_ps(v.b.lane), _mm512_loadu_ps(v.c.lane), x, y);
  const __m512i mask = _mm512_set1_epi32(static_cast<int>(kMagnitudeBits));
  const __m512i largest =
      _mm512_max_epu32(_mm512_and_si512(_mm512_castps_si512(x), mask), _mm512_and_si512(_mm512_castps_si512(y), mask));
  // (G) and (M) point by point, as integer comparisons: where (G) holds, t
  // and the threshold are finite.
  const __mmask16 sized = _mm512_mask_cmple_epu32_mask(kChunkedCoordinates, largest,
                                                       _mm512_set1_epi32(static_cast<int>(kMaxCoordinateBits)));
  const __m512 threshold = _mm512_add_ps(_mm512_mul_ps(_mm512_castsi512_ps(largest), _mm512_set1_ps(kMarginScale)),
                                         _mm512_loadu_ps(v.marginOffset.lane));
  const __mmask16 clear = _mm512_mask_cmpgt_epu32_mask(sized, _mm512_and_si512(_mm512_castps_si512(t), mask),
                                                       _mm512_castps_si512(threshold));
  if (clear != kChunkedCoordinates) return false;
  const __m512 d = _mm512_mul_ps(t, _mm512_loadu_ps(v.sideFactor.lane));
  const __m512 movedX = addKeeping(kChunkedCoordinates, x, _mm512_mul_ps(_mm512_loadu_ps(v.cosTheta.lane), d));
  const __m512 movedY = _mm512_add_ps(_mm512_mul_ps(_mm512_loadu_ps(v.sinTheta.lane), d), y);
  const __m512 outLow = _mm512_permutex2var_ps(movedX, indices(kChunked.low), movedY);
  const __m512 outHigh = _mm512_permutex2var_ps(movedX, indices(kChunked.high), movedY);
  _mm512_storeu_ps(f, outLow);
  _mm512_storeu_ps(f + kChunkedHigh, outHigh);
  return true;
}

__attribute__((target("avx512f,avx512dq"))) std::size_t moveBlocksAvx512(const BlockValues& v, PathSegment* segments,
                                                                         std::size_t count) {
  return moveAll<false>(v, 0.0f, segments, count);
}

__attribute__((target("avx512f,avx512dq"))) std::size_t moveBoundedBlocksAvx512(const BlockValues& v, float threshold,
                                                                                PathSegment* segments,
                                                                                std::size_t count) {
  return moveAll<true>(v, threshold, segments, count);
}

#endif
