// The document view suite: view 0 and its mapping from artwork to pixels.
#include <cmath>
#include <limits>

#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

// --- "AI Document View Suite" -----------------------------------------------

HostError HOSTAPI_CALL nthView(std::int32_t index, DocumentViewHandle* view) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::documentView, "nth view")) return fault;
  if (view == nullptr) return host().violation("AI Document View Suite/nth view", "null out pointer");
  if (index != 0) return kOutOfRangeError;
  *view = makeHandle<DocumentViewHandle>(kViewBase, 0);
  return kNoError;
}

// Rounds half away from zero; false when the pixel is beyond 32 bits.
bool toPixel(double value, std::int32_t& pixel) {
  const double rounded = std::round(value);
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max())) {
    return false;
  }
  pixel = static_cast<std::int32_t>(rounded);
  return true;
}

// View 0 maps artwork to pixels with the world's origin and zoom; y turns
// downwards. A point that falls outside the 32-bit pixel range (or is not a
// number) cannot be shown and fails with kOutOfRangeError.
HostError HOSTAPI_CALL artworkToViewPoint(DocumentViewHandle view, const ArtworkPoint* artwork, ViewPoint* point) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::documentView, "artwork to view point")) return fault;
  if (!isView(view) || artwork == nullptr || point == nullptr) {
    return host().violation("AI Document View Suite/artwork to view point", "not a view or null point");
  }
  const World& world = host().world();
  ViewPoint result{};
  if (!toPixel((double{artwork->x} - world.originX) * world.zoom, result.x) ||
      !toPixel((double{world.originY} - artwork->y) * world.zoom, result.y)) {
    return kOutOfRangeError;
  }
  *point = result;
  return kNoError;
}

}  // namespace

const DocumentViewSuite kDocumentViewSuite{nthView, artworkToViewPoint};

}  // namespace swhost
