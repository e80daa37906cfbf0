// Every allocation the plug-in's own code makes in each reference scenario
// (its art lists, segment buffers), failed once, each in its own run: the
// message reports kOutOfMemoryError and nothing escapes, leaks or is lost.
#include <gtest/gtest.h>

#include <sstream>

#include "bridge/error_codes.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/failing_new.h"
#include "tests/reliability/reference_scenarios.h"

namespace {

using swrel::CheckedRun;

// Fails the plug-in's nth allocation for the lifetime of one run.
class FailingAllocation {
 public:
  explicit FailingAllocation(std::uint64_t nth) { swrel::failPluginAllocation(nth); }
  ~FailingAllocation() { swrel::failPluginAllocation(0); }
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;
};

TEST(AllocationSweep, EveryPluginAllocationOfEveryReferenceScenarioFailsOnce) {
  const std::vector<swrel::ReferenceScenario> references = swrel::loadReferenceScenarios();
  ASSERT_GE(references.size(), 3u);
  std::size_t points = 0;
  std::size_t failures = 0;
  for (const swrel::ReferenceScenario& reference : references) {
    std::uint64_t counted = 0;
    // Fail the 1st, 2nd, ... allocation until a run makes fewer than n.
    for (std::uint64_t nth = 1;; ++nth) {
      CheckedRun run(reference.scenario.world);
      {
        const FailingAllocation failing(nth);
        run.deliverAll(reference.scenario.events);
        run.finish();
        counted = swrel::pluginAllocations();
      }
      if (!run.allocationFailureEvent()) {
        EXPECT_TRUE(run.clean()) << reference.name << ": " << run.problems().front();
        EXPECT_EQ(nth, counted + 1) << reference.name;
        break;
      }
      ++points;
      const std::size_t event = *run.allocationFailureEvent();
      const bool reported = run.results()[event] == kOutOfMemoryError;
      if (!run.clean() || !reported) {
        ++failures;
        ADD_FAILURE() << reference.name << ", allocation " << nth << " failing, in message " << event << ": "
                      << (run.clean() ? "result " + std::to_string(run.results()[event]) : run.problems().front());
      }
      ASSERT_LT(nth, 10000u) << "the sweep does not end";
    }
    EXPECT_GT(counted, 0u) << reference.name << " makes no allocation to fail";
  }
  std::ostringstream figure;
  figure << "allocation sweep: " << points << " allocation points in " << references.size() << " reference scenarios, "
         << failures << " failures";
  swrel::reportFigure("allocation_sweep.txt", figure.str());
  EXPECT_EQ(failures, 0u);
}

}  // namespace
