// The mouse handlers: a mouse-down duplicates the selected paths as
// untouched references, each drag reshapes the originals from them, and the
// mouse-up disposes the references, undoing a click that did not move.
#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "bridge/handlers.h"
#include "bridge/platform.h"
#include "bridge/suites.h"
#include "tool/geometry.h"
#include "tool/kernel/segment_displacer.h"

using namespace hostapi;

namespace {

// The key-state bit that is set while a key is down.
constexpr std::int32_t kKeyDownBit = 0x80;

// Gives the matching-art answer back to the host when the handler ends.
class MatchingArtAnswer {
 public:
  MatchingArtAnswer() = default;
  ~MatchingArtAnswer() {
    if (handle != nullptr) sMdMemory->disposeHandle(handle);
  }
  MatchingArtAnswer(const MatchingArtAnswer&) = delete;
  MatchingArtAnswer& operator=(const MatchingArtAnswer&) = delete;

  ArtArrayHandle handle = nullptr;
  std::int32_t count = 0;
};

// The largest coordinate of each reference path (largestCoordinate), entry
// for entry, taken from its segments at the first drag event that reads them
// and NaN until then. The references are the plug-in's own untouched
// duplicates, whose segments stay as they are for the whole drag, so that
// the blocks of every later event need test only each point's distance from
// the axis (blocks.h). Made by the mouse-down with the lists, and emptied,
// memory and all, at the next mouse-down and at the mouse-up: it never
// outlives the drag whose references it describes.
std::vector<float> gReferenceBounds;

void forgetReferenceBounds() { std::vector<float>().swap(gReferenceBounds); }

// Disposes the copies the host refused to dispose before. Those it refuses
// again stay listed, sorted for captureSelection's look-ups; each copy leaves
// the list when it is disposed, so none is disposed twice.
void disposeUndisposedCopies(ArtList& copies) {
  const auto refused =
      std::remove_if(copies.begin(), copies.end(), [](ArtHandle copy) { return sArt->disposeArt(copy) == kNoError; });
  copies.erase(refused, copies.end());
  std::sort(copies.begin(), copies.end(), std::less<ArtHandle>());
}

// Duplicates every selected path directly above itself, pairing each target
// with its untouched reference. A copy the plug-in made and could not dispose
// is selected like its original but is never captured: duplicated again, it
// would let a host that keeps refusing disposals double the document at
// every press. Room for both lists, for the references to join the
// undisposed copies at the next mouse-down and for the references' bounds is
// made before anything is duplicated, so that running out of memory can
// never strand a duplicate in the user's document.
HostError captureSelection(const MatchingArtAnswer& answer, ToolGlobals& globals) {
  const auto count = static_cast<std::size_t>(answer.count);
  const ArtList& undisposed = *globals.undisposedCopies;
  try {
    globals.targetPaths->reserve(count);
    globals.referencePaths->reserve(count);
    globals.undisposedCopies->reserve(undisposed.size() + count);
    gReferenceBounds.assign(count, std::numeric_limits<float>::quiet_NaN());
  } catch (const std::exception&) {  // out of memory, or more than a vector can hold
    return kOutOfMemoryError;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const ArtHandle art = (*answer.handle)[i];
    if (std::binary_search(undisposed.begin(), undisposed.end(), art, std::less<ArtHandle>())) continue;
    globals.targetPaths->push_back(art);
    ArtHandle copy = nullptr;
    const HostError result = sArt->duplicateArt(art, kPlaceAbove, art, &copy);
    if (result != kNoError) return result;
    globals.referencePaths->push_back(copy);
  }
  return kNoError;
}

// One buffer for every path of a drag event, as large as the largest path so
// far, so that each path costs no allocation of its own.
class SegmentBuffer {
 public:
  // Room for `count` segments; null when there is no memory for them.
  PathSegment* reserve(std::size_t count) {
    if (count > capacity_) {
      storage_.reset(new (std::nothrow) PathSegment[count]);
      capacity_ = storage_ != nullptr ? count : 0;
    }
    return storage_.get();
  }

 private:
  std::unique_ptr<PathSegment[]> storage_;
  std::size_t capacity_ = 0;
};

// Rewrites one target path from its reference for the current stretch, with
// the reference's bound `bound` (taken now if it is still NaN; null for
// none). A shape that would carry a coordinate beyond the float range (or
// not a number) where its reference is finite is not written: the path keeps
// the shape of the last event that fitted, instead of taking on values the
// user could never recover.
HostError reshapePath(ArtHandle reference, ArtHandle target, const SegmentDisplacer& displacer, SegmentBuffer& buffer,
                      float* bound) {
  std::int16_t count = 0;
  HostError result = sPath->segmentCount(reference, &count);
  if (result != kNoError || count < 1) return result;

  PathSegment* const segments = buffer.reserve(static_cast<std::size_t>(count));
  if (segments == nullptr) return kOutOfMemoryError;
  result = sPath->getSegments(reference, 0, count, segments);
  if (result != kNoError) return result;

  const auto size = static_cast<std::size_t>(count);
  if (bound != nullptr && std::isnan(*bound)) *bound = displacer.largestCoordinate(segments, size);
  const bool overflowed =
      bound != nullptr ? displacer.displace(segments, size, *bound) : displacer.displace(segments, size);
  if (overflowed) return kNoError;
  return sPath->setSegments(target, 0, count, segments);
}

}  // namespace

HostError onMouseDown(ToolMessage& message) {
  ToolGlobals& globals = *gGlobals;
  // Duplicates still listed here outlived a mouse-up that could not dispose
  // them. They join the copies the host refused to dispose before (their
  // capture made room for them, so this never allocates), and all of them
  // go once the suites are held; they stay listed, never captured, while
  // the host refuses.
  ArtList& undisposed = *globals.undisposedCopies;
  undisposed.insert(undisposed.end(), globals.referencePaths->begin(), globals.referencePaths->end());
  globals.targetPaths->clear();
  globals.referencePaths->clear();
  forgetReferenceBounds();
  globals.startPoint = message.cursor;
  globals.currentPoint = message.cursor;
  globals.guideEnd = message.cursor;
  globals.guideStart = message.cursor;
  globals.shiftDown = 0;

  SuiteScope suites(message.header.basic);
  if (suites.result() != kNoError) return suites.result();
  disposeUndisposedCopies(undisposed);

  MatchingArtAnswer answer;
  const MatchingArtSpec selectedPaths{kPathArt, kArtSelected, kArtSelected};
  HostError result = sMatchingArt->matchingArt(&selectedPaths, 1, &answer.handle, &answer.count);
  if (answer.count < 1) return result;
  if (answer.handle == nullptr || *answer.handle == nullptr) return result;

  result = captureSelection(answer, globals);
  if (result != kNoError) return result;

  globals.feedbackRect = ViewRect{0, 0, 0, 0};
  // A startup that failed before registering the annotator leaves none to
  // activate; the host is never handed a null one.
  if (globals.annotatorHandle == nullptr) return kNoError;
  return sAnnotator->setActive(globals.annotatorHandle, 1);
}

HostError onMouseDrag(ToolMessage& message) {
  ToolGlobals& globals = *gGlobals;
  SuiteScope suites(message.header.basic);
  if (suites.result() != kNoError) return suites.result();
  if (globals.referencePaths->empty()) return kNoError;
  if (pointsEqual(message.cursor, globals.startPoint)) return kNoError;
  // A position that is not a number or infinite has no drag to follow; the
  // paths stay as the last real position left them.
  if (!isFinite(message.cursor) || !isFinite(globals.startPoint)) return kNoError;

  globals.currentPoint = message.cursor;
  globals.shiftDown = shiftKeyState() & kKeyDownBit;
  const Stretch stretch =
      computeStretch(globals.startPoint, globals.currentPoint, globals.shiftDown != 0, globals.dragDivisor);
  globals.axisLine = stretch.axisLine;
  globals.guideStart = stretch.guide.start;
  globals.guideEnd = stretch.guide.end;

  const SegmentDisplacer displacer(stretch, globals.startPoint, globals.currentPoint);
  SegmentBuffer buffer;
  const std::size_t pairs = std::min(globals.targetPaths->size(), globals.referencePaths->size());
  float* const bounds = gReferenceBounds.size() >= pairs ? gReferenceBounds.data() : nullptr;
  for (std::size_t i = 0; i < pairs; ++i) {
    const HostError result = reshapePath((*globals.referencePaths)[i], (*globals.targetPaths)[i], displacer, buffer,
                                         bounds != nullptr ? bounds + i : nullptr);
    if (result != kNoError) return result;
  }
  return kNoError;
}

HostError onMouseUp(ToolMessage& message) {
  ToolGlobals& globals = *gGlobals;
  SuiteScope suites(message.header.basic);
  if (suites.result() != kNoError) return suites.result();
  if (globals.referencePaths->empty()) return kNoError;
  forgetReferenceBounds();

  // Each duplicate leaves the lists with its target once it is disposed, so
  // that after a failure the lists name only duplicates still in the
  // document, and a later mouse-up or mouse-down never disposes one twice.
  ArtList& references = *globals.referencePaths;
  ArtList& targets = *globals.targetPaths;
  std::size_t disposed = 0;
  HostError result = kNoError;
  while (disposed < references.size() && result == kNoError) {
    result = sArt->disposeArt(references[disposed]);
    if (result == kNoError) ++disposed;
  }
  const auto pairedEnd = static_cast<std::ptrdiff_t>(std::min(disposed, targets.size()));
  references.erase(references.begin(), references.begin() + static_cast<std::ptrdiff_t>(disposed));
  targets.erase(targets.begin(), targets.begin() + pairedEnd);
  if (result != kNoError) return result;
  references.clear();
  targets.clear();

  DocumentViewHandle view = nullptr;
  result = sDocumentView->nthView(0, &view);
  if (result != kNoError) return result;
  ViewPoint start{};
  ViewPoint end{};
  result = sDocumentView->artworkToViewPoint(view, &globals.startPoint, &start);
  if (result != kNoError) return result;
  result = sDocumentView->artworkToViewPoint(view, &message.cursor, &end);
  if (result != kNoError) return result;
  if (start.x == end.x && start.y == end.y) {
    result = sUndo->undoChanges();
    if (result != kNoError) return result;
  }

  if (globals.annotatorHandle != nullptr) sAnnotator->setActive(globals.annotatorHandle, 0);
  return sAnnotator->invalidateRect(view, &globals.feedbackRect);
}
