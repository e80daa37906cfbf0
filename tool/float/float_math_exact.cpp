// atan2, sin and cos in fixed point (float_math_exact.h), repeated with twice
// the bits until the float rounding of the correctly rounded double is certain.
#include "tool/float/float_math_exact.h"

#include <cmath>
#include <cstdint>

// Numbers are unsigned fixed point: `limbs` 32-bit words, least significant
// first, the last one the integer part, so a number is N * 2^-W with
// W = 32 * (limbs - 1) fraction bits. Every operation truncates, which puts
// each result at most a few hundred units of 2^-W below the true value (each
// series below has fewer than W terms); a rounding is decided only when the
// true value is known to lie on one side of the boundary with room to spare
// (kSlack units), and otherwise the whole evaluation is repeated with twice
// the bits. atan2, sin and cos of rational arguments other than 0 are
// irrational, so they never fall exactly on a boundary, and the repetition
// ends.

namespace {

constexpr int kMaxLimbs = 80;
constexpr int kFirstLimbs = 10;  // 288 fraction bits
constexpr std::uint32_t kSlack = 1u << 16;

struct Fixed {
  int n = kFirstLimbs;
  std::uint32_t w[kMaxLimbs] = {};
};

int fractionBits(const Fixed& a) { return 32 * (a.n - 1); }

Fixed zeroLike(const Fixed& a) {
  Fixed r;
  r.n = a.n;
  return r;
}

bool isZero(const Fixed& a) {
  for (int i = 0; i < a.n; ++i)
    if (a.w[i] != 0) return false;
  return true;
}

bool less(const Fixed& a, const Fixed& b) {
  for (int i = a.n - 1; i >= 0; --i)
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i];
  return false;
}

Fixed add(const Fixed& a, const Fixed& b) {
  Fixed r = zeroLike(a);
  std::uint64_t carry = 0;
  for (int i = 0; i < a.n; ++i) {
    carry += std::uint64_t{a.w[i]} + b.w[i];
    r.w[i] = static_cast<std::uint32_t>(carry);
    carry >>= 32;
  }
  return r;
}

// a - b for a >= b.
Fixed subtract(const Fixed& a, const Fixed& b) {
  Fixed r = zeroLike(a);
  std::int64_t borrow = 0;
  for (int i = 0; i < a.n; ++i) {
    std::int64_t d = std::int64_t{a.w[i]} - b.w[i] - borrow;
    borrow = d < 0 ? 1 : 0;
    if (d < 0) d += std::int64_t{1} << 32;
    r.w[i] = static_cast<std::uint32_t>(d);
  }
  return r;
}

// |a - b| and whether a < b.
Fixed difference(const Fixed& a, const Fixed& b, bool& negative) {
  negative = less(a, b);
  return negative ? subtract(b, a) : subtract(a, b);
}

Fixed multiplySmall(const Fixed& a, std::uint32_t m) {
  Fixed r = zeroLike(a);
  std::uint64_t carry = 0;
  for (int i = 0; i < a.n; ++i) {
    carry += std::uint64_t{a.w[i]} * m;
    r.w[i] = static_cast<std::uint32_t>(carry);
    carry >>= 32;
  }
  return r;
}

Fixed divideSmall(const Fixed& a, std::uint32_t d) {
  Fixed r = zeroLike(a);
  std::uint64_t rest = 0;
  for (int i = a.n - 1; i >= 0; --i) {
    const std::uint64_t v = (rest << 32) | a.w[i];
    r.w[i] = static_cast<std::uint32_t>(v / d);
    rest = v % d;
  }
  return r;
}

Fixed multiply(const Fixed& a, const Fixed& b) {
  std::uint32_t product[2 * kMaxLimbs] = {};
  for (int i = 0; i < a.n; ++i) {
    std::uint64_t carry = 0;
    for (int j = 0; j < b.n; ++j) {
      carry += std::uint64_t{a.w[i]} * b.w[j] + product[i + j];
      product[i + j] = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    product[i + b.n] = static_cast<std::uint32_t>(carry);
  }
  Fixed r = zeroLike(a);
  for (int i = 0; i < a.n; ++i) r.w[i] = product[i + a.n - 1];
  return r;
}

Fixed shiftRight(const Fixed& a, int bits) {
  Fixed r = zeroLike(a);
  const int words = bits / 32, rest = bits % 32;
  for (int i = 0; i + words < a.n; ++i) {
    std::uint64_t v = a.w[i + words];
    if (i + words + 1 < a.n) v |= std::uint64_t{a.w[i + words + 1]} << 32;
    r.w[i] = static_cast<std::uint32_t>(v >> rest);
  }
  return r;
}

Fixed small(int limbs, std::uint32_t value) {
  Fixed r;
  r.n = limbs;
  r.w[limbs - 1] = value;
  return r;
}

// num / den for num / den < 2^32 and den < 2^62, by long division.
Fixed ratio(int limbs, std::uint64_t num, std::uint64_t den) {
  Fixed r = small(limbs, static_cast<std::uint32_t>(num / den));
  std::uint64_t rest = num % den;
  for (int i = limbs - 2; i >= 0; --i) {
    std::uint32_t word = 0;
    for (int bit = 31; bit >= 0; --bit) {
      rest <<= 1;
      if (rest >= den) {
        rest -= den;
        word |= 1u << bit;
      }
    }
    r.w[i] = word;
  }
  return r;
}

// atan(k/16) for 0 <= k <= 16, by Euler's series:
// atan(x) = sum over n of T_n, T_0 = x / (1 + x^2),
// T_n = T_(n-1) * 2n / (2n + 1) * x^2 / (1 + x^2).
Fixed atanSixteenths(int limbs, std::uint32_t k) {
  Fixed sum = small(limbs, 0);
  if (k == 0) return sum;
  const std::uint32_t base = k * k + 256;
  Fixed term = ratio(limbs, 16u * k, base);
  for (std::uint32_t n = 1; !isZero(term); ++n) {
    sum = add(sum, term);
    term = divideSmall(multiplySmall(term, 2 * n * k * k), (2 * n + 1) * base);
  }
  return sum;
}

// t - t z/3 + t z^2/5 - ..., summed until the terms vanish: atan(u) for
// t = u, z = u^2, and a scaled atan for a tiny ratio.
Fixed atanSeries(const Fixed& t, const Fixed& z) {
  Fixed positive = t;
  Fixed negative = zeroLike(t);
  Fixed power = t;
  for (std::uint32_t n = 1; !isZero(power); ++n) {
    power = multiply(power, z);
    const Fixed term = divideSmall(power, 2 * n + 1);
    if (n % 2 == 1)
      negative = add(negative, term);
    else
      positive = add(positive, term);
  }
  return subtract(positive, negative);
}

// atan(u) for 0 <= u <= 1/32: u - u^3/3 + u^5/5 - ...
Fixed atanSmall(const Fixed& u) { return atanSeries(u, multiply(u, u)); }

// A positive value V * 2^-(W + scale) held as a fixed-point V and a scale.
struct Scaled {
  Fixed value;
  int scale;
};

// The float rounding of the double nearest to v, or 0 with `decided` false
// when v's error (kSlack units either way) leaves it open.
float roundTwice(const Scaled& v, bool& decided) {
  Fixed slack = small(v.value.n, 0);
  slack.w[0] = kSlack;
  const Fixed low = subtract(v.value, slack);
  const Fixed high = add(v.value, slack);
  float ends[2];
  const Fixed* bounds[2] = {&low, &high};
  for (int e = 0; e < 2; ++e) {
    const Fixed& a = *bounds[e];
    int top = 32 * a.n - 1;
    while (top >= 0 && ((a.w[top / 32] >> (top % 32)) & 1u) == 0) --top;
    const auto bit = [&a](int i) { return i >= 0 && ((a.w[i / 32] >> (i % 32)) & 1u) != 0; };
    // The 53 bits from the top, then round half to even on the rest.
    std::uint64_t mantissa = 0;
    for (int i = top; i > top - 53; --i) mantissa = (mantissa << 1) | (bit(i) ? 1u : 0u);
    const int lowest = top - 52;
    bool above = false, half = bit(lowest - 1);
    for (int i = lowest - 2; i >= 0 && !above; --i) above = bit(i);
    if (half && (above || (mantissa & 1u) != 0)) ++mantissa;
    const double d = std::ldexp(static_cast<double>(mantissa), lowest - fractionBits(a) - v.scale);
    ends[e] = static_cast<float>(d);
  }
  decided = ends[0] == ends[1];
  return ends[0];
}

// A float as m * 2^e with an integer m < 2^24.
struct Split {
  std::uint64_t m;
  int e;
};

Split split(float f) {
  int e = 0;
  const float fraction = std::frexp(std::fabs(f), &e);
  return {static_cast<std::uint64_t>(std::ldexp(fraction, 24)), e - 24};
}

// atan2(|y|, x) for finite nonzero y and x, on `limbs` limbs.
Scaled atan2Magnitude(float y, float x, int limbs) {
  const bool xNegative = std::signbit(x);
  const bool steep = std::fabs(y) > std::fabs(x);
  // r = num / den <= 1: |y| / |x|, or |x| / |y| when steep.
  const Split num = split(steep ? x : y);
  const Split den = split(steep ? y : x);
  const int s = den.e - num.e;  // r = num.m / (den.m * 2^s), s > -24
  const Fixed pi = multiplySmall(atanSixteenths(limbs, 16), 4);
  Fixed a;  // atan(r)
  if (s > 32) {
    // r < 2^-31: atan(r) = 2^-(s - 24) * (t - t^3 z / 3 + ...), t = num.m / (den.m * 2^24), z = 2^-2(s-24).
    const Fixed t = ratio(limbs, num.m, den.m << 24);
    const int shift = s - 24;
    const Fixed scaled = atanSeries(t, shiftRight(multiply(t, t), 2 * shift));
    if (!xNegative && !steep) return {scaled, shift};
    a = shiftRight(scaled, shift);
  } else {
    const std::uint64_t n = num.m << (s < 0 ? -s : 0);  // < 2^47
    const std::uint64_t d = den.m << (s > 0 ? s : 0);   // < 2^56
    // k/16 the nearest sixteenth of r, u = (r - k/16) / (1 + r k/16).
    const std::uint32_t k = static_cast<std::uint32_t>((32 * n + d) / (2 * d));
    const std::uint64_t up = 16 * n, down = k * d;
    const bool uNegative = up < down;
    const Fixed u = ratio(limbs, uNegative ? down - up : up - down, 16 * d + k * n);
    const Fixed base = atanSixteenths(limbs, k);
    a = uNegative ? subtract(base, atanSmall(u)) : add(base, atanSmall(u));
  }
  const Fixed halfPi = shiftRight(pi, 1);
  if (!steep) return {xNegative ? subtract(pi, a) : a, 0};
  return {xNegative ? add(halfPi, a) : subtract(halfPi, a), 0};
}

// |sin| or |cos| of a double 2^-30 <= |a| < 2^20, on `limbs` limbs; the sign
// is returned apart.
Scaled sinOrCosMagnitude(double angle, bool cosine, int limbs, bool& negative) {
  const double magnitude = std::fabs(angle);
  negative = !cosine && std::signbit(angle);
  // |angle| = m * 2^-e, m < 2^53, e <= 82, exactly in fixed point.
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);
  const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  Fixed a = small(limbs, 0);
  const int shift = fractionBits(a) - (53 - exponent);  // a = m * 2^(shift - W)
  for (int bit = 0; bit < 53; ++bit) {
    if (((m >> bit) & 1u) == 0) continue;
    const int at = bit + shift;
    a.w[at / 32] |= 1u << (at % 32);
  }
  const Fixed halfPi = multiplySmall(atanSixteenths(limbs, 16), 2);
  // q = round(a / (pi/2)) and r = a - q * pi/2, |r| <= pi/4 (plus a little).
  const auto q = static_cast<std::uint32_t>(magnitude * 0.63661977236758134 + 0.5);
  bool rNegative = false;
  Fixed r = difference(a, multiplySmall(halfPi, q), rNegative);
  // A q off by one (only near an odd multiple of pi/4) leaves |r| < pi/2 + a
  // little, where the series below still converge.
  const Fixed z = multiply(r, r);
  // sin r = r - r^3/3! + ..., cos r = 1 - r^2/2! + ...
  const auto series = [&](bool even) {
    Fixed positive = even ? small(limbs, 1) : r;
    Fixed negativeSum = zeroLike(r);
    Fixed term = positive;
    for (std::uint32_t n = 1; !isZero(term); ++n) {
      const std::uint32_t j = even ? 2 * n : 2 * n + 1;
      term = divideSmall(multiply(term, z), (j - 1) * j);
      if (n % 2 == 1)
        negativeSum = add(negativeSum, term);
      else
        positive = add(positive, term);
    }
    return subtract(positive, negativeSum);
  };
  // sin(a) and cos(a) from sin(r), cos(r) by the quadrant q mod 4.
  const unsigned quadrant = (q & 3u) + (cosine ? 1u : 0u);  // cos(a) = sin(a + pi/2)
  const bool useCos = quadrant % 2 == 1;
  Fixed value = series(useCos);
  bool valueNegative = (quadrant & 3u) >= 2;
  if (!useCos && rNegative) valueNegative = !valueNegative;  // sin(-r) = -sin(r)
  negative = negative != valueNegative;
  return {value, 0};
}

}  // namespace

float exactAtan2Float(float y, float x) {
  for (int limbs = kFirstLimbs; limbs <= kMaxLimbs; limbs *= 2) {
    bool decided = false;
    const float angle = roundTwice(atan2Magnitude(y, x, limbs), decided);
    if (decided) return std::signbit(y) ? -angle : angle;
  }
  return std::nanf("");  // not reached: see the top of this file
}

namespace {

float exactSinOrCos(double angle, bool cosine) {
  for (int limbs = kFirstLimbs; limbs <= kMaxLimbs; limbs *= 2) {
    bool decided = false, negative = false;
    const float value = roundTwice(sinOrCosMagnitude(angle, cosine, limbs, negative), decided);
    if (decided) return negative ? -value : value;
  }
  return std::nanf("");
}

}  // namespace

float exactSinFloat(double angle) { return exactSinOrCos(angle, false); }
float exactCosFloat(double angle) { return exactSinOrCos(angle, true); }
