// Art, path and matching-art suites over the host's document.
#include <algorithm>
#include <memory>

#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

// Art that names no live path. Art an undo or redo took away while the
// plug-in held it is answered as dead art is, but the plug-in was never
// told, so it broke no contract; any other dead art is a violation.
HostError deadArt(ArtHandle art, const char* call, const char* what) {
  if (host().document().takenByHistory(art)) {
    ++host().record().callsOnTakenArt;
    return kBadParameterError;
  }
  return host().violation(call, what);
}

// --- "AI Art Suite" ---------------------------------------------------------

HostError HOSTAPI_CALL duplicateArt(ArtHandle art, std::int16_t paintOrder, ArtHandle reference, ArtHandle* copy) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::art, "duplicate art")) return fault;
  if (copy == nullptr) return host().violation("AI Art Suite/duplicate art", "dead art or null out pointer");
  if (host().document().find(art) == nullptr) {
    return deadArt(art, "AI Art Suite/duplicate art", "dead art or null out pointer");
  }
  if (paintOrder != kPlaceAbove || reference != art) {
    return host().violation("AI Art Suite/duplicate art", "only placing the copy above the original is offered");
  }
  const World& world = host().world();
  const Document& document = host().document();
  if ((world.roomForPaths != 0 && document.size() >= world.roomForPaths) ||
      (world.roomForSegments != 0 &&
       document.segmentTotal() + document.find(art)->segments.size() > world.roomForSegments)) {
    return kNoRoomError;
  }
  *copy = host().document().duplicateAbove(art);
  return kNoError;
}

HostError HOSTAPI_CALL disposeArt(ArtHandle art) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::art, "dispose art")) return fault;
  if (!host().document().dispose(art)) return deadArt(art, "AI Art Suite/dispose art", "dead art");
  return kNoError;
}

// --- "AI Path Suite" --------------------------------------------------------

HostError HOSTAPI_CALL segmentCount(ArtHandle path, std::int16_t* count) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::path, "segment count")) return fault;
  const Path* found = host().document().find(path);
  if (count == nullptr) return host().violation("AI Path Suite/segment count", "dead path or null out pointer");
  if (found == nullptr) return deadArt(path, "AI Path Suite/segment count", "dead path or null out pointer");
  *count = static_cast<std::int16_t>(found->segments.size());
  return kNoError;
}

// The path and range a get or set names, or an error.
HostError checkRange(const char* call, ArtHandle art, const Path* path, std::int16_t first, std::int16_t count,
                     const void* segments) {
  if (segments == nullptr) return host().violation(call, "dead path or null segments");
  if (path == nullptr) return deadArt(art, call, "dead path or null segments");
  if (first < 0 || count < 0 ||
      static_cast<std::size_t>(first) + static_cast<std::size_t>(count) > path->segments.size()) {
    return kOutOfRangeError;
  }
  return kNoError;
}

HostError HOSTAPI_CALL getSegments(ArtHandle path, std::int16_t first, std::int16_t count, PathSegment* segments) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::path, "get segments")) return fault;
  const Path* found = host().document().find(path);
  if (const HostError error = checkRange("AI Path Suite/get segments", path, found, first, count, segments))
    return error;
  std::copy_n(found->segments.begin() + first, count, segments);
  return kNoError;
}

HostError HOSTAPI_CALL setSegments(ArtHandle path, std::int16_t first, std::int16_t count,
                                   const PathSegment* segments) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::path, "set segments")) return fault;
  // One lookup: a path recorded for a set that then fails is harmless, since
  // an operation's step keeps only the paths whose content changed.
  Path* found = host().document().findForChange(path);
  if (const HostError error = checkRange("AI Path Suite/set segments", path, found, first, count, segments))
    return error;
  std::copy_n(segments, count, found->segments.begin() + first);
  return kNoError;
}

// --- "AI Matching Art Suite" ------------------------------------------------

bool matches(const MatchingArtSpec& spec, const Path& path) {
  if (spec.type != kPathArt) return false;
  const std::int32_t attributes = path.selected ? kArtSelected : 0;
  return (attributes & spec.whichAttr) == (spec.attr & spec.whichAttr);
}

HostError HOSTAPI_CALL matchingArt(const MatchingArtSpec* specs, std::int16_t specCount, ArtArrayHandle* matchesOut,
                                   std::int32_t* matchCount) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::matchingArt, "matching art")) return fault;
  if (specs == nullptr || specCount < 1 || matchesOut == nullptr || matchCount == nullptr) {
    return host().violation("AI Matching Art Suite/matching art", "no specs or null out pointers");
  }
  auto answer = std::make_unique<MatchingAnswer>();
  Document& document = host().document();
  for (const ArtHandle art : document.handles()) {
    const Path& path = *document.find(art);
    for (std::int16_t i = 0; i < specCount; ++i) {
      if (matches(specs[i], path)) {
        answer->art.push_back(art);
        break;
      }
    }
  }
  *matchCount = static_cast<std::int32_t>(answer->art.size());
  if (answer->art.empty() || host().world().quirks.matchingCountWithoutArray) {
    *matchesOut = nullptr;
    return kNoError;
  }
  answer->array = answer->art.data();
  *matchesOut = &answer->array;
  host().objects().answers.emplace(&answer->array, std::move(answer));
  return kNoError;
}

}  // namespace

const ArtSuite kArtSuite{duplicateArt, disposeArt};
const PathSuite kPathSuite{segmentCount, getSegments, setSegments};
const MatchingArtSuite kMatchingArtSuite{matchingArt};

}  // namespace swhost
