// The slow, exact side of float_math.cpp: atan2, sin and cos evaluated in
// fixed-point arithmetic on as many bits as it takes to round correctly.
// float_math.cpp calls these only when its double result lies so near a
// rounding boundary that its own error could put it on the wrong side.
#pragma once

// The float rounding of the correctly rounded double atan2(y, x), for finite,
// nonzero y and x.
float exactAtan2Float(float y, float x);

// The float rounding of the correctly rounded double sin and cos of `angle`,
// for 2^-30 <= |angle| < 2^20.
float exactSinFloat(double angle);
float exactCosFloat(double angle);
