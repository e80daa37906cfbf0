// Running scenarios in-process: the example scenarios, the demo, unloading
// between unload and reload, and exceptions that escape the plug-in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "host/runner/demo.h"
#include "host/runner/plugin_module.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"

namespace {

using swrunner::LinkedPlugin;
using swrunner::runScenario;

// The calls the host logged while handling each event, event by event.
std::vector<std::vector<std::string>> callsByEvent(const swhost::Host& host) {
  std::vector<std::vector<std::string>> slices;
  std::size_t next = 0;
  const auto& calls = host.record().calls;
  for (const swhost::EventResult& result : host.record().results) {
    slices.emplace_back(calls.begin() + static_cast<std::ptrdiff_t>(next),
                        calls.begin() + static_cast<std::ptrdiff_t>(next + result.calls));
    next += result.calls;
  }
  return slices;
}

std::size_t countContaining(const std::vector<std::string>& calls, const std::string& part) {
  std::size_t count = 0;
  for (const std::string& call : calls) count += call.find(part) != std::string::npos ? 1 : 0;
  return count;
}

swrunner::Scenario example(const std::string& name) {
  return swrunner::loadScenarioFile(std::string(SW_SOURCE_DIR) + "/scenarios/" + name);
}

TEST(ScenarioRun, FoundationMessagesAcquireOnlyWhereTheyMust) {
  LinkedPlugin plugin(&PluginMain);
  const auto host = runScenario(example("foundation.json"), plugin);
  const std::vector<swhost::EventResult>& results = host->record().results;
  ASSERT_EQ(results.size(), 5u);
  for (const swhost::EventResult& result : results)
    EXPECT_EQ(result.result, 0) << result.caller << "/" << result.selector;
  const auto calls = callsByEvent(*host);

  // "SP Access"/"Startup" is answered at once: no suite acquired.
  EXPECT_EQ(countContaining(calls[0], "acquire suite"), 0u);
  // "SP Interface"/"Startup" acquires the whole table.
  for (const auto& [suite, held] : host->heldSuites()) {
    EXPECT_GE(countContaining(calls[1], "acquire suite " + suite), 1u) << suite;
  }
  // An unhandled tool selector acquires nothing.
  EXPECT_EQ(countContaining(calls[2], "acquire suite"), 0u);
  // An unknown caller costs one acquire and one release of each suite.
  EXPECT_EQ(countContaining(calls[3], "acquire suite"), 16u);
  EXPECT_EQ(countContaining(calls[3], "release suite"), 16u);
  for (const auto& [suite, held] : host->heldSuites()) {
    EXPECT_EQ(countContaining(calls[3], "acquire suite " + suite), 1u) << suite;
  }

  EXPECT_FALSE(host->pluginGlobals());
  EXPECT_EQ(host->liveBlocks(), 0u);
  EXPECT_TRUE(host->record().violations.empty());
  EXPECT_EQ(swrunner::exitStatusOf(*host), swrunner::kExitCompleted);
}

// A linked plug-in that counts how often the runner loads and unloads it.
class CountingPlugin final : public swrunner::PluginModule {
 public:
  explicit CountingPlugin(hostapi::PluginEntry entry = &PluginMain) : entry_(entry) {}
  hostapi::PluginEntry load() override {
    if (!loaded_) ++loads;
    loaded_ = true;
    return entry_;
  }
  void unload() override {
    if (loaded_) ++unloads;
    loaded_ = false;
  }
  bool loaded() const override { return loaded_; }

  int loads = 0;
  int unloads = 0;

 private:
  hostapi::PluginEntry entry_;
  bool loaded_ = false;
};

hostapi::HostError HOSTAPI_CALL refusingUnload(const char*, const char* selector, void*) {
  return std::strcmp(selector, "Unload") == 0 ? 1 : hostapi::kNoError;
}

TEST(ScenarioRun, AnUnloadedPluginIsLoadedAgainForTheNextMessage) {
  CountingPlugin plugin;
  const auto host = runScenario(example("lifecycle.json"), plugin);
  for (const swhost::EventResult& result : host->record().results) EXPECT_EQ(result.result, 0) << result.selector;
  EXPECT_EQ(plugin.loads, 2);
  EXPECT_EQ(plugin.unloads, 1);
  EXPECT_FALSE(host->pluginGlobals());
  EXPECT_EQ(host->liveBlocks(), 0u);
  EXPECT_TRUE(host->record().violations.empty());
}

TEST(ScenarioRun, AFailedUnloadKeepsThePluginLoaded) {
  CountingPlugin plugin(&refusingUnload);
  const auto host = runScenario(example("lifecycle.json"), plugin);
  ASSERT_EQ(host->record().results.size(), 4u);
  EXPECT_EQ(host->record().results[1].result, 1);
  EXPECT_EQ(plugin.loads, 1);
  EXPECT_EQ(plugin.unloads, 0);
}

TEST(ScenarioRun, QuittingShutsDownAPluginLeftStarted) {
  CountingPlugin plugin;
  const auto host = runScenario(swrunner::parseScenario(R"({"events": [
      {"caller": "SP Interface", "selector": "Startup"},
      {"caller": "AI Tool", "selector": "AI Mouse Down", "point": [0, 0]}]})"),
                                plugin);
  ASSERT_NE(host->pluginGlobals(), nullptr);
  swrunner::quitHost(*host, plugin);
  EXPECT_EQ(host->pluginGlobals(), nullptr);
  EXPECT_EQ(host->liveBlocks(), 0u);
  EXPECT_EQ(host->record().results.back().selector, "Shutdown");
  // Once shut down, or while unloaded, there is nothing more to send.
  const std::size_t results = host->record().results.size();
  swrunner::quitHost(*host, plugin);
  EXPECT_EQ(host->record().results.size(), results);
}

TEST(ScenarioRun, QuittingLeavesAnUnloadedPluginAlone) {
  CountingPlugin plugin;
  const auto host = runScenario(swrunner::parseScenario(R"({"events": [
      {"caller": "SP Interface", "selector": "Startup"}, {"caller": "SP Access", "selector": "Unload"}]})"),
                                plugin);
  ASSERT_NE(host->pluginGlobals(), nullptr);
  swrunner::quitHost(*host, plugin);
  EXPECT_EQ(host->record().results.size(), 2u);
  EXPECT_EQ(plugin.loads, 1);
}

TEST(ScenarioRun, AnUnknownCallerRunsLikeAnyOther) {
  LinkedPlugin plugin(&PluginMain);
  const auto host =
      runScenario(swrunner::parseScenario(R"({"events": [{"caller": "Never Heard Of", "selector": "It"}]})"), plugin);
  ASSERT_EQ(host->record().results.size(), 1u);
  EXPECT_EQ(host->record().results[0].caller, "Never Heard Of");
  EXPECT_EQ(host->record().results[0].result, 0);
}

hostapi::HostError HOSTAPI_CALL throwingPlugin(const char*, const char* selector, void*) {
  if (std::strcmp(selector, "Boom") == 0) throw std::runtime_error("out of order");
  return hostapi::kNoError;
}

TEST(ScenarioRun, AnExceptionFromThePluginIsRecordedAndEndsTheRun) {
  const swhost::StrictModeScope lenient(nullptr);  // the escape is the point
  LinkedPlugin plugin(&throwingPlugin);
  const auto host = runScenario(swrunner::parseScenario(R"({"events": [
      {"caller": "X", "selector": "Fine"}, {"caller": "X", "selector": "Boom"}, {"caller": "X", "selector": "Never"}]})"),
                                plugin);
  ASSERT_EQ(host->record().results.size(), 1u);
  ASSERT_EQ(host->record().violations.size(), 1u);
  const swhost::Violation& violation = host->record().violations[0];
  EXPECT_EQ(violation.call, "PluginMain");
  EXPECT_NE(violation.what.find("X / Boom"), std::string::npos) << violation.what;
  EXPECT_NE(violation.what.find("out of order"), std::string::npos) << violation.what;
  EXPECT_EQ(swrunner::exitStatusOf(*host), swrunner::kExitViolations);
}

TEST(ScenarioRun, TheDemoStretchesThenMirrorsEveryShape) {
  LinkedPlugin plugin(&PluginMain);
  const swrunner::Scenario demo = swrunner::demoScenario();
  const auto host = runScenario(demo, plugin);
  for (const swhost::EventResult& result : host->record().results) {
    EXPECT_EQ(result.result, 0) << result.caller << "/" << result.selector;
  }
  EXPECT_EQ(host->record().results.size(), demo.events.size());
  EXPECT_TRUE(host->record().violations.empty());
  EXPECT_FALSE(host->pluginGlobals());

  // Both drags were full ones: two downs, two draws, two ups; the second
  // with Shift.
  std::size_t downs = 0;
  for (const swhost::Event& event : demo.events) downs += event.selector == "AI Mouse Down" ? 1 : 0;
  EXPECT_EQ(downs, 2u);
  const std::vector<swhost::Path> before = host->initialPaths();
  const std::vector<swhost::Path> after = host->document().paths();
  ASSERT_EQ(after.size(), before.size());
  ASSERT_GE(before.size(), 3u);
  for (std::size_t p = 0; p < before.size(); ++p) {
    ASSERT_EQ(after[p].segments.size(), before[p].segments.size());
    for (std::size_t i = 0; i < before[p].segments.size(); ++i) {
      const hostapi::ArtworkPoint was = before[p].segments[i].anchor;
      const hostapi::ArtworkPoint now = after[p].segments[i].anchor;
      // Up by 80 from y = -80: heights times 1.4. Then right by 300 with
      // Shift from x = 0: widths times 1 - 300/200 = -0.5, a mirror.
      EXPECT_NEAR(now.y, -80.0f + (was.y + 80.0f) * 1.4f, 1e-3f) << before[p].name << " " << i;
      EXPECT_NEAR(now.x, -0.5f * was.x, 1e-3f) << before[p].name << " " << i;
      EXPECT_EQ(std::memcmp(after[p].segments[i].hostData, before[p].segments[i].hostData, 4), 0);
    }
  }
  // The latest feedback is the Shift drag's, in light blue.
  const std::vector<swhost::DrawnLine>& drawing = host->record().drawing;
  ASSERT_EQ(drawing.size(), 2u);
  EXPECT_EQ(drawing[0].color.red, 0x3333);
  EXPECT_EQ(drawing[0].color.blue, 0xFFFF);
  EXPECT_EQ(drawing[1].dash, std::vector<float>{4.0f});

  const std::string summary = swrunner::runSummary(demo, *host);
  for (const swhost::Path& path : before) EXPECT_NE(summary.find(path.name + ": "), std::string::npos);
  EXPECT_NE(summary.find("AI Mouse Down at (0, 0), Shift down -> 0"), std::string::npos) << summary;
}

}  // namespace
