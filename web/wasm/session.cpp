// A session of the page (session.h): each world a fresh host and plug-in
// played with the runner's own functions, and everything sent recorded as
// the scenario that replays it.
#include "web/wasm/session.h"

#include "host/runner/run.h"
#include "web/wasm/side_module_plugin.h"

namespace swweb {

void Session::stop() {
  if (host_ != nullptr) swrunner::quitHost(*host_, *module_);
  host_.reset();
  module_.reset();
}

void Session::start(const swrunner::Scenario& scenario) {
  stop();
  module_ = openSideModule(pluginFile_);
  // Strict mode off, as in the runner: the report lists broken contracts.
  const swhost::StrictModeScope lenient(nullptr);
  host_ = swrunner::runScenario(scenario, *module_);
  played_ = scenario;
  // The run stops at an exception that escapes the plug-in: that event and
  // the ones after it have no result.
  over_ = host_->record().results.size() < scenario.events.size();
}

SendResult Session::send(const swhost::Event& event) {
  played_.events.push_back(event);
  if (over_) return SendResult{};
  if (!swrunner::playEvent(*host_, *module_, event)) {
    over_ = true;
    return SendResult{};
  }
  const swhost::EventResult& outcome = host_->record().results.back();
  return SendResult{true, outcome.result, outcome.calls};
}

void Session::act(swrunner::HostAction action) {
  action.beforeEvent = played_.events.size();
  if (!over_) swrunner::applyHostAction(*host_, action);
  played_.actions.push_back(std::move(action));
}

}  // namespace swweb
