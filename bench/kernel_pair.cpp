// The vector blocks of two trees of this project, base and new, in one
// program, timed in turn on the same buffer so that a busy or drifting
// machine slows both alike. Built by scripts/bench_kernel_builds.sh for this
// machine and for the i686 build (run under wine), each tree's blocks
// compiled with its own headers and their entry points renamed with base_ or
// new_ (see the script). Both trees must share this one's BlockValues.
//
// For each path the processor has: a check that the two give the same bytes
// on points with NaNs and infinities among them, then the fastest of many
// samples of 20 passes over 1000 segments of random points (a zero factor
// keeps them in place), in ns per segment; base's blocks against new's
// bounded blocks, as a drag's later events run them (their bits are the
// tests' business); and the same for the chunked blocks of a path of four
// segments (SSE2's, and AVX2's and AVX-512's where the processor has them),
// between the copies that bring it in and take it out.
//
//   kernel_pair [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tool/kernel/blocks.h"

using hostapi::PathSegment;
using Mover = std::size_t (*)(const BlockValues&, PathSegment*, std::size_t);

std::size_t base_moveBlocksSse2(const BlockValues&, PathSegment*, std::size_t);
std::size_t new_moveBlocksSse2(const BlockValues&, PathSegment*, std::size_t);
std::size_t base_moveBlocksAvx2(const BlockValues&, PathSegment*, std::size_t);
std::size_t new_moveBlocksAvx2(const BlockValues&, PathSegment*, std::size_t);
using BoundedMover = std::size_t (*)(const BlockValues&, float, PathSegment*, std::size_t);
std::size_t new_moveBoundedBlocksSse2(const BlockValues&, float, PathSegment*, std::size_t);
std::size_t new_moveBoundedBlocksAvx2(const BlockValues&, float, PathSegment*, std::size_t);
using ChunkedMover = bool (*)(const BlockValues&, PathSegment*);
bool base_moveChunkedBlockSse2(const BlockValues&, PathSegment*);
bool new_moveChunkedBlockSse2(const BlockValues&, PathSegment*);
bool base_moveChunkedBlockAvx512(const BlockValues&, PathSegment*);
bool new_moveChunkedBlockAvx512(const BlockValues&, PathSegment*);
bool new_moveChunkedBlockAvx2(const BlockValues&, PathSegment*);
#if defined(SW_BASE_CHUNKED_AVX2)
bool base_moveChunkedBlockAvx2(const BlockValues&, PathSegment*);
constexpr ChunkedMover kBaseChunkedAvx2 = base_moveChunkedBlockAvx2;
#else
// A base whose AVX2 path has no chunked block of its own runs SSE2's there.
constexpr ChunkedMover kBaseChunkedAvx2 = base_moveChunkedBlockSse2;
#endif

namespace {

constexpr std::size_t kSegments = 1000;
constexpr int kPassesPerSample = 20;
constexpr int kSamplesPerRound = 1000;

// Random points in [-500, 1500), with a NaN or an infinity in a share of the
// segments when `wild`.
std::vector<PathSegment> pointsOf(std::size_t count, unsigned seed, bool wild) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> coordinate(-500.0f, 1500.0f);
  std::vector<PathSegment> segments(count);
  for (PathSegment& segment : segments) {
    float* f = &segment.anchor.x;
    for (int i = 0; i < 6; ++i) f[i] = coordinate(random);
    if (wild && random() % 50 == 0) {
      f[random() % 6] =
          random() % 2 != 0 ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    }
  }
  return segments;
}

BlockValues eventValues(float factor) {
  const float offset = 12.5f + 7.75f + 3.1f + kMarginFloor;
  return blockValuesOf(0.6f, -0.8f, 3.1f, factor, 0.8f, 0.6f, offset * kOffsetToMargin);
}

// Whether base and new move the same segments to the same bytes.
bool sameBytes(Mover base, Mover fresh) {
  const BlockValues values = eventValues(1.5f);
  for (unsigned seed = 0; seed < 500; ++seed) {
    std::vector<PathSegment> a = pointsOf(40 + seed % 29, seed, seed % 2 == 0);
    std::vector<PathSegment> b = a;
    const std::size_t movedA = base(values, a.data(), a.size());
    const std::size_t movedB = fresh(values, b.data(), b.size());
    if (movedA != movedB || std::memcmp(a.data(), b.data(), a.size() * sizeof(PathSegment)) != 0) return false;
  }
  return true;
}

// The fastest sample of base (side 0) and of new (side 1), taken in turn:
// `samples` of one, then of the other, `rounds` times.
struct Fastest {
  double seconds[2] = {1.0, 1.0};
  double operator[](int side) const { return seconds[side]; }
};

template <typename Sample>
Fastest inTurn(int rounds, int samples, Sample sample) {
  Fastest fastest;
  for (int round = 0; round < rounds; ++round) {
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < samples; ++i) fastest.seconds[side] = std::min(fastest.seconds[side], sample(side));
    }
  }
  return fastest;
}

template <typename Move>
double sampleSeconds(const Move& mover, const BlockValues& values, std::vector<PathSegment>& buffer) {
  const auto begin = std::chrono::steady_clock::now();
  std::size_t moved = 0;
  for (int i = 0; i < kPassesPerSample; ++i) moved += mover(values, buffer.data(), buffer.size());
  const auto end = std::chrono::steady_clock::now();
  if (moved != kSegments * kPassesPerSample) std::abort();  // a refused block: not the case measured
  return std::chrono::duration<double>(end - begin).count();
}

void compare(const char* name, Mover base, Mover fresh, int rounds) {
  if (!sameBytes(base, fresh)) {
    std::printf("%-5s base and new differ\n", name);
    return;
  }
  const BlockValues values = eventValues(0.0f);
  std::vector<PathSegment> buffer = pointsOf(kSegments, 7, false);
  const Fastest fastest = inTurn(rounds, kSamplesPerRound,
                                 [&](int side) { return sampleSeconds(side == 0 ? base : fresh, values, buffer); });
  const double perSegment = 1e9 / (static_cast<double>(kSegments) * kPassesPerSample);
  std::printf("%-5s base %6.3f   new %6.3f ns per segment   base / new %5.3f\n", name, fastest[0] * perSegment,
              fastest[1] * perSegment, fastest[0] / fastest[1]);
}

// Base's blocks against new's bounded blocks given the buffer's bound.
void compareBounded(const char* name, Mover base, BoundedMover fresh, int rounds) {
  const BlockValues values = eventValues(0.0f);
  std::vector<PathSegment> buffer = pointsOf(kSegments, 7, false);
  const float threshold = pathThreshold(values, largestCoordinate(buffer.data(), buffer.size()));
  const auto bounded = [&](const BlockValues& v, PathSegment* s, std::size_t n) { return fresh(v, threshold, s, n); };
  const Fastest fastest = inTurn(rounds, kSamplesPerRound, [&](int side) {
    return side == 0 ? sampleSeconds(base, values, buffer) : sampleSeconds(bounded, values, buffer);
  });
  const double perSegment = 1e9 / (static_cast<double>(kSegments) * kPassesPerSample);
  std::printf("%-5s base %6.3f   new %6.3f ns per segment, bounded   base / new %5.3f\n", name, fastest[0] * perSegment,
              fastest[1] * perSegment, fastest[0] / fastest[1]);
}

// Paths of four segments as a drag meets them: each copied into a buffer,
// moved by the chunked block, and copied out, as the host's get and set
// calls copy them. Reported per path, the copies included.
constexpr std::size_t kPaths = 4096;
constexpr int kChunkedSamples = 200;

bool sameChunkedBytes(ChunkedMover base, ChunkedMover fresh) {
  const BlockValues values = eventValues(1.5f);
  for (unsigned seed = 0; seed < 2000; ++seed) {
    std::vector<PathSegment> a = pointsOf(kSse2Block, seed, seed % 2 == 0);
    std::vector<PathSegment> b = a;
    if (base(values, a.data()) != fresh(values, b.data()) ||
        std::memcmp(a.data(), b.data(), a.size() * sizeof(PathSegment)) != 0) {
      return false;
    }
  }
  return true;
}

// The segments of a path, read where the compiler cannot see it: the copies
// are then the C library's, of a length known only when it runs, as the
// host's are, and not moves the compiler fits to four segments.
volatile std::size_t gPathSegments = kSse2Block;

double chunkedSampleSeconds(ChunkedMover mover, const BlockValues& values, const std::vector<PathSegment>& source,
                            std::vector<PathSegment>& target) {
  PathSegment buffer[kSse2Block];
  const std::size_t count = gPathSegments;
  const auto begin = std::chrono::steady_clock::now();
  bool moved = true;
  for (std::size_t path = 0; path < kPaths; ++path) {
    std::copy_n(&source[path * kSse2Block], count, buffer);
    moved = mover(values, buffer) && moved;
    std::copy_n(buffer, count, &target[path * kSse2Block]);
  }
  const auto end = std::chrono::steady_clock::now();
  if (!moved) std::abort();
  return std::chrono::duration<double>(end - begin).count();
}

void compareChunked(const char* name, ChunkedMover base, ChunkedMover fresh, int rounds) {
  if (!sameChunkedBytes(base, fresh)) {
    std::printf("%-8s base and new differ\n", name);
    return;
  }
  const BlockValues values = eventValues(0.0f);
  // Points near the axis are refused and take another way: the paths timed
  // are ones both blocks move, repeated.
  const std::vector<PathSegment> candidates = pointsOf(kPaths * kSse2Block, 11, false);
  std::vector<PathSegment> movable;
  for (std::size_t from = 0; from < candidates.size(); from += kSse2Block) {
    PathSegment trial[2][kSse2Block];
    std::copy_n(&candidates[from], kSse2Block, trial[0]);
    std::copy_n(&candidates[from], kSse2Block, trial[1]);
    if (base(values, trial[0]) && fresh(values, trial[1])) {
      movable.insert(movable.end(), &candidates[from], &candidates[from] + kSse2Block);
    }
  }
  if (movable.empty()) {
    std::printf("%-8s no path that both move\n", name);
    return;
  }
  std::vector<PathSegment> source(candidates.size());
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = movable[i % movable.size()];
  std::vector<PathSegment> target(source.size());
  const Fastest fastest = inTurn(rounds, kChunkedSamples, [&](int side) {
    return chunkedSampleSeconds(side == 0 ? base : fresh, values, source, target);
  });
  std::printf(
      "%-8s base %6.3f   new %6.3f ns per path of four segments, copies in and out included   base / new %5.3f\n", name,
      fastest[0] * 1e9 / kPaths, fastest[1] * 1e9 / kPaths, fastest[0] / fastest[1]);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  compare("sse2", base_moveBlocksSse2, new_moveBlocksSse2, rounds);
  compareBounded("sse2", base_moveBlocksSse2, new_moveBoundedBlocksSse2, rounds);
  if (__builtin_cpu_supports("avx2")) {
    compare("avx2", base_moveBlocksAvx2, new_moveBlocksAvx2, rounds);
    compareBounded("avx2", base_moveBlocksAvx2, new_moveBoundedBlocksAvx2, rounds);
  } else {
    std::printf("avx2  not on this processor\n");
  }
  compareChunked("four", base_moveChunkedBlockSse2, new_moveChunkedBlockSse2, rounds);
  if (__builtin_cpu_supports("avx2")) compareChunked("four256", kBaseChunkedAvx2, new_moveChunkedBlockAvx2, rounds);
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) {
    compareChunked("four512", base_moveChunkedBlockAvx512, new_moveChunkedBlockAvx512, rounds);
  } else {
    std::printf("four512 not on this processor\n");
  }
  return 0;
}
