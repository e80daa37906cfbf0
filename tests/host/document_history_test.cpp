// The substitute host's history: each press, drag and release the plug-in
// makes is one step that undo takes back and redo brings back, bit for bit
// and under the same handles; a click the plug-in undid is none; the
// history keeps a bounded number of steps and bytes, the oldest going first.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/host.h"
#include "tests/support/session.h"

namespace {

using swhost::Document;
using swhost::Path;

// The document as a step brings it back: order, names and segments bit for
// bit, without the selection.
std::string contentOf(const Document& document) {
  std::string bytes;
  document.forEach([&](hostapi::ArtHandle art, const Path& path) {
    const auto id = reinterpret_cast<std::uintptr_t>(art);
    bytes.append(reinterpret_cast<const char*>(&id), sizeof id).append(path.name).append(1, '\0');
    bytes.append(reinterpret_cast<const char*>(path.segments.data()), path.segments.size() * sizeof(path.segments[0]));
  });
  return bytes;
}

swhost::World twoPaths() {
  swhost::World world;
  world.paths = {swtest::cornerPath("box", {{0, 0}, {40, 0}, {40, 40}, {0, 40}}),
                 swtest::cornerPath("bar", {{60, -10}, {90, 25}})};
  return world;
}

void drag(swtest::Session& session, float fromX, float fromY, float toX, float toY) {
  ASSERT_EQ(session.mouse("AI Mouse Down", fromX, fromY), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", (fromX + toX) / 2, (fromY + toY) / 2), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", toX, toY), 0);
  ASSERT_EQ(session.mouse("AI Mouse Up", toX, toY), 0);
}

TEST(DocumentHistory, EachDragIsOneStepUndoneAndRedoneExactly) {
  swtest::Session session(twoPaths());
  Document& document = session.host().document();
  ASSERT_EQ(session.startup(), 0);
  EXPECT_FALSE(document.canUndo());
  const std::string start = contentOf(document);
  drag(session, 10, 10, 130, 40);
  const std::string first = contentOf(document);
  ASSERT_NE(first, start);
  drag(session, 0, 0, -50, 170);
  const std::string second = contentOf(document);
  EXPECT_EQ(document.history().steps(), 2u);

  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), first);
  EXPECT_TRUE(document.canRedo());
  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), start);
  EXPECT_FALSE(document.canUndo());
  EXPECT_FALSE(document.undo()) << "nothing left to undo";
  EXPECT_EQ(contentOf(document), start);

  ASSERT_TRUE(document.redo());
  EXPECT_EQ(contentOf(document), first);
  ASSERT_TRUE(document.redo());
  EXPECT_EQ(contentOf(document), second);
  EXPECT_FALSE(document.redo()) << "nothing left to redo";
  EXPECT_EQ(contentOf(document), second);

  // A drag after an undo is a new step: what could be redone is gone.
  ASSERT_TRUE(document.undo());
  drag(session, 5, 5, 5, 100);
  EXPECT_FALSE(document.canRedo());
  EXPECT_FALSE(document.redo());
  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), first);
  EXPECT_TRUE(session.record().violations.empty());
}

TEST(DocumentHistory, AClickThePluginUndidAndTheChoiceOfArtAreNoSteps) {
  swtest::Session session(twoPaths());
  Document& document = session.host().document();
  ASSERT_EQ(session.startup(), 0);
  drag(session, 10, 10, 130, 40);
  const std::string dragged = contentOf(document);
  ASSERT_TRUE(document.undo());
  ASSERT_TRUE(document.canRedo());

  // The click stretches on the way and comes back to the press's pixel.
  ASSERT_EQ(session.mouse("AI Mouse Down", 10, 10), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 90, 10), 0);
  ASSERT_EQ(session.mouse("AI Mouse Up", 10.2f, 9.9f), 0);
  ASSERT_EQ(session.record().undos, 1);
  document.selectOnly({1});
  EXPECT_FALSE(document.canUndo()) << "neither the click nor the selection is a step";
  EXPECT_TRUE(document.canRedo()) << "and neither dropped what could be redone";

  ASSERT_TRUE(document.redo());
  EXPECT_EQ(contentOf(document), dragged);
  // The person's choice stays what it is now.
  const std::vector<Path> paths = document.paths();
  EXPECT_FALSE(paths[0].selected);
  EXPECT_TRUE(paths[1].selected);
}

TEST(DocumentHistory, APressWhoseReleaseNeverCameGoesOnInTheNext) {
  swtest::Session session(twoPaths());
  Document& document = session.host().document();
  ASSERT_EQ(session.startup(), 0);
  const std::string start = contentOf(document);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 100, 0), 0);
  // No release: the next press disposes the copies the first one left.
  drag(session, 0, 0, 0, 120);
  EXPECT_EQ(document.size(), 2u);
  EXPECT_EQ(document.history().steps(), 1u);
  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), start) << "back to before the first press, no copy in sight";
  EXPECT_TRUE(session.record().violations.empty());
}

// Where every mouse-down began an operation, the click's undo brought back
// the copies the press before it made, disposed by the click's own
// mouse-down, listed by no one and selected: each pair doubled the document.
TEST(DocumentHistory, AClickAfterAPressWithoutReleaseBringsNoCopyBack) {
  swhost::World world;
  world.paths = {swtest::cornerPath("p", {{0, 0}, {10, 0}, {10, 10}})};
  swtest::Session session(world);
  ASSERT_EQ(session.startup(), 0);
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
    ASSERT_EQ(session.mouse("AI Mouse Down", 5, 5), 0);
    ASSERT_EQ(session.mouse("AI Mouse Up", 5, 5), 0);
  }
  EXPECT_EQ(session.record().undos, 6);
  EXPECT_EQ(session.host().document().size(), 1u);
  EXPECT_FALSE(session.host().document().canUndo());
}

// An undo between a mouse-down and its mouse-up: the copies the press made
// are gone for good, the plug-in's handles to them are dead and answered
// as dead art (the plug-in was never told, so no broken contract), and the
// document is as it was before the press.
TEST(DocumentHistory, AnUndoDuringAPressTakesBackWhatThePressDid) {
  swtest::Session session(twoPaths());
  Document& document = session.host().document();
  ASSERT_EQ(session.startup(), 0);
  drag(session, 10, 10, 130, 40);
  const std::string dragged = contentOf(document);

  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 0, 150), 0);
  ASSERT_EQ(document.size(), 4u);
  const std::vector<hostapi::ArtHandle> copies = {document.handles()[1], document.handles()[3]};
  EXPECT_FALSE(document.redo()) << "a new step is under way";
  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), dragged);
  for (const hostapi::ArtHandle copy : copies) EXPECT_TRUE(document.takenByHistory(copy));
  EXPECT_EQ(session.mouse("AI Mouse Drag", 0, 180), swhost::kBadParameterError);
  EXPECT_EQ(session.mouse("AI Mouse Up", 0, 180), swhost::kBadParameterError);
  EXPECT_EQ(contentOf(document), dragged);
  EXPECT_GT(session.record().callsOnTakenArt, 0u);
  EXPECT_TRUE(session.record().violations.empty());
  EXPECT_FALSE(document.redo()) << "what the press did is not brought back";

  // The first drag is still a step, and the plug-in goes on working.
  drag(session, 0, 0, 60, 0);
  EXPECT_EQ(document.size(), 2u);
  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), dragged);
  ASSERT_TRUE(document.undo());
  EXPECT_FALSE(document.canUndo());
  EXPECT_TRUE(session.record().violations.empty());
}

// Where the plug-in's work is not done through its own rules: paths
// disposed side by side come back in their places, made ones go, and
// every path keeps its handle.
TEST(DocumentHistory, PathsComeBackInTheirPlacesUnderTheirHandles) {
  Document document({swtest::cornerPath("a", {{1, 1}}), swtest::cornerPath("b", {{2, 2}}),
                     swtest::cornerPath("c", {{3, 3}}), swtest::cornerPath("d", {{4, 4}})});
  const std::vector<hostapi::ArtHandle> handles = document.handles();
  const std::string start = contentOf(document);
  document.snapshot();
  ASSERT_TRUE(document.dispose(handles[1]));
  ASSERT_TRUE(document.dispose(handles[2]));
  const hostapi::ArtHandle copy = document.duplicateAbove(handles[0]);
  document.findForChange(handles[3])->segments[0].anchor.x = 40;
  document.endOperation();
  const std::string after = contentOf(document);
  EXPECT_FALSE(document.takenByHistory(handles[1])) << "the plug-in disposed it";

  ASSERT_TRUE(document.undo());
  EXPECT_EQ(contentOf(document), start);
  EXPECT_EQ(document.handles(), handles);
  EXPECT_TRUE(document.takenByHistory(copy));
  ASSERT_TRUE(document.redo());
  EXPECT_EQ(contentOf(document), after);
  EXPECT_EQ(document.handles(), (std::vector<hostapi::ArtHandle>{handles[0], copy, handles[3]}));
  EXPECT_FALSE(document.takenByHistory(copy));
}

// The bound: at most `steps` steps and `bytes` bytes, the oldest first; a
// step larger than the whole bound is not kept, and nothing older either.
TEST(DocumentHistory, TheHistoryKeepsItsBoundDroppingTheOldestFirst) {
  const auto contentsAfterDrags = [](swhost::HistoryBound bound, std::size_t drags, std::size_t& undone) {
    swhost::World world = twoPaths();
    world.history = bound;
    swtest::Session session(world);
    Document& document = session.host().document();
    EXPECT_EQ(session.startup(), 0);
    std::vector<std::string> states{contentOf(document)};
    for (std::size_t i = 0; i < drags; ++i) {
      drag(session, 0, 0, 20.0f + 10.0f * static_cast<float>(i), 5);
      states.push_back(contentOf(document));
      EXPECT_LE(document.history().steps(), bound.steps);
      EXPECT_LE(document.history().bytes(), bound.bytes);
    }
    for (undone = 0; document.undo(); ++undone) {
      EXPECT_EQ(contentOf(document), states[drags - undone - 1]) << "undo " << undone;
    }
    return states;
  };
  std::size_t undone = 0;
  contentsAfterDrags({3, std::size_t{1} << 30}, 5, undone);
  EXPECT_EQ(undone, 3u);
  // Each step keeps both paths (6 segments, two short names).
  const std::size_t step = 2 * swhost::kChangeBytes + 3 + 3 + 6 * sizeof(hostapi::PathSegment);
  contentsAfterDrags({100, 2 * step}, 5, undone);
  EXPECT_EQ(undone, 2u);
  contentsAfterDrags({100, 2 * step + step - 1}, 5, undone);
  EXPECT_EQ(undone, 2u);
  contentsAfterDrags({100, step - 1}, 3, undone);
  EXPECT_EQ(undone, 0u);
}

}  // namespace
