// The failures after which copies stay in the user's document or the
// annotator stays active (kept_cases.h), each shown happening exactly as
// named; and the messages a failed string comparison misroutes, each shown
// costing nothing the end of the run does not recover.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/kept_cases.h"
#include "tests/support/session.h"

namespace {

using hostapi::HostError;
using swhost::Event;
using swrel::CheckedRun;
using swrel::KeptCase;

constexpr HostError kCode = 0x4B455054;  // 'KEPT'
constexpr const char* kCompare = "SP Basic Suite/compare strings";

swhost::World twoPaths() {
  swhost::World world;
  world.paths = {swtest::cornerPath("a", {{50, 30}, {70, 30}, {60, 50}}),
                 swtest::cornerPath("b", {{-40, 10}, {-20, 10}})};
  return world;
}

Event message(const std::string& caller, const std::string& selector) { return Event{caller, selector, {}, {}, {}}; }
Event tool(const std::string& selector, float x, float y) {
  return Event{"AI Tool", selector, hostapi::ArtworkPoint{x, y}, {}, {}};
}

const Event kStartup = message("SP Interface", "Startup");
const Event kUnload = message("SP Access", "Unload");
const Event kReload = message("SP Access", "Reload");
const Event kShutdown = message("SP Interface", "Shutdown");

// startup, then a drag from (0, 0) to (100, 0).
std::vector<Event> drag() {
  return {kStartup, tool("AI Mouse Down", 0, 0), tool("AI Mouse Drag", 100, 0), tool("AI Mouse Up", 100, 0)};
}

std::vector<Event> operator+(std::vector<Event> events, const std::vector<Event>& more) {
  events.insert(events.end(), more.begin(), more.end());
  return events;
}

// The run-wide number of the `occurrence`th call `call` that message `event`
// makes when nothing fails.
std::int64_t nthCall(const swhost::World& world, const std::vector<Event>& events, std::size_t event,
                     const std::string& call, std::int64_t occurrence) {
  CheckedRun run(world);
  run.deliverAll(events);
  const auto& calls = run.host().record().calls;
  std::int64_t before = 0;
  for (std::size_t i = 0; i < run.spans()[event].first; ++i) before += calls[i] == call ? 1 : 0;
  return before + occurrence;
}

// The run-wide number of the first comparison in message `event` whose
// failure makes `misrouted` true of the finished run.
std::int64_t routingComparison(const swhost::World& world, const std::vector<Event>& events, std::size_t event,
                               const std::function<bool(const CheckedRun&)>& misrouted) {
  for (std::int64_t occurrence = 1; occurrence < 100; ++occurrence) {
    swhost::World faulty = world;
    faulty.faults = {{kCompare, nthCall(world, events, event, kCompare, occurrence), kCode}};
    CheckedRun run(faulty);
    run.deliverAll(events);
    if (misrouted(run)) return faulty.faults[0].nth;
  }
  ADD_FAILURE() << "no comparison in message " << event << " misroutes it that way";
  return 1;
}

// Only comparisons: no handler ran.
bool dropped(const CheckedRun& run, std::size_t event) {
  const auto& calls = run.host().record().calls;
  for (std::size_t i = run.spans()[event].first; i < run.spans()[event].end; ++i) {
    if (calls[i] != kCompare) return false;
  }
  return true;
}

bool called(const CheckedRun& run, std::size_t event, const std::string& call) {
  const auto& calls = run.host().record().calls;
  for (std::size_t i = run.spans()[event].first; i < run.spans()[event].end; ++i) {
    if (calls[i] == call) return true;
  }
  return false;
}

// One named case shown: its messages, the failures (message, call, which of
// that message's calls), and what the document and the annotator hold after
// message `checkAt`.
struct Demonstration {
  KeptCase id;
  std::vector<Event> events;
  struct Failure {
    std::size_t event;
    std::string call;  // empty: the comparison that routes the message nowhere
    std::int64_t occurrence;
    bool returned;  // the message returns the code; otherwise 0
  };
  std::vector<Failure> failures;
  std::size_t checkAt;
  std::size_t copies;
  bool annotatorActive;
};

std::vector<Demonstration> demonstrations() {
  const Event click[] = {tool("AI Mouse Down", 5, 5), tool("AI Mouse Up", 5, 5)};
  const std::vector<Event> clickAfterDrag = drag() + std::vector<Event>{click[0], click[1]};
  const std::vector<Event> dragAfterDrag =
      drag() + std::vector<Event>{tool("AI Mouse Down", 5, 5), tool("AI Mouse Up", 60, 5)};
  return {
      {KeptCase::mouseUpCannotAcquire, drag(), {{3, "SP Basic Suite/acquire suite AI Art Suite", 1, true}}, 3, 2, true},
      {KeptCase::mouseUpDisposalFails, drag(), {{3, "AI Art Suite/dispose art", 2, true}}, 3, 1, true},
      {KeptCase::mouseUpNeverDelivered, drag(), {{3, "", 0, false}}, 3, 2, true},
      {KeptCase::clickUndoRestoresLeftovers, clickAfterDrag, {{3, "AI Art Suite/dispose art", 1, true}}, 5, 2, false},
      {KeptCase::mouseUpFailsAfterDisposal, drag(), {{3, "AI Document View Suite/nth view", 1, true}}, 3, 0, true},
      {KeptCase::deactivationFails, drag(), {{3, "AI Annotator Suite/set active", 1, false}}, 3, 0, true},
      {KeptCase::dragCutShortByUnload,
       {kStartup, tool("AI Mouse Down", 0, 0), tool("AI Mouse Drag", 100, 0), kUnload, kReload},
       {},
       4,
       2,
       true},
      {KeptCase::mouseDownCannotAcquire,
       dragAfterDrag,
       {{3, "AI Art Suite/dispose art", 1, true}, {4, "SP Basic Suite/acquire suite AI Art Suite", 1, true}},
       5,
       2,
       true},
      {KeptCase::leftoverDisposalFails,
       dragAfterDrag,
       {{3, "AI Art Suite/dispose art", 1, true}, {4, "AI Art Suite/dispose art", 1, false}},
       5,
       1,
       false},
      {KeptCase::startupCannotDeactivate, drag(), {{0, "AI Annotator Suite/set active", 1, true}}, 0, 0, true},
  };
}

TEST(KeptCases, EachNamedCaseKeepsExactlyWhatItSays) {
  const std::vector<Demonstration> shown = demonstrations();
  for (const swrel::KeptCaseInfo& info : swrel::keptCases()) {
    SCOPED_TRACE(std::string(info.name));
    const auto demo = std::find_if(shown.begin(), shown.end(), [&](const Demonstration& d) { return d.id == info.id; });
    ASSERT_NE(demo, shown.end()) << "no demonstration";

    swhost::World world = twoPaths();
    for (std::size_t i = 0; i < demo->failures.size(); ++i) {
      const Demonstration::Failure& failure = demo->failures[i];
      const HostError code = kCode + static_cast<HostError>(i);
      if (failure.call.empty()) {
        const std::int64_t nth = routingComparison(world, demo->events, failure.event,
                                                   [&](const CheckedRun& run) { return dropped(run, failure.event); });
        world.faults.push_back({kCompare, nth, code});
      } else {
        // Counted in the run with the earlier failures in place.
        world.faults.push_back(
            {failure.call, nthCall(world, demo->events, failure.event, failure.call, failure.occurrence), code});
      }
    }
    CheckedRun run(world);
    for (std::size_t i = 0; i <= demo->checkAt; ++i) run.deliver(demo->events[i]);
    EXPECT_EQ(run.duplicates().size(), demo->copies);
    EXPECT_EQ(run.host().annotatorActive(), demo->annotatorActive);
    for (std::size_t i = 0; i < demo->failures.size(); ++i) {
      const Demonstration::Failure& failure = demo->failures[i];
      EXPECT_EQ(run.results()[failure.event], failure.returned ? kCode + static_cast<HostError>(i) : 0)
          << "message " << failure.event;
    }
    EXPECT_EQ(run.firedFaults().size(), demo->failures.size());
    if (info.keepsCopies) {
      EXPECT_GT(demo->copies, 0u);
    }
    if (info.holdsAnnotator) {
      EXPECT_TRUE(demo->annotatorActive);
    }
    // Whatever is kept, the checker finds nothing else wrong, to the end.
    for (std::size_t i = demo->checkAt + 1; i < demo->events.size(); ++i) run.deliver(demo->events[i]);
    run.finish();
    for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
  }
}

TEST(KeptCases, AFailedMouseUpFollowedByAPlainDragLeavesNoCopy) {
  // The next mouse-down removes what the failed mouse-up left.
  swhost::World world = twoPaths();
  const std::vector<Event> events =
      drag() +
      std::vector<Event>{tool("AI Mouse Down", 5, 5), tool("AI Mouse Drag", 5, 60), tool("AI Mouse Up", 5, 60)};
  world.faults = {{"AI Art Suite/dispose art", 1, kCode}};
  CheckedRun run(world);
  run.deliverAll(events);
  EXPECT_EQ(run.results()[3], kCode);
  EXPECT_TRUE(run.duplicates().empty());
  EXPECT_FALSE(run.host().annotatorActive());
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

TEST(MisroutedMessages, AStartupThatNeverReachesItsHandlerLeavesThePlugInRefusingWork) {
  const swhost::World world = twoPaths();
  const std::vector<Event> events = drag();
  swhost::World faulty = world;
  faulty.faults = {{kCompare,
                    routingComparison(world, events, 0,
                                      [](const CheckedRun& run) {
                                        return called(run, 0, "SP Basic Suite/acquire suite AI Art Suite") &&
                                               !called(run, 0, "SP Basic Suite/allocate block");
                                      }),
                    kCode}};
  CheckedRun run(faulty);
  run.deliverAll(events);
  EXPECT_EQ(run.results()[0], 0);  // the fallback's acquire result
  EXPECT_EQ(run.host().liveBlocks(), 0u);
  EXPECT_EQ(run.results()[1], kNotStartedError);
  EXPECT_TRUE(run.duplicates().empty());
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

TEST(MisroutedMessages, ADroppedMouseDownMakesNoCopyAndTheDragChangesNothing) {
  const swhost::World world = twoPaths();
  const std::vector<Event> events = drag();
  swhost::World faulty = world;
  faulty.faults = {
      {kCompare, routingComparison(world, events, 1, [](const CheckedRun& run) { return dropped(run, 1); }), kCode}};
  CheckedRun run(faulty);
  run.deliverAll(events);
  EXPECT_EQ(run.results(), (std::vector<HostError>{0, 0, 0, 0}));
  EXPECT_TRUE(run.duplicates().empty());
  EXPECT_EQ(run.host().document().paths()[0].segments[0].anchor.x, 50.0f);
  EXPECT_FALSE(run.host().annotatorActive());
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

TEST(MisroutedMessages, AShutdownSentToTheFallbackLeavesTheBlockToTheQuittingShutdown) {
  const swhost::World world = twoPaths();
  const std::vector<Event> events = {kStartup, kShutdown};
  swhost::World faulty = world;
  faulty.faults = {{kCompare,
                    routingComparison(world, events, 1,
                                      [](const CheckedRun& run) {
                                        return called(run, 1, "SP Basic Suite/acquire suite AI Art Suite");
                                      }),
                    kCode}};
  CheckedRun run(faulty);
  run.deliverAll(events);
  EXPECT_EQ(run.results()[1], 0);
  EXPECT_EQ(run.host().liveBlocks(), 1u);
  EXPECT_NE(gGlobals, nullptr);
  run.finish();
  EXPECT_EQ(run.host().liveBlocks(), 0u);
  EXPECT_EQ(gGlobals, nullptr);
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

TEST(MisroutedMessages, AReloadThePlugInNeverSeesLeavesItsBlockWithTheHost) {
  const swhost::World world = twoPaths();
  const std::vector<Event> events = {kStartup, kUnload, kReload, tool("AI Mouse Down", 0, 0)};
  swhost::World faulty = world;
  // A reload calls nothing of the host: it was lost if the plug-in then
  // refuses work.
  faulty.faults = {
      {kCompare,
       routingComparison(world, events, 2, [](const CheckedRun& run) { return run.results()[3] == kNotStartedError; }),
       kCode}};
  CheckedRun run(faulty);
  run.deliverAll(events);
  EXPECT_EQ(run.results()[2], 0);
  EXPECT_EQ(run.results()[3], kNotStartedError);
  run.finish();
  EXPECT_EQ(run.host().liveBlocks(), 1u);  // the host's to free when it quits
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

}  // namespace
