// Reading a scenario file (scenario.h): the text guarded first, then every
// field checked by name, type and range, the first fault refused with the
// place it is at; nothing of a refused file is kept.
#include "host/runner/scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <limits>

#include "host/runner/float_text.h"
#include "host/runner/scenario_guard.h"

namespace swrunner {

namespace {

using Json = ScenarioJson;
using hostapi::ArtworkPoint;
using hostapi::PathSegment;

[[noreturn]] void fail(const std::string& place, const std::string& what) { throw ScenarioError(place, what); }

std::string field(const std::string& place, std::string_view name) {
  return place.empty() ? std::string(name) : place + "." + std::string(name);
}

std::string element(const std::string& place, std::size_t index) { return place + "[" + std::to_string(index) + "]"; }

// ", got <type>" for the messages that name what was expected.
std::string got(const Json& value) { return ", got " + std::string(value.type_name()); }

// Checks that `value` is an object with no field outside `known`.
void expectObject(const Json& value, const std::string& place, std::initializer_list<std::string_view> known) {
  if (!value.is_object()) fail(place, "expected an object" + got(value));
  for (const auto& [name, member] : value.items()) {
    if (std::find(known.begin(), known.end(), name) != known.end()) continue;
    std::string list;
    for (const std::string_view k : known) list += (list.empty() ? "" : ", ") + std::string(k);
    fail(place, "unknown field \"" + name + "\" (known: " + list + ")");
  }
}

// The field's value, or null when the object has no such field.
const Json* find(const Json& object, std::string_view name) {
  const auto it = object.find(std::string(name));
  return it == object.end() ? nullptr : &*it;
}

const Json& require(const Json& object, const std::string& place, std::string_view name) {
  const Json* value = find(object, name);
  if (value == nullptr) fail(place, "missing field \"" + std::string(name) + "\"");
  return *value;
}

const Json& expectArray(const Json& value, const std::string& place) {
  if (!value.is_array()) fail(place, "expected an array" + got(value));
  return value;
}

// Host strings travel as NUL-terminated text, so a NUL inside would cut them.
std::string readString(const Json& value, const std::string& place) {
  if (!value.is_string()) fail(place, "expected a string" + got(value));
  const std::string& text = value.get_ref<const std::string&>();
  if (text.find('\0') != std::string::npos) fail(place, "a NUL character inside the text");
  return text;
}

bool readBool(const Json& value, const std::string& place) {
  if (!value.is_boolean()) fail(place, "expected true or false" + got(value));
  return value.get<bool>();
}

// An integer within [low, high]; fractions are refused, not rounded.
std::int64_t readInteger(const Json& value, const std::string& place, std::int64_t low, std::int64_t high) {
  const std::string range = "expected an integer from " + std::to_string(low) + " to " + std::to_string(high);
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(high) || static_cast<std::int64_t>(number) < low) fail(place, range);
    return static_cast<std::int64_t>(number);
  }
  if (!value.is_number_integer()) fail(place, range + got(value));
  const auto number = value.get<std::int64_t>();
  if (number < low || number > high) fail(place, range);
  return number;
}

// A coordinate: any JSON number (rounded to the nearest float), or one of
// the names "NaN", "Infinity", "-Infinity".
float readCoordinate(const Json& value, const std::string& place) {
  if (value.is_number_float()) return value.get<float>();
  if (value.is_number_unsigned()) return static_cast<float>(value.get<std::uint64_t>());
  if (value.is_number_integer()) return static_cast<float>(value.get<std::int64_t>());
  if (value.is_string()) {
    if (const std::optional<float> special = nonFiniteFromName(value.get_ref<const std::string&>())) return *special;
  }
  fail(place, "expected a number, \"NaN\", \"Infinity\" or \"-Infinity\"" + got(value));
}

ArtworkPoint readPoint(const Json& value, const std::string& place) {
  if (!value.is_array() || value.size() != 2) fail(place, "expected [x, y]");
  return ArtworkPoint{readCoordinate(value[0], element(place, 0)), readCoordinate(value[1], element(place, 1))};
}

ArtworkPoint readFinitePoint(const Json& value, const std::string& place) {
  const ArtworkPoint point = readPoint(value, place);
  if (!std::isfinite(point.x) || !std::isfinite(point.y)) fail(place, "expected finite numbers");
  return point;
}

// [x, y], [x, y, hostBytes], [ax, ay, ix, iy, ox, oy] or that with hostBytes;
// the host bytes are an unsigned 32-bit integer stored little-endian.
PathSegment readSegment(const Json& value, const std::string& place) {
  if (!value.is_array()) fail(place, "expected a segment array" + got(value));
  const std::size_t arity = value.size();
  if (arity != 2 && arity != 3 && arity != 6 && arity != 7) {
    fail(place,
         "a segment has 2, 3, 6 or 7 numbers ([x, y], [ax, ay, ix, iy, ox, oy], each optionally with host "
         "bytes), not " +
             std::to_string(arity));
  }
  float c[6];
  const std::size_t coordinates = arity >= 6 ? 6 : 2;
  for (std::size_t i = 0; i < coordinates; ++i) c[i] = readCoordinate(value[i], element(place, i));
  if (coordinates == 2) {
    c[2] = c[4] = c[0];
    c[3] = c[5] = c[1];
  }
  PathSegment segment{{c[0], c[1]}, {c[2], c[3]}, {c[4], c[5]}, {0, 0, 0, 0}};
  if (arity == 3 || arity == 7) {
    const auto bytes = static_cast<std::uint32_t>(
        readInteger(value[arity - 1], element(place, arity - 1), 0, std::numeric_limits<std::uint32_t>::max()));
    for (int i = 0; i < 4; ++i) segment.hostData[i] = static_cast<std::uint8_t>(bytes >> (8 * i));
  }
  return segment;
}

swhost::Path readPath(const Json& value, const std::string& place) {
  expectObject(value, place, {"name", "selected", "closed", "segments"});
  swhost::Path path;
  if (const Json* name = find(value, "name")) path.name = readString(*name, field(place, "name"));
  if (const Json* selected = find(value, "selected")) path.selected = readBool(*selected, field(place, "selected"));
  if (const Json* closed = find(value, "closed")) path.closed = readBool(*closed, field(place, "closed"));
  if (const Json* segments = find(value, "segments")) {
    const std::string at = field(place, "segments");
    expectArray(*segments, at);
    if (segments->size() > kMaxArrayLength) {
      fail(at, "more than " + std::to_string(kMaxArrayLength) + " segments; a path holds at most " +
                   std::to_string(kMaxArrayLength));
    }
    path.segments.reserve(segments->size());
    for (std::size_t i = 0; i < segments->size(); ++i)
      path.segments.push_back(readSegment((*segments)[i], element(at, i)));
  }
  return path;
}

swhost::Fault readFault(const Json& value, const std::string& place) {
  expectObject(value, place, {"call", "nth", "error"});
  swhost::Fault fault;
  fault.call = readString(require(value, place, "call"), field(place, "call"));
  // Omitted: every call fails. Given: counted from 1.
  if (const Json* nth = find(value, "nth")) {
    fault.nth = readInteger(*nth, field(place, "nth"), 1, std::numeric_limits<std::int32_t>::max());
  }
  const Json& error = require(value, place, "error");
  const std::string at = field(place, "error");
  if (error.is_string()) {
    const std::string& code = error.get_ref<const std::string&>();
    if (code.size() != 4) fail(at, "a code given as text has four characters, as in \"!ico\"");
    fault.error = hostapi::fourCharCode(code[0], code[1], code[2], code[3]);
  } else {
    fault.error = static_cast<hostapi::HostError>(
        readInteger(error, at, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
  }
  if (fault.error == hostapi::kNoError) fail(at, "0 is success, not a fault");
  return fault;
}

swhost::Event readEvent(const Json& value, const std::string& place) {
  expectObject(value, place, {"caller", "selector", "point", "shift", "item"});
  swhost::Event event;
  event.caller = readString(require(value, place, "caller"), field(place, "caller"));
  event.selector = readString(require(value, place, "selector"), field(place, "selector"));
  if (const Json* point = find(value, "point")) {
    if (event.caller != "AI Tool") fail(field(place, "point"), "only \"AI Tool\" messages carry a point");
    event.point = readPoint(*point, field(place, "point"));
  } else if (isMouseEvent(event.caller, event.selector)) {
    fail(field(place, "point"), "expected [x, y]: a mouse event needs the cursor's point");
  }
  if (const Json* shift = find(value, "shift")) event.shift = readBool(*shift, field(place, "shift"));
  if (const Json* item = find(value, "item")) {
    if (event.caller != "AI Menu") fail(field(place, "item"), "only \"AI Menu\" messages name an item");
    event.item = readString(*item, field(place, "item"));
  }
  return event;
}

// {"host": "select", "paths": [...]}, {"host": "view", "origin": [x, y], "zoom": z},
// {"host": "undo"} or {"host": "redo"}.
HostAction readHostAction(const Json& value, const std::string& place, std::size_t beforeEvent) {
  HostAction action;
  action.beforeEvent = beforeEvent;
  const std::string kind = readString(require(value, place, "host"), field(place, "host"));
  if (kind == "select") {
    expectObject(value, place, {"host", "paths"});
    const std::string at = field(place, "paths");
    const Json& paths = expectArray(require(value, place, "paths"), at);
    for (std::size_t i = 0; i < paths.size(); ++i) {
      action.paths.push_back(
          static_cast<std::size_t>(readInteger(paths[i], element(at, i), 0, std::int64_t{kMaxArrayLength} - 1)));
    }
  } else if (kind == "view") {
    expectObject(value, place, {"host", "origin", "zoom"});
    action.kind = HostAction::Kind::view;
    const ArtworkPoint origin = readFinitePoint(require(value, place, "origin"), field(place, "origin"));
    action.originX = origin.x;
    action.originY = origin.y;
    action.zoom = readCoordinate(require(value, place, "zoom"), field(place, "zoom"));
    if (!(action.zoom > 0.0f) || !std::isfinite(action.zoom)) fail(field(place, "zoom"), "expected a positive number");
  } else if (kind == "undo" || kind == "redo") {
    expectObject(value, place, {"host"});
    action.kind = kind == "undo" ? HostAction::Kind::undo : HostAction::Kind::redo;
  } else {
    fail(field(place, "host"), "expected \"select\", \"view\", \"undo\" or \"redo\"");
  }
  return action;
}

void readView(const Json& value, const std::string& place, swhost::World& world) {
  expectObject(value, place, {"origin", "zoom"});
  if (const Json* origin = find(value, "origin")) {
    const ArtworkPoint point = readFinitePoint(*origin, field(place, "origin"));
    world.originX = point.x;
    world.originY = point.y;
  }
  if (const Json* zoom = find(value, "zoom")) {
    world.zoom = readCoordinate(*zoom, field(place, "zoom"));
    if (!(world.zoom > 0.0f) || !std::isfinite(world.zoom)) fail(field(place, "zoom"), "expected a positive number");
  }
}

std::vector<std::string> readNames(const Json& value, const std::string& place) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < expectArray(value, place).size(); ++i) {
    names.push_back(readString(value[i], element(place, i)));
  }
  return names;
}

void readHost(const Json& value, const std::string& place, swhost::World& world) {
  expectObject(value, place, {"tools", "menuGroups", "iconType"});
  if (const Json* tools = find(value, "tools")) world.tools = readNames(*tools, field(place, "tools"));
  if (const Json* groups = find(value, "menuGroups")) world.menuGroups = readNames(*groups, field(place, "menuGroups"));
  if (const Json* iconType = find(value, "iconType")) {
    world.iconType = static_cast<std::int32_t>(readInteger(*iconType, field(place, "iconType"),
                                                           std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
  }
}

// Applies `read` to each element of the array field `name`, if present.
template <typename Read>
void forEach(const Json& object, std::string_view name, Read read) {
  const Json* array = find(object, name);
  if (array == nullptr) return;
  const std::string place(name);
  expectArray(*array, place);
  for (std::size_t i = 0; i < array->size(); ++i) read((*array)[i], element(place, i));
}

// Shows control characters (and the escape character itself) as escapes.
std::string oneLine(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string line;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\\') {
      line += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      line += "\\x";
      line += kHex[byte >> 4];
      line += kHex[byte & 0xF];
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace

bool isMouseEvent(std::string_view caller, std::string_view selector) {
  return caller == "AI Tool" &&
         (selector == "AI Mouse Down" || selector == "AI Mouse Drag" || selector == "AI Mouse Up");
}

Scenario parseScenario(std::string_view text) {
  if (text.size() > kMaxScenarioBytes) {
    throw ScenarioError("", "larger than " + std::to_string(kMaxScenarioBytes >> 20) + " MiB");
  }
  guardScenarioText(text);
  const Json root = Json::parse(text);
  expectObject(root, "", {"view", "host", "paths", "faults", "events"});

  Scenario scenario;
  swhost::World& world = scenario.world;
  if (const Json* view = find(root, "view")) readView(*view, "view", world);
  if (const Json* host = find(root, "host")) readHost(*host, "host", world);
  forEach(root, "paths", [&](const Json& v, const std::string& at) { world.paths.push_back(readPath(v, at)); });
  forEach(root, "faults", [&](const Json& v, const std::string& at) { world.faults.push_back(readFault(v, at)); });
  forEach(root, "events", [&](const Json& v, const std::string& at) {
    if (v.is_object() && find(v, "host") != nullptr) {
      scenario.actions.push_back(readHostAction(v, at, scenario.events.size()));
    } else {
      scenario.events.push_back(readEvent(v, at));
    }
  });
  return scenario;
}

Scenario loadScenarioFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ScenarioError("", "cannot be opened for reading");
  std::string text;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxScenarioBytes) break;  // parseScenario refuses it
  }
  if (in.bad()) throw ScenarioError("", "cannot be read");
  return parseScenario(text);
}

std::string describeScenarioError(const std::string& file, const ScenarioError& error) {
  const std::string place = error.place().empty() ? "" : error.place() + ": ";
  return oneLine(file + ": " + place + error.what());
}

}  // namespace swrunner
