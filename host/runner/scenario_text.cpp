#include "host/runner/scenario_text.h"

#include <nlohmann/json.hpp>

#include "host/runner/float_text.h"
#include "host/runner/report.h"

namespace swrunner {

namespace {

std::string quoted(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

std::string number(float value) {
  const std::string_view name = nonFiniteName(value);
  return name.empty() ? floatText(value) : "\"" + std::string(name) + "\"";
}

std::string pair(float x, float y) { return "[" + number(x) + ", " + number(y) + "]"; }

std::string boolean(bool value) { return value ? "true" : "false"; }

template <typename Item, typename Text>
std::string list(const std::vector<Item>& items, Text text) {
  std::string line = "[";
  for (std::size_t i = 0; i < items.size(); ++i) line += (i > 0 ? ", " : "") + text(items[i]);
  return line + "]";
}

std::string segmentText(const hostapi::PathSegment& s) {
  std::string text = "[" + number(s.anchor.x) + ", " + number(s.anchor.y) + ", " + number(s.in.x) + ", " +
                     number(s.in.y) + ", " + number(s.out.x) + ", " + number(s.out.y);
  if (const std::uint32_t bytes = hostBytesValue(s); bytes != 0) text += ", " + std::to_string(bytes);
  return text + "]";
}

std::string pathText(const swhost::Path& path) {
  return "{\"name\": " + quoted(path.name) + ", \"selected\": " + boolean(path.selected) +
         ", \"closed\": " + boolean(path.closed) + ", \"segments\": " + list(path.segments, segmentText) + "}";
}

std::string faultText(const swhost::Fault& fault) {
  std::string text = "{\"call\": " + quoted(fault.call);
  if (fault.nth != 0) text += ", \"nth\": " + std::to_string(fault.nth);
  return text + ", \"error\": " + std::to_string(fault.error) + "}";
}

std::string eventText(const swhost::Event& event) {
  std::string text = "{\"caller\": " + quoted(event.caller) + ", \"selector\": " + quoted(event.selector);
  if (event.point) text += ", \"point\": " + pair(event.point->x, event.point->y);
  if (event.shift) text += ", \"shift\": " + boolean(*event.shift);
  if (event.item) text += ", \"item\": " + quoted(*event.item);
  return text + "}";
}

std::string actionText(const HostAction& action) {
  if (action.kind == HostAction::Kind::select) {
    return "{\"host\": \"select\", \"paths\": " +
           list(action.paths, [](std::size_t place) { return std::to_string(place); }) + "}";
  }
  return "{\"host\": \"view\", \"origin\": " + pair(action.originX, action.originY) +
         ", \"zoom\": " + number(action.zoom) + "}";
}

// A top-level array with one element per line.
std::string lines(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string text = "[\n";
  for (std::size_t i = 0; i < items.size(); ++i) text += "    " + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
  return text + "  ]";
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

  return "{\n  \"view\": {\"origin\": " + pair(world.originX, world.originY) + ", \"zoom\": " + number(world.zoom) +
         "},\n  \"host\": {\"tools\": " + list(world.tools, quoted) +
         ", \"menuGroups\": " + list(world.menuGroups, quoted) + ", \"iconType\": " + std::to_string(world.iconType) +
         "},\n  \"paths\": " + lines(paths) + ",\n  \"faults\": " + lines(faults) +
         ",\n  \"events\": " + lines(events) + "\n}\n";
}

}  // namespace swrunner
