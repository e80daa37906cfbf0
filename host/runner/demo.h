// The built-in demo: three selected shapes with curves, dragged twice with
// the tool, the second time with Shift and past 200 units so they mirror.
#pragma once

#include <string>

#include "host/host.h"
#include "host/runner/scenario.h"

namespace swrunner {

// The demo as a scenario, read by the same reader as any scenario file.
Scenario demoScenario();

// A short account of a run for people: each message with its result, then
// how each path's extent changed between the first and the final document.
std::string runSummary(const Scenario& scenario, const swhost::Host& host);

}  // namespace swrunner
