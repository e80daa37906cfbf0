// What every vector path of the segment kernel (see segment_displacer.h)
// shares: one drag event's values, the envelope inside which a point may be
// moved without displacePoint, and the paths themselves.
//
// Each path moves whole blocks of 4 (SSE2), 8 (AVX2) or 16 (AVX-512)
// segments from the start of a buffer, with displacePoint's operations in
// its order and with its roundings, and stops before the first block that
// has a point outside the envelope (left untouched) or when fewer than a
// block's segments remain; two blocks at a time share one envelope test
// (except the i686 build's SSE2 blocks, see blocks_sse2.cpp), and when they
// fail it each is tested alone. It returns the number of
// segments moved, a multiple of its block. The SSE2 path exists wherever SSE2 does (natively,
// or translated to WebAssembly SIMD); the AVX2 and AVX-512 paths are built
// for the base target with their instructions enabled per function, and are
// only to be called where the processor and the OS support them
// (activeKernelPath()).
//
// The envelope
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
// That form is proven for events with |a|, |b| <= 1, |v| in [2^-20, 2^20],
// the start and c within 2^59 (so that the offset |start.x| + |start.y| + |c|
// stays below 2^61), and points with
//   (1) S = |x| + |y| + |start.x| + |start.y| + |c| <= 2^62, and
//   (2) |t| > 2^-16 * S + 2^-50.
// The computed t differs from (a / vx) * (u . v), the exact scaled dot
// product, by less than 7 * 2^-24 * S + 2^-148: the coefficients' direction,
// the rounding of c and of t itself (for an axis-parallel drag t is exactly
// +-(point - start) along the drag). The scalar dot differs from u . v by less
// than 3.2 * 2^-24 * |v| * S + 2^-148. So by (2), with its margin of more
// than ten times, dot and sigma * t have the same sign and neither is near 0;
// |u| >= 2^-51, so n is a normal number, not 0; by (1) n is finite; and
// |q| > 2^-20 cannot round to zero. (1) also keeps every intermediate and
// both results finite.
//
// A block is inside the envelope when, over all its points, with M the
// largest of their |x| and |y| (taken lane by lane or for the block):
//   (G) every coordinate's magnitude bits (the float's bits without its
//       sign) are at most kMaxCoordinateBits, compared as integers. Then
//       |x|, |y| < 2^60, and with the offset below 2^61 (1) holds. NaN and
//       infinity have larger magnitude bits than any finite float, so a
//       block with either, quiet or signalling, in any coordinate fails (G)
//       by its bits alone, whatever any instruction would make of a NaN
//       operand.
//   (M) |t| > M * 2^-15 + marginOffset, with marginOffset 2^-16 times the
//       offset plus 2^-34. Since S <= 2 * M + offset this is (2), up to the
//       few roundings of the threshold's computation (together a factor
//       above 1 - 2^-20, which the margin of more than ten times absorbs).
//       A t of +-0 fails.
// A block is moved only when (G) and (M) hold for every point; where (G)
// holds every t is finite, so no result of (M) on a NaN ever counts. A path
// may test a narrower envelope (a larger M, a smaller |t|); any block outside
// it goes to displacePoint, so every result, a NaN's payload included, is the
// reference's.
//
// A path whose largest coordinate magnitude L is known before its blocks
// (largestCoordinate, taken once from its segments and kept while they stay
// as they are: the drag's reference paths do for the whole drag) needs no
// look at its coordinates: with L within (G), M <= L for every point, and the
// blocks test only
//   (P) |t| > L * 2^-15 + marginOffset, the path's threshold, and |t| < 2^62.
// The second half keeps the rule on NaN without the coordinates: a NaN or an
// infinity in x or y makes t a NaN or an infinity (IEEE arithmetic, whatever
// the NaN's payload), whose magnitude bits exceed those of 2^62, which no t
// reaches where (G) holds; so a block with one is refused by its bits alone
// even if the segments are not those the bound was taken from.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "bridge/host_api.h"

// The event's bounds for the blocks to apply at all.
inline constexpr float kMaxCoefficient = 1.0f;  // |a|, |b|
inline constexpr float kMaxUnit = 2.0f;         // |cos|, |sin|
inline constexpr float kMaxOffset = 0x1p59f;    // |c|, |start.x|, |start.y|
inline constexpr float kMaxFactor = 128.0f;     // |factor| (clamped to 100)
inline constexpr float kMinDragLength = 0x1p-20f;
inline constexpr float kMaxDragLength = 0x1p20f;

// (G): the magnitude bits of the largest float below 2^60.
inline constexpr std::uint32_t kMaxCoordinateBits = 0x5D7FFFFFu;
inline constexpr std::uint32_t kMagnitudeBits = 0x7FFFFFFFu;
// (P): the magnitude bits of the largest float below 2^62, above any t
// where (G) holds.
inline constexpr std::uint32_t kMaxDistanceBits = 0x5E7FFFFFu;
// (M): the threshold's scale on M, and its part of the offset.
inline constexpr float kMarginScale = 0x1p-15f;
inline constexpr float kOffsetToMargin = 0x1p-16f;
inline constexpr float kMarginFloor = 0x1p-34f;  // times kOffsetToMargin: 2^-50

inline constexpr std::size_t kSse2Block = 4;
inline constexpr std::size_t kAvx2Block = 8;
inline constexpr std::size_t kAvx512Block = 16;

// One value in each lane of the widest register (AVX-512's sixteen); a path
// of any width loads its register from the first of them.
struct Lanes16 {
  float lane[16];
};

// One drag event's values as every path's blocks take them, made once per
// event.
struct BlockValues {
  Lanes16 a, b, c;     // the axis line
  Lanes16 sideFactor;  // the factor, negated when the axis's normal points away from the drag
  Lanes16 cosTheta, sinTheta;
  Lanes16 marginOffset;  // (|start.x| + |start.y| + |c| + kMarginFloor) * kOffsetToMargin
  // The same in the patterns the blocks pair them in: cos and sin in
  // alternate lanes, as a point's x and y lie in memory; and for a group of
  // points with their x in the low half of a register and their y in the
  // high, (a, b) and (b, a) and (cos, sin) one per half.
  Lanes16 cosSin, abHalves, baHalves, cosSinHalves;
};

// The event's values in every lane and pattern.
inline BlockValues blockValuesOf(float a, float b, float c, float sideFactor, float cosTheta, float sinTheta,
                                 float marginOffset) {
  BlockValues v;
  for (int i = 0; i < 16; ++i) {
    const bool high = i >= 8;
    v.a.lane[i] = a;
    v.b.lane[i] = b;
    v.c.lane[i] = c;
    v.sideFactor.lane[i] = sideFactor;
    v.cosTheta.lane[i] = cosTheta;
    v.sinTheta.lane[i] = sinTheta;
    v.marginOffset.lane[i] = marginOffset;
    v.cosSin.lane[i] = i % 2 != 0 ? sinTheta : cosTheta;
    v.abHalves.lane[i] = high ? b : a;
    v.baHalves.lane[i] = high ? a : b;
    v.cosSinHalves.lane[i] = high ? sinTheta : cosTheta;
  }
  return v;
}

// Whether one point lies inside the envelope by itself: (G) on its two
// coordinates, (M) with M the larger of their magnitudes and t computed as
// the blocks compute it. A block's result for such a point is displacePoint's
// whatever the block's other points are, since no path mixes one point's
// arithmetic with another's.
inline bool pointInside(const BlockValues& v, hostapi::ArtworkPoint p) {
  const std::uint32_t x = std::bit_cast<std::uint32_t>(p.x) & kMagnitudeBits;
  const std::uint32_t y = std::bit_cast<std::uint32_t>(p.y) & kMagnitudeBits;
  if (x > kMaxCoordinateBits || y > kMaxCoordinateBits) return false;
  const float t = v.a.lane[0] * p.x + v.b.lane[0] * p.y + v.c.lane[0];
  const float largest = std::bit_cast<float>(x > y ? x : y);
  return std::fabs(t) > largest * kMarginScale + v.marginOffset.lane[0];
}

// The largest magnitude among the coordinates of `segments` (their host
// bytes aside), as the bits of a float without its sign.
inline std::uint32_t largestMagnitudeBits(const hostapi::PathSegment* segments, std::size_t count) {
  std::uint32_t largest = 0;
  for (std::size_t i = 0; i < count; ++i) {
    for (const hostapi::ArtworkPoint& p : {segments[i].anchor, segments[i].in, segments[i].out}) {
      const std::uint32_t x = std::bit_cast<std::uint32_t>(p.x) & kMagnitudeBits;
      const std::uint32_t y = std::bit_cast<std::uint32_t>(p.y) & kMagnitudeBits;
      largest = x > largest ? x : largest;
      largest = y > largest ? y : largest;
    }
  }
  return largest;
}

// The largest coordinate those bits give, or infinity when it lies beyond
// (G): a NaN, an infinity or 2^60 and more.
inline float boundOf(std::uint32_t largestBits) {
  return largestBits > kMaxCoordinateBits ? std::numeric_limits<float>::infinity() : std::bit_cast<float>(largestBits);
}

// The largest magnitude among the coordinates of `segments` (their host
// bytes aside), or infinity when one lies beyond (G). The definition;
// SegmentDisplacer::largestCoordinate gives the same a block at a time.
inline float largestCoordinate(const hostapi::PathSegment* segments, std::size_t count) {
  return boundOf(largestMagnitudeBits(segments, count));
}

// For a run of `segments` segments read as whole vector registers, the bits
// that make each 32-bit word a magnitude: its sign dropped, and the host
// bytes (every seventh word) dropped whole.
template <std::size_t segments>
struct MagnitudeMasks {
  alignas(64) std::uint32_t word[7 * segments];
};

template <std::size_t segments>
constexpr MagnitudeMasks<segments> magnitudeMasks() {
  MagnitudeMasks<segments> masks{};
  for (std::size_t w = 0; w < 7 * segments; ++w) masks.word[w] = w % 7 == 6 ? 0 : kMagnitudeBits;
  return masks;
}

// The threshold (P) of a path whose largest coordinate is `largest`.
inline float pathThreshold(const BlockValues& v, float largest) {
  return largest * kMarginScale + v.marginOffset.lane[0];
}

// A path's blocks of both kinds (below), and their size.
struct BlockMovers {
  std::size_t (*each)(const BlockValues&, hostapi::PathSegment*, std::size_t);
  std::size_t (*bounded)(const BlockValues&, float, hostapi::PathSegment*, std::size_t);
  std::size_t size;
};

// Each path's blocks come in two kinds: moveBlocks* test each point's own
// (G) and (M); moveBoundedBlocks* test (P) with the path's threshold, for
// segments whose largest coordinate the threshold was made from.
#if defined(__SSE2__)
std::size_t moveBlocksSse2(const BlockValues& values, hostapi::PathSegment* segments, std::size_t count);
std::size_t moveBoundedBlocksSse2(const BlockValues& values, float threshold, hostapi::PathSegment* segments,
                                  std::size_t count);
// Moves one block of four segments with the SSE2 blocks' arithmetic and no
// envelope test: exact for the points inside the envelope (pointInside),
// of no meaning for the others.
void moveBlockUntestedSse2(const BlockValues& values, hostapi::PathSegment* segments);
// Moves a buffer of exactly four segments as the SSE2 blocks do, reading and
// writing it as seven 16-byte chunks from its start; false, with nothing
// written, when a point lies outside the envelope. A buffer the host has
// just filled is read from the stores that filled it, which a read across
// two of them would have to wait for: for a path of four segments, the
// shape of every ellipse and most rectangles, that wait is longer than the
// block.
bool moveChunkedBlockSse2(const BlockValues& values, hostapi::PathSegment* segments);
// largestMagnitudeBits, four segments at a time.
std::uint32_t largestMagnitudeBitsSse2(const hostapi::PathSegment* segments, std::size_t count);
#endif
#if defined(__i386__) || defined(__x86_64__)
// moveChunkedBlockSse2's work, its chunks written in pairs as four 32-byte
// stores that overlap, which serve the host's copy out where its reads are
// 32 bytes wide (the C library's, on a processor with AVX) and seven
// 16-byte ones could not. It lives in blocks_sse2.cpp, beside that work.
bool moveChunkedBlockAvx2(const BlockValues& values, hostapi::PathSegment* segments);
std::size_t moveBlocksAvx2(const BlockValues& values, hostapi::PathSegment* segments, std::size_t count);
// largestMagnitudeBits, eight segments at a time.
std::uint32_t largestMagnitudeBitsAvx2(const hostapi::PathSegment* segments, std::size_t count);
std::size_t moveBoundedBlocksAvx2(const BlockValues& values, float threshold, hostapi::PathSegment* segments,
                                  std::size_t count);
std::size_t moveBlocksAvx512(const BlockValues& values, hostapi::PathSegment* segments, std::size_t count);
std::size_t moveBoundedBlocksAvx512(const BlockValues& values, float threshold, hostapi::PathSegment* segments,
                                    std::size_t count);
// moveChunkedBlockSse2's work, read in the same chunks, with the AVX-512
// path's permutes and masks: a third of its instructions. It writes the
// block as two 64-byte stores that overlap, which serve the host's copy out
// where its reads are 32 or 64 bytes wide and seven 16-byte ones could not.
bool moveChunkedBlockAvx512(const BlockValues& values, hostapi::PathSegment* segments);
#endif
