// Running a scenario: the substitute host built from the scenario's world,
// the plug-in attached, every message delivered in order.
#pragma once

#include <memory>

#include "host/host.h"
#include "host/runner/plugin_module.h"
#include "host/runner/scenario.h"

namespace swrunner {

// Exit statuses of slantwarper-host.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitCannotLoadOrWrite = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitViolations = 3;

// Runs every event of `scenario` and returns the host, which holds the record
// of the run. An "SP Access"/"Unload" that succeeds unloads the module; the
// next event loads it again first (a scenario sends "SP Access"/"Reload"
// next, as a host does). An exception escaping the plug-in's entry point is
// recorded as a violation of the call "PluginMain" and ends the run there.
// The scenario's host actions are applied in their places between events;
// they are not messages and have no line in the results.
// Throws ModuleError when the module cannot be loaded.
std::unique_ptr<swhost::Host> runScenario(const Scenario& scenario, PluginModule& module);

// One step of runScenario, for a host that plays messages as they come (the
// web page): delivers `event`, loading the module first if an unload left it
// unloaded, and unloads it after a successful unload. Returns false when an
// exception escaped the plug-in: it is recorded and the run is over.
// Throws ModuleError when the module cannot be loaded.
bool playEvent(swhost::Host& host, PluginModule& module, const swhost::Event& event);

// Applies a host action to the host's world.
void applyHostAction(swhost::Host& host, const HostAction& action);

// Ends the run as a host ends when it quits: a plug-in that is loaded and
// still holds its globals is sent "SP Interface"/"Shutdown", so that it
// frees what it holds. The message is not part of the scenario: call this
// after the report is made. Anything it raises is ignored.
void quitHost(swhost::Host& host, PluginModule& module);

// kExitViolations if the host recorded any violation, else kExitCompleted.
int exitStatusOf(const swhost::Host& host);

}  // namespace swrunner
