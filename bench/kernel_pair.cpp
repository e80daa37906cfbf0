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
// keeps them in place), in ns per segment.
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

double sampleSeconds(Mover mover, const BlockValues& values, std::vector<PathSegment>& buffer) {
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
  double fastest[2] = {1.0, 1.0};
  for (int round = 0; round < rounds; ++round) {
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < kSamplesPerRound; ++i) {
        fastest[side] = std::min(fastest[side], sampleSeconds(side == 0 ? base : fresh, values, buffer));
      }
    }
  }
  const double perSegment = 1e9 / (static_cast<double>(kSegments) * kPassesPerSample);
  std::printf("%-5s base %6.3f   new %6.3f ns per segment   base / new %5.3f\n", name, fastest[0] * perSegment,
              fastest[1] * perSegment, fastest[0] / fastest[1]);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  compare("sse2", base_moveBlocksSse2, new_moveBlocksSse2, rounds);
  if (__builtin_cpu_supports("avx2")) {
    compare("avx2", base_moveBlocksAvx2, new_moveBlocksAvx2, rounds);
  } else {
    std::printf("avx2  not on this processor\n");
  }
  return 0;
}
