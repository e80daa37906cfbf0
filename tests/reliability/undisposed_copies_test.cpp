// Copies the host refuses to dispose: every later press leaves them alone,
// so the document grows by the selection per press instead of doubling, and
// a disposal that succeeds later removes each of them once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "bridge/globals.h"
#include "host/runner/scenario.h"
#include "tests/reliability/checked_run.h"

namespace {

using swrel::CheckedRun;

constexpr const char* kDispose = "AI Art Suite/dispose art";
constexpr const char* kDuplicate = "AI Art Suite/duplicate art";

// Two selected paths, every disposal refused, twelve presses (down, drag,
// up), shutdown.
swrunner::Scenario everyDisposalRefused() {
  return swrunner::loadScenarioFile(std::filesystem::path(SW_SOURCE_DIR) / "scenarios" / "every_disposal_refused.json");
}

std::size_t count(const CheckedRun& run, const std::string& call) {
  const auto& calls = run.host().record().calls;
  return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

TEST(UndisposedCopies, EachPressWhoseDisposalsAreRefusedAddsOnlyTheSelection) {
  const swrunner::Scenario scenario = everyDisposalRefused();
  const std::size_t presses = 12;
  const std::size_t selection = scenario.world.paths.size();
  CheckedRun run(scenario.world);
  const std::vector<hostapi::ArtHandle> userPaths = run.host().document().handles();
  for (const swhost::Event& event : scenario.events) {
    run.deliver(event);
    if (swrel::isMessage(event, "AI Tool", "AI Mouse Down")) {
      // The user's paths, never a copy an earlier press could not dispose.
      EXPECT_EQ(*gGlobals->targetPaths, userPaths);
    }
  }
  EXPECT_EQ(count(run, kDuplicate), presses * selection);
  EXPECT_LE(run.host().document().size(), selection + presses * selection);
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

TEST(UndisposedCopies, ALaterDisposalRemovesEachCopyOnce) {
  swrunner::Scenario scenario = everyDisposalRefused();
  std::size_t refusals = 0;
  {
    CheckedRun refusing(scenario.world);
    refusing.deliverAll(scenario.events);
    refusals = count(refusing, kDispose);
  }
  // The same disposals refused one by one, then, before the shutdown, a
  // press the host lets dispose: it removes every copy of the twelve presses
  // and its own.
  scenario.world.faults.clear();
  for (std::size_t nth = 1; nth <= refusals; ++nth) {
    scenario.world.faults.push_back({kDispose, static_cast<std::int64_t>(nth), 1234});
  }
  const std::vector<swhost::Event> press(scenario.events.end() - 4, scenario.events.end() - 1);
  scenario.events.insert(scenario.events.end() - 1, press.begin(), press.end());
  CheckedRun run(scenario.world);
  run.deliverAll(scenario.events);
  EXPECT_EQ(run.firedFaults().size(), refusals);
  EXPECT_TRUE(run.duplicates().empty());
  EXPECT_EQ(run.host().document().size(), scenario.world.paths.size());
  // A copy disposed twice would be a broken host contract, which the checked
  // run reports; every copy made was disposed.
  EXPECT_EQ(count(run, kDispose) - refusals, count(run, kDuplicate));
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

}  // namespace
