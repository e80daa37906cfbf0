// Host actions under the checked runs: scenarios/undo_redo.json (undo and
// redo around drags and a click, during a press too) with every host call
// of its messages failing once, each in its own run, and every message and
// action checked as the checked runs check them. And the checker's own
// test: an action that makes a document never seen before is caught.
#include <gtest/gtest.h>

#include <sstream>

#include "host/runner/run.h"
#include "host/runner/scenario.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/reference_scenarios.h"
#include "tests/support/session.h"

namespace {

using swrel::CheckedRun;
using swrunner::HostAction;
using swrunner::Scenario;

// Plays the scenario's messages and its host actions in their places.
void play(CheckedRun& run, const Scenario& scenario) {
  auto action = scenario.actions.begin();
  const auto actBefore = [&](std::size_t index) {
    for (; action != scenario.actions.end() && action->beforeEvent <= index; ++action) {
      const HostAction& now = *action;
      run.act(now.kind == HostAction::Kind::undo   ? "undo"
              : now.kind == HostAction::Kind::redo ? "redo"
                                                   : "select or view",
              [&](swhost::Host& host) { swrunner::applyHostAction(host, now); });
    }
  };
  for (std::size_t index = 0; index < scenario.events.size(); ++index) {
    actBefore(index);
    run.deliver(scenario.events[index]);
  }
  actBefore(scenario.events.size());
  run.finish();
}

TEST(HistorySweep, EveryHostCallOfTheUndoRedoScenarioFailsOnceAndEveryActionIsChecked) {
  const Scenario scenario = swrunner::loadScenarioFile(std::string(SW_SOURCE_DIR) + "/scenarios/undo_redo.json");
  std::vector<std::string> calls;
  {
    CheckedRun clean(scenario.world);
    play(clean, scenario);
    ASSERT_TRUE(clean.clean()) << clean.problems().front();
    const auto& log = clean.host().record().calls;
    calls.assign(log.begin(), log.end());
  }
  std::size_t failures = 0;
  std::vector<std::string> first;
  for (std::size_t index = 0; index < calls.size(); ++index) {
    std::int64_t nth = 0;
    for (std::size_t i = 0; i <= index; ++i) nth += calls[i] == calls[index] ? 1 : 0;
    swhost::World world = scenario.world;
    world.faults = {swhost::Fault{calls[index], nth, static_cast<hostapi::HostError>(0x46000000 + index)}};
    CheckedRun run(world);
    play(run, scenario);
    if (run.clean()) continue;
    ++failures;
    if (first.size() < 8) first.push_back(calls[index] + " #" + std::to_string(nth) + ": " + run.problems().front());
  }
  std::ostringstream figure;
  figure << "history sweep: " << calls.size() << " fault points in scenarios/undo_redo.json, " << failures
         << " failures";
  swrel::reportFigure("history_sweep.txt", figure.str());
  EXPECT_EQ(failures, 0u);
  for (const std::string& problem : first) ADD_FAILURE() << problem;
}

TEST(HistorySweep, AnActionThatMakesADocumentNeverSeenIsCaught) {
  swhost::World world;
  world.paths = {swtest::cornerPath("art", {{1, 2}, {3, 4}})};
  CheckedRun run(world);
  run.undo();
  EXPECT_TRUE(run.clean()) << "an undo with nothing to undo changes nothing";
  run.act("tamper", [](swhost::Host& host) {
    host.document().findForChange(host.document().handles()[0])->segments[0].anchor.x = 7;
  });
  ASSERT_FALSE(run.clean());
  EXPECT_NE(run.problems().front().find("the document is one it has never been"), std::string::npos)
      << run.problems().front();
}

}  // namespace
