// Reading scenario files: everything a file can say reaches the host's world
// and events exactly, and every bad file is refused whole, at its place.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "host/runner/scenario.h"

namespace {

using swrunner::parseScenario;
using swrunner::Scenario;
using swrunner::ScenarioError;

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

TEST(ScenarioParse, EveryFieldReachesTheWorldAndTheEvents) {
  const Scenario s = parseScenario(R"({
    "view": {"origin": [10.5, -20], "zoom": 2},
    "host": {"tools": ["pkTool2", "other"], "menuGroups": ["About", "Help"], "iconType": 7},
    "paths": [
      {"name": "box", "selected": true, "closed": true,
       "segments": [[1, 2], [3, 4, 305419896], [5, 6, 7, 8, 9, 10], [11, 12, 13, 14, 15, 16, 4294967295]]},
      {"segments": []}
    ],
    "faults": [{"call": "AI Path Suite/set segments", "nth": 2, "error": 1234},
               {"call": "ADM Icon Suite/icon type", "error": "!ico"}],
    "events": [
      {"caller": "SP Interface", "selector": "Startup"},
      {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [200, -0.5], "shift": true},
      {"caller": "AI Menu", "selector": "AI Go", "item": "slantWarper..."},
      {"caller": "Mystery", "selector": "Whatever"}
    ]
  })");
  const swhost::World& w = s.world;
  EXPECT_EQ(w.originX, 10.5f);
  EXPECT_EQ(w.originY, -20.0f);
  EXPECT_EQ(w.zoom, 2.0f);
  EXPECT_EQ(w.tools, (std::vector<std::string>{"pkTool2", "other"}));
  EXPECT_EQ(w.menuGroups, (std::vector<std::string>{"About", "Help"}));
  EXPECT_EQ(w.iconType, 7);

  ASSERT_EQ(w.paths.size(), 2u);
  const swhost::Path& box = w.paths[0];
  EXPECT_EQ(box.name, "box");
  EXPECT_TRUE(box.selected);
  EXPECT_TRUE(box.closed);
  ASSERT_EQ(box.segments.size(), 4u);
  // A corner puts both handles on the anchor.
  const hostapi::PathSegment corner = box.segments[0];
  EXPECT_EQ(corner.in.x, 1.0f);
  EXPECT_EQ(corner.out.y, 2.0f);
  // Host bytes are little-endian: 0x12345678 is stored 78 56 34 12.
  const std::uint8_t little[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(std::memcmp(box.segments[1].hostData, little, 4), 0);
  EXPECT_EQ(box.segments[1].in.x, 3.0f);
  const hostapi::PathSegment& full = box.segments[2];
  EXPECT_EQ(full.anchor.x, 5.0f);
  EXPECT_EQ(full.in.y, 8.0f);
  EXPECT_EQ(full.out.x, 9.0f);
  const std::uint8_t none[4] = {0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(full.hostData, none, 4), 0);
  const std::uint8_t all[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(box.segments[3].hostData, all, 4), 0);
  EXPECT_EQ(w.paths[1].name, "");
  EXPECT_FALSE(w.paths[1].selected);
  EXPECT_FALSE(w.paths[1].closed);

  ASSERT_EQ(w.faults.size(), 2u);
  EXPECT_EQ(w.faults[0].call, "AI Path Suite/set segments");
  EXPECT_EQ(w.faults[0].nth, 2);
  EXPECT_EQ(w.faults[0].error, 1234);
  EXPECT_EQ(w.faults[1].nth, 0);  // omitted: every call
  EXPECT_EQ(w.faults[1].error, 0x2169636F);

  ASSERT_EQ(s.events.size(), 4u);
  EXPECT_FALSE(s.events[0].point);
  EXPECT_FALSE(s.events[0].shift);
  ASSERT_TRUE(s.events[1].point);
  EXPECT_EQ(s.events[1].point->x, 200.0f);
  EXPECT_EQ(s.events[1].point->y, -0.5f);
  EXPECT_EQ(s.events[1].shift, true);
  EXPECT_EQ(s.events[2].item, "slantWarper...");
  EXPECT_EQ(s.events[3].caller, "Mystery");
}

TEST(ScenarioParse, OmittedSectionsKeepTheHostDefaults) {
  const Scenario s = parseScenario("{}");
  const swhost::World defaults;
  EXPECT_EQ(s.world.tools, defaults.tools);
  EXPECT_EQ(s.world.menuGroups, defaults.menuGroups);
  EXPECT_EQ(s.world.zoom, 1.0f);
  EXPECT_TRUE(s.world.paths.empty());
  EXPECT_TRUE(s.events.empty());
}

TEST(ScenarioParse, CoordinatesAreCorrectlyRoundedFloatsAndMayBeNonFinite) {
  const Scenario s = parseScenario(R"({"paths": [{"segments": [
      [0.1, 16777217, "NaN", "Infinity", "-Infinity", -0.0],
      [1.17549435e-38, 1e-46, 0, 0, 340282346638528859811704183484516925440, -3.4028235e38]]}]})");
  const auto& seg = s.world.paths[0].segments;
  EXPECT_EQ(bits(seg[0].anchor.x), bits(0.1f));
  EXPECT_EQ(seg[0].anchor.y, 16777216.0f);  // the nearest float
  EXPECT_TRUE(std::isnan(seg[0].in.x));
  EXPECT_EQ(seg[0].in.y, INFINITY);
  EXPECT_EQ(seg[0].out.x, -INFINITY);
  EXPECT_EQ(bits(seg[0].out.y), bits(-0.0f));
  EXPECT_EQ(bits(seg[1].anchor.x), bits(1.17549435e-38f));
  EXPECT_EQ(seg[1].anchor.y, 0.0f);  // below the smallest float: rounds to zero
  EXPECT_EQ(seg[1].out.x, 3.4028235e38f);
  EXPECT_EQ(seg[1].out.y, -3.4028235e38f);
}

TEST(ScenarioParse, APathMayHoldExactly32767Segments) {
  std::string text = R"({"paths": [{"segments": [)";
  for (int i = 0; i < 32767; ++i) text += i == 0 ? "[0,0]" : ",[0,0]";
  EXPECT_EQ(parseScenario(text + "]}]}").world.paths[0].segments.size(), 32767u);
  EXPECT_THROW(parseScenario(text + ",[0,0]]}]}"), ScenarioError);
}

struct BadFile {
  const char* name;
  std::string text;
  std::string place;  // the exact place reported
  std::string what;   // a part of the explanation
};

std::string repeat(const std::string& part, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += part;
  return text;
}

std::string event(const std::string& body) { return R"({"events": [)" + body + "]}"; }
std::string segment(const std::string& body) { return R"({"paths": [{"segments": [[0, 0], )" + body + "]}]}"; }

TEST(ScenarioParse, BadFilesAreRefusedAtTheirPlace) {
  const std::string deep = repeat("[", 100000) + repeat("]", 100000);
  const std::string manyEvents = R"({"events": [)" + repeat(R"({"caller": "a", "selector": "b"},)", 32767) +
                                 R"({"caller": "a", "selector": "b"}]})";
  const std::string manySegments =
      R"({"paths": [{"name": "x"}, {"segments": [)" + repeat("[0,0],", 32767) + "[0,0]]}]}";
  const BadFile cases[] = {
      // Not JSON: the line and column.
      {"empty", "", "line 1, column 1", "unexpected end of input"},
      {"truncated", "{\n  \"events\": [\n    {\"caller\": \"SP", "line 3, column 19", "syntax error"},
      {"comment", "{} // note", "line 1, column 4", "syntax error"},
      {"trailing text", "{}\n{}", "line 2, column 1", "expected end of input"},
      {"stray bracket", R"({"paths": [}])", "line 1, column 12", "syntax error"},
      {"invalid UTF-8", "{\"events\": \"\xff\"}", "line 1, column 13", "invalid string"},
      {"number overflow", "{\"view\": {\"zoom\":\n 1e39}}", "line 2, column 5", "number overflow"},
      {"integer overflow", R"({"view": {"zoom": 1000000000000000000000000000000000000000000}})", "line 1, column 61",
       "number overflow"},
      // Hostile shapes, stopped before a tree is built.
      {"deep nesting", deep, "[0][0][0][0][0][0][0][0]", "nested deeper than 8 levels"},
      {"deep inside a field", R"({"paths": [{"segments": [[[[[[[1]]]]]]]}]})", "paths[0].segments[0][0][0][0][0]",
       "nested deeper"},
      {"too many events", manyEvents, "events", "more than 32767 elements"},
      {"too many segments", manySegments, "paths[1].segments", "more than 32767 segments"},
      {"repeated field", R"({"events": [], "events": []})", "", "\"events\" appears twice"},
      {"repeated event field", event(R"({"caller": "a", "caller": "b", "selector": "c"})"), "events[0]",
       "\"caller\" appears twice"},
      // The top level.
      {"not an object", "[]", "", "expected an object, got array"},
      {"unknown field", R"({"event": []})", "", "unknown field \"event\""},
      {"events not an array", R"({"events": {}})", "events", "expected an array, got object"},
      // Events.
      {"unknown event field", event(R"({"caller": "a", "selector": "b", "pont": [0, 0]})"), "events[0]",
       "unknown field \"pont\""},
      {"caller not a string", event(R"({"caller": 5, "selector": "b"})"), "events[0].caller", "expected a string"},
      {"missing caller", event(R"({"selector": "b"})"), "events[0]", "missing field \"caller\""},
      {"missing selector", event(R"({"caller": "b"})"), "events[0]", "missing field \"selector\""},
      {"NUL in a caller", event(R"({"caller": "SP\u0000Access", "selector": "b"})"), "events[0].caller", "NUL"},
      {"missing point", event(R"({"caller": "SP Interface", "selector": "Startup"},
                                  {"caller": "AI Tool", "selector": "AI Mouse Down"})"),
       "events[1].point", "expected [x, y]"},
      {"short point", event(R"({"caller": "AI Tool", "selector": "AI Mouse Up", "point": [1]})"), "events[0].point",
       "expected [x, y]"},
      {"long point", event(R"({"caller": "AI Tool", "selector": "AI Mouse Up", "point": [1, 2, 3]})"),
       "events[0].point", "expected [x, y]"},
      {"point as text", event(R"({"caller": "AI Tool", "selector": "AI Mouse Up", "point": "1, 2"})"),
       "events[0].point", "expected [x, y]"},
      {"non-number coordinate", event(R"({"caller": "AI Tool", "selector": "AI Mouse Up", "point": [1, "two"]})"),
       "events[0].point[1]", "expected a number"},
      {"lowercase nan", event(R"({"caller": "AI Tool", "selector": "AI Mouse Up", "point": ["nan", 0]})"),
       "events[0].point[0]", "\"NaN\""},
      {"null coordinate", event(R"({"caller": "AI Tool", "selector": "AI Mouse Up", "point": [null, 0]})"),
       "events[0].point[0]", "got null"},
      {"point on a menu message", event(R"({"caller": "AI Menu", "selector": "AI Go", "point": [0, 0]})"),
       "events[0].point", "only \"AI Tool\""},
      {"item on a tool message", event(R"({"caller": "AI Tool", "selector": "x", "item": "a"})"), "events[0].item",
       "only \"AI Menu\""},
      {"shift as a number", event(R"({"caller": "a", "selector": "b", "shift": 1})"), "events[0].shift",
       "expected true or false"},
      // Segments.
      {"one number", segment("[1]"), "paths[0].segments[1]", "not 1"},
      {"four numbers", segment("[1, 2, 3, 4]"), "paths[0].segments[1]", "not 4"},
      {"eight numbers", segment("[1, 2, 3, 4, 5, 6, 7, 8]"), "paths[0].segments[1]", "not 8"},
      {"segment not an array", segment(R"({"x": 1})"), "paths[0].segments[1]", "expected a segment array"},
      {"negative host bytes", segment("[1, 2, -1]"), "paths[0].segments[1][2]", "0 to 4294967295"},
      {"host bytes past 32 bits", segment("[1, 2, 4294967296]"), "paths[0].segments[1][2]", "0 to 4294967295"},
      {"fractional host bytes", segment("[1, 2, 3, 4, 5, 6, 1.5]"), "paths[0].segments[1][6]", "expected an integer"},
      {"host bytes as text", segment(R"([1, 2, "7"])"), "paths[0].segments[1][2]", "expected an integer"},
      {"unknown path field", R"({"paths": [{"selected": true, "colour": 1}]})", "paths[0]", "unknown field \"colour\""},
      {"selected as text", R"({"paths": [{"selected": "yes"}]})", "paths[0].selected", "expected true or false"},
      // View, host, faults.
      {"zero zoom", R"({"view": {"zoom": 0}})", "view.zoom", "positive"},
      {"negative zoom", R"({"view": {"zoom": -2}})", "view.zoom", "positive"},
      {"infinite zoom", R"({"view": {"zoom": "Infinity"}})", "view.zoom", "positive"},
      {"non-finite origin", R"({"view": {"origin": [0, "NaN"]}})", "view.origin", "finite"},
      {"icon type past 32 bits", R"({"host": {"iconType": 2147483648}})", "host.iconType", "2147483647"},
      {"tool name not a string", R"({"host": {"tools": ["a", 2]}})", "host.tools[1]", "expected a string"},
      {"unknown fault field", R"({"faults": [{"call": "x", "error": 1, "when": 2}]})", "faults[0]",
       "unknown field \"when\""},
      {"fault without call", R"({"faults": [{"error": 1}]})", "faults[0]", "missing field \"call\""},
      {"fault without error", R"({"faults": [{"call": "x"}]})", "faults[0]", "missing field \"error\""},
      {"zeroth call", R"({"faults": [{"call": "x", "nth": 0, "error": 1}]})", "faults[0].nth", "from 1"},
      {"success as a fault", R"({"faults": [{"call": "x", "error": 0}]})", "faults[0].error", "0 is success"},
      {"three-character code", R"({"faults": [{"call": "x", "error": "ico"}]})", "faults[0].error", "four characters"},
      {"error past 32 bits", R"({"faults": [{"call": "x", "error": 2147483648}]})", "faults[0].error", "2147483647"},
  };
  for (const BadFile& bad : cases) {
    SCOPED_TRACE(bad.name);
    try {
      parseScenario(bad.text);
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
      EXPECT_EQ(error.place(), bad.place);
      EXPECT_NE(std::string(error.what()).find(bad.what), std::string::npos) << error.what();
    }
  }
}

TEST(ScenarioParse, FilesBeyondTheSizeLimitAreNotRead) {
  const std::string huge(swrunner::kMaxScenarioBytes + 1, ' ');
  try {
    parseScenario(huge);
    ADD_FAILURE() << "accepted";
  } catch (const ScenarioError& error) {
    EXPECT_EQ(error.place(), "");
    EXPECT_NE(std::string(error.what()).find("larger than 16 MiB"), std::string::npos);
  }
}

TEST(ScenarioParse, ErrorMessagesAreOneLineNamingFilePlaceAndProblem) {
  EXPECT_EQ(swrunner::describeScenarioError("bad.json", ScenarioError("events[3].point", "expected [x, y]")),
            "bad.json: events[3].point: expected [x, y]");
  EXPECT_EQ(swrunner::describeScenarioError("bad.json", ScenarioError("", "not an object")), "bad.json: not an object");
  // A field name or a file name with control characters still gives one line.
  const std::string line =
      swrunner::describeScenarioError("odd\nname.json", ScenarioError("paths[0]", "unknown field \"a\tb\r\"\n"));
  EXPECT_EQ(line.find_first_of("\n\r\t"), std::string::npos) << line;
  EXPECT_EQ(line, "odd\\x0aname.json: paths[0]: unknown field \"a\\x09b\\x0d\"\\x0a");
}

}  // namespace
