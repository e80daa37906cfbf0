// atan2, sin, cos and square root in double precision rounded once to float
// (float_math.h); where the double result lies too near a float rounding
// boundary, the exact evaluation of float_math_exact.cpp decides it.
#include "tool/float/float_math.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "tool/float/float_math_exact.h"

// The constants below were derived with exact rational arithmetic: pi from
// Machin's formula (pi/4 = 4 atan(1/5) - atan(1/239)) to 1600 bits, atan(k/16)
// by argument halving and its Taylor series to 450 digits, and each value
// rounded to the nearest double (a "Lo" part is the rounded remainder of its
// "Hi" part). Polynomial coefficients are the Taylor coefficients rounded to
// double.

namespace {

constexpr float kNaN = std::bit_cast<float>(std::uint32_t{0x7FC00000});
constexpr double kInfinity = std::bit_cast<double>(std::uint64_t{0x7FF0000000000000});

constexpr double kPiHi = 0x1.921fb54442d18p+1;
constexpr double kPiLo = 0x1.1a62633145c07p-53;
constexpr double kHalfPiHi = 0x1.921fb54442d18p+0;
constexpr double kHalfPiLo = 0x1.1a62633145c07p-54;
constexpr double kQuarterPi = 0x1.921fb54442d18p-1;
constexpr double kThreeQuarterPi = 0x1.2d97c7f3321d2p+1;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

bool isNaN(double v) { return v != v; }

// The double evaluations below are within a few units in the last place
// (ulps) of the true value: the atan argument's quotient and reduction cost
// about three, the series and tables one or two, the sums around them one
// each; sin and cos lose as little where the reduced argument is not tiny.
// Where every double within kDoubleErrorUlps of the result rounds to the same
// float, that float is the rounding of the correctly rounded double too;
// otherwise (about one input in 2^22) the result comes from the exact
// evaluation of float_math_exact.h.
constexpr std::uint64_t kDoubleErrorUlps = 64;

// Whether every double within kDoubleErrorUlps of the positive v rounds to
// the same float as v.
bool roundsSafely(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  if (bits <= kDoubleErrorUlps) return false;
  return static_cast<float>(std::bit_cast<double>(bits - kDoubleErrorUlps)) ==
         static_cast<float>(std::bit_cast<double>(bits + kDoubleErrorUlps));
}

// Where sin and cos are rounded exactly: below, sin(a) = a and cos(a) = 1
// after the double rounding; above, the reduction's error is not bounded
// tightly enough.
constexpr double kExactFrom = 0x1p-30;
constexpr double kExactBelow = 0x1p20;
// A reduced argument this small, after taking away a multiple of pi/2, may
// have lost relative accuracy in the reduction: such angles are rounded
// exactly.
constexpr double kTinyReduced = 0x1p-40;
bool signBit(double v) { return (std::bit_cast<std::uint64_t>(v) >> 63) != 0; }
double magnitude(double v) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) & ~(std::uint64_t{1} << 63));
}

// ---- atan on [0, 1] --------------------------------------------------------
//
// atan(t) = atan(c) + atan(u), u = (t - c) / (1 + t c), with c = k/16 the
// nearest sixteenth, so |u| <= 1/32 and the odd Taylor series of atan(u)
// through u^11 leaves a relative error below 2^-63.

constexpr double kAtanSixteenthsHi[17] = {
    0x0.0p+0,
    0x1.ff55bb72cfdeap-5,
    0x1.fd5ba9aac2f6ep-4,
    0x1.7b97b4bce5b02p-3,
    0x1.f5b75f92c80ddp-3,
    0x1.362773707ebccp-2,
    0x1.6f61941e4def1p-2,
    0x1.a64eec3cc23fdp-2,
    0x1.dac670561bb4fp-2,
    0x1.0657e94db30d0p-1,
    0x1.1e00babdefeb4p-1,
    0x1.345f01cce37bbp-1,
    0x1.4978fa3269ee1p-1,
    0x1.5d58987169b18p-1,
    0x1.700a7c5784634p-1,
    0x1.819d0b7158a4dp-1,
    0x1.921fb54442d18p-1,
};
constexpr double kAtanSixteenthsLo[17] = {
    0x0.0p+0,
    -0x1.c934d86d23f1dp-60,
    -0x1.cd37686760c17p-59,
    0x1.347b0b4f881cap-58,
    0x1.8ab6e3cf7afbdp-57,
    -0x1.963a544b672d8p-57,
    -0x1.c63aae6f6e918p-56,
    -0x1.24dec1b50b7ffp-56,
    0x1.a2b7f222f65e2p-56,
    -0x1.d5b495f6349e6p-56,
    -0x1.928df287a668fp-58,
    0x1.1021137c71102p-55,
    0x1.2419a87f2a458p-56,
    0x1.0028e4bc5e7cap-57,
    -0x1.8c34d25aadef6p-56,
    -0x1.bf76229d3b917p-56,
    0x1.1a62633145c07p-55,
};

constexpr double kAtan3 = -0x1.5555555555555p-2;   // -1/3
constexpr double kAtan5 = 0x1.999999999999ap-3;    // 1/5
constexpr double kAtan7 = -0x1.2492492492492p-3;   // -1/7
constexpr double kAtan9 = 0x1.c71c71c71c71cp-4;    // 1/9
constexpr double kAtan11 = -0x1.745d1745d1746p-4;  // -1/11

// atan(t) for 0 <= t <= 1.
double atanUnit(double t) {
  const int k = static_cast<int>(t * 16.0 + 0.5);
  const double c = k * 0.0625;
  const double u = (t - c) / (1.0 + t * c);  // t - c is exact (Sterbenz)
  const double z = u * u;
  const double tail = u * z * (kAtan3 + z * (kAtan5 + z * (kAtan7 + z * (kAtan9 + z * kAtan11))));
  return kAtanSixteenthsHi[k] + (u + (tail + kAtanSixteenthsLo[k]));
}

// ---- sin and cos on [-pi/4, pi/4] ------------------------------------------
//
// Taylor series: sin through r^17, cos through r^18; for |r| <= pi/4 the first
// omitted terms are below 2^-62 relative.

constexpr double kSin3 = -0x1.5555555555555p-3;   // -1/3!
constexpr double kSin5 = 0x1.1111111111111p-7;    // 1/5!
constexpr double kSin7 = -0x1.a01a01a01a01ap-13;  // -1/7!
constexpr double kSin9 = 0x1.71de3a556c734p-19;
constexpr double kSin11 = -0x1.ae64567f544e4p-26;
constexpr double kSin13 = 0x1.6124613a86d09p-33;
constexpr double kSin15 = -0x1.ae7f3e733b81fp-41;
constexpr double kSin17 = 0x1.952c77030ad4ap-49;

constexpr double kCos4 = 0x1.5555555555555p-5;    // 1/4!
constexpr double kCos6 = -0x1.6c16c16c16c17p-10;  // -1/6!
constexpr double kCos8 = 0x1.a01a01a01a01ap-16;
constexpr double kCos10 = -0x1.27e4fb7789f5cp-22;
constexpr double kCos12 = 0x1.1eed8eff8d898p-29;
constexpr double kCos14 = -0x1.93974a8c07c9dp-37;
constexpr double kCos16 = 0x1.ae7f3e733b81fp-45;
constexpr double kCos18 = -0x1.6827863b97d97p-53;

double sinKernel(double r) {
  const double z = r * r;
  const double p =
      kSin3 + z * (kSin5 + z * (kSin7 + z * (kSin9 + z * (kSin11 + z * (kSin13 + z * (kSin15 + z * kSin17))))));
  return r + r * z * p;
}

double cosKernel(double r) {
  const double z = r * r;
  const double half = 0.5 * z;
  const double head = 1.0 - half;
  const double tail =
      z * z *
      (kCos4 + z * (kCos6 + z * (kCos8 + z * (kCos10 + z * (kCos12 + z * (kCos14 + z * (kCos16 + z * kCos18)))))));
  // (1 - head) is exact, so ((1 - head) - half) recovers the rounding error of head.
  return head + (((1.0 - head) - half) + tail);
}

// ---- argument reduction ----------------------------------------------------

// angle = quadrant * pi/2 + r (mod 2 pi), |r| <= pi/4 (plus a rounding).
struct Reduced {
  double r;
  unsigned quadrant;
};

// Cody-Waite: pi/2 split into 31 + 32 + 53 significant bits; n * part1 and
// n * part2 are exact for n < 2^20, and a - n * part1 is exact (Sterbenz).
constexpr double kCodyWaiteLimit = 0x1p20;
constexpr double kHalfPiPart1 = 0x1.921fb54400000p+0;
constexpr double kHalfPiPart2 = 0x1.0b4611a600000p-34;
constexpr double kHalfPiPart3 = 0x1.3198a2e037073p-69;

// Bits of 2/pi after the binary point, 32 to a word, most significant first:
// word k holds the bits of weights 2^-(32k+1) .. 2^-(32k+32). Enough words for
// the largest double exponent plus a 256-bit window.
constexpr std::uint32_t kTwoOverPiWords[38] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB,
};

constexpr int kWindowWords = 8;                  // 256 bits of 2/pi
constexpr int kProductLimbs = kWindowWords + 2;  // times a 53-bit mantissa

// The 32 bits of `product` from bit `low` upwards.
std::uint32_t bitsAt(const std::uint32_t (&product)[kProductLimbs], int low) {
  const int limb = low / 32;
  std::uint64_t v = product[limb];
  if (limb + 1 < kProductLimbs) v |= std::uint64_t{product[limb + 1]} << 32;
  return static_cast<std::uint32_t>(v >> (low % 32));
}

// Payne-Hanek reduction for 2^20 <= a < infinity, in integer arithmetic:
// a * 2/pi modulo 4 from a 256-bit window of 2/pi, which leaves at least 128
// correct bits after the binary point (the closest a double comes to a
// multiple of pi/2 is about 2^-61).
Reduced reduceLarge(double a) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(a);
  const int exponent = static_cast<int>(bits >> 52) - 1075;  // a = mantissa * 2^exponent
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const std::uint32_t mantissaLimbs[2] = {static_cast<std::uint32_t>(mantissa),
                                          static_cast<std::uint32_t>(mantissa >> 32)};

  // Words before `first` contribute multiples of 4 to a * 2/pi.
  const int first = exponent >= 2 ? (exponent - 2) / 32 : 0;

  std::uint32_t product[kProductLimbs] = {};
  for (int j = 0; j < kWindowWords; ++j) {
    const std::uint64_t word = kTwoOverPiWords[first + j];
    const int base = kWindowWords - 1 - j;  // limb of this word in the window
    std::uint64_t carry = 0;
    for (int i = 0; i < 2; ++i) {
      const std::uint64_t sum = word * mantissaLimbs[i] + product[base + i] + carry;
      product[base + i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
    for (int at = base + 2; carry != 0 && at < kProductLimbs; ++at) {
      const std::uint64_t sum = product[at] + carry;
      product[at] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
  }

  // a * 2/pi = product * 2^-point (mod 4).
  const int point = 32 * (first + kWindowWords) - exponent;
  unsigned quadrant = bitsAt(product, point) & 3u;
  std::uint32_t fraction[4];  // most significant first
  for (int i = 0; i < 4; ++i) fraction[i] = bitsAt(product, point - 32 * (i + 1));

  // A fraction of one half or more belongs to the next quadrant: r < 0.
  const bool negative = (fraction[0] >> 31) != 0;
  if (negative) {
    quadrant = (quadrant + 1) & 3u;
    std::uint64_t carry = 1;  // two's complement: 2^128 - fraction
    for (int i = 3; i >= 0; --i) {
      const std::uint64_t sum = std::uint64_t{static_cast<std::uint32_t>(~fraction[i])} + carry;
      fraction[i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
  }
  double f = 0.0;
  for (int i = 3; i >= 0; --i) f = (f + fraction[i]) * 0x1p-32;
  const double r = f * kHalfPiHi + f * kHalfPiLo;
  return {negative ? -r : r, quadrant};
}

// Reduction of a finite a >= 0.
Reduced reduce(double a) {
  if (a <= kQuarterPi) return {a, 0};
  if (a < kCodyWaiteLimit) {
    const std::int32_t n = static_cast<std::int32_t>(a * kTwoOverPi + 0.5);
    const double dn = n;
    const double r = ((a - dn * kHalfPiPart1) - dn * kHalfPiPart2) - dn * kHalfPiPart3;
    return {r, static_cast<unsigned>(n) & 3u};
  }
  return reduceLarge(a);
}

}  // namespace

float atan2Float(float y, float x) {
  const double dy = y;
  const double dx = x;
  if (isNaN(dy) || isNaN(dx)) return kNaN;
  const bool xNegative = signBit(dx);
  const double ay = magnitude(dy);
  const double ax = magnitude(dx);

  double angle;  // atan2(|y|, x), in [0, pi]
  if (ay == kInfinity && ax == kInfinity) {
    angle = xNegative ? kThreeQuarterPi : kQuarterPi;
  } else if (ay == 0.0) {
    angle = xNegative ? kPiHi : 0.0;
  } else if (ay <= ax) {
    // Float operands: the quotient neither overflows nor underflows in double.
    const double a = atanUnit(ay / ax);
    angle = xNegative ? (kPiHi - a) + kPiLo : a;
  } else {
    const double a = atanUnit(ax / ay);
    angle = xNegative ? (kHalfPiHi + a) + kHalfPiLo : (kHalfPiHi - a) + kHalfPiLo;
  }
  const bool finiteNonzero = ay != 0.0 && ax != 0.0 && ay != kInfinity && ax != kInfinity;
  if (finiteNonzero && !roundsSafely(angle)) return exactAtan2Float(y, x);
  return static_cast<float>(signBit(dy) ? -angle : angle);
}

namespace {

// sin (quadrant offset 0) or cos (offset 1) of a finite angle, rounded to float.
float sinOrCos(double angle, unsigned offset) {
  const double magnitude = ::magnitude(angle);
  const Reduced reduced = reduce(magnitude);
  double v = 0.0;
  switch ((reduced.quadrant + offset) & 3u) {  // cos(a) = sin(a + pi/2)
    case 0:
      v = sinKernel(reduced.r);
      break;
    case 1:
      v = cosKernel(reduced.r);
      break;
    case 2:
      v = -sinKernel(reduced.r);
      break;
    default:
      v = -cosKernel(reduced.r);
      break;
  }
  const bool negate = offset == 0 && signBit(angle);  // sin is odd, cos even
  if (magnitude >= kExactFrom && magnitude < kExactBelow) {
    const bool reducedTiny = magnitude > kQuarterPi && ::magnitude(reduced.r) < kTinyReduced;
    if (reducedTiny || !roundsSafely(::magnitude(v))) return offset == 0 ? exactSinFloat(angle) : exactCosFloat(angle);
  }
  return static_cast<float>(negate ? -v : v);
}

}  // namespace

float sinFloat(double angle) {
  if (isNaN(angle) || magnitude(angle) == kInfinity) return kNaN;
  return sinOrCos(angle, 0);
}

float cosFloat(double angle) {
  if (isNaN(angle) || magnitude(angle) == kInfinity) return kNaN;
  return sinOrCos(angle, 1);
}

float sqrtFloat(float value) {
  // -0 passes (sqrt(-0) = -0); negative numbers and NaN do not.
  if (!(value >= 0.0f)) return kNaN;
  // The double root of a float rounded to float is the correctly rounded float
  // root (53 >= 2 * 24 + 2), and the double square root is exact IEEE on both
  // targets (sqrtsd).
  return static_cast<float>(std::sqrt(double{value}));
}
