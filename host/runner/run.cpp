// Playing a scenario (run.h): host actions applied in their places, each
// message delivered (the library loaded again after an unload), an exception
// out of the plug-in recorded as a broken contract and the end of the run.
#include "host/runner/run.h"

#include <exception>

namespace swrunner {

namespace {

bool isUnload(const swhost::Event& event) { return event.caller == "SP Access" && event.selector == "Unload"; }

void recordEscape(swhost::Host& host, const swhost::Event& event, const std::string& what) {
  host.violation("PluginMain",
                 "an exception escaped while handling " + event.caller + " / " + event.selector + ": " + what);
}

}  // namespace

bool playEvent(swhost::Host& host, PluginModule& module, const swhost::Event& event) {
  if (!module.loaded()) host.attach(module.load());
  hostapi::HostError result = hostapi::kNoError;
  try {
    result = host.deliver(event).result;
  } catch (const std::exception& error) {
    recordEscape(host, event, error.what());
    return false;
  } catch (...) {
    recordEscape(host, event, "not a standard exception");
    return false;
  }
  if (isUnload(event) && result == hostapi::kNoError) module.unload();
  return true;
}

void applyHostAction(swhost::Host& host, const HostAction& action) {
  switch (action.kind) {
    case HostAction::Kind::select:
      host.document().selectOnly(action.paths);
      break;
    case HostAction::Kind::view:
      host.setView(action.originX, action.originY, action.zoom);
      break;
    case HostAction::Kind::undo:
      host.document().undo();
      break;
    case HostAction::Kind::redo:
      host.document().redo();
      break;
  }
}

std::unique_ptr<swhost::Host> runScenario(const Scenario& scenario, PluginModule& module) {
  auto host = std::make_unique<swhost::Host>(scenario.world);
  swhost::Host* raw = host.get();
  host->setCursorLoader([&module, raw](std::int32_t cursorId) { return module.showCursor(*raw, cursorId); });
  host->attach(module.load());
  auto action = scenario.actions.begin();
  const auto applyActionsBefore = [&](std::size_t index) {
    for (; action != scenario.actions.end() && action->beforeEvent <= index; ++action) applyHostAction(*host, *action);
  };
  for (std::size_t index = 0; index < scenario.events.size(); ++index) {
    applyActionsBefore(index);
    if (!playEvent(*host, module, scenario.events[index])) return host;
  }
  applyActionsBefore(scenario.events.size());
  return host;
}

void quitHost(swhost::Host& host, PluginModule& module) {
  if (!module.loaded() || host.pluginGlobals() == nullptr) return;
  try {
    host.deliver(swhost::Event{"SP Interface", "Shutdown", std::nullopt, std::nullopt, std::nullopt});
  } catch (...) {  // the run is over; its report is already made
  }
}

int exitStatusOf(const swhost::Host& host) {
  return host.record().violations.empty() ? kExitCompleted : kExitViolations;
}

}  // namespace swrunner
