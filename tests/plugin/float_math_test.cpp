// The kernel's own atan2, sin, cos and sqrt against the platform's maths
// library: within 1 ulp of the correctly rounded float everywhere, equal to
// the float rounding of glibc's double result almost always, and the IEEE
// special cases.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <string>

#include "tool/float/float_math.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kDoubleInf = std::numeric_limits<double>::infinity();
constexpr std::uint32_t kCanonicalNaN = 0x7FC00000;

std::uint32_t bitsOf(float f) { return std::bit_cast<std::uint32_t>(f); }

// Distance in units in the last place: floats ordered as integers.
std::int64_t ulpDistance(float a, float b) {
  const auto ordered = [](float f) {
    const auto i = std::bit_cast<std::int32_t>(f);
    return i < 0 ? std::int64_t{std::numeric_limits<std::int32_t>::min()} - i : std::int64_t{i};
  };
  const std::int64_t d = ordered(a) - ordered(b);
  return d < 0 ? -d : d;
}

std::string describe(double a) {
  return std::to_string(a) + " (" + std::to_string(std::bit_cast<std::uint64_t>(a)) + ")";
}

// Tallies one function against two references: glibc's double result rounded
// to float (agreement) and the long double result rounded to float (accuracy).
struct Agreement {
  std::int64_t samples = 0;
  std::int64_t exact = 0;
  std::int64_t worstUlps = 0;
  std::string worstCase;

  void add(float ours, double glibc, long double precise, double input, double secondInput = 0.0) {
    ++samples;
    if (bitsOf(ours) == bitsOf(static_cast<float>(glibc))) ++exact;
    const std::int64_t ulps = ulpDistance(ours, static_cast<float>(precise));
    if (ulps > worstUlps) {
      worstUlps = ulps;
      worstCase = describe(input) + ", " + describe(secondInput);
    }
  }

  // At most 1 ulp from the correctly rounded float, and fewer than one input
  // in 200000 rounding differently from glibc (expected: about 1 in 10^8).
  void check(const char* what) const {
    EXPECT_LE(worstUlps, 1) << what << ": worst case " << worstCase;
    EXPECT_GE(static_cast<double>(exact), 0.999995 * static_cast<double>(samples))
        << what << ": " << samples - exact << " of " << samples << " differ from glibc";
  }
};

float randomFloatBits(std::mt19937_64& rng) {
  float f;
  do f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
  while (std::isnan(f));
  return f;
}

TEST(FloatMath, Atan2AgreesWithGlibcOnRandomFloats) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<float> moderate(-2000.0f, 2000.0f);
  Agreement anyBits, drags;
  for (int i = 0; i < 1'500'000; ++i) {
    const float y = randomFloatBits(rng), x = randomFloatBits(rng);
    anyBits.add(atan2Float(y, x), std::atan2(double{y}, double{x}), std::atan2(static_cast<long double>(y), x), y, x);
    const float dy = moderate(rng), dx = moderate(rng);
    drags.add(atan2Float(dy, dx), std::atan2(double{dy}, double{dx}), std::atan2(static_cast<long double>(dy), dx), dy,
              dx);
  }
  anyBits.check("atan2, any floats");
  drags.check("atan2, drag vectors");
}

TEST(FloatMath, SinCosAgreeWithGlibcOverTheirDomain) {
  std::mt19937_64 rng(77);
  struct Range {
    const char* name;
    double limit;
  };
  for (const Range range :
       {Range{"kernel angles", 2 * std::numbers::pi + 1.6}, Range{"medium", 1e6}, Range{"huge", 1e300}}) {
    std::uniform_real_distribution<double> angles(-range.limit, range.limit);
    Agreement sines, cosines;
    for (int i = 0; i < 700'000; ++i) {
      const double a = angles(rng);
      sines.add(sinFloat(a), std::sin(a), std::sin(static_cast<long double>(a)), a);
      cosines.add(cosFloat(a), std::cos(a), std::cos(static_cast<long double>(a)), a);
    }
    sines.check(range.name);
    cosines.check(range.name);
  }
  // Every exponent, both reduction methods and the boundary between them.
  Agreement sines, cosines;
  for (int i = 0; i < 700'000; ++i) {
    double a = std::bit_cast<double>(rng());
    if (!std::isfinite(a)) continue;
    if (i % 4 == 0)
      a = std::ldexp(1.0 + std::ldexp(static_cast<double>(rng() >> 12), -52), 19 + static_cast<int>(i % 3));
    sines.add(sinFloat(a), std::sin(a), std::sin(static_cast<long double>(a)), a);
    cosines.add(cosFloat(a), std::cos(a), std::cos(static_cast<long double>(a)), a);
  }
  sines.check("any doubles");
  cosines.check("any doubles");
}

TEST(FloatMath, SinCosOfGuideAnglesAgreeWithGlibc) {
  // The kernel's use: a float angle from atan2, plus or minus half pi in double.
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<float> thetas(-3.1415927f, 3.1415927f);
  Agreement sines, cosines;
  for (int i = 0; i < 500'000; ++i) {
    const double theta = thetas(rng);
    for (const double a : {theta, theta + double{1.5707964f}, theta - double{1.5707964f}}) {
      sines.add(sinFloat(a), std::sin(a), std::sin(static_cast<long double>(a)), a);
      cosines.add(cosFloat(a), std::cos(a), std::cos(static_cast<long double>(a)), a);
    }
  }
  sines.check("sin of guide angles");
  cosines.check("cos of guide angles");
}

TEST(FloatMath, Atan2SpecialCases) {
  const float pi = 3.1415927f, halfPi = 1.5707964f, quarterPi = 0.7853982f, threeQuarterPi = 2.3561945f;
  const float tiny = std::numeric_limits<float>::denorm_min();
  struct Case {
    float y, x, expected;
  } cases[] = {
      {0.0f, 0.0f, 0.0f},
      {-0.0f, 0.0f, -0.0f},
      {0.0f, -0.0f, pi},
      {-0.0f, -0.0f, -pi},
      {0.0f, 5.0f, 0.0f},
      {-0.0f, 5.0f, -0.0f},
      {0.0f, -5.0f, pi},
      {-0.0f, -5.0f, -pi},
      {3.0f, 0.0f, halfPi},
      {3.0f, -0.0f, halfPi},
      {-3.0f, 0.0f, -halfPi},
      {-3.0f, -0.0f, -halfPi},
      {kInf, 1.0f, halfPi},
      {-kInf, -1.0f, -halfPi},
      {1.0f, kInf, 0.0f},
      {-1.0f, kInf, -0.0f},
      {1.0f, -kInf, pi},
      {-1.0f, -kInf, -pi},
      {kInf, kInf, quarterPi},
      {-kInf, kInf, -quarterPi},
      {kInf, -kInf, threeQuarterPi},
      {-kInf, -kInf, -threeQuarterPi},
      {1.0f, 1.0f, quarterPi},
      {1.0f, -1.0f, threeQuarterPi},
      {tiny, 3e38f, 0.0f},
      {3e38f, tiny, halfPi},
      {tiny, -3e38f, pi},
      {-3e38f, tiny, -halfPi},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bitsOf(atan2Float(c.y, c.x)), bitsOf(c.expected)) << "atan2(" << c.y << ", " << c.x << ")";
  }
  for (const float other : {0.0f, -1.0f, kInf, kNaN}) {
    EXPECT_EQ(bitsOf(atan2Float(kNaN, other)), kCanonicalNaN);
    EXPECT_EQ(bitsOf(atan2Float(other, -kNaN)), kCanonicalNaN);
  }
}

TEST(FloatMath, SinCosSpecialCases) {
  EXPECT_EQ(bitsOf(sinFloat(0.0)), bitsOf(0.0f));
  EXPECT_EQ(bitsOf(sinFloat(-0.0)), bitsOf(-0.0f));
  EXPECT_EQ(cosFloat(0.0), 1.0f);
  EXPECT_EQ(cosFloat(-0.0), 1.0f);
  EXPECT_EQ(bitsOf(sinFloat(-1e-300)), bitsOf(-0.0f));  // underflows to a zero of the right sign
  EXPECT_EQ(sinFloat(1e-30), 1e-30f);
  for (const double bad : {kDoubleInf, -kDoubleInf, std::numeric_limits<double>::quiet_NaN(), -std::nan("7")}) {
    EXPECT_EQ(bitsOf(sinFloat(bad)), kCanonicalNaN) << bad;
    EXPECT_EQ(bitsOf(cosFloat(bad)), kCanonicalNaN) << bad;
  }
  // Near multiples of pi/2 the reduced argument is tiny: its relative
  // accuracy decides the result.
  // The last one is the double closest to a multiple of pi/2 (by about 2^-61).
  const double hardest = std::ldexp(6381956970095103.0, 797);
  for (const double a : {std::numbers::pi / 2, std::numbers::pi, double{1.5707964f}, 3 * std::numbers::pi / 2,
                         std::numeric_limits<double>::max(), 0x1p20, hardest}) {
    EXPECT_EQ(bitsOf(sinFloat(a)), bitsOf(static_cast<float>(std::sin(a)))) << describe(a);
    EXPECT_EQ(bitsOf(cosFloat(a)), bitsOf(static_cast<float>(std::cos(a)))) << describe(a);
  }
}

TEST(FloatMath, SymmetriesHold) {
  std::mt19937_64 rng(3);
  int broken = 0;
  std::string first;
  for (int i = 0; i < 300'000; ++i) {
    const double a = std::ldexp(static_cast<double>(rng() >> 11), -52 + static_cast<int>(rng() % 60));
    const float y = randomFloatBits(rng), x = randomFloatBits(rng);
    const float s = sinFloat(a), c = cosFloat(a);
    const bool holds = bitsOf(sinFloat(-a)) == bitsOf(-s) && bitsOf(cosFloat(-a)) == bitsOf(c) &&
                       bitsOf(atan2Float(-y, x)) == bitsOf(-atan2Float(y, x)) &&
                       std::fabs(double{s} * s + double{c} * c - 1.0) <= 3e-7;
    if (!holds && broken++ == 0) first = describe(a) + " / " + describe(y) + ", " + describe(x);
  }
  EXPECT_EQ(broken, 0) << "first: " << first;
}

TEST(FloatMath, SqrtIsTheCorrectlyRoundedFloatRoot) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 1'000'000; ++i) {
    const float v = std::fabs(randomFloatBits(rng));
    ASSERT_EQ(bitsOf(sqrtFloat(v)), bitsOf(std::sqrt(v))) << v;
  }
  EXPECT_EQ(bitsOf(sqrtFloat(-0.0f)), bitsOf(-0.0f));
  EXPECT_EQ(sqrtFloat(kInf), kInf);
  EXPECT_EQ(sqrtFloat(std::numeric_limits<float>::denorm_min()), std::sqrt(std::numeric_limits<float>::denorm_min()));
  EXPECT_EQ(bitsOf(sqrtFloat(-1.0f)), kCanonicalNaN);
  EXPECT_EQ(bitsOf(sqrtFloat(-kInf)), kCanonicalNaN);
  EXPECT_EQ(bitsOf(sqrtFloat(-kNaN)), kCanonicalNaN);
}

}  // namespace
