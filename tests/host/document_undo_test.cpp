// The substitute host's undo mark: restoring it brings back the document as it
// was, whatever was changed, disposed or made since, as often as asked.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/document.h"
#include "tests/support/session.h"

namespace {

using swhost::Document;
using swhost::Path;

std::vector<std::string> names(const Document& document) {
  std::vector<std::string> result;
  for (const Path& path : document.paths()) result.push_back(path.name);
  return result;
}

float firstX(const Document& document, hostapi::ArtHandle art) { return document.find(art)->segments.at(0).anchor.x; }

TEST(DocumentUndo, RestoringTheMarkUndoesChangesDisposalsAndNewPaths) {
  Document document(
      {swtest::cornerPath("a", {{1, 1}}), swtest::cornerPath("b", {{2, 2}}), swtest::cornerPath("c", {{3, 3}})});
  const std::vector<hostapi::ArtHandle> handles = document.handles();
  document.findForChange(handles[0])->segments[0].anchor.x = 10;  // before the mark: stays
  const Document::Snapshot mark = document.snapshot();

  document.findForChange(handles[0])->segments[0].anchor.x = 100;
  document.findForChange(handles[0])->segments[0].anchor.x = 1000;  // changed twice
  const hostapi::ArtHandle copy = document.duplicateAbove(handles[1]);
  document.findForChange(copy)->segments[0].anchor.x = 7;
  document.findForChange(handles[1])->segments[0].anchor.x = 20;
  ASSERT_TRUE(document.dispose(handles[1]));  // changed, then disposed
  ASSERT_TRUE(document.dispose(handles[2]));
  ASSERT_EQ(names(document), (std::vector<std::string>{"a", "b"}));

  document.restore(mark);
  EXPECT_EQ(names(document), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(document.handles(), handles);  // every path under its old handle
  EXPECT_EQ(firstX(document, handles[0]), 10.0f);
  EXPECT_EQ(firstX(document, handles[1]), 2.0f);
  EXPECT_EQ(firstX(document, handles[2]), 3.0f);
  EXPECT_EQ(document.find(copy), nullptr);

  // The mark holds after a restore: later changes are undone again.
  document.findForChange(handles[2])->segments[0].anchor.x = 30;
  ASSERT_TRUE(document.dispose(handles[0]));
  document.restore(mark);
  EXPECT_EQ(names(document), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(firstX(document, handles[0]), 10.0f);
  EXPECT_EQ(firstX(document, handles[2]), 3.0f);
}

TEST(DocumentUndo, OnlyTheLatestMarkCanBeRestored) {
  Document document({swtest::cornerPath("a", {{1, 1}})});
  EXPECT_THROW(document.restore(Document::Snapshot{}), std::logic_error);
  const Document::Snapshot first = document.snapshot();
  document.findForChange(document.handles()[0])->segments[0].anchor.x = 5;
  const Document::Snapshot second = document.snapshot();
  EXPECT_THROW(document.restore(first), std::logic_error);
  document.findForChange(document.handles()[0])->segments[0].anchor.x = 6;
  document.restore(second);
  EXPECT_EQ(firstX(document, document.handles()[0]), 5.0f);
}

// Through the plug-in: a click is undone, including the reshaping that a
// drag back to the same pixel did on the way.
TEST(DocumentUndo, AClickThatCameBackIsUndoneToTheShapeBeforeThePress) {
  swhost::World world;
  world.paths = {swtest::cornerPath("p", {{50, 30}, {-20, 10}})};
  swtest::Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.mouse("AI Mouse Down", 0, 0), 0);
  ASSERT_EQ(session.mouse("AI Mouse Drag", 120, 40), 0);
  ASSERT_NE(session.host().document().paths()[0].segments[0].anchor.x, 50.0f);
  ASSERT_EQ(session.mouse("AI Mouse Up", 0.25f, 0.25f), 0);  // the press's pixel
  ASSERT_EQ(session.record().undos, 1);
  const std::vector<Path> after = session.host().document().paths();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].segments[0].anchor.x, 50.0f);
  EXPECT_EQ(after[0].segments[1].anchor.y, 10.0f);
}

}  // namespace
