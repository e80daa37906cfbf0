// The tool's and the about item's behaviour, played from the scenario files
// in scenarios/ through the runner, as a user of slantwarper-host sees it.
// The same files run under wine against slantWarper.aip, where the reports
// must match these byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host/runner/plugin_module.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"

namespace {

using hostapi::HostError;

// Runs one example scenario with the plug-in linked in, and quits the host
// afterwards so no plug-in state outlives the test.
class ScenarioBehaviour : public ::testing::Test {
 protected:
  const swhost::Host& run(const std::string& name) {
    scenario_ = swrunner::loadScenarioFile(std::string(SW_SOURCE_DIR) + "/scenarios/" + name);
    host_ = swrunner::runScenario(scenario_, plugin_);
    return *host_;
  }
  void TearDown() override {
    if (host_) swrunner::quitHost(*host_, plugin_);
    host_.reset();
  }

  std::vector<HostError> results() const {
    std::vector<HostError> codes;
    for (const auto& result : host_->record().results) codes.push_back(result.result);
    return codes;
  }
  swhost::Path path(std::size_t index) const { return host_->document().paths().at(index); }
  std::size_t count(const std::string& call) const {
    const auto& calls = host_->record().calls;
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
  }
  void expectClean() const {
    EXPECT_TRUE(host_->record().violations.empty());
    EXPECT_EQ(host_->liveBlocks(), 0u);
    EXPECT_EQ(host_->liveStrings(), 0u);
    EXPECT_EQ(host_->liveMatchingAnswers(), 0u);
    for (const auto& [suite, held] : host_->heldSuites()) EXPECT_LE(held, 1) << suite;
  }

  swrunner::LinkedPlugin plugin_{&PluginMain};
  swrunner::Scenario scenario_;
  std::unique_ptr<swhost::Host> host_;
};

constexpr HostError code(const char (&text)[5]) { return hostapi::fourCharCode(text[0], text[1], text[2], text[3]); }

TEST_F(ScenarioBehaviour, ShiftMirrorsPastTwiceTheDivisor) {
  const auto& host = run("shift_sequence.json");
  EXPECT_EQ(results(), std::vector<HostError>(9, 0));
  EXPECT_NEAR(path(0).segments[0].anchor.x, -25.0f, 1e-4);
  EXPECT_NEAR(path(0).segments[0].anchor.y, 30.0f, 1e-4);
  ASSERT_EQ(host.record().drawing.size(), 2u);
  EXPECT_EQ(host.record().drawing[0].color.red, 0x3333);  // drawn with Shift held
  EXPECT_EQ(host.document().size(), 1u);
  expectClean();
}

TEST_F(ScenarioBehaviour, AClickIsUndoneAndTheDocumentIsAsBefore) {
  const auto& host = run("click_undo.json");
  EXPECT_EQ(results(), std::vector<HostError>(5, 0));
  EXPECT_EQ(host.record().undos, 1);
  const auto& calls = host.record().calls;
  const auto dispose = std::find(calls.begin(), calls.end(), "AI Art Suite/dispose art");
  const auto undo = std::find(calls.begin(), calls.end(), "AI Undo Suite/undo changes");
  EXPECT_LT(dispose, undo);
  ASSERT_EQ(host.document().size(), 1u);
  const auto& before = host.initialPaths()[0].segments;
  const auto after = path(0).segments;
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(std::memcmp(after.data(), before.data(), before.size() * sizeof(hostapi::PathSegment)), 0);
  expectClean();
}

TEST_F(ScenarioBehaviour, EmptyAndUnselectedPathsStayAsTheyWereAndADragBackToTheStartWritesNothing) {
  const auto& host = run("mixed_selection.json");
  EXPECT_EQ(results(), std::vector<HostError>(7, 0));
  EXPECT_EQ(count("AI Path Suite/set segments"), 1u);  // the drag back to the start writes nothing
  const auto four = path(0);
  EXPECT_NEAR(four.segments[0].anchor.x, 20.0f, 1e-4);
  EXPECT_NEAR(four.segments[1].in.x, 30.0f, 1e-4);
  EXPECT_NEAR(four.segments[2].anchor.x, 60.0f, 1e-4);
  EXPECT_TRUE(path(1).segments.empty());
  EXPECT_EQ(path(2).segments[1].anchor.x, 50.0f);  // not selected
  // The feedback still shows the last drag that moved anything.
  ASSERT_EQ(host.record().drawing.size(), 2u);
  EXPECT_EQ(host.record().drawing[0].to.x, 200);
  expectClean();
}

TEST_F(ScenarioBehaviour, TheFeedbackRectangleIsWhatEveryLaterEraseUses) {
  const auto& host = run("feedback_rect.json");
  EXPECT_EQ(results(), std::vector<HostError>(8, 0));
  const auto& invalidated = host.record().invalidated;
  ASSERT_EQ(invalidated.size(), 3u);
  const std::vector<std::int32_t> expected{5, -85, 115, 125};
  for (std::size_t i : {1u, 2u}) {
    EXPECT_EQ((std::vector<std::int32_t>{invalidated[i].left, invalidated[i].top, invalidated[i].right,
                                         invalidated[i].bottom}),
              expected);
  }
  EXPECT_EQ(host.record().cursors, std::vector<std::int32_t>{16001});
  EXPECT_FALSE(host.annotatorActive());
  expectClean();
}

TEST_F(ScenarioBehaviour, AFailedDuplicationLeavesTheAnnotatorOffAndNoCopyBehind) {
  const auto& host = run("failed_duplication.json");
  EXPECT_EQ(results(), (std::vector<HostError>{0, code("!dup"), 0, 0, 0}));
  EXPECT_EQ(count("AI Annotator Suite/set active"), 2u);  // inactive at startup and at mouse-up only
  ASSERT_EQ(host.document().size(), 2u);
  EXPECT_NEAR(path(0).segments[0].anchor.x, 75.0f, 1e-4);  // paired with its copy: stretched
  EXPECT_EQ(path(1).segments[0].anchor.x, 60.0f);          // unpaired: left alone
  EXPECT_FALSE(host.annotatorActive());
  expectClean();
}

TEST_F(ScenarioBehaviour, AFailedConversionDrawsNothing) {
  const auto& host = run("failed_conversion.json");
  EXPECT_EQ(results(), (std::vector<HostError>{0, 0, 0, 0, code("!cnv"), 0, 0}));
  EXPECT_TRUE(host.record().drawing.empty());
  expectClean();
}

TEST_F(ScenarioBehaviour, TheFirstPlugInMakesTheSharedSubmenuAndItsItemShowsTheAboutText) {
  const auto& host = run("about_new_group.json");
  EXPECT_EQ(results(), std::vector<HostError>(4, 0));
  const auto& items = host.record().menuItems;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].group, "About");
  EXPECT_EQ(items[1].group, "AboutPKPlugIns");
  EXPECT_EQ(items[1].text, "slantWarper...");
  ASSERT_EQ(host.record().alerts.size(), 1u);  // the parent item shows nothing
  const std::string& text = host.record().alerts[0];
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  expectClean();
}

TEST_F(ScenarioBehaviour, ALaterPlugInJoinsTheFirstSharedGroup) {
  const auto& host = run("about_shared_group.json");
  EXPECT_EQ(results(), std::vector<HostError>(3, 0));
  ASSERT_EQ(host.record().menuItems.size(), 1u);
  EXPECT_EQ(host.record().menuItems[0].group, "AboutPKPlugIns");
  EXPECT_EQ(count("AI Menu Suite/add menu group as submenu"), 0u);
  EXPECT_EQ(count("AI Menu Suite/menu group name"), 2u);
  EXPECT_EQ(host.record().alerts.size(), 1u);
  expectClean();
}

TEST_F(ScenarioBehaviour, AnUnknownIconFailsStartup) {
  const auto& host = run("icon_unknown.json");
  EXPECT_EQ(results(), (std::vector<HostError>{0x2169636F, 0}));
  EXPECT_TRUE(host.record().tools.empty());
  expectClean();
}

}  // namespace
