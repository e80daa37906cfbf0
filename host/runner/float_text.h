// 32-bit floats as scenario files and reports spell them: the shortest
// decimal that reads back to the same value, and the names "NaN",
// "Infinity" and "-Infinity" for the values JSON has no number for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace swrunner {

// The shortest text that reads back to exactly `value`; a non-finite value
// gives its name. Negative zero is "-0.0": JSON readers take "-0" for the
// integer 0 and would lose the sign. The same on every platform.
std::string floatText(float value);

// The same text as floatText, made with printf and strtof alone, for C++
// libraries without a floating-point std::to_chars (the web build's); where
// the library has one, tests compare the two.
std::string floatTextPortable(float value);

// The name of a non-finite value ("NaN", "Infinity", "-Infinity"); empty for
// a finite one.
std::string_view nonFiniteName(float value);

// The value a name of nonFiniteName stands for; nullopt for any other text.
std::optional<float> nonFiniteFromName(std::string_view name);

}  // namespace swrunner
