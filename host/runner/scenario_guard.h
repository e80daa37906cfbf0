// The checks a scenario's text passes before any document tree is built from
// it: well-formed JSON, nesting no deeper than kMaxNesting, no array longer
// than kMaxArrayLength and no field twice in one object. They run on the
// token stream, so a hostile file costs no more memory than its own text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace swrunner {

// Scenario JSON: numbers with a fraction or exponent are read straight into
// 32-bit floats (correctly rounded, never through a double), and a number
// beyond the float range is refused as an overflow.
using ScenarioJson = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;

// Throws ScenarioError for the first thing in `text` that breaks one of the
// rules above: a syntax error or an overflowing number at its line and
// column, anything else at its place in the tree.
void guardScenarioText(std::string_view text);

}  // namespace swrunner
