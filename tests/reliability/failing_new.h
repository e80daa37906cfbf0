// Allocation failures inside the plug-in. A program that links failing_new.cpp
// replaces the global operator new and delete (every form: plain, array,
// nothrow, aligned); the allocations made while the plug-in's own code runs
// (see host/plugin_code.h) are counted, and the chosen one fails as the form
// fails: std::bad_alloc, or null for the nothrow forms. The host's own
// allocations, and the test's, are never counted and never fail.
#pragma once

#include <cstdint>

namespace swrel {

// Restarts the count and makes the nth counted allocation fail (1 is the
// first; 0: none fails).
void failPluginAllocation(std::uint64_t nth);

// Allocations counted since the last failPluginAllocation.
std::uint64_t pluginAllocations();

// Whether the chosen allocation has failed since the last
// failPluginAllocation.
bool pluginAllocationFailed();

}  // namespace swrel
