#include "host/runner/float_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace swrunner {

std::string_view nonFiniteName(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  return {};
}

std::optional<float> nonFiniteFromName(std::string_view name) {
  if (name == "NaN") return std::numeric_limits<float>::quiet_NaN();
  if (name == "Infinity") return std::numeric_limits<float>::infinity();
  if (name == "-Infinity") return -std::numeric_limits<float>::infinity();
  return std::nullopt;
}

// std::to_chars without a format gives the shortest round-trip form, and
// that form is fixed by the language rather than by the C library, so the
// Linux and Windows builds write the same digits.
std::string floatText(float value) {
  if (const std::string_view name = nonFiniteName(value); !name.empty()) return std::string(name);
  if (value == 0.0f && std::signbit(value)) return "-0.0";
  char buffer[32];
  const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, written.ptr);
}

}  // namespace swrunner
