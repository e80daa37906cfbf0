// One drag event over 10^5 segments (100 paths of 1000), for counting
// instructions under callgrind: scripts/callgrind_drag.sh collects only
// inside measuredDrag and measuredFloor. Prints the number of segments.
// SW_BENCH_KERNEL (sse2, avx2, avx512) forces the segment kernel's path;
// exit status 3 when this machine (or valgrind's) cannot run it.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bench/drag_session.h"
#include "tool/kernel/kernel_path.h"

namespace {

constexpr swbench::Selection kSelection{100, 1000};

// Out of line and named so that callgrind can be told to count inside them only.
[[gnu::noinline]] hostapi::HostError measuredDrag(swbench::DragSession& session) { return session.drag(); }
[[gnu::noinline]] hostapi::HostError measuredFloor(swbench::DragSession& session) { return session.copyFloor(); }

}  // namespace

constexpr int kPathUnavailable = 3;

int main() {
  if (const char* wanted = std::getenv("SW_BENCH_KERNEL")) {
    bool forced = false;
    for (const KernelPath path : {KernelPath::sse2, KernelPath::avx2, KernelPath::avx512}) {
      if (std::string(wanted) == kernelPathName(path)) forced = forceKernelPath(path);
    }
    if (!forced) return kPathUnavailable;
  }
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
