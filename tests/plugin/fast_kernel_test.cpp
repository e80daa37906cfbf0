// The segment kernel's blocks against the point-by-point reference: the same
// bytes (NaN payloads and host bytes included) and the same overflow answer,
// over millions of points of every kind, on each vector path this machine
// can run (SSE2, AVX2, AVX-512), each forced in turn; and each path's own
// blocks refusing, untouched, every block with a NaN or an infinity.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tool/geometry.h"
#include "tool/kernel/blocks.h"
#include "tool/kernel/kernel_path.h"
#include "tool/kernel/segment_displacer.h"

using hostapi::ArtworkPoint;

namespace {

using hostapi::PathSegment;

constexpr float kInf = std::numeric_limits<float>::infinity();

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }
  bool chance(std::uint32_t percent) { return below(100) < percent; }
  // Any 32-bit pattern: huge, tiny, subnormal, infinite and NaN included.
  float anyBits() { return std::bit_cast<float>(static_cast<std::uint32_t>(engine_())); }
  // A cursor position: a multiple of 1/64 within +-4096.
  float mouse() { return static_cast<float>(static_cast<std::int32_t>(below(1u << 19)) - (1 << 18)) / 64.0f; }
  // A coordinate of ordinary artwork, any float in [-5000, 5000).
  float artwork() { return std::ldexp(static_cast<float>(engine_() >> 40), -24) * 10000.0f - 5000.0f; }
  float signedZero() { return chance(50) ? 0.0f : -0.0f; }
  float sign() { return chance(50) ? 1.0f : -1.0f; }

 private:
  std::mt19937_64 engine_;
};

struct Drag {
  ArtworkPoint start;
  ArtworkPoint current;
  bool shift;
};

// A point of one of the kinds the blocks must hand over or get right.
ArtworkPoint awkwardPoint(Random& random, const Drag& drag, const Stretch& stretch) {
  const ArtworkPoint s = drag.start;
  switch (random.below(10)) {
    case 0:  // on the axis through the start, as near as floats allow
    {
      const float along = random.artwork();
      return {s.x - along * stretch.sinTheta, s.y + along * stretch.cosTheta};
    }
    case 1:  // the start itself, or a step of a few ulps or a subnormal off it
      return {std::nextafter(s.x, random.sign() * kInf), random.chance(50) ? s.y : s.y + 1e-40f * random.sign()};
    case 2:
      return s;
    case 3:  // signed zeros in either coordinate
      return {random.signedZero(), random.chance(50) ? random.signedZero() : random.artwork()};
    case 4:  // anything at all
      return {random.anyBits(), random.anyBits()};
    case 5:  // huge and tiny
      return {random.sign() * std::ldexp(1.0f, static_cast<int>(random.below(254)) - 149),
              random.sign() * std::ldexp(1.0f + random.below(100) / 128.0f, static_cast<int>(random.below(250)) - 125)};
    case 6:  // on the axis line of an axis-aligned drag: the start's x or y
      return random.chance(50) ? ArtworkPoint{s.x, random.artwork()} : ArtworkPoint{random.artwork(), s.y};
    case 7:
      return drag.current;
    default:
      return {random.artwork(), random.artwork()};
  }
}

PathSegment segmentOf(ArtworkPoint anchor, ArtworkPoint in, ArtworkPoint out, Random& random) {
  PathSegment segment{anchor, in, out, {}};
  for (std::uint8_t& byte : segment.hostData) byte = static_cast<std::uint8_t>(random.below(256));
  return segment;
}

// Displaces copies of `segments` with the blocks, testing each point's own
// envelope and then the path's bound (largestCoordinate), and point by
// point; the bytes and the answers must agree exactly. Returns false after
// the first difference (already reported).
bool sameAsReference(const SegmentDisplacer& displacer, const std::vector<PathSegment>& segments, const Drag& drag) {
  std::vector<PathSegment> reference = segments;
  const bool referenceOverflowed = displacer.displaceEachPoint(reference.data(), reference.size());
  const float largest = largestCoordinate(segments.data(), segments.size());
  for (const bool bounded : {false, true}) {
    std::vector<PathSegment> fast = segments;
    const bool fastOverflowed =
        bounded ? displacer.displace(fast.data(), fast.size(), largest) : displacer.displace(fast.data(), fast.size());
    const char* const kind = bounded ? "with the path's bound: " : "";
    EXPECT_EQ(fastOverflowed, referenceOverflowed) << kind << "start (" << drag.start.x << ", " << drag.start.y
                                                   << ") current (" << drag.current.x << ", " << drag.current.y << ")";
    for (std::size_t i = 0; i < segments.size(); ++i) {
      if (std::memcmp(&fast[i], &reference[i], sizeof(PathSegment)) != 0) {
        const PathSegment& in = segments[i];
        ADD_FAILURE() << kind << "segment " << i << " of " << segments.size() << ", drag (" << drag.start.x << ", "
                      << drag.start.y << ") -> (" << drag.current.x << ", " << drag.current.y << ")"
                      << (drag.shift ? " with Shift" : "") << "; anchor (" << in.anchor.x << ", " << in.anchor.y
                      << ") in (" << in.in.x << ", " << in.in.y << ") out (" << in.out.x << ", " << in.out.y
                      << ") -> fast anchor (" << fast[i].anchor.x << ", " << fast[i].anchor.y << "), reference ("
                      << reference[i].anchor.x << ", " << reference[i].anchor.y << ")";
        return false;
      }
    }
    if (fastOverflowed != referenceOverflowed) return false;
  }
  return true;
}

// `events` drags from makeDrag, each over a buffer of `segments` segments
// (give or take a few, so that every remainder of sixteen occurs) whose points
// are ordinary artwork except for `awkwardPercent` percent of awkward ones.
// Returns how many of the events the blocks applied to.
int compareOverEvents(Random& random, int events, std::size_t segments, std::uint32_t awkwardPercent,
                      Drag (*makeDrag)(Random&)) {
  int blockEvents = 0;
  for (int e = 0; e < events; ++e) {
    const Drag drag = makeDrag(random);
    const Stretch stretch = computeStretch(drag.start, drag.current, drag.shift, 200.0f);
    const SegmentDisplacer displacer(stretch, drag.start, drag.current);
    blockEvents += displacer.blocksApply() ? 1 : 0;
    const auto point = [&] {
      return random.chance(awkwardPercent) ? awkwardPoint(random, drag, stretch)
                                           : ArtworkPoint{random.artwork(), random.artwork()};
    };
    std::vector<PathSegment> buffer(segments + random.below(16));
    for (PathSegment& segment : buffer) {
      const ArtworkPoint anchor = point();
      const ArtworkPoint in = point();
      segment = segmentOf(anchor, in, point(), random);
    }
    if (!sameAsReference(displacer, buffer, drag)) return blockEvents;
  }
  return blockEvents;
}

Drag mouseDrag(Random& random) {
  Drag drag{{random.mouse(), random.mouse()}, {random.mouse(), random.mouse()}, random.chance(50)};
  switch (random.below(8)) {
    case 0:  // vertical
      drag.current.x = drag.start.x;
      break;
    case 1:  // horizontal
      drag.current.y = drag.start.y;
      break;
    case 2:  // from the origin, where the axis's c can be -0
      drag.start = {random.signedZero(), random.signedZero()};
      break;
    case 3:  // so long that the factor is clamped at +-100
      drag.current = {drag.start.x + random.sign() * 30000.0f, drag.start.y + random.mouse()};
      break;
    default:
      break;
  }
  if (pointsEqual(drag.start, drag.current)) drag.current.x += 1.0f;
  return drag;
}

// Drags the blocks may refuse: tiny, huge or not finite.
Drag extremeDrag(Random& random) {
  Drag drag = mouseDrag(random);
  switch (random.below(4)) {
    case 0:  // a start far out
      drag.start = {random.sign() * std::ldexp(1.0f, static_cast<int>(random.below(128))), random.mouse()};
      break;
    case 1:  // a drag shorter than 2^-20
      drag.current = {drag.start.x + std::ldexp(1.0f, -static_cast<int>(random.below(40))) * drag.start.x,
                      drag.start.y};
      break;
    case 2:
      drag.current = {random.anyBits(), random.anyBits()};
      break;
    default:
      drag.start = {random.anyBits(), random.anyBits()};
      break;
  }
  return drag;
}

// Each test runs once per path, with that path forced; a path this machine
// cannot run is skipped (and says so).
class FastKernel : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!forceKernelPath(GetParam())) GTEST_SKIP() << kernelPathName(GetParam()) << " is not available here";
  }
  void TearDown() override { forceKernelPath(chooseKernelPath(readCpuReport())); }
};

INSTANTIATE_TEST_SUITE_P(EachPath, FastKernel,
                         ::testing::Values(KernelPath::sse2, KernelPath::avx2, KernelPath::avx512),
                         [](const ::testing::TestParamInfo<KernelPath>& param) {
                           return std::string(kernelPathName(param.param));
                         });

TEST_P(FastKernel, MatchesTheReferenceOnOrdinaryArtwork) {
  Random random(0x0DD5);
  // 200 events of about 2000 segments: 1.2 million points.
  const int blockEvents = compareOverEvents(random, 200, 2000, 1, mouseDrag);
  EXPECT_EQ(blockEvents, 200) << "every drag of the mouse is within the blocks' envelope";
}

TEST_P(FastKernel, MatchesTheReferenceOnAwkwardPoints) {
  Random random(0xA1CC);
  // 2000 events of about 200 segments, half of the points awkward: 1.2 million points.
  compareOverEvents(random, 2000, 200, 50, mouseDrag);
}

TEST_P(FastKernel, MatchesTheReferenceOnExtremeDrags) {
  Random random(0xE7);
  const int blockEvents = compareOverEvents(random, 3000, 40, 30, extremeDrag);
  EXPECT_GT(blockEvents, 0);
  EXPECT_LT(blockEvents, 3000);
}

TEST_P(FastKernel, EveryBufferLengthAndPlaceOfAnAwkwardPoint) {
  Random random(7);
  const Drag drag{{0.0f, 0.0f}, {150.0f, 60.0f}, false};
  const Stretch stretch = computeStretch(drag.start, drag.current, drag.shift, 200.0f);
  const SegmentDisplacer displacer(stretch, drag.start, drag.current);
  ASSERT_TRUE(displacer.blocksApply());
  // Up to two AVX-512 blocks and a remainder.
  for (std::size_t length = 1; length <= 40; ++length) {
    // The start point (outside the envelope) in each of the three places of
    // each segment in turn, and nowhere.
    for (std::size_t place = 0; place <= 3 * length; ++place) {
      std::vector<PathSegment> buffer(length);
      for (std::size_t i = 0; i < length; ++i) {
        ArtworkPoint points[3];
        for (std::size_t k = 0; k < 3; ++k) {
          points[k] = 3 * i + k == place ? drag.start : ArtworkPoint{random.artwork(), random.artwork()};
        }
        buffer[i] = segmentOf(points[0], points[1], points[2], random);
      }
      ASSERT_TRUE(sameAsReference(displacer, buffer, drag)) << "length " << length << ", start point at " << place;
    }
  }
}

TEST_P(FastKernel, ReportsAPointThatOverflowsWhereverItIs) {
  Random random(11);
  const Drag drag{{0.0f, 0.0f}, {1e6f, 0.0f}, false};  // factor 100
  const Stretch stretch = computeStretch(drag.start, drag.current, drag.shift, 200.0f);
  const SegmentDisplacer displacer(stretch, drag.start, drag.current);
  for (std::size_t length : {1u, 4u, 6u, 9u, 16u, 21u, 35u}) {
    for (std::size_t place = 0; place < 3 * length; ++place) {
      std::vector<PathSegment> buffer(length);
      for (std::size_t i = 0; i < length; ++i) {
        ArtworkPoint points[3];
        for (std::size_t k = 0; k < 3; ++k) {
          points[k] = 3 * i + k == place ? ArtworkPoint{1e37f, 5.0f} : ArtworkPoint{random.artwork(), random.artwork()};
        }
        buffer[i] = segmentOf(points[0], points[1], points[2], random);
      }
      std::vector<PathSegment> moved = buffer;
      EXPECT_TRUE(displacer.displace(moved.data(), moved.size())) << "length " << length << ", place " << place;
      ASSERT_TRUE(sameAsReference(displacer, buffer, drag));
    }
  }
  // Points that are already infinite or not a number do not count.
  std::vector<PathSegment> buffer{segmentOf({kInf, 1.0f}, {std::nanf(""), 2.0f}, {3.0f, -kInf}, random)};
  EXPECT_FALSE(displacer.displace(buffer.data(), buffer.size()));
}

// The forced path's own blocks, and their size.
std::size_t blockOf(KernelPath path) {
  switch (path) {
    case KernelPath::avx512:
      return kAvx512Block;
    case KernelPath::avx2:
      return kAvx2Block;
    default:
      return kSse2Block;
  }
}

// The path's own blocks: testing each point's envelope, or, given the
// threshold of a path's bound, that bound (blocks.h).
std::size_t moveBlocksOf(KernelPath path, const BlockValues& values, PathSegment* segments, std::size_t count,
                         const float* threshold = nullptr) {
  switch (path) {
    case KernelPath::avx512:
      return threshold ? moveBoundedBlocksAvx512(values, *threshold, segments, count)
                       : moveBlocksAvx512(values, segments, count);
    case KernelPath::avx2:
      return threshold ? moveBoundedBlocksAvx2(values, *threshold, segments, count)
                       : moveBlocksAvx2(values, segments, count);
    default:
      return threshold ? moveBoundedBlocksSse2(values, *threshold, segments, count)
                       : moveBlocksSse2(values, segments, count);
  }
}

// A drag whose blocks apply, over ordinary artwork.
struct OrdinaryDrag {
  Drag drag{{12.5f, -7.75f}, {162.5f, 52.25f}, false};
  Stretch stretch = computeStretch(drag.start, drag.current, drag.shift, 200.0f);
  SegmentDisplacer displacer{stretch, drag.start, drag.current};
};

std::vector<PathSegment> ordinarySegments(Random& random, std::size_t count) {
  std::vector<PathSegment> segments(count);
  for (PathSegment& segment : segments) {
    const ArtworkPoint anchor{random.artwork(), random.artwork()};
    const ArtworkPoint in{random.artwork(), random.artwork()};
    segment = segmentOf(anchor, in, {random.artwork(), random.artwork()}, random);
  }
  return segments;
}

float& coordinateOf(PathSegment& segment, std::size_t point, std::size_t coordinate) {
  ArtworkPoint& p = point == 0 ? segment.anchor : point == 1 ? segment.in : segment.out;
  return coordinate == 0 ? p.x : p.y;
}

struct Special {
  const char* name;
  std::uint32_t bits;
};
constexpr Special kSpecials[] = {
    {"quiet NaN", 0x7FC00000u},
    {"negative quiet NaN", 0xFFC00000u},
    {"quiet NaN with a payload", 0x7FC0BEEFu},
    {"signalling NaN", 0x7F800001u},
    {"negative signalling NaN", 0xFFA00000u},
    {"signalling NaN, all payload bits", 0x7FBFFFFFu},
    {"infinity", 0x7F800000u},
    {"negative infinity", 0xFF800000u},
};

// The same segments with every segment's host bytes set to `bits`.
std::vector<PathSegment> withHostBits(std::vector<PathSegment> segments, std::uint32_t bits) {
  for (PathSegment& segment : segments) std::memcpy(segment.hostData, &bits, sizeof bits);
  return segments;
}

// Host bytes are not coordinates: whatever floats they would read as, a
// signalling NaN's among them, a block is moved and they pass unchanged.
TEST_P(FastKernel, KeepsHostBytesThatReadAsNaN) {
  const KernelPath path = GetParam();
  const std::size_t block = blockOf(path);
  Random random(0x4057);
  const OrdinaryDrag ordinary;
  const BlockValues& values = ordinary.displacer.blockValues();
  for (const Special& special : kSpecials) {
    const std::vector<PathSegment> buffer = withHostBits(ordinarySegments(random, 2 * block), special.bits);
    const float largest = largestCoordinate(buffer.data(), buffer.size());
    ASSERT_EQ(largest, largestCoordinate(withHostBits(buffer, 0).data(), buffer.size()))
        << "host bytes are no coordinate: " << special.name;
    const float threshold = pathThreshold(values, largest);
    for (const float* bound : {static_cast<const float*>(nullptr), &threshold}) {
      std::vector<PathSegment> moved = buffer;
      ASSERT_EQ(moveBlocksOf(path, values, moved.data(), moved.size(), bound), moved.size()) << special.name;
      for (std::size_t i = 0; i < moved.size(); ++i) {
        ASSERT_EQ(std::memcmp(moved[i].hostData, buffer[i].hostData, sizeof buffer[i].hostData), 0)
            << special.name << " in segment " << i << (bound ? ", bounded" : "");
      }
    }
    ASSERT_TRUE(sameAsReference(ordinary.displacer, buffer, ordinary.drag)) << special.name;
  }
}

// The bound a drag takes from each path, read a block at a time, is the
// definition's: for every length (whole blocks and the rest), with the
// largest coordinate in every place, host bytes of any bits never counting,
// and a NaN, an infinity or a huge coordinate anywhere making it infinite.
TEST_P(FastKernel, TakesEachPathsBoundAsItsDefinitionDoes) {
  const std::size_t block = blockOf(GetParam());
  Random random(0xB0D);
  const OrdinaryDrag ordinary;
  ASSERT_TRUE(ordinary.displacer.blocksApply());
  for (std::size_t count = 0; count <= 3 * block + 3; ++count) {
    for (std::size_t place = 0; place < 6 * count + 1; ++place) {
      std::vector<PathSegment> segments = ordinarySegments(random, count);
      if (random.chance(50)) segments = withHostBits(segments, kSpecials[random.below(std::size(kSpecials))].bits);
      if (place < 6 * count) {
        float& coordinate = coordinateOf(segments[place / 6], place % 6 / 2, place % 2);
        coordinate = random.chance(20) ? std::bit_cast<float>(kSpecials[random.below(std::size(kSpecials))].bits)
                                       : coordinate * 1e6f;
      }
      ASSERT_EQ(std::bit_cast<std::uint32_t>(ordinary.displacer.largestCoordinate(segments.data(), count)),
                std::bit_cast<std::uint32_t>(largestCoordinate(segments.data(), count)))
          << count << " segments, place " << place;
    }
  }
}

TEST_P(FastKernel, RefusesEveryBlockWithANaNOrAnInfinityWhereverItLies) {
  const KernelPath path = GetParam();
  const std::size_t block = blockOf(path);
  Random random(0x5EED);
  const OrdinaryDrag ordinary;
  ASSERT_TRUE(ordinary.displacer.blocksApply());
  const BlockValues& values = ordinary.displacer.blockValues();
  const std::vector<PathSegment> plain = ordinarySegments(random, block);
  // The bounded blocks are given the bound of the block without the NaN:
  // they refuse it by its t alone, as they must if a path changed after its
  // bound was taken.
  const float threshold = pathThreshold(values, largestCoordinate(plain.data(), block));
  for (const float* bound : {static_cast<const float*>(nullptr), &threshold}) {
    std::vector<PathSegment> moved = plain;
    ASSERT_EQ(moveBlocksOf(path, values, moved.data(), block, bound), block) << "a block of ordinary artwork is moved";
  }
  for (const Special& special : kSpecials) {
    for (std::size_t segment = 0; segment < block; ++segment) {
      for (std::size_t point = 0; point < 3; ++point) {
        for (std::size_t coordinate = 0; coordinate < 2; ++coordinate) {
          std::vector<PathSegment> buffer = plain;
          coordinateOf(buffer[segment], point, coordinate) = std::bit_cast<float>(special.bits);
          const auto where = [&] {
            return std::string(special.name) + " in segment " + std::to_string(segment) + ", point " +
                   std::to_string(point) + ", coordinate " + std::to_string(coordinate);
          };
          ASSERT_EQ(largestCoordinate(buffer.data(), block), std::numeric_limits<float>::infinity()) << where();
          for (const float* bound : {static_cast<const float*>(nullptr), &threshold}) {
            std::vector<PathSegment> untouched = buffer;
            ASSERT_EQ(moveBlocksOf(path, values, untouched.data(), block, bound), 0u) << where();
            ASSERT_EQ(std::memcmp(untouched.data(), buffer.data(), block * sizeof(PathSegment)), 0) << where();
          }
          ASSERT_TRUE(sameAsReference(ordinary.displacer, buffer, ordinary.drag)) << where();
        }
      }
    }
  }
}

// A path of exactly four segments goes through a chunked block, SSE2's or
// AVX-512's, which reads and writes it as seven 16-byte chunks: the
// reference's bits, the host bytes kept, on ordinary and awkward points, and
// every block with a NaN or an infinity in any place refused, untouched.
class ChunkedBlock : public FastKernel {
 protected:
  static bool moveChunked(const BlockValues& values, PathSegment* segments) {
#if defined(__x86_64__) || defined(__i386__)
    if (GetParam() == KernelPath::avx512) return moveChunkedBlockAvx512(values, segments);
    if (GetParam() == KernelPath::avx2) return moveChunkedBlockAvx2(values, segments);
#endif
    return moveChunkedBlockSse2(values, segments);
  }
};

INSTANTIATE_TEST_SUITE_P(EachPath, ChunkedBlock,
                         ::testing::Values(KernelPath::sse2, KernelPath::avx2, KernelPath::avx512),
                         [](const ::testing::TestParamInfo<KernelPath>& param) {
                           return std::string(kernelPathName(param.param));
                         });

TEST_P(ChunkedBlock, MovesAsTheReferenceAndRefusesEveryNaNOrInfinity) {
  Random random(0xC4C4);
  const OrdinaryDrag ordinary;
  const BlockValues& values = ordinary.displacer.blockValues();
  int ordinaryMoved = 0;  // rounds of ordinary artwork alone that the chunked block moved
  for (int round = 0; round < 2000; ++round) {
    const Drag drag = mouseDrag(random);
    const Stretch stretch = computeStretch(drag.start, drag.current, drag.shift, 200.0f);
    const SegmentDisplacer displacer(stretch, drag.start, drag.current);
    std::vector<PathSegment> buffer(kSse2Block);
    for (PathSegment& segment : buffer) {
      ArtworkPoint points[3];
      for (ArtworkPoint& point : points) {
        point = random.chance(round % 2 == 0 ? 0 : 20) ? awkwardPoint(random, drag, stretch)
                                                       : ArtworkPoint{random.artwork(), random.artwork()};
      }
      segment = segmentOf(points[0], points[1], points[2], random);
    }
    std::vector<PathSegment> chunked = buffer;
    std::vector<PathSegment> reference = buffer;
    displacer.displaceEachPoint(reference.data(), reference.size());
    if (displacer.blocksApply() && moveChunked(displacer.blockValues(), chunked.data())) {
      ordinaryMoved += round % 2 == 0 ? 1 : 0;
      ASSERT_EQ(std::memcmp(chunked.data(), reference.data(), sizeof(PathSegment) * kSse2Block), 0)
          << "round " << round;
    } else {
      ASSERT_EQ(std::memcmp(chunked.data(), buffer.data(), sizeof(PathSegment) * kSse2Block), 0) << "round " << round;
    }
    ASSERT_TRUE(sameAsReference(displacer, buffer, drag)) << "round " << round;
  }
  EXPECT_EQ(ordinaryMoved, 1000) << "every block of ordinary artwork under a mouse drag is moved by the chunks";
  const std::vector<PathSegment> plain = ordinarySegments(random, kSse2Block);
  std::vector<PathSegment> moved = plain;
  ASSERT_TRUE(moveChunked(values, moved.data())) << "a block of ordinary artwork is moved";
  for (const Special& special : kSpecials) {
    const std::vector<PathSegment> buffer = withHostBits(plain, special.bits);
    std::vector<PathSegment> chunked = buffer;
    ASSERT_TRUE(moveChunked(values, chunked.data())) << "host bytes of a " << special.name;
    std::vector<PathSegment> reference = buffer;
    ordinary.displacer.displaceEachPoint(reference.data(), reference.size());
    ASSERT_EQ(std::memcmp(chunked.data(), reference.data(), sizeof(PathSegment) * kSse2Block), 0)
        << "host bytes of a " << special.name;
  }
  for (const Special& special : kSpecials) {
    for (std::size_t place = 0; place < 6 * kSse2Block; ++place) {
      std::vector<PathSegment> buffer = plain;
      coordinateOf(buffer[place / 6], place % 6 / 2, place % 2) = std::bit_cast<float>(special.bits);
      std::vector<PathSegment> untouched = buffer;
      ASSERT_FALSE(moveChunked(values, untouched.data())) << special.name << " at " << place;
      ASSERT_EQ(std::memcmp(untouched.data(), buffer.data(), sizeof(PathSegment) * kSse2Block), 0)
          << special.name << " at " << place;
      ASSERT_TRUE(sameAsReference(ordinary.displacer, buffer, ordinary.drag)) << special.name << " at " << place;
    }
  }
}

TEST_P(FastKernel, StopsBeforeTheFirstRefusedBlock) {
  const KernelPath path = GetParam();
  const std::size_t block = blockOf(path);
  Random random(0x570);
  const OrdinaryDrag ordinary;
  std::vector<PathSegment> buffer = ordinarySegments(random, 3 * block + 1);
  buffer[block + block / 2].out.y = std::numeric_limits<float>::quiet_NaN();
  const std::vector<PathSegment> before = buffer;
  EXPECT_EQ(moveBlocksOf(path, ordinary.displacer.blockValues(), buffer.data(), buffer.size()), block);
  EXPECT_NE(std::memcmp(buffer.data(), before.data(), block * sizeof(PathSegment)), 0) << "the first block moved";
  EXPECT_EQ(std::memcmp(buffer.data() + block, before.data() + block, (2 * block + 1) * sizeof(PathSegment)), 0)
      << "nothing after it";
  EXPECT_TRUE(sameAsReference(ordinary.displacer, before, ordinary.drag));
}

// A block of four with a point the blocks refuse (here a NaN, in each place
// of a wide block in turn, the AVX-512 blocks' straddling point, segment 11's
// in-handle, included) is settled point by point: its other points keep the
// blocks' results where they lie inside the envelope, just beyond its margin
// from the axis on either side, and go to displacePoint where they lie
// within it or on the axis; either way the bits are the reference's.
TEST_P(FastKernel, SettlesARefusedBlockPointByPoint) {
  Random random(0x5E77);
  const OrdinaryDrag ordinary;
  ASSERT_TRUE(ordinary.displacer.blocksApply());
  const BlockValues& values = ordinary.displacer.blockValues();
  const Stretch& stretch = ordinary.stretch;
  // A point at `scale` times the envelope's margin from the axis, on the
  // side `sign`, within the artwork's range of it.
  const auto nearAxis = [&](float scale, float sign) {
    const float along = random.artwork();
    const ArtworkPoint onAxis{ordinary.drag.start.x - along * stretch.sinTheta,
                              ordinary.drag.start.y + along * stretch.cosTheta};
    const float largest = std::max(std::fabs(onAxis.x), std::fabs(onAxis.y));
    const float margin = (largest * kMarginScale + values.marginOffset.lane[0]) * scale * sign;
    return ArtworkPoint{onAxis.x + margin * values.a.lane[0], onAxis.y + margin * values.b.lane[0]};
  };
  for (const float scale : {1.05f, 1.5f, 4.0f, 0.5f, 0.0f}) {
    std::size_t inside = 0;
    for (std::size_t place = 0; place < 3 * kAvx512Block; ++place) {
      std::vector<PathSegment> buffer(3 * kAvx512Block);
      for (std::size_t i = 0; i < buffer.size(); ++i) {
        ArtworkPoint points[3];
        for (ArtworkPoint& point : points) point = nearAxis(scale, random.sign());
        buffer[i] = segmentOf(points[0], points[1], points[2], random);
      }
      // The NaN in the middle wide block; the others have none.
      coordinateOf(buffer[kAvx512Block + place / 3], place % 3, place % 2) = std::numeric_limits<float>::quiet_NaN();
      for (const PathSegment& segment : buffer) {
        for (const ArtworkPoint point : {segment.anchor, segment.in, segment.out}) {
          inside += pointInside(values, point) ? 1 : 0;
        }
      }
      ASSERT_TRUE(sameAsReference(ordinary.displacer, buffer, ordinary.drag))
          << "scale " << scale << ", NaN at " << place;
    }
    // Every point but the NaNs beyond the margin is inside, none within it.
    const std::size_t points = 3 * kAvx512Block * (9 * kAvx512Block - 1);
    EXPECT_EQ(inside, scale > 1.0f ? points : 0u) << "scale " << scale;
  }
}

// The blocks read and write only the buffer's own bytes, wherever it starts
// (any 4-byte offset within a cache line) and however it ends: a buffer that
// ends, or starts, at a page no one may touch never faults.
TEST_P(FastKernel, KeepsWithinBuffersAtAnyAlignmentAndAtTheEdgeOfAPage) {
  const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  constexpr std::size_t kMost = 40;  // two AVX-512 blocks and a rest
  void* const mapping = mmap(nullptr, 3 * pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  auto* const pages = static_cast<unsigned char*>(mapping);
  ASSERT_EQ(mprotect(pages, pageSize, PROT_NONE), 0);
  ASSERT_EQ(mprotect(pages + 2 * pageSize, pageSize, PROT_NONE), 0);
  unsigned char* const first = pages + pageSize;
  unsigned char* const end = pages + 2 * pageSize;
  Random random(0xED6E);
  const OrdinaryDrag ordinary;
  for (std::size_t length = 1; length <= kMost; ++length) {
    const std::vector<PathSegment> segments = ordinarySegments(random, length);
    std::vector<PathSegment> reference = segments;
    ordinary.displacer.displaceEachPoint(reference.data(), length);
    const std::size_t bytes = length * sizeof(PathSegment);
    // At the end of the page, at its start, and at every 4-byte offset of a
    // 64-byte line in between.
    std::vector<unsigned char*> places = {end - bytes, first};
    for (std::size_t offset = 4; offset < 64; offset += 4) places.push_back(first + 64 + offset);
    for (unsigned char* const place : places) {
      std::memset(first, 0xA5, pageSize);
      std::memcpy(place, segments.data(), bytes);
      const std::vector<unsigned char> page(first, end);
      auto* const buffer = reinterpret_cast<PathSegment*>(place);
      ordinary.displacer.displace(buffer, length);
      const auto offset = static_cast<std::size_t>(place - first);
      ASSERT_EQ(std::memcmp(buffer, reference.data(), bytes), 0) << "length " << length << " at page offset " << offset;
      EXPECT_EQ(std::memcmp(first, page.data(), offset), 0) << "a byte before the buffer changed";
      EXPECT_EQ(std::memcmp(place + bytes, page.data() + offset + bytes, pageSize - offset - bytes), 0)
          << "a byte after the buffer changed";
    }
  }
  munmap(mapping, 3 * pageSize);
}

}  // namespace
