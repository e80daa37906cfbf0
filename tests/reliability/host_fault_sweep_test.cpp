// Every host call the plug-in makes in each reference scenario, failed once,
// each in its own run: nothing may escape, leak, stay held, or be left in
// the user's document beyond what the failure rules name.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "bridge/error_codes.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/fault_effects.h"
#include "tests/reliability/kept_cases.h"
#include "tests/reliability/reference_scenarios.h"

namespace {

using hostapi::HostError;
using swrel::CheckedRun;
using swrel::FaultEffect;
using swrel::KeptCase;

// A distinct code for each fault point, none of them 0 or the plug-in's own.
HostError faultCode(std::size_t point) { return static_cast<HostError>(0x46000000u + point); }

struct CleanRun {
  std::vector<std::string> calls;  // the calls of the scenario's messages
  std::vector<std::size_t> eventOfCall;
  std::vector<HostError> results;
  std::vector<bool> undone;  // per message: it asked for an undo
};

CleanRun runClean(const swrunner::Scenario& scenario) {
  CheckedRun run(scenario.world);
  run.deliverAll(scenario.events);
  run.finish();
  EXPECT_TRUE(run.clean()) << run.problems().front();
  CleanRun clean;
  const auto& calls = run.host().record().calls;
  for (std::size_t event = 0; event < scenario.events.size(); ++event) {
    const swrel::EventSpan span = run.spans()[event];
    bool undo = false;
    for (std::size_t i = span.first; i < span.end; ++i) {
      clean.calls.push_back(calls[i]);
      clean.eventOfCall.push_back(event);
      undo = undo || calls[i] == "AI Undo Suite/undo changes";
    }
    clean.undone.push_back(undo);
    clean.results.push_back(run.results()[event]);
  }
  return clean;
}

struct Tally {
  std::size_t points = 0;
  std::size_t comparisons = 0;  // failed string comparisons among the points
  std::size_t misroutes = 0;    // ... that sent a message elsewhere, or nowhere
  std::size_t failures = 0;
  std::vector<std::string> firstProblems;
  std::map<KeptCase, std::size_t> observed;  // runs where a named case kept something

  void fail(const std::string& where, const std::vector<std::string>& problems) {
    ++failures;
    for (const std::string& problem : problems) {
      if (firstProblems.size() < 12) firstProblems.push_back(where + ": " + problem);
    }
  }
};

// Runs the scenario with its nth call failing, checks, and tallies.
void sweepPoint(const swrel::ReferenceScenario& reference, const CleanRun& clean, std::size_t index, Tally& tally) {
  const std::string& call = clean.calls[index];
  std::int64_t nth = 0;
  for (std::size_t i = 0; i <= index; ++i) nth += clean.calls[i] == call ? 1 : 0;
  const HostError code = faultCode(tally.points);
  ++tally.points;

  swhost::World world = reference.scenario.world;
  world.faults = {swhost::Fault{call, nth, code}};
  CheckedRun run(world);
  run.deliverAll(reference.scenario.events);
  run.finish();

  std::vector<std::string> problems = run.problems();
  const std::size_t event = clean.eventOfCall[index];
  const swhost::Event& message = reference.scenario.events[event];
  if (run.firedFaults().size() != 1 || run.firedFaults()[0].event != event) {
    problems.push_back("the fault did not fire once, in message " + std::to_string(event));
  } else {
    const FaultEffect effect = swrel::faultEffect(call, message.caller, message.selector);
    if (effect == FaultEffect::misroute) {
      ++tally.comparisons;
      // Misrouted: the host calls of the scenario differ from the clean run's.
      const auto& calls = run.host().record().calls;
      const auto end = calls.begin() + static_cast<std::ptrdiff_t>(run.spans()[clean.results.size() - 1].end);
      if (!std::equal(calls.begin(), end, clean.calls.begin(), clean.calls.end())) ++tally.misroutes;
    }
    // An ignored result leaves the message's result as it was.
    if (effect == FaultEffect::ignored && run.results()[event] != clean.results[event]) {
      problems.push_back("an ignored failure changed the result to " + std::to_string(run.results()[event]));
    }
    const swrel::KeptPermission allowed =
        swrel::keptPermission(run.firedFaults()[0], reference.scenario.events, clean.undone);
    if (!run.duplicates().empty()) {
      if (allowed.copies) {
        ++tally.observed[*allowed.copies];
      } else {
        problems.push_back(std::to_string(run.duplicates().size()) + " copy(ies) left in the document");
      }
    }
    if (run.host().annotatorActive()) {
      if (allowed.annotator) {
        ++tally.observed[*allowed.annotator];
      } else {
        problems.push_back("the annotator is left active");
      }
    }
  }
  if (!problems.empty()) {
    std::ostringstream where;
    where << reference.name << ", \"" << call << "\" #" << nth << " failing";
    tally.fail(where.str(), problems);
  }
}

TEST(HostFaultSweep, EveryHostCallOfEveryReferenceScenarioFailsOnce) {
  const std::vector<swrel::ReferenceScenario> references = swrel::loadReferenceScenarios();
  ASSERT_GE(references.size(), 3u);
  Tally tally;
  for (const swrel::ReferenceScenario& reference : references) {
    const CleanRun clean = runClean(reference.scenario);
    for (const HostError result : clean.results) ASSERT_EQ(result, 0) << reference.name << " does not run clean";
    for (std::size_t index = 0; index < clean.calls.size(); ++index) sweepPoint(reference, clean, index, tally);
  }

  std::ostringstream figure;
  figure << "host-fault sweep: " << tally.points << " fault points in " << references.size() << " reference scenarios ("
         << tally.comparisons << " failed string comparisons, " << tally.misroutes << " of them misrouting a message), "
         << tally.failures << " failures";
  swrel::reportFigure("host_fault_sweep.txt", figure.str());
  EXPECT_EQ(tally.failures, 0u);
  for (const std::string& problem : tally.firstProblems) ADD_FAILURE() << problem;

  // Every case the sweep can reach with one failure was reached, so none of
  // its allowances is idle.
  for (const swrel::KeptCaseInfo& info : swrel::keptCases()) {
    const bool reachable = info.id <= KeptCase::deactivationFails;
    if (reachable) {
      EXPECT_GT(tally.observed[info.id], 0u) << info.name;
    }
  }
}

}  // namespace
