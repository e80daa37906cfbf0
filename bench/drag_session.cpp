#include "bench/drag_session.h"

#include <memory>
#include <new>
#include <stdexcept>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "host/suite_tables.h"

namespace swbench {

using namespace hostapi;

namespace {

// splitmix64: the same document on every machine and every run.
class Scatter {
 public:
  float next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return static_cast<float>(static_cast<double>(z >> 40) / 8388608.0 - 1.0) * 1000.0f;  // [-1000, 1000)
  }

 private:
  std::uint64_t state_ = 0x51A27;
};

constexpr ArtworkPoint kPress{12.5f, -7.75f};  // a generic place: no coordinate or axis term is zero
constexpr ArtworkPoint kDragPositions[2] = {{162.5f, 52.25f}, {-77.5f, 132.25f}};
constexpr ArtworkPoint kRelease{300.0f, 300.0f};  // another pixel: no undo

// Holds one suite from the host for the length of a floor measurement, the
// way a handler holds its suite table.
template <typename Suite>
class Held {
 public:
  Held(const char* name, std::int32_t version) : name_(name), version_(version) {
    const void* table = nullptr;
    if (swhost::kBasicSuite.acquireSuite(name, version, &table) != kNoError) {
      throw std::runtime_error(std::string("cannot acquire ") + name);
    }
    suite_ = static_cast<const Suite*>(table);
  }
  ~Held() { swhost::kBasicSuite.releaseSuite(name_, version_); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  const Suite* operator->() const { return suite_; }

 private:
  const char* name_;
  std::int32_t version_;
  const Suite* suite_ = nullptr;
};

swhost::Event toolEvent(const char* selector, ArtworkPoint point) {
  return swhost::Event{"AI Tool", selector, point, std::nullopt, std::nullopt};
}

}  // namespace

swhost::World worldOf(Selection selection) {
  swhost::World world;
  world.recordCalls = false;
  Scatter scatter;
  world.paths.resize(selection.paths);
  for (swhost::Path& path : world.paths) {
    path.selected = true;
    path.segments.resize(selection.segments);
    for (PathSegment& segment : path.segments) {
      for (ArtworkPoint* point : {&segment.anchor, &segment.in, &segment.out}) {
        point->x = scatter.next();
        point->y = scatter.next();
      }
    }
  }
  return world;
}

DragSession::DragSession(Selection selection, bool pressed) : host_(worldOf(selection)) {
  host_.attach(&PluginMain);
  if (host_.deliver(swhost::Event{"SP Interface", "Startup", std::nullopt, std::nullopt, std::nullopt}).result !=
      kNoError) {
    throw std::runtime_error("the plug-in did not start");
  }
  if (pressed && mouseDown() != kNoError) throw std::runtime_error("the mouse-down failed");
}

DragSession::~DragSession() {
  host_.deliver(swhost::Event{"SP Interface", "Shutdown", std::nullopt, std::nullopt, std::nullopt});
}

HostError DragSession::drag() { return host_.deliver(toolEvent("AI Mouse Drag", kDragPositions[drags_++ % 2])).result; }

HostError DragSession::mouseDown() { return host_.deliver(toolEvent("AI Mouse Down", kPress)).result; }

HostError DragSession::mouseUp() { return host_.deliver(toolEvent("AI Mouse Up", kRelease)).result; }

HostError DragSession::copyFloor() {
  const Held<PathSuite> path(kPathSuiteName, kPathSuiteVersion);
  const ArtList& references = *gGlobals->referencePaths;
  const ArtList& targets = *gGlobals->targetPaths;
  // One buffer for the event, grown to the largest path, as the drag keeps it:
  // an allocation per path is not host traffic, and would flatter the drag.
  std::unique_ptr<PathSegment[]> buffer;
  std::size_t capacity = 0;
  for (std::size_t i = 0; i < references.size(); ++i) {
    std::int16_t count = 0;
    HostError result = path->segmentCount(references[i], &count);
    if (result != kNoError) return result;
    if (static_cast<std::size_t>(count) > capacity) {
      buffer.reset(new (std::nothrow) PathSegment[static_cast<std::size_t>(count)]);
      if (buffer == nullptr) return kOutOfMemoryError;
      capacity = static_cast<std::size_t>(count);
    }
    result = path->getSegments(references[i], 0, count, buffer.get());
    if (result != kNoError) return result;
    result = path->setSegments(targets[i], 0, count, buffer.get());
    if (result != kNoError) return result;
  }
  return kNoError;
}

HostError DragSession::duplicateFloor() {
  const Held<MatchingArtSuite> matching(kMatchingArtSuiteName, kMatchingArtSuiteVersion);
  const Held<ArtSuite> art(kArtSuiteName, kArtSuiteVersion);
  const Held<MdMemorySuite> memory(kMdMemorySuiteName, kMdMemorySuiteVersion);
  const MatchingArtSpec selectedPaths{kPathArt, kArtSelected, kArtSelected};
  ArtArrayHandle answer = nullptr;
  std::int32_t count = 0;
  HostError result = matching->matchingArt(&selectedPaths, 1, &answer, &count);
  if (result != kNoError || answer == nullptr) return result;
  copies_.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count && result == kNoError; ++i) {
    ArtHandle copy = nullptr;
    result = art->duplicateArt((*answer)[i], kPlaceAbove, (*answer)[i], &copy);
    copies_.push_back(copy);
  }
  const HostError disposed = memory->disposeHandle(answer);
  return result != kNoError ? result : disposed;
}

HostError DragSession::disposeCopies() {
  const Held<ArtSuite> art(kArtSuiteName, kArtSuiteVersion);
  for (const ArtHandle copy : copies_) {
    if (const HostError result = art->disposeArt(copy)) return result;
  }
  copies_.clear();
  host_.document().endOperation();
  return kNoError;
}

}  // namespace swbench
