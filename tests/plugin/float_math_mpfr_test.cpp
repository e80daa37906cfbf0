// atan2Float, sinFloat and cosFloat against MPFR: each must be the float
// rounding of the correctly rounded double result, over millions of inputs,
// among them inputs generated to lie within a few double ulps of a float
// midpoint, where an evaluation only nearly right rounds the wrong way.
//
// SW_MPFR_SCALE=N multiplies the number of random inputs by N (a longer run;
// see docs/builds.md).
#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>

#include "tool/float/float_math.h"

namespace {

std::uint32_t bitsOf(float f) { return std::bit_cast<std::uint32_t>(f); }

int scale() {
  const char* text = std::getenv("SW_MPFR_SCALE");
  const int n = text == nullptr ? 1 : std::atoi(text);
  return n < 1 ? 1 : n;
}

// MPFR numbers of a given precision, freed on scope exit.
class Real {
 public:
  explicit Real(mpfr_prec_t precision = 53) { mpfr_init2(value_, precision); }
  ~Real() { mpfr_clear(value_); }
  Real(const Real&) = delete;
  Real& operator=(const Real&) = delete;
  mpfr_ptr get() { return value_; }

 private:
  mpfr_t value_;
};

// The float rounding of the correctly rounded double, from MPFR.
float referenceAtan2(float y, float x) {
  Real ry, rx, result;
  mpfr_set_flt(ry.get(), y, MPFR_RNDN);
  mpfr_set_flt(rx.get(), x, MPFR_RNDN);
  mpfr_atan2(result.get(), ry.get(), rx.get(), MPFR_RNDN);
  return static_cast<float>(mpfr_get_d(result.get(), MPFR_RNDN));
}

float referenceSinCos(double a, bool cosine) {
  Real ra, result;
  mpfr_set_d(ra.get(), a, MPFR_RNDN);
  if (cosine)
    mpfr_cos(result.get(), ra.get(), MPFR_RNDN);
  else
    mpfr_sin(result.get(), ra.get(), MPFR_RNDN);
  return static_cast<float>(mpfr_get_d(result.get(), MPFR_RNDN));
}

// Counts the inputs whose result differs from MPFR's and keeps the first.
struct Tally {
  std::int64_t samples = 0;
  std::int64_t wrong = 0;
  std::string first;

  void atan2(float y, float x) {
    ++samples;
    const float ours = atan2Float(y, x), reference = referenceAtan2(y, x);
    if (bitsOf(ours) != bitsOf(reference) && wrong++ == 0) {
      first = "atan2(" + hex(y) + ", " + hex(x) + ") = " + hex(ours) + ", MPFR " + hex(reference);
    }
  }
  void sinCos(double a) {
    ++samples;
    for (const bool cosine : {false, true}) {
      const float ours = cosine ? cosFloat(a) : sinFloat(a), reference = referenceSinCos(a, cosine);
      if (bitsOf(ours) != bitsOf(reference) && wrong++ == 0) {
        first = std::string(cosine ? "cos(" : "sin(") + std::to_string(a) + " = " +
                std::to_string(std::bit_cast<std::uint64_t>(a)) + ") = " + hex(ours) + ", MPFR " + hex(reference);
      }
    }
  }
  static std::string hex(float f) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(bitsOf(f)));
    return text;
  }
};

float finiteFloat(std::mt19937_64& rng) {
  float f;
  do f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
  while (!std::isfinite(f));
  return f;
}

// A cursor position difference: a multiple of 1/64 within +-8192.
float dragComponent(std::mt19937_64& rng) {
  return static_cast<float>(static_cast<std::int32_t>(rng() % (1u << 20)) - (1 << 19)) / 64.0f;
}

TEST(FloatMathMpfr, AnAngleJustAboveAFloatMidpointRoundsUp) {
  // y = 788.2477417, x = 3: atan2 lies just above a float midpoint.
  const float y = std::bit_cast<float>(0x44450fdbu);
  EXPECT_EQ(bitsOf(referenceAtan2(y, 3.0f)), 0x3fc89325u);
  EXPECT_EQ(bitsOf(atan2Float(y, 3.0f)), 0x3fc89325u);
  EXPECT_EQ(bitsOf(atan2Float(-y, 3.0f)), 0xbfc89325u);
}

TEST(FloatMathMpfr, Atan2OfRandomFloatsAndDrags) {
  std::mt19937_64 rng(0xA7A2);
  Tally anyFloats, drags;
  for (int i = 0; i < 200'000 * scale(); ++i) {
    const float y = finiteFloat(rng);
    anyFloats.atan2(y, finiteFloat(rng));
  }
  for (int i = 0; i < 800'000 * scale(); ++i) {
    const float y = dragComponent(rng);
    drags.atan2(y, dragComponent(rng));
  }
  EXPECT_EQ(anyFloats.wrong, 0) << anyFloats.samples << " any floats; first: " << anyFloats.first;
  EXPECT_EQ(drags.wrong, 0) << drags.samples << " drags; first: " << drags.first;
}

// Floats y, x whose atan2 lies within about 2^-48 (relative) of a float
// midpoint: y / x a continued-fraction convergent of tan(midpoint) with
// numerator and denominator below 2^24, scaled by a power of two and turned
// into each quadrant.
TEST(FloatMathMpfr, Atan2NearFloatMidpoints) {
  std::mt19937_64 rng(0x3D9);
  Tally tally;
  int nearMidpoint = 0;
  Real midpoint(200), tangent(200), whole(200), rest(200), angle(200), distance(200);
  std::uniform_real_distribution<float> angles(1e-4f, 1.5707f);
  for (int i = 0; i < 10'000 * scale(); ++i) {
    const float f = angles(rng);
    mpfr_set_flt(midpoint.get(), f, MPFR_RNDN);
    // Halfway to the next float up: exact in 200 bits.
    mpfr_set_flt(rest.get(), std::nextafter(f, 2.0f), MPFR_RNDN);
    mpfr_add(midpoint.get(), midpoint.get(), rest.get(), MPFR_RNDN);
    mpfr_div_2ui(midpoint.get(), midpoint.get(), 1, MPFR_RNDN);
    mpfr_tan(tangent.get(), midpoint.get(), MPFR_RNDN);
    // Convergents p/q of the tangent, with p, q < 2^24.
    std::uint64_t p0 = 1, q0 = 0, p1 = 0, q1 = 1;
    for (int term = 0; term < 40; ++term) {
      mpfr_floor(whole.get(), tangent.get());
      const double a = mpfr_get_d(whole.get(), MPFR_RNDN);
      if (a > 1e12) break;
      const auto ai = static_cast<std::uint64_t>(a);
      const std::uint64_t p = ai * p0 + p1, q = ai * q0 + q1;
      if (p >= (1u << 24) || q >= (1u << 24)) break;
      p1 = p0, q1 = q0, p0 = p, q0 = q;
      mpfr_sub(rest.get(), tangent.get(), whole.get(), MPFR_RNDN);
      if (mpfr_zero_p(rest.get())) break;
      mpfr_ui_div(tangent.get(), 1, rest.get(), MPFR_RNDN);
    }
    const int power = static_cast<int>(rng() % 60) - 30;
    const float y = std::ldexp(static_cast<float>(p0), power), x = std::ldexp(static_cast<float>(q0), power);
    // How near the midpoint it came, in units of 2^-48 of the angle.
    mpfr_set_flt(rest.get(), y, MPFR_RNDN);
    mpfr_set_flt(whole.get(), x, MPFR_RNDN);
    mpfr_atan2(angle.get(), rest.get(), whole.get(), MPFR_RNDN);
    mpfr_sub(distance.get(), angle.get(), midpoint.get(), MPFR_RNDN);
    mpfr_div(distance.get(), distance.get(), midpoint.get(), MPFR_RNDN);
    if (std::fabs(mpfr_get_d(distance.get(), MPFR_RNDN)) < 0x1p-46) ++nearMidpoint;
    // Each quadrant: the same angle's neighbours pi - a, pi/2 +- a swap roles.
    tally.atan2(y, x);
    tally.atan2(x, y);
    tally.atan2(-y, -x);
    tally.atan2(y, -x);
  }
  EXPECT_EQ(tally.wrong, 0) << tally.samples << " inputs; first: " << tally.first;
  EXPECT_GT(nearMidpoint, 5'000 * scale()) << "the generated inputs must lie near float midpoints";
}

TEST(FloatMathMpfr, SinCosOfTheGeometrysAngles) {
  // cos and sin of a float theta, and of theta +- half pi in double.
  std::mt19937_64 rng(0x51C0);
  std::uniform_real_distribution<float> thetas(-3.1415927f, 3.1415927f);
  Tally tally;
  for (int i = 0; i < 150'000 * scale(); ++i) {
    const double theta = thetas(rng);
    for (const double a : {theta, theta + double{1.5707964f}, theta - double{1.5707964f}}) tally.sinCos(a);
  }
  // And any double up to 2^20, of every size.
  for (int i = 0; i < 100'000 * scale(); ++i) {
    const double a = std::ldexp(static_cast<double>(rng() >> 11), -53 - static_cast<int>(rng() % 40) + 20);
    tally.sinCos(i % 2 == 0 ? a : -a);
  }
  EXPECT_EQ(tally.wrong, 0) << tally.samples << " angles; first: " << tally.first;
}

TEST(FloatMathMpfr, SinCosNearFloatMidpoints) {
  // a = asin(m) or acos(m) rounded to double, for a float midpoint m: sin(a)
  // or cos(a) lies within a few double ulps of m.
  std::mt19937_64 rng(0xC05);
  std::uniform_real_distribution<float> values(1e-3f, 0.9999f);
  Real m(200), a(200);
  Tally tally;
  for (int i = 0; i < 4'000 * scale(); ++i) {
    const float f = values(rng);
    mpfr_set_flt(m.get(), f, MPFR_RNDN);
    mpfr_set_flt(a.get(), std::nextafter(f, 2.0f), MPFR_RNDN);
    mpfr_add(m.get(), m.get(), a.get(), MPFR_RNDN);
    mpfr_div_2ui(m.get(), m.get(), 1, MPFR_RNDN);
    mpfr_asin(a.get(), m.get(), MPFR_RNDN);
    const double fromSin = mpfr_get_d(a.get(), MPFR_RNDN);
    mpfr_acos(a.get(), m.get(), MPFR_RNDN);
    const double fromCos = mpfr_get_d(a.get(), MPFR_RNDN);
    for (const double angle : {fromSin, -fromSin, fromCos, fromSin + std::numbers::pi, fromCos - std::numbers::pi})
      tally.sinCos(angle);
  }
  EXPECT_EQ(tally.wrong, 0) << tally.samples << " angles; first: " << tally.first;
}

}  // namespace
