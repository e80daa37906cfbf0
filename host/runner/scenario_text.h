// Scenario files written back: a session played message by message (the web
// page) is saved as a file that any runner replays to the same report.
#pragma once

#include <string>

#include "host/runner/scenario.h"

namespace swrunner {

// The text of a scenario file that parseScenario reads back to `scenario`:
// every coordinate as the shortest text of its exact 32-bit value (or a
// non-finite name), segments as [ax, ay, ix, iy, ox, oy] plus their host
// bytes when those are not zero, the events with the host actions in their
// places. One path, fault or event per line.
std::string scenarioText(const Scenario& scenario);

}  // namespace swrunner
