// Floats as text (float_text.h): std::to_chars's shortest form where the
// library has it, and the same digits found with printf and strtof where it
// does not, so that every build writes the same bytes.
#include "host/runner/float_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <version>

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

namespace {

bool readsBackAs(const char* text, float value) { return std::strtof(text, nullptr) == value; }

// The shortest decimal digits that read back to `magnitude` (positive,
// finite) and the decimal exponent of the first: magnitude is about
// d.ddd * 10^exponent. Of the candidates of that length, the closest.
void shortestDigits(float magnitude, std::string& digits, int& exponent) {
  char text[48];
  for (int precision = 1; precision <= 9; ++precision) {
    std::snprintf(text, sizeof text, "%.*e", precision - 1, double{magnitude});
    char* mark = std::strchr(text, 'e');
    exponent = std::atoi(mark + 1);
    *mark = '\0';
    std::string found(text);
    found.erase(std::remove(found.begin(), found.end(), '.'), found.end());
    // The correctly rounded candidate is the closest; where it misses (the
    // gap below a power of two is half the one above), its neighbour away
    // from it may still read back.
    bool reads = readsBackAs((found + "e" + std::to_string(exponent - precision + 1)).c_str(), magnitude);
    for (int step = -1; !reads && step <= 1; step += 2) {
      const long long neighbour = std::atoll(found.c_str()) + step;
      const std::string other = std::to_string(neighbour);
      if (other.size() != found.size()) continue;  // a length that was already tried
      if (readsBackAs((other + "e" + std::to_string(exponent - precision + 1)).c_str(), magnitude)) {
        found = other;
        reads = true;
      }
    }
    if (reads) {
      while (found.size() > 1 && found.back() == '0') found.pop_back();
      digits = found;
      return;
    }
  }
  digits.clear();  // not reached: nine digits always read back
}

}  // namespace

// The shortest text, as std::to_chars writes it: of the fixed and the
// scientific form, the one with fewer characters (fixed on a tie); in fixed
// form an integer value is written exactly, since all integers of that
// length read back and the exact one is the closest.
std::string floatTextPortable(float value) {
  if (const std::string_view name = nonFiniteName(value); !name.empty()) return std::string(name);
  if (value == 0.0f) return std::signbit(value) ? "-0.0" : "0";
  const float magnitude = std::fabs(value);
  std::string digits;
  int exponent = 0;
  shortestDigits(magnitude, digits, exponent);

  char exponentText[16];
  std::snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  // Built by appending: GCC 12 at -O3 misreads concatenations of substrings
  // as overlapping copies (-Wrestrict).
  std::string scientific(1, digits[0]);
  if (digits.size() > 1) scientific.append(".").append(digits, 1);
  scientific.append(exponentText);

  std::string fixed;
  if (magnitude == std::floor(magnitude)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", double{magnitude});
    fixed = text;
  } else if (exponent >= 0) {
    const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
    fixed.append(digits, 0, integerDigits).append(".").append(digits, integerDigits);
  } else {
    fixed.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
  }
  std::string text = std::signbit(value) ? "-" : "";
  return text.append(fixed.size() <= scientific.size() ? fixed : scientific);
}

// std::to_chars without a format gives the shortest round-trip form, and
// that form is fixed by the language rather than by the C library, so the
// Linux and Windows builds write the same digits. A library without it (the
// web build's) gets the same text from floatTextPortable.
std::string floatText(float value) {
#if defined(__cpp_lib_to_chars)
  if (const std::string_view name = nonFiniteName(value); !name.empty()) return std::string(name);
  if (value == 0.0f && std::signbit(value)) return "-0.0";
  char buffer[32];
  const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, written.ptr);
#else
  return floatTextPortable(value);
#endif
}

}  // namespace swrunner
