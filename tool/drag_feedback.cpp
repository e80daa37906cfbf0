// The drag feedback and the cursor: the drag line and the dashed axis guide
// drawn by the annotator, the rectangle they cover invalidated, and the
// tool's cursor set.
#include <algorithm>
#include <cstdint>

#include "bridge/globals.h"
#include "bridge/handlers.h"
#include "bridge/suites.h"

using namespace hostapi;

namespace {

constexpr RgbColor kShiftColor{0x3333, 0x9999, 0xFFFF};  // light blue
constexpr RgbColor kPlainColor{0xFFFF, 0, 0};            // red
constexpr float kGuideDash[] = {4.0f};
constexpr std::int32_t kFeedbackMargin = 5;  // view pixels around the drawn lines
constexpr std::int32_t kToolCursorId = 16001;

// Adds the margin without overflowing at the ends of the 32-bit range.
std::int32_t widen(std::int32_t value, std::int32_t by) {
  const std::int64_t widened = std::int64_t{value} + by;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(widened, INT32_MIN, INT32_MAX));
}

// The smallest rectangle holding every point, grown by the margin.
ViewRect boundsWithMargin(const ViewPoint (&points)[4]) {
  ViewRect rect{points[0].x, points[0].y, points[0].x, points[0].y};
  for (const ViewPoint& p : points) {
    rect.left = std::min(rect.left, p.x);
    rect.top = std::min(rect.top, p.y);
    rect.right = std::max(rect.right, p.x);
    rect.bottom = std::max(rect.bottom, p.y);
  }
  return ViewRect{widen(rect.left, -kFeedbackMargin), widen(rect.top, -kFeedbackMargin),
                  widen(rect.right, kFeedbackMargin), widen(rect.bottom, kFeedbackMargin)};
}

}  // namespace

HostError onAnnotationDraw(AnnotatorMessage& message) {
  ToolGlobals& globals = *gGlobals;
  SuiteScope suites(message.header.basic);
  HostError result = suites.result();
  if (result != kNoError) return result;

  result = sAnnotator->invalidateRect(message.view, &globals.feedbackRect);
  if (result != kNoError) return result;

  const ArtworkPoint* artwork[4] = {&globals.startPoint, &globals.currentPoint, &globals.guideStart, &globals.guideEnd};
  ViewPoint view[4] = {};
  for (int i = 0; i < 4; ++i) {
    result = sDocumentView->artworkToViewPoint(message.view, artwork[i], &view[i]);
    if (result != kNoError) return result;
  }

  // The drawer's own results say nothing the feedback could act on.
  const RgbColor color = globals.shiftDown != 0 ? kShiftColor : kPlainColor;
  sAnnotatorDrawer->setColor(message.drawer, &color);
  sAnnotatorDrawer->drawLine(message.drawer, &view[0], &view[1]);
  sAnnotatorDrawer->setDashPattern(message.drawer, kGuideDash, 1);
  sAnnotatorDrawer->drawLine(message.drawer, &view[2], &view[3]);

  globals.feedbackRect = boundsWithMargin(view);
  return kNoError;
}

HostError onAnnotationInvalidate(AnnotatorMessage& message) {
  SuiteScope suites(message.header.basic);
  if (suites.result() != kNoError) return suites.result();
  return sAnnotator->invalidateRect(message.view, &gGlobals->feedbackRect);
}

HostError onTrackCursor(ToolMessage& message) {
  SuiteScope suites(message.header.basic);
  if (suites.result() == kNoError) sAdmBasic->setCursor(message.header.self, kToolCursorId);
  return suites.result();
}
