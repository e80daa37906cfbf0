// libFuzzer target: a random host world (paths with empty, huge, infinite
// and not-a-number points; menu groups that are or almost are the shared
// one; tools known or not; an icon the host may not find), a random life of
// the plug-in in it (messages, Shift, unload and reload), the person's host
// actions between its messages (undo and redo, during a press too,
// selecting, panning and zooming), random host failures and one failing
// allocation, checked by the same invariants as the sweeps
// (tests/reliability/checked_run.h). A broken invariant prints the
// problems and aborts, which libFuzzer keeps as a crash input.
//
// What one life can make is bounded by its world, so that no input costs
// more than a fraction of a second or a few tens of megabytes: at most six
// paths of at most 400 segments, forty messages and two unloads, and a host
// whose memory holds kRoomForPaths paths and kRoomForSegments segments. A
// host whose document is full quits: it sends its shutdown, and the run is
// checked to its end like any other.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "bridge/suites.h"
#include "tests/reliability/checked_run.h"
#include "tests/reliability/failing_new.h"

namespace {

using hostapi::ArtworkPoint;
using swhost::Event;

constexpr const char* kToolNames[] = {"pkTool2", "pkTool1", "Selection", "pktool2", ""};
constexpr const char* kMenuGroups[] = {"About", "AboutPKPlugIns", "aboutpkplugins", "AboutPKPlugIns ", "Help", ""};
constexpr const char* kMenuItems[] = {"slantWarper...", "About p.k plug-ins", "Quit"};
constexpr float kZooms[] = {1.0f, 0.5f, 2.0f, 0.25f, 3.7f, 1e-3f, 1e6f};
constexpr std::int32_t kIconTypes[] = {0, 7, 1, -1};

constexpr std::size_t kMaxPaths = 6;
constexpr std::size_t kMaxSegments = 400;
constexpr std::size_t kMaxMessages = 40;  // besides startup, shutdown and each unload's reload
constexpr std::size_t kMaxUnloads = 2;
constexpr std::size_t kMaxActions = 16;
constexpr std::size_t kRoomForPaths = 1000;
constexpr std::size_t kRoomForSegments = 20000;

// Every host call the plug-in can make, as the host names it.
const std::vector<std::string>& hostCalls() {
  static const std::vector<std::string> calls = [] {
    std::vector<std::string> names = {
        "SP Basic Suite/compare strings",
        "SP Basic Suite/allocate block",
        "SP Basic Suite/free block",
        "AI Art Suite/duplicate art",
        "AI Art Suite/dispose art",
        "AI Tool Suite/tool number from name",
        "AI Tool Suite/add tool",
        "AI Path Suite/segment count",
        "AI Path Suite/get segments",
        "AI Path Suite/set segments",
        "AI Matching Art Suite/matching art",
        "AI MdMemory Suite/dispose handle",
        "ADM Basic Suite/set cursor",
        "ADM Basic Suite/message alert",
        "ADM Icon Suite/icon from resource",
        "ADM Icon Suite/icon type",
        "AI Annotator Suite/add annotator",
        "AI Annotator Suite/set active",
        "AI Annotator Suite/invalidate rectangle",
        "AI Annotator Drawer Suite/set colour",
        "AI Annotator Drawer Suite/draw line",
        "AI Annotator Drawer Suite/set dash pattern",
        "AI Document View Suite/nth view",
        "AI Document View Suite/artwork to view point",
        "AI Undo Suite/undo changes",
        "AI Menu Suite/count menu groups",
        "AI Menu Suite/nth menu group",
        "AI Menu Suite/menu group name",
        "AI Menu Suite/add menu item",
        "AI Menu Suite/add menu group as submenu",
        "AI Unicode String Suite/initialise",
        "AI Unicode String Suite/copy",
        "AI Unicode String Suite/dispose",
    };
    for (const SuiteImport& row : kSuiteTable) {
      names.push_back(std::string("SP Basic Suite/acquire suite ") + row.name);
      names.push_back(std::string("SP Basic Suite/release suite ") + row.name);
    }
    return names;
  }();
  return calls;
}

template <typename T, std::size_t N>
const T& pick(FuzzedDataProvider& data, const T (&choices)[N]) {
  return choices[data.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

// Mostly small coordinates, sometimes the values that break arithmetic.
float coordinate(FuzzedDataProvider& data) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  switch (data.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return std::numeric_limits<float>::quiet_NaN();
    case 1:
      return data.ConsumeBool() ? kInfinity : -kInfinity;
    case 2:
      return data.ConsumeBool() ? 3e38f : -3e38f;
    case 3:
      return data.ConsumeBool() ? 1e-40f : -0.0f;
    case 4:
      return data.ConsumeFloatingPoint<float>();
    default:
      return static_cast<float>(data.ConsumeIntegralInRange<int>(-2000, 2000)) / 4.0f;
  }
}

ArtworkPoint point(FuzzedDataProvider& data) {
  const float x = coordinate(data);
  return ArtworkPoint{x, coordinate(data)};
}

swhost::Path path(FuzzedDataProvider& data, std::size_t index) {
  swhost::Path path;
  path.name = "path" + std::to_string(index);
  path.selected = data.ConsumeIntegralInRange<int>(0, 3) != 0;
  path.closed = data.ConsumeBool();
  const std::size_t segments = data.ConsumeIntegralInRange<int>(0, 15) == 0
                                   ? data.ConsumeIntegralInRange<std::size_t>(0, kMaxSegments)
                                   : data.ConsumeIntegralInRange<std::size_t>(0, 8);
  for (std::size_t i = 0; i < segments && data.remaining_bytes() > 0; ++i) {
    hostapi::PathSegment segment{};
    segment.anchor = point(data);
    const bool corner = data.ConsumeBool();
    segment.in = corner ? segment.anchor : point(data);
    segment.out = corner ? segment.anchor : point(data);
    const auto bytes = data.ConsumeIntegral<std::uint32_t>();
    for (int b = 0; b < 4; ++b) segment.hostData[b] = static_cast<std::uint8_t>(bytes >> (8 * b));
    path.segments.push_back(segment);
  }
  return path;
}

swhost::World world(FuzzedDataProvider& data) {
  swhost::World world;
  world.zoom = pick(data, kZooms);
  world.originX = static_cast<float>(data.ConsumeIntegralInRange<int>(-300, 300));
  world.originY = static_cast<float>(data.ConsumeIntegralInRange<int>(-300, 300));
  world.tools.clear();
  for (std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, 3); n > 0; --n)
    world.tools.push_back(pick(data, kToolNames));
  world.menuGroups.clear();
  for (std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, 4); n > 0; --n) {
    world.menuGroups.push_back(pick(data, kMenuGroups));
  }
  world.iconType = data.ConsumeIntegralInRange<int>(0, 7) == 0 ? pick(data, kIconTypes) : 0;
  world.quirks.matchingCountWithoutArray = data.ConsumeIntegralInRange<int>(0, 15) == 0;
  for (std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, kMaxPaths), i = 0; i < n; ++i) {
    world.paths.push_back(path(data, i));
  }
  const std::vector<std::string>& calls = hostCalls();
  for (std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, 4), i = 0; i < n; ++i) {
    swhost::Fault fault;
    fault.call = calls[data.ConsumeIntegralInRange<std::size_t>(0, calls.size() - 1)];
    fault.nth = data.ConsumeIntegralInRange<std::int64_t>(0, 60);
    fault.error = static_cast<hostapi::HostError>(0x46000001 + i);
    world.faults.push_back(fault);
  }
  return world;
}

Event tool(const char* selector, FuzzedDataProvider& data) {
  Event event{"AI Tool", selector, point(data), {}, {}};
  if (data.ConsumeBool()) event.shift = data.ConsumeBool();
  return event;
}

Event message(const char* caller, const char* selector) { return Event{caller, selector, {}, {}, {}}; }

// A life as a host lives it: startup first (mostly), a reload right after
// each unload, and at most one shutdown, at the end.
std::vector<Event> life(FuzzedDataProvider& data) {
  std::vector<Event> events;
  std::size_t unloads = 0;
  if (data.ConsumeIntegralInRange<int>(0, 7) != 0) events.push_back(message("SP Interface", "Startup"));
  for (std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, kMaxMessages); n > 0 && data.remaining_bytes() > 0;
       --n) {
    switch (data.ConsumeIntegralInRange<int>(0, 15)) {
      case 0:
      case 1:
        events.push_back(tool("AI Mouse Down", data));
        break;
      case 2:
      case 3:
      case 4:
      case 5:
        events.push_back(tool("AI Mouse Drag", data));
        break;
      case 6:
      case 7:
        events.push_back(tool("AI Mouse Up", data));
        break;
      case 8:
        events.push_back(message("AI Annotation", "AI Draw"));
        break;
      case 9:
        events.push_back(message("AI Annotation", "AI Invalidate"));
        break;
      case 10:
        events.push_back(tool("AI Track Cursor", data));
        break;
      case 11: {
        Event menu = message("AI Menu", "AI Go");
        if (data.ConsumeBool()) menu.item = pick(data, kMenuItems);
        events.push_back(menu);
        break;
      }
      case 12:
        if (unloads == kMaxUnloads) {
          events.push_back(message("AI Annotation", "AI Draw"));
          break;
        }
        ++unloads;
        events.push_back(message("SP Access", "Unload"));
        events.push_back(message("SP Access", "Reload"));
        break;
      case 13:
        events.push_back(tool("AI Select", data));
        break;
      case 14:
        events.push_back(message("AI Notifier", "AI Art Selection Changed"));
        break;
      default:
        events.push_back(message(data.ConsumeBool() ? "SP Access" : "AI Annotation", "AI Something Else"));
        break;
    }
  }
  if (data.ConsumeBool()) events.push_back(message("SP Interface", "Shutdown"));
  return events;
}

// A host action and the message it comes before.
struct Action {
  std::size_t beforeEvent = 0;
  int kind = 0;  // 0, 1 undo; 2 redo; 3 select; 4 view
  std::vector<std::size_t> places;
  float originX = 0.0f, originY = 0.0f, zoom = 1.0f;
};

// Decided from what the life left of the input, so that the committed
// inputs keep the lives they had.
std::vector<Action> actions(FuzzedDataProvider& data, std::size_t events) {
  std::vector<Action> result;
  for (std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, kMaxActions); n > 0 && data.remaining_bytes() > 0;
       --n) {
    Action action;
    action.beforeEvent = data.ConsumeIntegralInRange<std::size_t>(0, events);
    action.kind = data.ConsumeIntegralInRange<int>(0, 4);
    if (action.kind == 3) {
      for (std::size_t k = data.ConsumeIntegralInRange<std::size_t>(0, 4); k > 0; --k) {
        action.places.push_back(data.ConsumeIntegralInRange<std::size_t>(0, 2 * kMaxPaths));
      }
    } else if (action.kind == 4) {
      action.originX = static_cast<float>(data.ConsumeIntegralInRange<int>(-300, 300));
      action.originY = static_cast<float>(data.ConsumeIntegralInRange<int>(-300, 300));
      action.zoom = pick(data, kZooms);
    }
    result.push_back(action);
  }
  std::stable_sort(result.begin(), result.end(),
                   [](const Action& a, const Action& b) { return a.beforeEvent < b.beforeEvent; });
  return result;
}

void act(swrel::CheckedRun& run, const Action& action) {
  switch (action.kind) {
    case 0:
    case 1:
      run.undo();
      break;
    case 2:
      run.redo();
      break;
    case 3:
      run.act("select", [&](swhost::Host& host) { host.document().selectOnly(action.places); });
      break;
    default:
      run.act("view", [&](swhost::Host& host) { host.setView(action.originX, action.originY, action.zoom); });
      break;
  }
}

bool documentFull(const swhost::Document& document) {
  if (document.size() > kRoomForPaths) return true;
  std::size_t segments = 0;
  for (const hostapi::ArtHandle art : document.handles()) segments += document.find(art)->segments.size();
  return segments > kRoomForSegments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::uint64_t failingAllocation =
      data.ConsumeIntegralInRange<int>(0, 3) == 0 ? data.ConsumeIntegralInRange<std::uint64_t>(1, 40) : 0;
  swhost::World host = world(data);
  const std::vector<Event> events = life(data);
  const std::vector<Action> between = actions(data, events.size());

  swrel::failPluginAllocation(failingAllocation);
  std::vector<std::string> problems;
  {
    swrel::CheckedRun run(host);
    auto action = between.begin();
    for (std::size_t index = 0; index < events.size(); ++index) {
      for (; action != between.end() && action->beforeEvent <= index; ++action) act(run, *action);
      if (documentFull(run.host().document())) break;
      run.deliver(events[index]);
    }
    for (; action != between.end(); ++action) act(run, *action);
    run.finish();
    problems = run.problems();
  }
  swrel::failPluginAllocation(0);
  if (problems.empty()) return 0;

  std::fprintf(stderr,
               "A life of %zu messages and %zu host actions, %zu paths, %zu host faults, allocation %llu failing "
               "broke:\n",
               events.size(), between.size(), host.paths.size(), host.faults.size(),
               static_cast<unsigned long long>(failingAllocation));
  for (const swhost::Fault& fault : host.faults) {
    std::fprintf(stderr, "  fault: \"%s\" #%lld\n", fault.call.c_str(), static_cast<long long>(fault.nth));
  }
  auto action = between.begin();
  for (std::size_t index = 0; index <= events.size(); ++index) {
    for (; action != between.end() && action->beforeEvent <= index; ++action) {
      std::fprintf(stderr, "  action %d\n", action->kind);
    }
    if (index == events.size()) break;
    const Event& event = events[index];
    std::fprintf(stderr, "  %zu: %s / %s", index, event.caller.c_str(), event.selector.c_str());
    if (event.point) std::fprintf(stderr, " (%g, %g)", event.point->x, event.point->y);
    std::fprintf(stderr, "\n");
  }
  for (const std::string& problem : problems) std::fprintf(stderr, "  %s\n", problem.c_str());
  std::abort();
}
