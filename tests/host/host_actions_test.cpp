// Host actions in scenario files (the person selecting art, panning and
// zooming between messages) and scenario files written back, as the web
// page saves its sessions: a written file reads back to the same scenario.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "host/runner/float_text.h"
#include "host/runner/plugin_module.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"
#include "host/runner/scenario_text.h"

namespace {

using swrunner::HostAction;
using swrunner::parseScenario;
using swrunner::Scenario;
using swrunner::ScenarioError;

TEST(HostActions, SelectionAndViewChangeWhatThePluginSeesBetweenMessages) {
  swrunner::LinkedPlugin plugin(&PluginMain);
  const auto host = swrunner::runScenario(
      swrunner::loadScenarioFile(std::string(SW_SOURCE_DIR) + "/scenarios/host_actions.json"), plugin);
  const swhost::Record& record = host->record();
  EXPECT_EQ(record.results.size(), 9u) << "actions are not messages";
  for (const swhost::EventResult& result : record.results) EXPECT_EQ(result.result, 0) << result.selector;
  const std::vector<swhost::Path> paths = host->document().paths();
  ASSERT_EQ(paths.size(), 3u);
  // The first drag (+100 along x from x = 20) moved "left" and "right", the
  // paths selected by the action, not "middle", selected in the file.
  EXPECT_EQ(paths[0].segments[0].anchor.x, -10.0f);
  EXPECT_EQ(paths[2].segments[0].anchor.x, 170.0f);
  // The second selected "middle" alone (place 7 names no path); its Shift
  // drag up by 100 about y = 0 halved the heights.
  EXPECT_FALSE(paths[0].selected);
  EXPECT_TRUE(paths[1].selected);
  EXPECT_FALSE(paths[2].selected);
  EXPECT_EQ(paths[1].segments[1].anchor.y, 20.0f);
  // The draw after the view action maps the press at (20, 20) through origin
  // (-50, 150) at zoom 2.
  ASSERT_FALSE(record.drawing.empty());
  EXPECT_EQ(record.drawing[0].from.x, 140);
  EXPECT_EQ(record.drawing[0].from.y, 260);
}

// scenarios/undo_redo.json: two drags, undone and redone around a click the
// plug-in undid, an undo during a press, a third drag and undo past the
// first step; it ends redoing the first drag alone.
TEST(HostActions, UndoAndRedoTakeBackAndBringBackTheDocumentsSteps) {
  const Scenario full = swrunner::loadScenarioFile(std::string(SW_SOURCE_DIR) + "/scenarios/undo_redo.json");
  Scenario firstDrag = full;
  firstDrag.events.resize(5);  // startup and the first press, drag, draw and release
  firstDrag.actions.clear();
  swrunner::LinkedPlugin plugin(&PluginMain);
  std::vector<swhost::Path> expected;
  {
    const auto host = swrunner::runScenario(firstDrag, plugin);
    expected = host->document().paths();
    swrunner::quitHost(*host, plugin);
  }
  const auto host = swrunner::runScenario(full, plugin);
  const swhost::Record& record = host->record();
  const std::vector<swhost::Path> paths = host->document().paths();
  ASSERT_EQ(paths.size(), expected.size());
  for (std::size_t p = 0; p < paths.size(); ++p) {
    ASSERT_EQ(paths[p].segments.size(), expected[p].segments.size());
    EXPECT_EQ(std::memcmp(paths[p].segments.data(), expected[p].segments.data(),
                          paths[p].segments.size() * sizeof(hostapi::PathSegment)),
              0)
        << paths[p].name;
  }
  // The drag and release after the undo during the press met the copies the
  // undo took away: dead art, and no broken contract.
  ASSERT_EQ(record.results.size(), 20u);
  EXPECT_EQ(record.results[13].result, swhost::kBadParameterError);
  EXPECT_EQ(record.results[14].result, swhost::kBadParameterError);
  EXPECT_GT(record.callsOnTakenArt, 0u);
  EXPECT_TRUE(record.violations.empty());
  EXPECT_EQ(record.undos, 1) << "the click";
  EXPECT_FALSE(host->annotatorActive()) << "the third drag ended the feedback";
  EXPECT_TRUE(host->document().canRedo());
  swrunner::quitHost(*host, plugin);
}

TEST(HostActions, BadActionsAreRefusedAtTheirPlace) {
  const auto refused = [](const char* events) {
    try {
      parseScenario(std::string(R"({"events": [)") + events + "]}");
    } catch (const ScenarioError& error) {
      return error.place() + ": " + error.what();
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refused(R"({"host": "zoom"})"), "events[0].host: expected \"select\", \"view\", \"undo\" or \"redo\"");
  EXPECT_EQ(refused(R"({"host": "select", "paths": [-1]})"), "events[0].paths[0]: expected an integer from 0 to 32766");
  EXPECT_EQ(refused(R"({"host": "select"})"), "events[0]: missing field \"paths\"");
  EXPECT_EQ(refused(R"({"host": "view", "origin": [0, 0], "zoom": 0})"), "events[0].zoom: expected a positive number");
  EXPECT_EQ(refused(R"({"host": "view", "origin": ["NaN", 0], "zoom": 1})"),
            "events[0].origin: expected finite numbers");
  EXPECT_NE(refused(R"({"host": "select", "paths": [], "caller": "SP Interface"})").find("unknown field \"caller\""),
            std::string::npos);
  EXPECT_EQ(refused(R"({"host": "redo", "zoom": 2})"), "events[0]: unknown field \"zoom\" (known: host)");
  EXPECT_EQ(refused(R"({"host": "undo"}, {"host": "redo"})"), "accepted");
}

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

TEST(ScenarioText, AWrittenScenarioReadsBackExactly) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Scenario original = parseScenario(R"({
    "view": {"origin": [0.1, -3e-7], "zoom": 1.5},
    "host": {"tools": ["pkTool2", "a \"quoted\" tool"], "menuGroups": [], "iconType": -3},
    "paths": [{"name": "odd\nname", "selected": true, "closed": true,
               "segments": [[1, 2, 3, 4, 5, 6, 4294967295], [16777217, 1e38]]},
              {"segments": []}],
    "faults": [{"call": "AI Path Suite/set segments", "nth": 2, "error": "!mem"}, {"call": "x", "error": -1}],
    "events": [{"host": "view", "origin": [1, 2], "zoom": 0.25},
               {"caller": "AI Tool", "selector": "AI Mouse Down", "point": [0.3, -0.0], "shift": false},
               {"host": "select", "paths": [1, 0]},
               {"caller": "AI Menu", "selector": "AI Go", "item": "slantWarper..."},
               {"host": "select", "paths": []},
               {"host": "undo"}, {"host": "redo"}]
  })");
  original.world.paths[1].segments.push_back({{nan, inf}, {-inf, -0.0f}, {1e-45f, 3.4028235e38f}, {1, 0, 0, 0}});

  const std::string text = swrunner::scenarioText(original);
  const Scenario copy = parseScenario(text);
  EXPECT_EQ(swrunner::scenarioText(copy), text);
  EXPECT_EQ(bits(copy.world.originX), bits(0.1f));
  EXPECT_EQ(bits(copy.world.originY), bits(-3e-7f));
  EXPECT_EQ(copy.world.tools, original.world.tools);
  EXPECT_EQ(copy.world.iconType, -3);
  ASSERT_EQ(copy.world.paths.size(), 2u);
  EXPECT_EQ(copy.world.paths[0].name, "odd\nname");
  for (std::size_t p = 0; p < 2; ++p) {
    ASSERT_EQ(copy.world.paths[p].segments.size(), original.world.paths[p].segments.size());
    for (std::size_t s = 0; s < copy.world.paths[p].segments.size(); ++s) {
      EXPECT_EQ(std::memcmp(&copy.world.paths[p].segments[s], &original.world.paths[p].segments[s],
                            sizeof(hostapi::PathSegment)),
                0)
          << "path " << p << " segment " << s;
    }
  }
  ASSERT_EQ(copy.world.faults.size(), 2u);
  EXPECT_EQ(copy.world.faults[0].nth, 2);
  EXPECT_EQ(copy.world.faults[0].error, hostapi::fourCharCode('!', 'm', 'e', 'm'));
  EXPECT_EQ(copy.world.faults[1].nth, 0);
  ASSERT_EQ(copy.events.size(), 2u);
  EXPECT_TRUE(std::signbit(copy.events[0].point->y));
  EXPECT_EQ(copy.events[0].shift, false);
  EXPECT_EQ(copy.events[1].item, "slantWarper...");
  ASSERT_EQ(copy.actions.size(), 5u);
  EXPECT_EQ(copy.actions[3].kind, HostAction::Kind::undo);
  EXPECT_EQ(copy.actions[4].kind, HostAction::Kind::redo);
  EXPECT_EQ(copy.actions[4].beforeEvent, 2u);
  EXPECT_EQ(copy.actions[0].beforeEvent, 0u);
  EXPECT_EQ(copy.actions[0].zoom, 0.25f);
  EXPECT_EQ(copy.actions[1].beforeEvent, 1u);
  EXPECT_EQ(copy.actions[1].paths, (std::vector<std::size_t>{1, 0}));
  EXPECT_EQ(copy.actions[2].beforeEvent, 2u);
  EXPECT_TRUE(copy.actions[2].paths.empty());
}

// The web build has no floating-point std::to_chars and writes its floats
// with floatTextPortable: it must give the very same text.
TEST(ScenarioText, PortableFloatTextIsTheLibrarysText) {
  std::mt19937 random(2024);
  std::vector<float> values;
  for (int i = 0; i < 100000; ++i) values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
  for (int e = -149; e <= 127; ++e) {
    const float power = std::ldexp(1.0f, e);
    values.insert(values.end(), {power, std::nextafter(power, 0.0f), std::nextafter(power, 2 * power)});
  }
  for (int e = -45; e <= 38; ++e) {
    const float decade = std::pow(10.0f, static_cast<float>(e));
    values.insert(values.end(), {decade, std::nextafter(decade, 0.0f), std::nextafter(decade, 2 * decade)});
  }
  for (const float v : {0.0f, -0.0f, 1e7f, 123456792.0f, 9999999488.0f, 0.1f, 1.0f / 3.0f, 16777216.0f}) {
    values.push_back(v);
  }
  int differing = 0;
  for (const float v : values) {
    if (swrunner::floatText(v) != swrunner::floatTextPortable(v) && ++differing <= 5) {
      ADD_FAILURE() << std::hexfloat << v << ": " << swrunner::floatText(v) << " vs " << swrunner::floatTextPortable(v);
    }
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
