// The substitute host's history on a document of 10^6 segments (a
// benchmark, never a test): 1000 selected paths of 1000 segments dragged
// again and again with the plug-in linked in, each drag a step that keeps
// every path. After each drag it prints the steps and bytes the history
// keeps and the process's resident memory; then the time of an undo and of
// a redo over the whole document.
//
//   build/bench/bench/sw_history_bound [DRAGS]   (default 14)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/drag_session.h"

namespace {

// VmRSS of this process in MiB, or -1 where /proc has none.
double residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return -1.0;
}

constexpr double kMiB = 1024.0 * 1024.0;

}  // namespace

int main(int argc, char** argv) {
  const int drags = argc > 1 ? std::atoi(argv[1]) : 14;
  const swbench::Selection selection{1000, 1000};
  swbench::DragSession session(selection, false);
  swhost::Document& document = session.host().document();
  const swhost::HistoryBound bound = document.history().bound();
  std::printf("history of a document of %zu paths x %zu segments; bound: %zu steps, %.0f MiB\n", selection.paths,
              selection.segments, bound.steps, static_cast<double>(bound.bytes) / kMiB);
  std::printf("%5s %6s %12s %10s\n", "drag", "steps", "kept MiB", "RSS MiB");
  for (int i = 1; i <= drags; ++i) {
    if (session.mouseDown() != 0 || session.drag() != 0 || session.mouseUp() != 0) {
      std::fprintf(stderr, "drag %d failed\n", i);
      return 1;
    }
    std::printf("%5d %6zu %12.1f %10.1f\n", i, document.history().steps(),
                static_cast<double>(document.history().bytes()) / kMiB, residentMiB());
  }

  using Clock = std::chrono::steady_clock;
  const auto time = [](auto work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  };
  const std::size_t steps = document.history().steps();
  double undo = 0.0;
  double redo = 0.0;
  for (std::size_t i = 0; i < steps; ++i) undo += time([&] { document.undo(); });
  for (std::size_t i = 0; i < steps; ++i) redo += time([&] { document.redo(); });
  std::printf("undo %.2f ms, redo %.2f ms (means over %zu steps of %zu segments each)\n",
              undo / static_cast<double>(steps), redo / static_cast<double>(steps), steps, selection.total());
  return 0;
}
