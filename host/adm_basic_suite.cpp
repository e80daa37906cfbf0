// The ADM basic suite: the cursor and alerts.
#include "host/host.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

bool isPlugin(PluginRef self) { return self == host().pluginRef(); }

// --- "ADM Basic Suite" ------------------------------------------------------

HostError HOSTAPI_CALL setCursor(PluginRef self, std::int32_t cursorId) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::admBasic, "set cursor")) return fault;
  if (!isPlugin(self)) return host().violation("ADM Basic Suite/set cursor", "foreign plug-in");
  if (const HostError error = host().showCursor(cursorId)) return error;
  host().record().cursors.push_back(cursorId);
  return kNoError;
}

HostError HOSTAPI_CALL messageAlert(const char* text) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::admBasic, "message alert")) return fault;
  if (text == nullptr) return host().violation("ADM Basic Suite/message alert", "null text");
  host().record().alerts.emplace_back(text);
  return kNoError;
}

}  // namespace

const AdmBasicSuite kAdmBasicSuite{setCursor, messageAlert};

}  // namespace swhost
