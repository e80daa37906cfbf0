// A substitute host with the plug-in linked in, for tests that drive the
// plug-in message by message and then look at what the host saw.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace swtest {

// Paths with the given corner points: each point becomes a segment whose
// handles lie on its anchor.
swhost::Path cornerPath(const std::string& name, std::vector<hostapi::ArtworkPoint> points, bool selected = true);

// The plug-in attached to a fresh substitute host. Only one may exist at a
// time. The destructor shuts a started plug-in down, so a failing test leaves
// no state behind for the next one.
class Session {
 public:
  explicit Session(swhost::World world = {});
  ~Session();

  swhost::Host& host() { return host_; }
  const swhost::Host& host() const { return host_; }
  const swhost::Record& record() const { return host_.record(); }

  hostapi::HostError send(const std::string& caller, const std::string& selector);
  hostapi::HostError startup() { return send("SP Interface", "Startup"); }
  hostapi::HostError shutdown() { return send("SP Interface", "Shutdown"); }
  hostapi::HostError mouse(const std::string& selector, float x, float y);
  hostapi::HostError mouse(const std::string& selector, float x, float y, bool shift);
  hostapi::HostError draw() { return send("AI Annotation", "AI Draw"); }
  hostapi::HostError menu(const std::string& itemText);

  // The calls logged since the given index (see record().calls).
  std::vector<std::string> callsSince(std::size_t first) const;

 private:
  swhost::Host host_;
};

// The number of log entries equal to `call`.
std::size_t countCalls(const std::vector<std::string>& calls, const std::string& call);
std::size_t countCalls(const swhost::CallLog& calls, const std::string& call);

}  // namespace swtest
