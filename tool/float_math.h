// atan2, cos, sin and square root for the geometry kernel: computed in double
// precision from their arguments and rounded to a 32-bit float.
//
// These are the project's own implementations, written in plain double
// arithmetic, so that the Linux and the Windows build give the same bits: the
// two platforms' maths libraries do not agree to the last bit.
#pragma once

// atan2(y, x) in radians, in [-pi, pi], with the signs of zeros as atan2 has
// them.
float atan2Float(float y, float x);

// cos and sin of an angle in radians.
float cosFloat(double angle);
float sinFloat(double angle);

// Square root, correctly rounded.
float sqrtFloat(float value);
