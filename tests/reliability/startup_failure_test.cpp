// A startup that fails part-way leaves a plug-in that may still be sent tool
// messages: the tool was added before the annotator failed, or a later
// reload made the art lists. Its drags must never hand the host an
// annotator it never registered.
#include <gtest/gtest.h>

#include "bridge/error_codes.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/failing_new.h"
#include "tests/support/session.h"

namespace {

using swhost::Event;
using swrel::CheckedRun;

swhost::World onePath() {
  swhost::World world;
  world.paths = {swtest::cornerPath("art", {{50, 30}})};
  return world;
}

const std::vector<Event> kDrag = {{"AI Tool", "AI Mouse Down", hostapi::ArtworkPoint{0, 0}, {}, {}},
                                  {"AI Tool", "AI Mouse Drag", hostapi::ArtworkPoint{100, 0}, {}, {}},
                                  {"AI Tool", "AI Mouse Up", hostapi::ArtworkPoint{100, 0}, {}, {}}};

TEST(StartupFailure, WithoutAnAnnotatorTheToolStillDragsAndActivatesNothing) {
  swhost::World world = onePath();
  world.faults = {{"AI Annotator Suite/add annotator", 1, 555}};
  CheckedRun run(world);
  EXPECT_EQ(run.deliver({"SP Interface", "Startup", {}, {}, {}}), 555);
  ASSERT_EQ(run.host().record().tools.size(), 1u);  // the tool is in the palette
  for (const Event& event : kDrag) EXPECT_EQ(run.deliver(event), 0) << event.selector;
  EXPECT_EQ(run.host().document().paths()[0].segments[0].anchor.x, 75.0f);
  EXPECT_TRUE(run.duplicates().empty());
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;  // no "not an annotator"
}

TEST(StartupFailure, AReloadAfterAStartupWithoutListsNeverActivatesAMissingAnnotator) {
  CheckedRun run(onePath());
  swrel::failPluginAllocation(1);  // the first art list
  EXPECT_EQ(run.deliver({"SP Interface", "Startup", {}, {}, {}}), kOutOfMemoryError);
  swrel::failPluginAllocation(0);
  EXPECT_EQ(run.deliver(kDrag[0]), kNotStartedError);
  run.deliver({"SP Access", "Unload", {}, {}, {}});
  run.deliver({"SP Access", "Reload", {}, {}, {}});
  for (const Event& event : kDrag) EXPECT_EQ(run.deliver(event), 0) << event.selector;
  run.finish();
  for (const std::string& problem : run.problems()) ADD_FAILURE() << problem;
}

}  // namespace
