// Annotator and annotator drawer suites: the drag feedback's registration,
// its drawing and the rectangles it invalidates.
#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

Host::Objects::Annotator* findAnnotator(AnnotatorHandle annotator) {
  auto& annotators = host().objects().annotators;
  const auto index = handleIndex(annotator, kAnnotatorBase, annotators.size());
  return index ? &annotators[*index] : nullptr;
}

// --- "AI Annotator Suite" ---------------------------------------------------

HostError HOSTAPI_CALL addAnnotator(PluginRef self, const char* name, AnnotatorHandle* annotator) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::annotator, "add annotator")) return fault;
  if (self != host().pluginRef() || name == nullptr || annotator == nullptr) {
    return host().violation("AI Annotator Suite/add annotator", "foreign plug-in or null argument");
  }
  auto& annotators = host().objects().annotators;
  annotators.push_back(Host::Objects::Annotator{name, true});
  *annotator = makeHandle<AnnotatorHandle>(kAnnotatorBase, annotators.size() - 1);
  return kNoError;
}

HostError HOSTAPI_CALL setActive(AnnotatorHandle annotator, std::int32_t active) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::annotator, "set active")) return fault;
  Host::Objects::Annotator* found = findAnnotator(annotator);
  if (found == nullptr) return host().violation("AI Annotator Suite/set active", "not an annotator");
  found->active = active != 0;
  return kNoError;
}

HostError HOSTAPI_CALL invalidateRect(DocumentViewHandle view, const ViewRect* rect) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::annotator, "invalidate rectangle")) return fault;
  if (!isView(view) || rect == nullptr) {
    return host().violation("AI Annotator Suite/invalidate rectangle", "not a view or null rectangle");
  }
  host().record().invalidated.push_back(*rect);
  return kNoError;
}

// --- "AI Annotator Drawer Suite" --------------------------------------------

// The drawer exists only while an "AI Draw" message is being handled.
HostError checkDrawer(const char* call, DrawerHandle drawer) {
  if (!host().objects().drawerValid || !handleIndex(drawer, kDrawerBase, 1)) {
    return host().violation(call, "no drawer outside an AI Draw message");
  }
  return kNoError;
}

HostError HOSTAPI_CALL setColor(DrawerHandle drawer, const RgbColor* color) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::annotatorDrawer, "set colour")) return fault;
  if (const HostError error = checkDrawer("AI Annotator Drawer Suite/set colour", drawer)) return error;
  if (color == nullptr) return host().violation("AI Annotator Drawer Suite/set colour", "null colour");
  host().objects().color = *color;
  return kNoError;
}

HostError HOSTAPI_CALL drawLine(DrawerHandle drawer, const ViewPoint* from, const ViewPoint* to) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::annotatorDrawer, "draw line")) return fault;
  if (const HostError error = checkDrawer("AI Annotator Drawer Suite/draw line", drawer)) return error;
  if (from == nullptr || to == nullptr) return host().violation("AI Annotator Drawer Suite/draw line", "null point");
  const Host::Objects& objects = host().objects();
  host().record().drawing.push_back(DrawnLine{objects.color, objects.dash, *from, *to});
  return kNoError;
}

HostError HOSTAPI_CALL setDashPattern(DrawerHandle drawer, const float* dashes, std::int32_t count) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::annotatorDrawer, "set dash pattern")) return fault;
  if (const HostError error = checkDrawer("AI Annotator Drawer Suite/set dash pattern", drawer)) return error;
  if (count < 0 || count > 16 || (count > 0 && dashes == nullptr)) {
    return host().violation("AI Annotator Drawer Suite/set dash pattern", "bad dash array");
  }
  host().objects().dash.assign(dashes, dashes + count);
  return kNoError;
}

}  // namespace

const AnnotatorSuite kAnnotatorSuite{addAnnotator, setActive, invalidateRect};
const AnnotatorDrawerSuite kAnnotatorDrawerSuite{setColor, drawLine, setDashPattern};

}  // namespace swhost
