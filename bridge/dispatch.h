// Routing of one host message to its handler.
#pragma once

#include "bridge/host_api.h"

// Runs the handler the dispatch table names for (caller, selector), or the
// fallback. May raise; PluginMain stops every exception.
hostapi::HostError dispatchMessage(const char* caller, const char* selector, hostapi::MessageHeader& message);
