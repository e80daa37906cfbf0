// Prints the bits of the geometry kernel's results for a fixed set of inputs,
// one line per call, so that the Linux and the Windows build can be compared
// byte for byte.
//
// The inputs come from a fixed-seed generator of our own (splitmix64), since
// the standard library's distributions differ between implementations. They
// cover the special values (zeros of both signs, subnormals, the largest
// floats, infinities, NaN), the angles the kernel takes cos and sin of, drags
// in every direction, long drags whose factor is clamped, and points on the
// axis and at the start.
//
// The segment kernel's blocks print their results too, and are compared
// with the point-by-point reference in the same build, bit for bit (NaN
// payloads and host bytes included): a difference is reported and makes the
// probe fail, and so does a block with a NaN or an infinity that the active
// path's own blocks move (this build's machine code on this processor). `kernel_probe PATH` forces the kernel's vector
// path (sse2, avx2 or avx512); every path prints the same bytes. A path this machine cannot run ends the probe with
// status 77 before it prints anything.
//
// Results of atan2Float, cosFloat and sinFloat print as raw bits (their NaN is
// canonical). Geometry results print a NaN as "nan": IEEE arithmetic leaves
// the sign and payload of a NaN from two NaN operands to the order of the
// operands in the machine code, which the two compilers may choose
// differently; no report ever shows a NaN's bits.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tool/float/float_math.h"
#include "tool/geometry.h"
#include "tool/kernel/blocks.h"
#include "tool/kernel/kernel_path.h"
#include "tool/kernel/segment_displacer.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

using hostapi::ArtworkPoint;

namespace {

class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

 private:
  std::uint64_t state_;
};

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::uint32_t bitsOf(float f) { return std::bit_cast<std::uint32_t>(f); }
std::uint64_t bitsOf(double d) { return std::bit_cast<std::uint64_t>(d); }

// A geometry result: its bits, or "nan".
void printResult(float f) {
  if (std::isnan(f))
    std::printf(" nan");
  else
    std::printf(" %08X", static_cast<unsigned>(bitsOf(f)));
}

float anyFloat(SplitMix64& rng) { return std::bit_cast<float>(static_cast<std::uint32_t>(rng.next())); }

// A cursor position at some zoom: a multiple of 1/64 within +-4096.
float mouseCoordinate(SplitMix64& rng) {
  return static_cast<float>(static_cast<std::int32_t>(rng.below(1u << 19)) - (1 << 18)) / 64.0f;
}

// A float of any size and sign, never NaN or infinite.
float finiteFloat(SplitMix64& rng) {
  float f;
  do f = anyFloat(rng);
  while (!std::isfinite(f));
  return f;
}

const std::vector<float>& specialFloats() {
  static const std::vector<float> values = {
      0.0f,
      -0.0f,
      1.0f,
      -1.0f,
      0.5f,
      -3.0f,
      100.0f,
      -200.0f,
      1e-30f,
      -1e30f,
      std::numeric_limits<float>::denorm_min(),
      -std::numeric_limits<float>::denorm_min(),
      std::bit_cast<float>(0x007FFFFFu),
      -std::numeric_limits<float>::min(),
      std::numeric_limits<float>::max(),
      -std::numeric_limits<float>::max(),
      3.1415927f,
      -1.5707964f,
      16777216.0f,
      kInf,
      -kInf,
      kNaN,
      -kNaN,
      std::bit_cast<float>(0x7FA00001u),  // signalling NaN
  };
  return values;
}

void probeAtan2(SplitMix64& rng) {
  const auto line = [](float y, float x) {
    std::printf("atan2 %08X %08X %08X\n", static_cast<unsigned>(bitsOf(y)), static_cast<unsigned>(bitsOf(x)),
                static_cast<unsigned>(bitsOf(atan2Float(y, x))));
  };
  for (const float y : specialFloats())
    for (const float x : specialFloats()) line(y, x);
  // Within 2^-50 of a float midpoint (from MPFR), where the exact evaluation
  // decides, in each quadrant; the first is a drag from (10, 10) to
  // (13, 798.2477417).
  const std::uint32_t nearMidpoints[][2] = {
      {0x44450fdbu, 0x40400000u}, {0x4b273c59u, 0x4ad1f446u}, {0x4a99921eu, 0x4ab0fb46u}, {0x4b52e50fu, 0x4ad40c0eu},
      {0x4b010df2u, 0x482f5940u}, {0x4b095899u, 0x4a1d7254u}, {0x4a4103acu, 0x4b2b3736u}, {0x4b67f8b1u, 0x49a28970u},
      {0x4b4343cfu, 0x4acd500au}, {0x4ac4778au, 0x4b02605au}, {0x4a800c36u, 0x492a2bf0u}, {0x4afc94fau, 0x4abc91dcu},
  };
  for (const auto& pair : nearMidpoints) {
    const float y = std::bit_cast<float>(pair[0]), x = std::bit_cast<float>(pair[1]);
    line(y, x);
    line(x, y);
    line(-y, -x);
    line(y, -x);
  }
  // Arguments are drawn one statement at a time: the order in which a call's
  // arguments are evaluated is unspecified.
  for (int i = 0; i < 10000; ++i) {
    const float y = anyFloat(rng);
    line(y, anyFloat(rng));
  }
  for (int i = 0; i < 10000; ++i) {
    const float y = mouseCoordinate(rng);
    line(y, mouseCoordinate(rng));
  }
}

void probeSinCos(SplitMix64& rng) {
  const auto line = [](double a) {
    std::printf("sincos %016llX %08X %08X\n", static_cast<unsigned long long>(bitsOf(a)),
                static_cast<unsigned>(bitsOf(sinFloat(a))), static_cast<unsigned>(bitsOf(cosFloat(a))));
  };
  const double specials[] = {0.0,
                             -0.0,
                             0x1.921fb54442d18p+0,  // pi/2
                             -0x1.921fb54442d18p+1,
                             0x1.921fb54442d18p-1,
                             0x1.921fb54442d19p-1,
                             0x1p20,
                             0x1.fffffffffffffp19,
                             1e22,
                             0x1.6ac5b262ca1ffp+849,  // 6381956970095103 * 2^797
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min(),
                             -1e-300,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
  for (const double a : specials) line(a);
  // The arcsine and arccosine of float midpoints, rounded to double (from
  // MPFR): their sine or cosine lies within a few double ulps of the
  // midpoint, where the exact evaluation decides.
  const std::uint64_t nearMidpoints[] = {
      0x3f9cbcc5e3fb91a5, 0x3ff8af083cb43ed2, 0x3fe38faf4ae15838, 0x3feeb4475da701f8,
      0x3fea5d8065b1d2ca, 0x3fe7e67642d68767, 0x3fd8e269c8c78408, 0x3ff2e960e2124c16,
      0x3ff5d77678b25435, 0x3fca5426dc8ec71a, 0x3ff082639a156058, 0x3fe13f2f745d9981,
      0x3fe27aebba127dc5, 0x3fefc90aee75dc6c, 0x3fbf485b79766b0a, 0x3ff72d759cacc668,
  };
  for (const std::uint64_t bits : nearMidpoints) {
    line(std::bit_cast<double>(bits));
    line(-std::bit_cast<double>(bits));
  }
  // The kernel's angles: a float theta, and theta +- half pi in double.
  for (int i = 0; i < 10000; ++i) {
    const float y = mouseCoordinate(rng);
    const float theta = atan2Float(y, mouseCoordinate(rng));
    line(theta);
    line(double{theta} + double{kHalfPi});
    line(double{theta} - double{kHalfPi});
  }
  for (int i = 0; i < 10000; ++i) line(std::bit_cast<double>(rng.next()));
}

void printPoint(const char* label, ArtworkPoint p) {
  std::printf(" %s", label);
  printResult(p.x);
  printResult(p.y);
}

void probeStretch(ArtworkPoint start, ArtworkPoint current, bool shift, SplitMix64& rng) {
  const Stretch s = computeStretch(start, current, shift, 200.0f);
  printPoint("stretch", start);
  printPoint("to", current);
  std::printf(" %s:", shift ? "shift" : "plain");
  for (const float f : {s.theta, s.cosTheta, s.sinTheta, s.axisLine.a, s.axisLine.b, s.axisLine.c, s.guide.start.x,
                        s.guide.start.y, s.guide.end.x, s.guide.end.y, s.factor})
    printResult(f);
  std::printf("\n");

  const ArtworkPoint onAxis{start.x - 50.0f * s.sinTheta, start.y + 50.0f * s.cosTheta};
  const ArtworkPoint points[] = {start,
                                 current,
                                 onAxis,
                                 s.guide.end,
                                 {mouseCoordinate(rng), mouseCoordinate(rng)},
                                 {mouseCoordinate(rng), mouseCoordinate(rng)},
                                 {finiteFloat(rng), finiteFloat(rng)},
                                 {-0.0f, std::numeric_limits<float>::denorm_min()}};
  for (const ArtworkPoint& p : points) {
    ArtworkPoint moved = p;
    displacePoint(moved, s.factor, s.cosTheta, s.sinTheta, s.axisLine, start, current);
    printPoint(" point", p);
    printPoint("->", moved);
    std::printf("\n");
  }
}

void probeStretches(SplitMix64& rng) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  const float big = std::numeric_limits<float>::max();
  const ArtworkPoint chosen[][2] = {
      {{0, 0}, {200, 0}},       {{0, 0}, {100, 100}},      {{5, 7}, {5, 20}},         {{5, 7}, {5, -3}},
      {{5, 7}, {9, 7}},         {{5, 7}, {-9, 7}},         {{0, 0}, {25000, 0}},      {{0, 0}, {-14142, 14143}},
      {{0, 0}, {tiny, 1}},      {{0, 0}, {1e-20f, 1}},     {{0, 0}, {1, tiny}},       {{-0.0f, 0}, {0, -0.0f}},
      {{0, 0}, {0, -0.0f}},     {{tiny, 0}, {0, tiny}},    {{big, big}, {-big, 1}},   {{0, 0}, {big, big}},
      {{1e30f, 0}, {0, 1e30f}}, {{0, 0}, {kInf, 1}},       {{0, 0}, {kInf, kInf}},    {{kNaN, 0}, {1, 1}},
      {{0, 0}, {1, kNaN}},      {{3, 4}, {3.0000002f, 4}}, {{3, 4}, {3, 4.0000005f}}, {{100, 100}, {100.015625f, 50}},
  };
  for (const auto& pair : chosen) {
    probeStretch(pair[0], pair[1], false, rng);
    probeStretch(pair[0], pair[1], true, rng);
  }
  for (int i = 0; i < 3000; ++i) {
    const ArtworkPoint start{mouseCoordinate(rng), mouseCoordinate(rng)};
    ArtworkPoint current{mouseCoordinate(rng), mouseCoordinate(rng)};
    switch (rng.below(8)) {
      case 0:
        current.x = start.x;
        break;  // vertical
      case 1:
        current.y = start.y;
        break;  // horizontal
      case 2:
        current = {start.x * 1e4f, start.y * -1e4f};
        break;  // long: clamped factor
      default:
        break;
    }
    probeStretch(start, current, rng.below(2) == 1, rng);
  }
  for (int i = 0; i < 500; ++i) {
    const ArtworkPoint start{finiteFloat(rng), finiteFloat(rng)};  // braced lists evaluate in order
    const ArtworkPoint current{anyFloat(rng), anyFloat(rng)};
    probeStretch(start, current, rng.below(2) == 1, rng);
  }
}

// A point for a segment buffer: mostly ordinary, sometimes (one in
// `awkwardOdds`) one the blocks must hand to the reference or get exactly
// right.
ArtworkPoint bufferPoint(SplitMix64& rng, ArtworkPoint start, const Stretch& s, std::uint32_t awkwardOdds) {
  switch (rng.below(awkwardOdds) == 0 ? rng.below(6) : 6) {
    case 0:
      return start;
    case 1:  // on the axis, as near as floats allow
    {
      const float along = mouseCoordinate(rng);
      return {start.x - along * s.sinTheta, start.y + along * s.cosTheta};
    }
    case 2: {
      const float x = anyFloat(rng);  // braced lists evaluate in order, but keep it plain
      return {x, anyFloat(rng)};
    }
    case 3:
      return {rng.below(2) == 0 ? 0.0f : -0.0f, rng.below(2) == 0 ? -0.0f : mouseCoordinate(rng)};
    case 4:
      return {start.x, mouseCoordinate(rng)};
    default: {
      const float x = mouseCoordinate(rng);
      return {x, mouseCoordinate(rng)};
    }
  }
}

// Returns the number of buffers whose blocks differ from the reference.
int probeSegmentBuffer(ArtworkPoint start, ArtworkPoint current, bool shift, SplitMix64& rng) {
  const Stretch s = computeStretch(start, current, shift, 200.0f);
  const SegmentDisplacer displacer(s, start, current);
  std::vector<hostapi::PathSegment> buffer(1 + rng.below(40));  // up to two AVX-512 blocks and a rest
  // Buffers whose wide blocks mostly all fit the envelope, and buffers where
  // most blocks have a point that does not.
  const std::uint32_t awkwardOdds = rng.below(2) == 0 ? 200 : 3;
  for (hostapi::PathSegment& segment : buffer) {
    segment.anchor = bufferPoint(rng, start, s, awkwardOdds);
    segment.in = bufferPoint(rng, start, s, awkwardOdds);
    segment.out = bufferPoint(rng, start, s, awkwardOdds);
    const std::uint32_t host = static_cast<std::uint32_t>(rng.next());
    std::memcpy(segment.hostData, &host, sizeof host);
  }
  std::vector<hostapi::PathSegment> reference = buffer;
  std::vector<hostapi::PathSegment> bounded = buffer;
  const bool boundedOverflowed =
      displacer.displace(bounded.data(), bounded.size(), largestCoordinate(buffer.data(), buffer.size()));
  const bool overflowed = displacer.displace(buffer.data(), buffer.size());
  const bool referenceOverflowed = displacer.displaceEachPoint(reference.data(), reference.size());
  printPoint("segments", start);
  printPoint("to", current);
  std::printf(" %s %s %s:", shift ? "shift" : "plain", displacer.blocksApply() ? "blocks" : "points",
              overflowed ? "overflow" : "fits");
  for (const hostapi::PathSegment& segment : buffer) {
    for (const float f : {segment.anchor.x, segment.anchor.y, segment.in.x, segment.in.y, segment.out.x, segment.out.y})
      printResult(f);
  }
  std::printf("\n");
  const std::size_t bytes = buffer.size() * sizeof(hostapi::PathSegment);
  const bool same = overflowed == referenceOverflowed && boundedOverflowed == referenceOverflowed &&
                    std::memcmp(buffer.data(), reference.data(), bytes) == 0 &&
                    std::memcmp(bounded.data(), reference.data(), bytes) == 0;
  if (!same) std::printf("blocks differ from the reference for the drag above\n");
  return same ? 0 : 1;
}

int probeSegmentBuffers(SplitMix64& rng) {
  int differences = 0;
  for (int i = 0; i < 3000; ++i) {
    ArtworkPoint start{mouseCoordinate(rng), mouseCoordinate(rng)};
    ArtworkPoint current{mouseCoordinate(rng), mouseCoordinate(rng)};
    switch (rng.below(10)) {
      case 0:
        current.x = start.x;  // vertical
        break;
      case 1:
        current.y = start.y;  // horizontal
        break;
      case 2:
        start = {rng.below(2) == 0 ? 0.0f : -0.0f, 0.0f};  // from the origin: the axis's c may be -0
        break;
      case 3:
        current = {start.x * 1e4f, start.y * -1e4f};  // long: clamped factor
        break;
      case 4:
        current = {start.x + std::ldexp(1.0f, -static_cast<int>(rng.below(40))), start.y};  // short
        break;
      case 5: {
        const float x = finiteFloat(rng);
        start = {x, finiteFloat(rng)};
        break;
      }
      default:
        break;
    }
    if (pointsEqual(start, current)) current.y += 1.0f;
    differences += probeSegmentBuffer(start, current, rng.below(2) == 1, rng);
  }
  return differences;
}

// The active path's own blocks over one buffer, testing each point's
// envelope or (with a threshold) a path's bound, and their size; none where
// the blocks do not exist.
std::size_t moveActiveBlocks(const BlockValues& values, hostapi::PathSegment* segments, std::size_t count,
                             const float* threshold) {
  switch (activeKernelPath()) {
#if defined(__i386__) || defined(__x86_64__)
    case KernelPath::avx512:
      return threshold ? moveBoundedBlocksAvx512(values, *threshold, segments, count)
                       : moveBlocksAvx512(values, segments, count);
    case KernelPath::avx2:
      return threshold ? moveBoundedBlocksAvx2(values, *threshold, segments, count)
                       : moveBlocksAvx2(values, segments, count);
#endif
#if defined(__SSE2__)
    case KernelPath::sse2:
      return threshold ? moveBoundedBlocksSse2(values, *threshold, segments, count)
                       : moveBlocksSse2(values, segments, count);
#endif
    default:
      return 0;
  }
}

// Sixteen segments of ordinary artwork with a quiet or signalling NaN or an
// infinity, of either sign, in each coordinate of each point in turn: the
// active path's blocks may move only the blocks before the one it lies in,
// and so may its bounded blocks given the bound of the segments without it.
// Prints nothing (its output would differ between paths); returns the number
// of buffers in which a block with one was moved.
int probeSpecialBlocks(SplitMix64& rng) {
  constexpr std::uint32_t specials[] = {0x7FC00000u, 0xFFC00000u, 0x7FC0BEEFu, 0x7F800001u,
                                        0xFFA00000u, 0x7FBFFFFFu, 0x7F800000u, 0xFF800000u};
  constexpr std::size_t kSegments = 16;
  const ArtworkPoint start{12.5f, -7.75f};
  const ArtworkPoint current{162.5f, 52.25f};
  const SegmentDisplacer displacer(computeStretch(start, current, false, 200.0f), start, current);
  std::size_t block = 1;
  switch (activeKernelPath()) {
    case KernelPath::avx512:
      block = kAvx512Block;
      break;
    case KernelPath::avx2:
      block = kAvx2Block;
      break;
    default:
      block = kSse2Block;
      break;
  }
  std::vector<hostapi::PathSegment> plain(kSegments);
  for (hostapi::PathSegment& segment : plain) {
    for (float* f :
         {&segment.anchor.x, &segment.anchor.y, &segment.in.x, &segment.in.y, &segment.out.x, &segment.out.y}) {
      *f = mouseCoordinate(rng) / 4.0f + 500.0f;  // far from the axis through the start
    }
  }
  const float threshold = pathThreshold(displacer.blockValues(), largestCoordinate(plain.data(), kSegments));
  int moved = 0;
  for (const std::uint32_t bits : specials) {
    for (std::size_t i = 0; i < kSegments * 6; ++i) {
      std::vector<hostapi::PathSegment> buffer = plain;
      hostapi::PathSegment& segment = buffer[i / 6];
      float* const coordinates[] = {&segment.anchor.x, &segment.anchor.y, &segment.in.x,
                                    &segment.in.y,     &segment.out.x,    &segment.out.y};
      *coordinates[i % 6] = std::bit_cast<float>(bits);
      const std::size_t before = i / 6 / block * block;  // the segments of the blocks before it
      for (const float* bound : {static_cast<const float*>(nullptr), &threshold}) {
        std::vector<hostapi::PathSegment> moving = buffer;
        if (moveActiveBlocks(displacer.blockValues(), moving.data(), kSegments, bound) > before) ++moved;
      }
    }
  }
  return moved;
}

constexpr int kPathUnavailable = 77;

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n"
#endif
  if (argc > 1) {
    const std::string wanted = argv[1];
    bool known = false;
    for (const KernelPath path : {KernelPath::sse2, KernelPath::avx2, KernelPath::avx512}) {
      if (wanted != kernelPathName(path)) continue;
      known = true;
      if (!forceKernelPath(path)) {
        std::fprintf(stderr, "kernel_probe: this machine cannot run the %s path\n", argv[1]);
        return kPathUnavailable;
      }
    }
    if (!known) {
      std::fprintf(stderr, "usage: kernel_probe [sse2|avx2|avx512]\n");
      return 2;
    }
  }
  SplitMix64 rng(0x5157A9E1u);
  probeAtan2(rng);
  probeSinCos(rng);
  probeStretches(rng);
  const int differences = probeSegmentBuffers(rng);
  const int specialsMoved = probeSpecialBlocks(rng);
  if (std::fflush(stdout) != 0) return 1;
  if (specialsMoved != 0) {
    std::fprintf(stderr, "kernel_probe: the %s blocks moved a block with a NaN or an infinity in %d buffers\n",
                 kernelPathName(activeKernelPath()), specialsMoved);
    return 1;
  }
  if (differences != 0) {
    std::fprintf(stderr, "kernel_probe: the blocks differ from the reference in %d buffers\n", differences);
    return 1;
  }
  return 0;
}
