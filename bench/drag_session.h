// A substitute host with the plug-in linked in and a large selection already
// pressed on, for timing drag events and the bare host traffic they cannot
// avoid. The call log and every other per-call recording are off.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host.h"

namespace swbench {

// The shape of a selection: `paths` selected paths of `segments` segments.
struct Selection {
  std::size_t paths;
  std::size_t segments;
  std::size_t total() const { return paths * segments; }
};

// A document of selected paths whose anchors and handles are scattered over
// [-1000, 1000]^2, the same for every run.
swhost::World worldOf(Selection selection);

// The plug-in started in a host over worldOf(selection). With `pressed` the
// mouse is down at the origin, so every path has its duplicate and drag
// events rewrite the whole selection.
class DragSession {
 public:
  explicit DragSession(Selection selection, bool pressed = true);
  ~DragSession();
  DragSession(const DragSession&) = delete;
  DragSession& operator=(const DragSession&) = delete;

  // One drag event through PluginMain; successive calls alternate between two
  // cursor positions so that every event changes every path.
  hostapi::HostError drag();

  // The host traffic of one drag event and nothing else: for each path, its
  // duplicate's segment count, one buffer, get segments from the duplicate,
  // set them unchanged into the path, free the buffer.
  hostapi::HostError copyFloor();

  // One mouse-down over the selection, and the mouse-up that disposes its
  // duplicates again.
  hostapi::HostError mouseDown();
  hostapi::HostError mouseUp();

  // The host calls of one mouse-down and nothing else: the selected paths,
  // a duplicate of each, the answer disposed. `disposeCopies` takes the
  // duplicates away again and ends the host's operation they continued, so
  // that the next mouse-down does not close it, with all its changes, on
  // their behalf.
  hostapi::HostError duplicateFloor();
  hostapi::HostError disposeCopies();

  swhost::Host& host() { return host_; }

 private:
  swhost::Host host_;
  std::uint64_t drags_ = 0;
  std::vector<hostapi::ArtHandle> copies_;
};

}  // namespace swbench
