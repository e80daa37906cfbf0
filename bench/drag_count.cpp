// One drag event over 10^5 segments (100 paths of 1000), for counting
// instructions under callgrind: scripts/callgrind_drag.sh collects only
// inside measuredDrag and measuredFloor. Prints the number of segments.
#include <cstdio>
#include <exception>

#include "bench/drag_session.h"

namespace {

constexpr swbench::Selection kSelection{100, 1000};

// Out of line and named so that callgrind can be told to count inside them only.
[[gnu::noinline]] hostapi::HostError measuredDrag(swbench::DragSession& session) { return session.drag(); }
[[gnu::noinline]] hostapi::HostError measuredFloor(swbench::DragSession& session) { return session.copyFloor(); }

}  // namespace

int main() {
  try {
    swbench::DragSession session(kSelection);
    if (session.drag() != 0) return 1;  // the first event, uncounted
    if (measuredDrag(session) != 0 || measuredFloor(session) != 0) return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "drag_count: %s\n", error.what());
    return 1;
  }
  std::printf("%zu\n", kSelection.total());
  return 0;
}
