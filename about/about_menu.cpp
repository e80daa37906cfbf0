// The about item: added to the shared "About p.k plug-ins" submenu at
// startup, and the about text shown when the host says it was chosen.
#include <cstdio>

#include "about/about_plugins_helper.h"
#include "about/about_text.h"
#include "about/host_string.h"
#include "bridge/globals.h"
#include "bridge/handlers.h"
#include "bridge/startup_steps.h"
#include "bridge/suites.h"

using namespace hostapi;

namespace {
constexpr const char* kSharedGroupName = "AboutPKPlugIns";
constexpr const char* kSharedGroupTitle = "About p.k plug-ins";
}  // namespace

HostError addAboutMenu(MessageHeader& message) {
  gGlobals->aboutMenuItem = nullptr;
  char itemText[128];
  std::snprintf(itemText, sizeof itemText, "%s...", SW_PLUGIN_NAME);
  SDKAboutPluginsHelper helper;
  try {
    const ai::HostString groupText(kSharedGroupTitle, kPlatformEncoding);
    return helper.AddItemToSharedGroup(message, kSharedGroupName, groupText, itemText, &gGlobals->aboutMenuItem);
  } catch (const ai::Error& error) {
    return error.code();
  }
}

HostError onMenuGo(MenuMessage& message) {
  SuiteScope suites(message.header.basic);
  if (suites.result() != kNoError) return suites.result();
  // A null item is never this plug-in's: the item may not have been added.
  if (message.menuItem != nullptr && message.menuItem == gGlobals->aboutMenuItem) {
    sAdmBasic->messageAlert(SW_ABOUT_TEXT);
  }
  return kNoError;
}
