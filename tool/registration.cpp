// Startup's registrations: the tool, in the palette group of its companion
// tool with its icon, and the annotator that draws the drag feedback.
#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "bridge/startup_steps.h"
#include "bridge/suites.h"

using namespace hostapi;

namespace {

constexpr const char* kToolName = "slantWarper";
constexpr const char* kCompanionToolName = "pkTool2";
constexpr std::int32_t kIconKind = 1;
// Deliberately not the library's icon group (16051): the host answers with an
// icon whose type tells whether it found one.
constexpr std::int32_t kToolIconId = 16050;

}  // namespace

HostError addTool(MessageHeader& message) {
  ToolData data{};
  data.title = kToolName;
  data.tooltip = kToolName;
  data.sameToolSetAs = kNoTool;
  HostError result = sTool->toolNumberFromName(kCompanionToolName, &data.sameGroupAs);

  data.icon = sAdmIcon->iconFromResource(message.self, kIconKind, kToolIconId);
  if (sAdmIcon->iconType(data.icon) == kIconTypeUnknown) result = kNoIconError;

  if (result == kNoError) {
    result = sTool->addTool(message.self, kToolName, &data, kToolOptionDefault, &gGlobals->toolHandle);
  }
  return result;
}

HostError registerAnnotator(MessageHeader& message) {
  HostError result = sAnnotator->addAnnotator(message.self, kToolName, &gGlobals->annotatorHandle);
  if (result == kNoError) result = sAnnotator->setActive(gGlobals->annotatorHandle, 0);
  return result;
}
