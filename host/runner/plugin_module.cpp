#include "host/runner/plugin_module.h"

namespace swrunner {

hostapi::HostError PluginModule::showCursor(swhost::Host&, std::int32_t) { return hostapi::kNoError; }

}  // namespace swrunner
