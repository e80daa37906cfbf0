// The report (report.h) built from the host's record and written with a fixed
// key order and layout, floats in their shortest text, so that every runner
// gives the same bytes.
#include "host/runner/report.h"

#include "host/runner/float_text.h"

namespace swrunner {

namespace {

using hostapi::ViewPoint;

ReportJson point(ViewPoint p) { return ReportJson::array({p.x, p.y}); }

ReportJson paths(const std::vector<swhost::Path>& document) {
  ReportJson list = ReportJson::array();
  for (const swhost::Path& path : document) {
    ReportJson segments = ReportJson::array();
    for (const hostapi::PathSegment& s : path.segments) {
      segments.push_back(
          ReportJson::array({s.anchor.x, s.anchor.y, s.in.x, s.in.y, s.out.x, s.out.y, hostBytesValue(s)}));
    }
    list.push_back(
        {{"name", path.name}, {"selected", path.selected}, {"closed", path.closed}, {"segments", std::move(segments)}});
  }
  return list;
}

ReportJson drawing(const std::vector<swhost::DrawnLine>& lines) {
  ReportJson list = ReportJson::array();
  for (const swhost::DrawnLine& line : lines) {
    ReportJson dash = ReportJson::array();
    for (const float length : line.dash) dash.push_back(length);
    list.push_back({{"color", ReportJson::array({line.color.red, line.color.green, line.color.blue})},
                    {"dash", std::move(dash)},
                    {"from", point(line.from)},
                    {"to", point(line.to)}});
  }
  return list;
}

ReportJson menuGroups(const swhost::Record& record) {
  ReportJson list = ReportJson::array();
  for (const swhost::MenuGroup& group : record.menuGroups) {
    ReportJson parent = nullptr;
    if (group.parentItem && *group.parentItem < record.menuItems.size()) {
      parent = record.menuItems[*group.parentItem].text;
    }
    list.push_back({{"name", group.name}, {"options", group.options}, {"parent", std::move(parent)}});
  }
  return list;
}

ReportJson tools(const std::vector<swhost::AddedTool>& added) {
  ReportJson list = ReportJson::array();
  for (const swhost::AddedTool& tool : added) {
    list.push_back({{"name", tool.name},
                    {"title", tool.title},
                    {"tooltip", tool.tooltip},
                    {"sameGroupAs", tool.sameGroupAs},
                    {"sameToolSetAs", tool.sameToolSetAs},
                    {"options", tool.options}});
  }
  return list;
}

// --- Text ------------------------------------------------------------------

std::string scalarText(const ReportJson& value) {
  if (value.is_number_float()) {
    const float number = value.get<float>();
    const std::string_view name = nonFiniteName(number);
    if (name.empty()) return floatText(number);
    return std::string(1, '"').append(name).append(1, '"');
  }
  return value.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

std::string keyText(const std::string& key) {
  return ReportJson(key).dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

// A value on one line, with a space after each comma and colon.
std::string compactText(const ReportJson& value) {
  if (value.is_array()) {
    std::string text = "[";
    for (std::size_t i = 0; i < value.size(); ++i) text += (i > 0 ? ", " : "") + compactText(value[i]);
    return text + "]";
  }
  if (value.is_object()) {
    std::string text = "{";
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      text += (first ? "" : ", ") + keyText(key) + ": " + compactText(member);
      first = false;
    }
    return text + "}";
  }
  return scalarText(value);
}

// A top-level value: a non-empty array or object spreads one element per
// line, anything else stays on the key's line.
std::string topLevelText(const ReportJson& value) {
  if (!value.is_structured() || value.empty()) return compactText(value);
  const bool array = value.is_array();
  std::string text = array ? "[\n" : "{\n";
  std::size_t index = 0;
  for (const auto& [key, member] : value.items()) {
    text += "    " + (array ? std::string() : keyText(key) + ": ") + compactText(member);
    text += ++index < value.size() ? ",\n" : "\n";
  }
  return text + (array ? "  ]" : "  }");
}

}  // namespace

std::uint32_t hostBytesValue(const hostapi::PathSegment& segment) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | segment.hostData[i];
  return value;
}

ReportJson buildReport(const swhost::Host& host) {
  const swhost::Record& record = host.record();
  ReportJson report = ReportJson::object();

  ReportJson results = ReportJson::array();
  for (const swhost::EventResult& result : record.results) {
    results.push_back({{"caller", result.caller},
                       {"selector", result.selector},
                       {"result", result.result},
                       {"calls", static_cast<std::uint64_t>(result.calls)}});
  }
  report["results"] = std::move(results);
  report["paths"] = paths(host.document().paths());
  ReportJson calls = ReportJson::array();
  for (const std::string& call : record.calls) calls.push_back(call);
  report["calls"] = std::move(calls);
  report["drawing"] = drawing(record.drawing);

  ReportJson invalidated = ReportJson::array();
  for (const hostapi::ViewRect& r : record.invalidated) {
    invalidated.push_back(ReportJson::array({r.left, r.top, r.right, r.bottom}));
  }
  report["invalidated"] = std::move(invalidated);

  ReportJson menu = ReportJson::array();
  for (const swhost::MenuItem& item : record.menuItems) {
    menu.push_back({{"group", item.group},
                    {"text", item.text},
                    {"name", item.name ? ReportJson(*item.name) : ReportJson(nullptr)},
                    {"options", item.options}});
  }
  report["menu"] = std::move(menu);
  report["menuGroups"] = menuGroups(record);
  report["tools"] = tools(record.tools);

  ReportJson icons = ReportJson::array();
  for (const auto& [kind, id] : record.iconRequests) icons.push_back(ReportJson::array({kind, id}));
  report["icons"] = std::move(icons);
  report["cursors"] = record.cursors;
  report["alerts"] = record.alerts;
  report["undos"] = record.undos;

  ReportJson held = ReportJson::object();
  for (const auto& [suite, count] : host.heldSuites()) held[suite] = count;
  report["heldSuites"] = std::move(held);
  report["liveBlocks"] = static_cast<std::uint64_t>(host.liveBlocks());
  report["liveStrings"] = static_cast<std::uint64_t>(host.liveStrings());
  report["liveMatchingArt"] = static_cast<std::uint64_t>(host.liveMatchingAnswers());
  report["annotatorActive"] = host.annotatorActive();

  ReportJson violations = ReportJson::array();
  for (const swhost::Violation& v : record.violations) violations.push_back({{"call", v.call}, {"what", v.what}});
  report["violations"] = std::move(violations);
  report["pluginGlobals"] = host.pluginGlobals() != nullptr;
  return report;
}

std::string reportText(const ReportJson& report) {
  std::string text = "{\n";
  std::size_t index = 0;
  for (const auto& [key, value] : report.items()) {
    text += "  " + keyText(key) + ": " + topLevelText(value);
    text += ++index < report.size() ? ",\n" : "\n";
  }
  return text + "}\n";
}

}  // namespace swrunner
