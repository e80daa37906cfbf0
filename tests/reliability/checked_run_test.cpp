// The checker itself: stand-in plug-ins that each do one thing a plug-in must
// never do to its host, and what the checker says about them. A checker that
// let any of these pass would make every sweep meaningless.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "bridge/error_codes.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/failing_new.h"
#include "tests/support/session.h"

namespace {

using namespace hostapi;
using swhost::Event;
using swrel::CheckedRun;

swhost::World onePath() {
  swhost::World world;
  world.paths = {swtest::cornerPath("art", {{1, 2}})};
  return world;
}

const Event kMouseDown{"AI Tool", "AI Mouse Down", ArtworkPoint{0, 0}, {}, {}};

bool is(const char* a, const char* b) { return std::string(a) == b; }

template <typename Suite>
const Suite* acquire(const MessageHeader& header, const char* name, std::int32_t version) {
  const void* suite = nullptr;
  header.basic->acquireSuite(name, version, &suite);
  return static_cast<const Suite*>(suite);
}

// The selected art, from a matching-art answer given back at once.
std::vector<ArtHandle> selection(const MessageHeader& header) {
  const auto* matching = acquire<MatchingArtSuite>(header, kMatchingArtSuiteName, kMatchingArtSuiteVersion);
  const auto* memory = acquire<MdMemorySuite>(header, kMdMemorySuiteName, kMdMemorySuiteVersion);
  const MatchingArtSpec selectedPaths{kPathArt, kArtSelected, kArtSelected};
  ArtArrayHandle answer = nullptr;
  std::int32_t count = 0;
  matching->matchingArt(&selectedPaths, 1, &answer, &count);
  std::vector<ArtHandle> art;
  if (answer != nullptr) art.assign(*answer, *answer + count);
  if (answer != nullptr) memory->disposeHandle(answer);
  header.basic->releaseSuite(kMatchingArtSuiteName, kMatchingArtSuiteVersion);
  header.basic->releaseSuite(kMdMemorySuiteName, kMdMemorySuiteVersion);
  return art;
}

// --- Stand-ins, each wrong in one way ----------------------------------------

HostError HOSTAPI_CALL raises(const char*, const char*, void*) { throw std::runtime_error("out of luck"); }

HostError HOSTAPI_CALL keepsASuite(const char*, const char*, void* message) {
  acquire<ArtSuite>(*static_cast<MessageHeader*>(message), kArtSuiteName, kArtSuiteVersion);
  return kNoError;
}

HostError HOSTAPI_CALL keepsAString(const char*, const char*, void* message) {
  const auto& header = *static_cast<MessageHeader*>(message);
  const auto* strings = acquire<UnicodeStringSuite>(header, kUnicodeStringSuiteName, kUnicodeStringSuiteVersion);
  UnicodeStringHandle string = nullptr;
  strings->initialize(&string, "forgotten", 9, kPlatformEncoding);
  header.basic->releaseSuite(kUnicodeStringSuiteName, kUnicodeStringSuiteVersion);
  return kNoError;
}

// Copies the selection at mouse-down and forgets the copies.
HostError HOSTAPI_CALL strandsCopies(const char* caller, const char* selector, void* message) {
  const auto& header = *static_cast<MessageHeader*>(message);
  if (!is(caller, "AI Tool") || !is(selector, "AI Mouse Down")) return kNoError;
  const auto* art = acquire<ArtSuite>(header, kArtSuiteName, kArtSuiteVersion);
  for (const ArtHandle selected : selection(header)) {
    ArtHandle copy = nullptr;
    art->duplicateArt(selected, kPlaceAbove, selected, &copy);
  }
  header.basic->releaseSuite(kArtSuiteName, kArtSuiteVersion);
  return kNoError;
}

HostError HOSTAPI_CALL disposesUserArt(const char* caller, const char* selector, void* message) {
  const auto& header = *static_cast<MessageHeader*>(message);
  if (!is(caller, "AI Tool") || !is(selector, "AI Mouse Down")) return kNoError;
  const auto* art = acquire<ArtSuite>(header, kArtSuiteName, kArtSuiteVersion);
  for (const ArtHandle selected : selection(header)) art->disposeArt(selected);
  header.basic->releaseSuite(kArtSuiteName, kArtSuiteVersion);
  return kNoError;
}

HostError HOSTAPI_CALL writesNotANumber(const char* caller, const char* selector, void* message) {
  const auto& header = *static_cast<MessageHeader*>(message);
  if (!is(caller, "AI Tool") || !is(selector, "AI Mouse Down")) return kNoError;
  const auto* paths = acquire<PathSuite>(header, kPathSuiteName, kPathSuiteVersion);
  const float nan = std::nanf("");
  const PathSegment broken{{nan, 0}, {nan, 0}, {nan, 0}, {0, 0, 0, 0}};
  for (const ArtHandle selected : selection(header)) paths->setSegments(selected, 0, 1, &broken);
  header.basic->releaseSuite(kPathSuiteName, kPathSuiteVersion);
  return kNoError;
}

// Asks for the selection and reports success whatever the host answered.
HostError HOSTAPI_CALL swallowsFailures(const char* caller, const char* selector, void* message) {
  if (is(caller, "AI Tool") && is(selector, "AI Mouse Down")) selection(*static_cast<MessageHeader*>(message));
  return kNoError;
}

// Takes a globals block at startup and never gives it back.
HostError HOSTAPI_CALL keepsItsBlock(const char* caller, const char* selector, void* message) {
  auto& header = *static_cast<MessageHeader*>(message);
  if (is(caller, "SP Interface") && is(selector, "Startup")) header.basic->allocateBlock(64, &header.globals);
  return kNoError;
}

// Reports success when its memory runs out.
HostError HOSTAPI_CALL hidesOutOfMemory(const char*, const char*, void*) {
  delete[] new (std::nothrow) char[16];
  return kNoError;
}

// One message (a mouse-down, or startup for the block) to `entry`, the run
// finished, and whether the checker named the fault.
bool caught(hostapi::PluginEntry entry, const std::string& expected, swhost::World world = onePath(),
            const Event& event = kMouseDown) {
  CheckedRun run(std::move(world), entry);
  run.deliver(event);
  run.finish();
  for (const std::string& problem : run.problems()) {
    if (problem.find(expected) != std::string::npos) return true;
  }
  ADD_FAILURE() << "expected a problem mentioning \"" << expected << "\"; got " << run.problems().size();
  return false;
}

TEST(CheckedRun, NamesEachWayAPlugInCanHurtItsHost) {
  EXPECT_TRUE(caught(raises, "an exception escaped PluginMain"));
  EXPECT_TRUE(caught(keepsASuite, "AI Art Suite held 1 time(s); allowed 0"));
  EXPECT_TRUE(caught(keepsAString, "Unicode string(s) left alive"));
  EXPECT_TRUE(caught(strandsCopies, "left in the user's document that nothing will remove"));
  EXPECT_TRUE(caught(disposesUserArt, "the user's path \"art\" is gone"));
  EXPECT_TRUE(caught(writesNotANumber, "no longer finite"));
  EXPECT_TRUE(
      caught(keepsItsBlock, "globals block(s) never freed", onePath(), Event{"SP Interface", "Startup", {}, {}, {}}));

  swhost::World failing = onePath();
  failing.faults = {{"AI Matching Art Suite/matching art", 1, 4321}};
  EXPECT_TRUE(caught(swallowsFailures, "failed with 4321 (returned), and the result is 0", failing));

  swrel::failPluginAllocation(1);
  EXPECT_TRUE(caught(hidesOutOfMemory, "not kOutOfMemoryError"));
  swrel::failPluginAllocation(0);
}

TEST(CheckedRun, FaultsAreTracedToTheCallAndMessageThatFailed) {
  swhost::World world = onePath();
  world.faults = {{"AI Path Suite/get segments", 2, 77}};
  CheckedRun run(world);
  run.deliverAll({{"SP Interface", "Startup", {}, {}, {}},
                  kMouseDown,
                  {"AI Tool", "AI Mouse Drag", ArtworkPoint{10, 0}, {}, {}},
                  {"AI Tool", "AI Mouse Drag", ArtworkPoint{20, 0}, {}, {}},
                  {"AI Tool", "AI Mouse Up", ArtworkPoint{20, 0}, {}, {}}});
  run.finish();
  ASSERT_EQ(run.firedFaults().size(), 1u);
  EXPECT_EQ(run.firedFaults()[0].event, 3u);
  EXPECT_EQ(run.host().record().calls[run.firedFaults()[0].call], "AI Path Suite/get segments");
  EXPECT_EQ(run.results()[3], 77);
  EXPECT_TRUE(run.clean()) << run.problems().front();
}

// A click's undo goes back to where the mouse-down began the host's
// operation, bringing back the copy the press disposed from an earlier
// refused disposal. Neither the person selecting during the press nor a redo
// the host refuses there (the press has changed the document) moves that
// place, so that copy is still one the rules allow.
TEST(CheckedRun, OnlyAHistoryMoveDuringAPressMovesWhereTheClicksUndoGoesBackTo) {
  const auto selectBoth = [](swhost::Host& host) { host.document().selectOnly({0, 1}); };
  for (const bool redo : {false, true}) {
    SCOPED_TRACE(redo ? "a redo with nothing to redo" : "a selection");
    swhost::World world = onePath();
    world.faults = {{"AI Art Suite/dispose art", 1, 55}};
    CheckedRun run(world);
    run.deliverAll({{"SP Interface", "Startup", {}, {}, {}},
                    kMouseDown,
                    {"AI Tool", "AI Mouse Drag", ArtworkPoint{10, 0}, {}, {}},
                    {"AI Tool", "AI Mouse Up", ArtworkPoint{10, 0}, {}, {}},
                    {"AI Tool", "AI Mouse Down", ArtworkPoint{5, 5}, {}, {}}});
    if (redo) {
      run.redo();
    } else {
      run.act("select", selectBoth);
    }
    run.deliver({"AI Tool", "AI Mouse Up", ArtworkPoint{5, 5}, {}, {}});
    run.finish();
    ASSERT_EQ(run.firedFaults().size(), 1u);
    EXPECT_EQ(run.duplicates().size(), 1u) << "the click's undo brings back the copy the first press left";
    for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
  }
}

TEST(CheckedRun, OnlyThePlugInsOwnAllocationsAreCountedAndFail) {
  // The host's own allocations while serving the plug-in are never counted:
  // a life without any plug-in allocation counts none, however much the
  // host allocates for it.
  swrel::failPluginAllocation(1);
  {
    CheckedRun run(onePath(), keepsAString);
    run.deliver(kMouseDown);
  }
  EXPECT_EQ(swrel::pluginAllocations(), 0u);
  EXPECT_FALSE(swrel::pluginAllocationFailed());
  // Outside any message nothing is counted either.
  delete new int(1);
  EXPECT_EQ(swrel::pluginAllocations(), 0u);
  swrel::failPluginAllocation(0);
}

}  // namespace
