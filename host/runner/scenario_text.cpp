// Scenario files written back (scenario_text.h): every float in the shortest
// text that reads back to the same 32-bit value, so that a saved session
// replays to the same report.
#include "host/runner/scenario_text.h"

#include <nlohmann/json.hpp>

#include "host/runner/float_text.h"
#include "host/runner/report.h"

namespace swrunner {

namespace {

// Text is built by appending: GCC 12 at -O3 misreads a literal prepended to a
// temporary string as an overlapping copy (-Wrestrict).
std::string quoted(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

std::string number(float value) {
  const std::string_view name = nonFiniteName(value);
  if (name.empty()) return floatText(value);
  std::string text(1, '"');
  return text.append(name).append(1, '"');
}

std::string pair(float x, float y) {
  std::string text(1, '[');
  return text.append(number(x)).append(", ").append(number(y)).append("]");
}

const char* boolean(bool value) { return value ? "true" : "false"; }

template <typename Item, typename Text>
std::string list(const std::vector<Item>& items, Text text) {
  std::string line(1, '[');
  for (std::size_t i = 0; i < items.size(); ++i) line.append(i > 0 ? ", " : "").append(text(items[i]));
  return line.append("]");
}

std::string segmentText(const hostapi::PathSegment& s) {
  std::string text(1, '[');
  const float coordinates[] = {s.anchor.x, s.anchor.y, s.in.x, s.in.y, s.out.x, s.out.y};
  for (std::size_t i = 0; i < 6; ++i) text.append(i > 0 ? ", " : "").append(number(coordinates[i]));
  if (const std::uint32_t bytes = hostBytesValue(s); bytes != 0) text.append(", ").append(std::to_string(bytes));
  return text.append("]");
}

std::string pathText(const swhost::Path& path) {
  std::string text("{\"name\": ");
  text.append(quoted(path.name)).append(", \"selected\": ").append(boolean(path.selected));
  text.append(", \"closed\": ").append(boolean(path.closed));
  return text.append(", \"segments\": ").append(list(path.segments, segmentText)).append("}");
}

std::string faultText(const swhost::Fault& fault) {
  std::string text("{\"call\": ");
  text.append(quoted(fault.call));
  if (fault.nth != 0) text.append(", \"nth\": ").append(std::to_string(fault.nth));
  return text.append(", \"error\": ").append(std::to_string(fault.error)).append("}");
}

std::string eventText(const swhost::Event& event) {
  std::string text("{\"caller\": ");
  text.append(quoted(event.caller)).append(", \"selector\": ").append(quoted(event.selector));
  if (event.point) text.append(", \"point\": ").append(pair(event.point->x, event.point->y));
  if (event.shift) text.append(", \"shift\": ").append(boolean(*event.shift));
  if (event.item) text.append(", \"item\": ").append(quoted(*event.item));
  return text.append("}");
}

std::string actionText(const HostAction& action) {
  std::string text("{\"host\": ");
  if (action.kind == HostAction::Kind::undo) return text.append("\"undo\"}");
  if (action.kind == HostAction::Kind::redo) return text.append("\"redo\"}");
  if (action.kind == HostAction::Kind::select) {
    const auto place = [](std::size_t p) { return std::to_string(p); };
    return text.append("\"select\", \"paths\": ").append(list(action.paths, place)).append("}");
  }
  text.append("\"view\", \"origin\": ").append(pair(action.originX, action.originY));
  return text.append(", \"zoom\": ").append(number(action.zoom)).append("}");
}

// A top-level array with one element per line.
std::string lines(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string text("[\n");
  for (std::size_t i = 0; i < items.size(); ++i) {
    text.append("    ").append(items[i]).append(i + 1 < items.size() ? ",\n" : "\n");
  }
  return text.append("  ]");
}

}  // namespace

std::string scenarioText(const Scenario& scenario) {
  const swhost::World& world = scenario.world;
  std::vector<std::string> paths;
  paths.reserve(world.paths.size());
  for (const swhost::Path& path : world.paths) paths.push_back(pathText(path));
  std::vector<std::string> faults;
  for (const swhost::Fault& fault : world.faults) faults.push_back(faultText(fault));
  std::vector<std::string> events;
  events.reserve(scenario.events.size() + scenario.actions.size());
  auto action = scenario.actions.begin();
  for (std::size_t index = 0; index <= scenario.events.size(); ++index) {
    for (; action != scenario.actions.end() && action->beforeEvent <= index; ++action) {
      events.push_back(actionText(*action));
    }
    if (index < scenario.events.size()) events.push_back(eventText(scenario.events[index]));
  }

  std::string text("{\n  \"view\": {\"origin\": ");
  text.append(pair(world.originX, world.originY)).append(", \"zoom\": ").append(number(world.zoom));
  text.append("},\n  \"host\": {\"tools\": ").append(list(world.tools, quoted));
  text.append(", \"menuGroups\": ").append(list(world.menuGroups, quoted));
  text.append(", \"iconType\": ").append(std::to_string(world.iconType));
  text.append("},\n  \"paths\": ").append(lines(paths));
  text.append(",\n  \"faults\": ").append(lines(faults));
  return text.append(",\n  \"events\": ").append(lines(events)).append("\n}\n");
}

}  // namespace swrunner
