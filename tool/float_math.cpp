// PLACEHOLDER: replaced by the deterministic implementations.
#include "tool/float_math.h"

#include <cmath>

float atan2Float(float y, float x) { return static_cast<float>(std::atan2(double{y}, double{x})); }
float cosFloat(double angle) { return static_cast<float>(std::cos(angle)); }
float sinFloat(double angle) { return static_cast<float>(std::sin(angle)); }
float sqrtFloat(float value) { return static_cast<float>(std::sqrt(double{value})); }
