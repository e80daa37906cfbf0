// A session of the web page: the substitute host and the plug-in, played one
// message at a time as a person works, exactly as slantwarper-host plays a
// scenario file, and recorded as one so that any runner replays it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/runner/plugin_module.h"
#include "host/runner/scenario.h"

namespace swweb {

// The outcome of one message: delivered is false once an exception escaped
// the plug-in, after which, as in the runner, nothing more is delivered.
struct SendResult {
  bool delivered = false;
  hostapi::HostError result = 0;
  std::size_t hostCalls = 0;
};

class Session {
 public:
  // The plug-in is the side module at `pluginFile`; no session runs yet.
  explicit Session(std::filesystem::path pluginFile) : pluginFile_(std::move(pluginFile)) {}
  ~Session() { stop(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Ends the running session as a quitting host does, then plays `scenario`
  // with a fresh host and a freshly loaded plug-in, as slantwarper-host
  // does. Throws ModuleError when the plug-in cannot be loaded; no session
  // runs then.
  void start(const swrunner::Scenario& scenario);

  // Delivers one message and records it. Requires a running session.
  SendResult send(const swhost::Event& event);
  // Applies a host action and records it. Requires a running session.
  void act(swrunner::HostAction action);

  bool running() const { return host_ != nullptr; }
  // Whether the plug-in can take messages as a host sends them: loaded,
  // holding its globals (started, not shut down) and not stopped by an
  // escaped exception. A host asks only such a plug-in to draw.
  bool pluginLive() const { return running() && module_->loaded() && host_->pluginGlobals() != nullptr && !over_; }
  const swhost::Host& host() const { return *host_; }
  // The session so far as a scenario: the world it started from, every
  // message and host action since.
  const swrunner::Scenario& played() const { return played_; }

 private:
  void stop();

  std::filesystem::path pluginFile_;
  std::unique_ptr<swrunner::PluginModule> module_;  // outlives host_, whose cursor loader refers to it
  std::unique_ptr<swhost::Host> host_;
  swrunner::Scenario played_;
  bool over_ = false;  // an exception escaped the plug-in
};

}  // namespace swweb
