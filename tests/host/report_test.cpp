// Reports: shortest floats that read back exactly, non-finite values by
// name, host bytes as written, a fixed key order and layout.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include <nlohmann/json.hpp>

#include "host/runner/float_text.h"
#include "host/runner/plugin_module.h"
#include "host/runner/report.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"

namespace {

using swrunner::floatText;

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// The shortest printf text of `value` in the given style ('e' or 'f') that
// reads back to the same bits.
std::string shortestPrintf(float value, char style) {
  char text[80];
  for (int precision = 0; precision < 60; ++precision) {
    const char format[] = {'%', '.', '*', style, '\0'};
    std::snprintf(text, sizeof text, format, precision, double{value});
    if (std::bit_cast<std::uint32_t>(std::strtof(text, nullptr)) == std::bit_cast<std::uint32_t>(value)) break;
  }
  return text;
}

TEST(ReportFloats, KnownValuesHaveTheirShortestText) {
  const std::pair<float, const char*> table[] = {
      {0.1f, "0.1"},
      {200.0f, "200"},
      {-0.0f, "-0.0"},
      {0.0f, "0"},
      {16777216.0f, "16777216"},
      {1e10f, "1e+10"},
      {std::numeric_limits<float>::denorm_min(), "1e-45"},
      {FLT_MIN, "1.1754944e-38"},
      {FLT_MAX, "3.4028235e+38"},
      {-1.5f, "-1.5"},
      {1.0f / 3.0f, "0.33333334"},
      {std::numeric_limits<float>::quiet_NaN(), "NaN"},
      {-std::numeric_limits<float>::quiet_NaN(), "NaN"},
      {std::numeric_limits<float>::infinity(), "Infinity"},
      {-std::numeric_limits<float>::infinity(), "-Infinity"},
  };
  for (const auto& [value, text] : table) EXPECT_EQ(floatText(value), text);
}

// Any finite float reads back to the same bits, from text no longer than
// the shortest that printf finds in either notation.
TEST(ReportFloats, EveryFloatReadsBackExactlyFromTheShortestText) {
  std::mt19937 random(20240611);
  for (int i = 0; i < 20000; ++i) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isfinite(value) || value == 0.0f) continue;
    const std::string text = floatText(value);
    ASSERT_EQ(bits(std::strtof(text.c_str(), nullptr)), bits(value)) << text;
    const std::string scientific = shortestPrintf(value, 'e');
    const std::string fixed = shortestPrintf(value, 'f');
    ASSERT_LE(text.size(), std::min(scientific.size(), fixed.size())) << text << " vs " << scientific << ", " << fixed;
  }
}

TEST(ReportFloats, NonFiniteNamesReadBack) {
  for (const float value : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(swrunner::nonFiniteFromName(floatText(value)), value);
  }
  EXPECT_TRUE(std::isnan(*swrunner::nonFiniteFromName("NaN")));
  EXPECT_FALSE(swrunner::nonFiniteFromName("nan"));
  EXPECT_FALSE(swrunner::nonFiniteFromName("1"));
}

TEST(ReportHostBytes, ByteZeroIsTheLeastSignificant) {
  hostapi::PathSegment segment{};
  const std::uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
  std::memcpy(segment.hostData, bytes, 4);
  EXPECT_EQ(swrunner::hostBytesValue(segment), 0x12345678u);
}

// The report of a scenario run with no events, against a plug-in that is
// never called.
std::string reportOf(const std::string& scenarioText) {
  swrunner::LinkedPlugin plugin(&PluginMain);
  const auto host = swrunner::runScenario(swrunner::parseScenario(scenarioText), plugin);
  return swrunner::reportText(swrunner::buildReport(*host));
}

TEST(Report, PathsReadBackAsTheSameBitsAndHostBytes) {
  const std::string original = R"({"paths": [
      {"name": "odd", "selected": true, "closed": true, "segments": [
        [0.1, -0.0, "NaN", "Infinity", "-Infinity", 1e-45, 0],
        [3.4028235e38, -1.1754944e-38, 0.33333334, 7, 8, 9, 4294967295],
        [1, 2, 2147483648], [5, 6, 3735928559]]},
      {"name": "plain", "segments": [[1, 2]]}]})";
  const std::string report = reportOf(original);

  // The report's paths, given back to the scenario reader, are the same
  // document bit for bit.
  const auto parsed = nlohmann::json::parse(report);
  const nlohmann::json again = {{"paths", parsed.at("paths")}};
  const std::vector<swhost::Path> before = swrunner::parseScenario(original).world.paths;
  const std::vector<swhost::Path> after = swrunner::parseScenario(again.dump()).world.paths;
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t p = 0; p < before.size(); ++p) {
    EXPECT_EQ(after[p].name, before[p].name);
    EXPECT_EQ(after[p].selected, before[p].selected);
    EXPECT_EQ(after[p].closed, before[p].closed);
    ASSERT_EQ(after[p].segments.size(), before[p].segments.size());
    EXPECT_EQ(std::memcmp(after[p].segments.data(), before[p].segments.data(),
                          before[p].segments.size() * sizeof(hostapi::PathSegment)),
              0)
        << "path " << p;
  }
  // Written as the reader expects them.
  EXPECT_NE(report.find(R"([0.1, -0.0, "NaN", "Infinity", "-Infinity", 1e-45, 0])"), std::string::npos);
  EXPECT_NE(report.find(R"([1, 2, 1, 2, 1, 2, 2147483648])"), std::string::npos);
  EXPECT_NE(report.find(R"([5, 6, 5, 6, 5, 6, 3735928559])"), std::string::npos);
}

TEST(Report, KeysComeInTheirFixedOrderAndLinesEndInLineFeeds) {
  const std::string report = reportOf("{}");
  const char* keys[] = {"results",      "paths",      "calls",       "drawing",         "invalidated",     "menu",
                        "menuGroups",   "tools",      "icons",       "cursors",         "alerts",          "undos",
                        "heldSuites",   "liveBlocks", "liveStrings", "liveMatchingArt", "annotatorActive", "violations",
                        "pluginGlobals"};
  std::size_t at = 0;
  for (const char* key : keys) {
    const std::size_t found = report.find("\n  \"" + std::string(key) + "\": ", at);
    ASSERT_NE(found, std::string::npos) << key << " missing or out of order";
    at = found;
  }
  EXPECT_EQ(report.find('\r'), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 2), "}\n");
  const auto parsed = nlohmann::json::parse(report);
  EXPECT_EQ(parsed.size(), std::size(keys));
  EXPECT_EQ(parsed.at("heldSuites").size(), 16u);
  EXPECT_EQ(parsed.at("menuGroups"), nlohmann::json::parse(R"([{"name": "About", "options": 0, "parent": null}])"));
  EXPECT_EQ(parsed.at("pluginGlobals"), false);
}

TEST(Report, MenuItemsCarryTheNameAndOptionsTheyWereAddedWith) {
  const std::string report = reportOf(R"({"events": [{"caller": "SP Interface", "selector": "Startup"},
                                                     {"caller": "SP Interface", "selector": "Shutdown"}]})");
  EXPECT_EQ(nlohmann::json::parse(report).at("menu"), nlohmann::json::parse(R"([
    {"group": "About", "text": "About p.k plug-ins", "name": null, "options": 0},
    {"group": "AboutPKPlugIns", "text": "slantWarper...", "name": null, "options": 0}])"));
}

TEST(Report, TextThatIsNotUtf8StaysValidJson) {
  swrunner::LinkedPlugin plugin(&PluginMain);
  const auto host = swrunner::runScenario(swrunner::parseScenario("{}"), plugin);
  host->record().alerts.push_back("caf\xe9 \xff");
  const std::string report = swrunner::reportText(swrunner::buildReport(*host));
  const auto parsed = nlohmann::json::parse(report);
  EXPECT_EQ(parsed.at("alerts").at(0), "caf\xef\xbf\xbd \xef\xbf\xbd");
}

}  // namespace
