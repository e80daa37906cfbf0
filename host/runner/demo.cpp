// The built-in demo (demo.h) as a scenario of its own, and the summary the
// runner prints of a run.
#include "host/runner/demo.h"

#include <algorithm>

#include "host/runner/float_text.h"

namespace swrunner {

namespace {

// A circle drawn with four curves, a five-pointed star of corners and an
// open wave, all selected. The first drag pulls straight up by 80 units (the
// shapes stretch to 1.4 times their height about the line y = -80); the
// second, with Shift, pulls right by 300 units from the origin, which
// mirrors the shapes through the vertical axis at half their width.
constexpr const char* kDemoScenario = R"({
  "view": {"origin": [-300, 200], "zoom": 1},
  "paths": [
    {"name": "circle", "selected": true, "closed": true, "segments": [
      [-100, 0, -100, -27.6, -100, 27.6], [-150, 50, -122.4, 50, -177.6, 50],
      [-200, 0, -200, 27.6, -200, -27.6], [-150, -50, -177.6, -50, -122.4, -50]]},
    {"name": "star", "selected": true, "closed": true, "segments": [
      [0, 60], [-14.69, 20.23], [-57.06, 18.54], [-23.78, -7.73], [-35.27, -48.54],
      [0, -25], [35.27, -48.54], [23.78, -7.73], [57.06, 18.54], [14.69, 20.23]]},
    {"name": "wave", "selected": true, "closed": false, "segments": [
      [90, 0, 90, 0, 120, 45, 3735928559], [170, 0, 140, -45, 200, 45], [250, 0, 220, -45, 250, 0]]}
  ],
  "events": [
    {"caller": "SP Interface", "selector": "Startup"},
    {"caller": "AI Tool", "selector": "AI Track Cursor", "point": [0, -80]},
    {"caller": "AI Tool", "selector": "AI Mouse Down", "point": [0, -80]},
    {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [0, -60]},
    {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [0, -30]},
    {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [0, 0]},
    {"caller": "AI Annotation", "selector": "AI Draw"},
    {"caller": "AI Tool", "selector": "AI Mouse Up", "point": [0, 0]},
    {"caller": "AI Tool", "selector": "AI Mouse Down", "point": [0, 0], "shift": true},
    {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [100, 0]},
    {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [200, 0]},
    {"caller": "AI Tool", "selector": "AI Mouse Drag", "point": [300, 0]},
    {"caller": "AI Annotation", "selector": "AI Draw"},
    {"caller": "AI Tool", "selector": "AI Mouse Up", "point": [300, 0], "shift": false},
    {"caller": "SP Interface", "selector": "Shutdown"}
  ]
})";

// Built by appending: GCC 12 warns falsely (-Wrestrict) about "(" + string.
std::string pointText(hostapi::ArtworkPoint p) {
  std::string text = floatText(p.x);
  text.insert(0, 1, '(');
  text.append(", ").append(floatText(p.y)).append(")");
  return text;
}

// The box around a path's anchors, as "(x0, y0)..(x1, y1)".
std::string extent(const swhost::Path& path) {
  if (path.segments.empty()) return "empty";
  hostapi::ArtworkPoint low = path.segments[0].anchor;
  hostapi::ArtworkPoint high = low;
  for (const hostapi::PathSegment& s : path.segments) {
    low = {std::min(low.x, s.anchor.x), std::min(low.y, s.anchor.y)};
    high = {std::max(high.x, s.anchor.x), std::max(high.y, s.anchor.y)};
  }
  return pointText(low) + ".." + pointText(high);
}

}  // namespace

Scenario demoScenario() { return parseScenario(kDemoScenario); }

std::string runSummary(const Scenario& scenario, const swhost::Host& host) {
  std::string text = "Messages and results:\n";
  const std::vector<swhost::EventResult>& results = host.record().results;
  for (std::size_t i = 0; i < results.size(); ++i) {
    const swhost::EventResult& result = results[i];
    std::string line = "  " + result.caller + " / " + result.selector;
    if (i < scenario.events.size()) {
      const swhost::Event& event = scenario.events[i];
      if (event.point) line += " at " + pointText(*event.point);
      if (event.shift) line += *event.shift ? ", Shift down" : ", Shift up";
    }
    text += line + " -> " + std::to_string(result.result) + " (" + std::to_string(result.calls) + " host calls)\n";
  }

  text += "What moved (extent of the anchors, artwork units):\n";
  const std::vector<swhost::Path>& before = host.initialPaths();
  const std::vector<swhost::Path> after = host.document().paths();
  for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
    const std::string name = i < after.size() ? after[i].name : before[i].name;
    const std::string from = i < before.size() ? extent(before[i]) : "(not there)";
    const std::string to = i < after.size() ? extent(after[i]) : "(gone)";
    text += "  " + name + ": " + from + (from == to ? "  unchanged\n" : "  ->  " + to + "\n");
  }
  if (!host.record().violations.empty()) {
    text += std::to_string(host.record().violations.size()) +
            " contract violation(s); the first: " + host.record().violations[0].call + ": " +
            host.record().violations[0].what + "\n";
  }
  return text;
}

}  // namespace swrunner
