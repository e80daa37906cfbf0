// atan2, cos, sin and square root for the geometry kernel: computed in double
// precision from their arguments and rounded once to a 32-bit float.
//
// These are the project's own implementations in plain double and integer
// arithmetic (no long double, no fused multiply-add, nothing that differs
// between the i686 and the x86-64 build), so that the Linux, Windows and
// WebAssembly builds give the same bits: the platforms' atan2, sin and cos do
// not agree to the last bit, and 32-bit Windows ones may compute in x87
// extended precision. The only library functions called are ones whose
// result IEEE 754 fixes exactly, so every build gets the same bits from
// them: std::sqrt (correctly rounded; sqrtsd on both x86 targets), and in the
// exact evaluation std::frexp and std::ldexp (scaling by a power of two,
// exact for the values given, which stay in the normal double range), with
// std::fabs, std::signbit and std::nanf.
//
// Accuracy. atan2Float, and sinFloat and cosFloat for |angle| < 2^20 (every
// angle the geometry uses), return the float rounding of the correctly
// rounded double result: the same bits as rounding MPFR's 53-bit result to
// float. The double evaluation decides where it is far enough from a rounding
// boundary; near one, an exact fixed-point evaluation does (about one input
// in 2^22). Above 2^20 sin and cos stay within 1 ulp (float) of the correctly
// rounded float, and almost always equal the rounding of the correctly
// rounded double.
//
// Every NaN result is the canonical quiet NaN (0x7FC00000), whatever NaN the
// argument carried.
#pragma once

// atan2(y, x) in radians, in [-pi, pi], with the IEEE special cases: the sign
// of a zero y carries to the result, atan2(+-0, -0) = +-pi,
// atan2(+-0, +0) = +-0, infinities give the multiples of pi/4, a NaN argument
// gives NaN. Accurate for every pair of floats.
float atan2Float(float y, float x);

// cos and sin of an angle in radians: accurate for every finite double. The
// argument is reduced modulo pi/2 with a three-part pi/2 below 2^20 and by
// integer arithmetic on 256 bits of 2/pi above. sin keeps the sign of a zero;
// infinities and NaN give NaN. sin is odd and cos even, exactly.
float cosFloat(double angle);
float sinFloat(double angle);

// Square root: correctly rounded (the double square root of a float, rounded
// to float, is the correctly rounded float square root). sqrt(-0) = -0;
// negative numbers and NaN give NaN.
float sqrtFloat(float value);
