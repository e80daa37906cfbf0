// What every plug-in module shares (plugin_module.h): by default a cursor has
// nothing to show and succeeds.
#include "host/runner/plugin_module.h"

namespace swrunner {

hostapi::HostError PluginModule::showCursor(swhost::Host&, std::int32_t) { return hostapi::kNoError; }

}  // namespace swrunner
