// The report of a run: everything the substitute host recorded, as JSON with
// a fixed key order and a fixed layout, so that the same scenario gives the
// same bytes from the Linux and the Windows runner.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "host/host.h"

namespace swrunner {

// Report JSON: fields in the order they were added, coordinates as 32-bit
// floats (written in their shortest round-trip form).
using ReportJson =
    nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;

// The report of what `host` saw, in this order: results, paths (the final
// document, each segment as anchor, in, out and the host bytes as an
// unsigned little-endian integer), calls, drawing, invalidated, menu,
// menuGroups, tools, icons, cursors, alerts, undos, heldSuites, liveBlocks,
// liveStrings, liveMatchingArt, annotatorActive, violations, pluginGlobals.
ReportJson buildReport(const swhost::Host& host);

// The report as text: one top-level field per line, and each element of a
// top-level array or object on a line of its own. A non-finite float is
// written as the string "NaN", "Infinity" or "-Infinity"; text that is not
// UTF-8 has its stray bytes replaced by U+FFFD. Lines end with "\n" alone.
std::string reportText(const ReportJson& report);

// The host bytes of a segment as the unsigned integer reports and scenario
// files use: byte 0 is the least significant.
std::uint32_t hostBytesValue(const hostapi::PathSegment& segment);

}  // namespace swrunner
