// The web build's entry points, called by web/engine.js (the one module that
// touches this memory). Plain C functions: strings in as NUL-terminated UTF-8,
// strings out as pointers into buffers that stay valid until the next call,
// and failures as a non-zero status with the reason in sw_error().
#include <emscripten/emscripten.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/runner/report.h"
#include "host/runner/scenario.h"
#include "host/runner/scenario_text.h"
#include "web/wasm/session.h"

namespace {

using swrunner::HostAction;
using swrunner::Scenario;
using swrunner::ScenarioError;

// Where the build puts the plug-in in the runtime's file system.
constexpr const char* kPluginFile = "/plugins/slantWarper.wasm";

swweb::Session& session() {
  static swweb::Session instance(kPluginFile);
  return instance;
}

std::string gError;       // why the latest call failed
std::string gText;        // the latest text handed out
swweb::SendResult gSent;  // the latest message's outcome
Scenario gPending;        // a world being built by sw_world_begin/add_path
bool gPendingOpen = false;

// The packed document of sw_pack_paths.
std::vector<std::int32_t> gTable;  // per path: id, first float, segment count, flags (1 selected, 2 closed)
std::vector<float> gFloats;        // per segment: ax, ay, ix, iy, ox, oy

int failure(std::string why) {
  gError = std::move(why);
  return 1;
}

// Runs `work`, turning any exception into a failure with its message.
template <typename Work>
int guarded(Work work) {
  try {
    work();
    return 0;
  } catch (const std::exception& error) {
    return failure(error.what());
  } catch (...) {
    return failure("an unknown error");
  }
}

const char* handOut(std::string text) {
  gText = std::move(text);
  return gText.c_str();
}

int requireSession() { return session().running() ? 0 : failure("no session: load a scenario or a world first"); }

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* sw_error() { return gError.c_str(); }

// A scenario file, played in a new session. `name` stands for the file in
// the one-line message of a refused file, as the runner names its argument.
EMSCRIPTEN_KEEPALIVE int sw_load_scenario(const char* text, std::size_t length, const char* name) {
  Scenario scenario;
  try {
    scenario = swrunner::parseScenario(std::string_view(text, length));
  } catch (const ScenarioError& error) {
    return failure(swrunner::describeScenarioError(name, error));
  } catch (const std::exception& error) {
    return failure(error.what());
  }
  return guarded([&] { session().start(scenario); });
}

// A new world in three steps, so that large documents need no JSON: the
// world's view, host and faults as scenario JSON without paths or events,
// then each path, then the start. Nothing changes before sw_world_commit.
EMSCRIPTEN_KEEPALIVE int sw_world_begin(const char* text, std::size_t length) {
  gPendingOpen = false;
  try {
    gPending = swrunner::parseScenario(std::string_view(text, length));
  } catch (const ScenarioError& error) {
    return failure(swrunner::describeScenarioError("world", error));
  } catch (const std::exception& error) {
    return failure(error.what());
  }
  if (!gPending.events.empty() || !gPending.actions.empty()) return failure("world: a world has no events");
  gPending.world.paths.clear();
  gPendingOpen = true;
  return 0;
}

// `coordinates` holds six floats per segment: anchor, in-handle, out-handle.
EMSCRIPTEN_KEEPALIVE int sw_world_add_path(const char* name, int selected, int closed, const float* coordinates,
                                           std::size_t segments) {
  if (!gPendingOpen) return failure("world: no world begun");
  const std::size_t place = gPending.world.paths.size();
  const std::string at = "world: paths[" + std::to_string(place) + "]: ";
  if (place >= swrunner::kMaxArrayLength) {
    return failure("world: more than " + std::to_string(swrunner::kMaxArrayLength) + " paths");
  }
  if (segments > swrunner::kMaxArrayLength) {
    return failure(at + "more than " + std::to_string(swrunner::kMaxArrayLength) + " segments; a path holds at most " +
                   std::to_string(swrunner::kMaxArrayLength));
  }
  return guarded([&] {
    swhost::Path path;
    path.name = name;
    path.selected = selected != 0;
    path.closed = closed != 0;
    path.segments.resize(segments);
    for (std::size_t i = 0; i < segments; ++i) {
      const float* c = coordinates + 6 * i;
      path.segments[i] = hostapi::PathSegment{{c[0], c[1]}, {c[2], c[3]}, {c[4], c[5]}, {0, 0, 0, 0}};
    }
    gPending.world.paths.push_back(std::move(path));
  });
}

EMSCRIPTEN_KEEPALIVE int sw_world_commit() {
  if (!gPendingOpen) return failure("world: no world begun");
  gPendingOpen = false;
  const int status = guarded([] { session().start(gPending); });
  gPending = Scenario{};
  return status;
}

// One message, delivered and recorded. shift: -1 leaves the key as it is,
// 0 up, 1 down. item and point apply to menu and tool messages as in a
// scenario file, which refuses the same things.
EMSCRIPTEN_KEEPALIVE int sw_send(const char* caller, const char* selector, int hasPoint, float x, float y, int shift,
                                 const char* item) {
  if (requireSession() != 0) return 1;
  swhost::Event event{caller, selector, std::nullopt, std::nullopt, std::nullopt};
  if (hasPoint != 0) {
    if (event.caller != "AI Tool") return failure("point: only \"AI Tool\" messages carry a point");
    event.point = hostapi::ArtworkPoint{x, y};
  } else if (swrunner::isMouseEvent(event.caller, event.selector)) {
    return failure("point: expected [x, y]: a mouse event needs the cursor's point");
  }
  if (shift >= 0) event.shift = shift != 0;
  if (item != nullptr) {
    if (event.caller != "AI Menu") return failure("item: only \"AI Menu\" messages name an item");
    event.item = item;
  }
  return guarded([&] { gSent = session().send(event); });
}

EMSCRIPTEN_KEEPALIVE int sw_sent_delivered() { return gSent.delivered ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int sw_sent_result() { return gSent.result; }
EMSCRIPTEN_KEEPALIVE double sw_sent_calls() { return static_cast<double>(gSent.hostCalls); }

// Selects exactly the paths at these places in paint order.
EMSCRIPTEN_KEEPALIVE int sw_select(const std::uint32_t* places, std::size_t count) {
  if (requireSession() != 0) return 1;
  HostAction action;
  action.kind = HostAction::Kind::select;
  for (std::size_t i = 0; i < count; ++i) {
    if (places[i] >= swrunner::kMaxArrayLength) return failure("select: no path at place " + std::to_string(places[i]));
    action.paths.push_back(places[i]);
  }
  return guarded([&] { session().act(std::move(action)); });
}

EMSCRIPTEN_KEEPALIVE int sw_set_view(float originX, float originY, float zoom) {
  if (requireSession() != 0) return 1;
  if (!std::isfinite(originX) || !std::isfinite(originY)) return failure("view: the origin must be finite");
  if (!(zoom > 0.0f) || !std::isfinite(zoom)) return failure("view: the zoom must be a positive number");
  HostAction action;
  action.kind = HostAction::Kind::view;
  action.originX = originX;
  action.originY = originY;
  action.zoom = zoom;
  return guarded([&] { session().act(std::move(action)); });
}

// The person's undo and redo of the document's history.
EMSCRIPTEN_KEEPALIVE int sw_undo() {
  if (requireSession() != 0) return 1;
  HostAction action;
  action.kind = HostAction::Kind::undo;
  return guarded([&] { session().act(std::move(action)); });
}

EMSCRIPTEN_KEEPALIVE int sw_redo() {
  if (requireSession() != 0) return 1;
  HostAction action;
  action.kind = HostAction::Kind::redo;
  return guarded([&] { session().act(std::move(action)); });
}

EMSCRIPTEN_KEEPALIVE const char* sw_report() {
  if (!session().running()) return handOut("");
  return handOut(swrunner::reportText(swrunner::buildReport(session().host())));
}

EMSCRIPTEN_KEEPALIVE const char* sw_scenario() {
  if (!session().running()) return handOut("");
  return handOut(swrunner::scenarioText(session().played()));
}

// The host's state beside the document, as JSON: view 0, the latest drawing,
// whether the annotator is active in a running plug-in, menu items and groups, alerts, the
// cursor last set, whether the tool exists and what can be undone and redone.
EMSCRIPTEN_KEEPALIVE const char* sw_state() {
  if (!session().running()) return handOut("null");
  const swhost::Host& host = session().host();
  const swhost::Record& record = host.record();
  nlohmann::json state = nlohmann::json::object();
  state["view"] = {{"origin", {host.world().originX, host.world().originY}}, {"zoom", host.world().zoom}};
  nlohmann::json drawing = nlohmann::json::array();
  for (const swhost::DrawnLine& line : record.drawing) {
    drawing.push_back({{"color", {line.color.red, line.color.green, line.color.blue}},
                       {"dash", line.dash},
                       {"from", {line.from.x, line.from.y}},
                       {"to", {line.to.x, line.to.y}}});
  }
  state["drawing"] = std::move(drawing);
  state["annotatorActive"] = host.annotatorActive() && session().pluginLive();
  nlohmann::json menu = nlohmann::json::array();
  for (const swhost::MenuItem& item : record.menuItems) menu.push_back({{"group", item.group}, {"text", item.text}});
  state["menu"] = std::move(menu);
  nlohmann::json groups = nlohmann::json::array();
  for (const swhost::MenuGroup& group : record.menuGroups) {
    nlohmann::json parent = nullptr;
    if (group.parentItem && *group.parentItem < record.menuItems.size()) {
      parent = record.menuItems[*group.parentItem].text;
    }
    groups.push_back({{"name", group.name}, {"parent", std::move(parent)}});
  }
  state["menuGroups"] = std::move(groups);
  state["alerts"] = record.alerts;
  state["cursor"] = record.cursors.empty() ? nlohmann::json(nullptr) : nlohmann::json(record.cursors.back());
  state["toolActive"] = !record.tools.empty();
  state["messages"] = record.results.size();
  state["history"] = {{"undo", host.document().canUndo()}, {"redo", host.document().canRedo()}};
  return handOut(state.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace));
}

// Packs the document for drawing: returns the number of paths; the table and
// the floats are at sw_packed_table() and sw_packed_floats() until the next
// call. Path ids stay the same for a path's life.
EMSCRIPTEN_KEEPALIVE std::size_t sw_pack_paths() {
  gTable.clear();
  if (!session().running()) return 0;
  const swhost::Document& document = session().host().document();
  std::size_t total = 0;
  document.forEach([&](hostapi::ArtHandle, const swhost::Path& path) { total += path.segments.size(); });
  gTable.reserve(4 * document.size());
  gFloats.resize(6 * total);  // no clear first: an unchanged size costs nothing
  float* out = gFloats.data();
  document.forEach([&](hostapi::ArtHandle art, const swhost::Path& path) {
    gTable.push_back(static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(art)));
    gTable.push_back(static_cast<std::int32_t>(out - gFloats.data()));
    gTable.push_back(static_cast<std::int32_t>(path.segments.size()));
    gTable.push_back((path.selected ? 1 : 0) | (path.closed ? 2 : 0));
    // Anchor, in and out are the segment record's first six floats.
    static_assert(offsetof(hostapi::PathSegment, out) + sizeof(hostapi::ArtworkPoint) == 6 * sizeof(float));
    for (const hostapi::PathSegment& s : path.segments) {
      std::memcpy(out, &s, 6 * sizeof(float));
      out += 6;
    }
  });
  return gTable.size() / 4;
}

EMSCRIPTEN_KEEPALIVE const std::int32_t* sw_packed_table() { return gTable.data(); }
EMSCRIPTEN_KEEPALIVE const float* sw_packed_floats() { return gFloats.data(); }

// The name of the path with this id, or "" if none lives.
EMSCRIPTEN_KEEPALIVE const char* sw_path_name(std::int32_t id) {
  if (!session().running()) return "";
  const auto art = reinterpret_cast<hostapi::ArtHandle>(static_cast<std::uintptr_t>(id));
  const swhost::Path* path = session().host().document().find(art);
  return handOut(path != nullptr ? path->name : "");
}

}  // extern "C"
