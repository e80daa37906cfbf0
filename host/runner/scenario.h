// Scenario files: the world the substitute host starts from and the messages
// it sends, read from JSON.
//
// Reading is all or nothing: a file that breaks any rule below is refused as
// a whole with one ScenarioError that names the place, so nothing of a bad
// file is ever run. Hostile files are stopped before they cost much: the file
// size, the nesting depth and every array's length are checked while the
// text streams past, before any document tree is built.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace swrunner {

// Limits that no sensible scenario reaches.
inline constexpr std::size_t kMaxScenarioBytes = 16u << 20;
inline constexpr std::size_t kMaxNesting = 8;  // a segment's numbers sit at depth 5
inline constexpr std::size_t kMaxArrayLength = 32767;

// What the person does to the host between messages, without the plug-in
// being told: choosing art ({"host": "select", "paths": [0, 2]}, places in
// paint order), panning and zooming view 0 ({"host": "view", "origin":
// [x, y], "zoom": z}), and undoing or redoing a step of the document's
// history ({"host": "undo"}, {"host": "redo"}). The plug-in sees the change
// through the host's answers afterwards, so a session replays only with its
// actions in place.
struct HostAction {
  enum class Kind { select, view, undo, redo };
  Kind kind = Kind::select;
  std::size_t beforeEvent = 0;           // applied before events[beforeEvent]; events.size(): after the last
  std::vector<std::size_t> paths;        // select: the places to select
  float originX = 0.0f, originY = 0.0f;  // view
  float zoom = 1.0f;
};

// A scenario: the host's world, the messages to deliver, in order, and the
// person's actions between them, in order.
struct Scenario {
  swhost::World world;
  std::vector<swhost::Event> events;
  std::vector<HostAction> actions;
};

// Why a scenario was refused. `place` is where in the file: a path of field
// names and indices such as "events[3].point", or "line 2, column 7" for
// text that is not JSON; it is empty when the file as a whole is at fault.
class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(std::string place, const std::string& what) : std::runtime_error(what), place_(std::move(place)) {}
  const std::string& place() const { return place_; }

 private:
  std::string place_;
};

// Reads a scenario from JSON text. Throws ScenarioError.
Scenario parseScenario(std::string_view text);

// Reads a scenario file. Throws ScenarioError, also when the file cannot be
// read or is larger than kMaxScenarioBytes.
Scenario loadScenarioFile(const std::filesystem::path& file);

// The one-line message for a refused file: "<file>: <place>: <what>", with
// any control character in it shown as an escape so it stays one line.
std::string describeScenarioError(const std::string& file, const ScenarioError& error);

// True for the tool messages that carry a mouse position the plug-in acts on.
bool isMouseEvent(std::string_view caller, std::string_view selector);

}  // namespace swrunner
