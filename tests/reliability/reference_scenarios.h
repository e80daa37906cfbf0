// The reference scenarios (scenarios/reference_*.json): full lives of the
// plug-in in a few host worlds, the ground the sweeps cover. And the figures
// the sweeps report.
#pragma once

#include <string>
#include <vector>

#include "host/runner/scenario.h"

namespace swrel {

struct ReferenceScenario {
  std::string name;  // the file name
  swrunner::Scenario scenario;
};

// Every reference scenario, in file-name order.
std::vector<ReferenceScenario> loadReferenceScenarios();

// Prints a figure line and writes it to `<figures directory>/<file>`, where
// the test script collects the figures of every sweep.
void reportFigure(const std::string& file, const std::string& line);

}  // namespace swrel
