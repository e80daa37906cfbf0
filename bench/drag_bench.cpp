// Drag events over large selections, each paired with its floor: the host
// traffic the event cannot avoid (segment count, one buffer, get and set
// segments for every path) without any displacement. Every iteration times
// the event and then its floor, so that both see the same state of a
// noisy machine; the table at the end gives each case over its floor.
//
//   drag/PxS          one drag event through PluginMain over P paths of S
//                     segments; counters: its floor and the ratio
//   mouse_down/PxS    one mouse-down through PluginMain: the selection found
//                     and duplicated; floor: the same host calls alone
//   kernel_sse2/1xS, kernel_avx2/1xS, kernel_avx512/1xS, kernel_each_point/1xS
//                     the segment kernel alone on one buffer in the cache:
//                     each vector path forced in turn, with the path's bound
//                     as at a drag's later events, and the reference
//   kernel_bound/1xS  the bound's pass, which a drag's first event adds
//   scaling_paths_of_S/N  drag events over N = 10^3 .. 10^6 segments in
//                     paths of S segments, with an O(N) fit
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/drag_session.h"
#include "tool/geometry.h"
#include "tool/kernel/kernel_path.h"
#include "tool/kernel/segment_displacer.h"

using hostapi::ArtworkPoint;

namespace {

using swbench::DragSession;
using swbench::Selection;
using Clock = std::chrono::steady_clock;

// The path the drag cases use: this process's own choice, or the one
// SW_BENCH_KERNEL names (sse2, avx2, avx512).
KernelPath gDragPath = KernelPath::points;

// Building a document of a million segments takes longer than timing a drag
// over it, so the session is kept for the next benchmark over the same
// selection (only one substitute host may exist at a time).
DragSession& sessionFor(Selection selection, bool pressed) {
  static std::unique_ptr<DragSession> session;
  static Selection held{0, 0};
  static bool heldPressed = false;
  if (!session || held.paths != selection.paths || held.segments != selection.segments || heldPressed != pressed) {
    session.reset();
    session = std::make_unique<DragSession>(selection, pressed);
    held = selection;
    heldPressed = pressed;
  }
  return *session;
}

void countSegments(benchmark::State& state, Selection selection) {
  const auto total = static_cast<double>(selection.total());
  state.counters["segments/s"] = benchmark::Counter(total, benchmark::Counter::kIsIterationInvariantRate);
  state.SetComplexityN(static_cast<benchmark::IterationCount>(selection.total()));
}

// The seconds `step` takes; a failure ends the benchmark with `what`.
template <typename Step>
double timed(benchmark::State& state, const char* what, Step step) {
  const Clock::time_point begin = Clock::now();
  const hostapi::HostError result = step();
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  if (result != 0) state.SkipWithError(what);
  return seconds;
}

void reportFloor(benchmark::State& state, double caseSeconds, double floorSeconds) {
  state.counters["floor_ms"] = benchmark::Counter(floorSeconds * 1e3, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = floorSeconds > 0 ? caseSeconds / floorSeconds : 0.0;
}

// Each iteration: one drag event (timed as the benchmark's time), then the
// copying floor over the same paths.
void dragEvent(benchmark::State& state, Selection selection) {
  DragSession& session = sessionFor(selection, true);
  double dragSeconds = 0.0;
  double floorSeconds = 0.0;
  for (auto _ : state) {
    const double seconds = timed(state, "the drag event failed", [&] { return session.drag(); });
    state.SetIterationTime(seconds);
    dragSeconds += seconds;
    floorSeconds += timed(state, "a host call of the floor failed", [&] { return session.copyFloor(); });
  }
  reportFloor(state, dragSeconds, floorSeconds);
  countSegments(state, selection);
}

// Drag events alone, for the growth series.
void dragEventAlone(benchmark::State& state, Selection selection) {
  DragSession& session = sessionFor(selection, true);
  for (auto _ : state) {
    if (session.drag() != 0) state.SkipWithError("the drag event failed");
  }
  countSegments(state, selection);
}

// Each iteration: one mouse-down (timed), the mouse-up that disposes its
// duplicates, then the floor's duplicates made and disposed again (only the
// making timed).
void mouseDown(benchmark::State& state, Selection selection) {
  DragSession& session = sessionFor(selection, false);
  double downSeconds = 0.0;
  double floorSeconds = 0.0;
  for (auto _ : state) {
    const double seconds = timed(state, "the mouse-down failed", [&] { return session.mouseDown(); });
    state.SetIterationTime(seconds);
    downSeconds += seconds;
    if (session.mouseUp() != 0) state.SkipWithError("the mouse-up failed");
    floorSeconds += timed(state, "a host call of the floor failed", [&] { return session.duplicateFloor(); });
    if (session.disposeCopies() != 0) state.SkipWithError("a disposal failed");
  }
  reportFloor(state, downSeconds, floorSeconds);
  countSegments(state, selection);
}

// The segment kernel alone on one path's buffer in the cache, with a zero
// factor so that the points stay where they are from one pass to the next
// (the arithmetic and the envelope tests are the same as for any factor).
// `path` is the vector path forced, or points for the reference. The blocks
// have the path's bound, as at every drag event after the first, which
// takes it (kernel_bound).
constexpr int kTimedPasses = 20000;

// Times `pass` over a buffer of `segments`: the benchmark's iterations, then
// the fastest of many single passes, which a busy machine cannot make slower.
template <typename Pass>
void timePasses(benchmark::State& state, const Pass& pass, std::size_t segments) {
  for (auto _ : state) pass();
  double fastest = 1.0;
  for (int i = 0; i < kTimedPasses; ++i) {
    const Clock::time_point begin = Clock::now();
    pass();
    fastest = std::min(fastest, std::chrono::duration<double>(Clock::now() - begin).count());
  }
  state.counters["fastest_ns"] = fastest * 1e9 / static_cast<double>(segments);
  countSegments(state, Selection{1, segments});
}

void kernelAlone(benchmark::State& state, KernelPath path) {
  const bool blocks = path != KernelPath::points;
  if (blocks && !forceKernelPath(path)) {
    state.SkipWithError("this machine cannot run the path");
    for (auto _ : state) {
    }
    return;
  }
  const swhost::World world = swbench::worldOf(Selection{1, 1000});
  std::vector<hostapi::PathSegment> buffer = world.paths[0].segments;
  const ArtworkPoint start{12.5f, -7.75f};
  const ArtworkPoint current{162.5f, 52.25f};
  Stretch stretch = computeStretch(start, current, false, 200.0f);
  stretch.factor = 0.0f;
  const SegmentDisplacer displacer(stretch, start, current);
  const float largest = largestCoordinate(buffer.data(), buffer.size());
  const auto pass = [&] {
    const bool overflowed = blocks ? displacer.displace(buffer.data(), buffer.size(), largest)
                                   : displacer.displaceEachPoint(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(overflowed);
    benchmark::ClobberMemory();
  };
  timePasses(state, pass, buffer.size());
  forceKernelPath(gDragPath);
}

// What the first event of a drag adds for each path: its largest coordinate,
// the bound of every later event's blocks.
void boundAlone(benchmark::State& state) {
  const swhost::World world = swbench::worldOf(Selection{1, 1000});
  const std::vector<hostapi::PathSegment>& buffer = world.paths[0].segments;
  const ArtworkPoint start{12.5f, -7.75f};
  const ArtworkPoint current{162.5f, 52.25f};
  const SegmentDisplacer displacer(computeStretch(start, current, false, 200.0f), start, current);
  const auto pass = [&] {
    const float largest = displacer.largestCoordinate(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(largest);
  };
  timePasses(state, pass, buffer.size());
}

std::string label(Selection selection) {
  return std::to_string(selection.paths) + "x" + std::to_string(selection.segments);
}

void registerAll() {
  const Selection cases[] = {{1000, 1000}, {250000, 4}, {30, 32000}};
  for (const Selection selection : cases) {
    benchmark::RegisterBenchmark(("drag/" + label(selection)).c_str(), dragEvent, selection)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
  }
  const Selection down{100000, 4};
  benchmark::RegisterBenchmark(("mouse_down/" + label(down)).c_str(), mouseDown, down)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  for (const KernelPath path : {KernelPath::sse2, KernelPath::avx2, KernelPath::avx512, KernelPath::points}) {
    const std::string name = path == KernelPath::points ? "each_point" : kernelPathName(path);
    benchmark::RegisterBenchmark(("kernel_" + name + "/1x1000").c_str(), kernelAlone, path)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("kernel_bound/1x1000", boundAlone)->Unit(benchmark::kMicrosecond);
  // Growth from 10^3 to 10^6 segments, in paths of 1000 segments and in
  // paths of 4; the argument is the number of segments.
  for (const std::size_t segments : {1000u, 4u}) {
    benchmark::RegisterBenchmark(("scaling_paths_of_" + std::to_string(segments)).c_str(),
                                 [segments](benchmark::State& state) {
                                   const auto total = static_cast<std::size_t>(state.range(0));
                                   dragEventAlone(state, Selection{total / segments, segments});
                                 })
        ->RangeMultiplier(10)
        ->Range(1000, 1000000)
        ->Complexity(benchmark::oN)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
  }
}

// The console report, then each case over its floor, the kernel alone and
// the growth series. With repetitions the medians are used.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
      Measured measured;
      measured.seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (const auto floor = run.counters.find("floor_ms"); floor != run.counters.end()) {
        measured.floorSeconds = floor->second.value / 1e3;
      }
      if (const auto ratio = run.counters.find("ratio"); ratio != run.counters.end()) measured.ratio = ratio->second;
      if (const auto fastest = run.counters.find("fastest_ns"); fastest != run.counters.end()) {
        measured.fastestNs = fastest->second;
      }
      const std::string& name = run.run_name.function_name;
      if (name.rfind("scaling", 0) == 0) {
        growth_[name][std::stoll(run.run_name.args)] = measured.seconds;
        continue;
      }
      const std::size_t slash = name.find('/');
      measured_[name.substr(0, slash)][name.substr(slash + 1)] = measured;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-22s %12s %12s %8s %16s\n", "case", "time (ms)", "floor (ms)", "ratio", "segments/s");
    for (const char* kind : {"drag", "mouse_down"}) {
      for (const auto& [selection, m] : measured_[kind]) {
        std::printf("%-22s %12.3f %12.3f %8.3f %16.4g\n", (std::string(kind) + "/" + selection).c_str(),
                    m.seconds * 1e3, m.floorSeconds * 1e3, m.ratio, segmentsOf(selection) / m.seconds);
      }
    }
    std::printf("\n%-26s %10s %16s %12s %14s   (the drag cases' path: %s)\n", "kernel alone", "time (us)", "segments/s",
                "ns/segment", "fastest pass", kernelPathName(gDragPath));
    for (const char* kind : {"kernel_sse2", "kernel_avx2", "kernel_avx512", "kernel_each_point", "kernel_bound"}) {
      for (const auto& [selection, m] : measured_[kind]) {
        const double n = segmentsOf(selection);
        std::printf("%-26s %10.3f %16.4g %12.3f %14.3f\n", (std::string(kind) + "/" + selection).c_str(),
                    m.seconds * 1e6, n / m.seconds, m.seconds * 1e9 / n, m.fastestNs);
      }
    }
    std::printf("\n%-22s %10s %12s %16s %12s\n", "growth", "segments", "time (ms)", "segments/s", "ns/segment");
    for (const auto& [family, series] : growth_) {
      for (const auto& [segments, seconds] : series) {
        const auto n = static_cast<double>(segments);
        std::printf("%-22s %10lld %12.3f %16.4g %12.3f\n", family.c_str(), segments, seconds * 1e3, n / seconds,
                    seconds * 1e9 / n);
      }
    }
    std::fflush(stdout);
  }

 private:
  struct Measured {
    double seconds = 0.0;
    double floorSeconds = 0.0;
    double ratio = 0.0;
    double fastestNs = 0.0;  // the kernel's fastest single pass, per segment
  };

  static double segmentsOf(const std::string& selection) {
    const std::size_t x = selection.find('x');
    return std::stod(selection.substr(0, x)) * std::stod(selection.substr(x + 1));
  }

  std::map<std::string, std::map<std::string, Measured>> measured_;  // kind -> selection
  std::map<std::string, std::map<long long, double>> growth_;        // family -> segments -> seconds
};

}  // namespace

int main(int argc, char** argv) {
  gDragPath = activeKernelPath();
  if (const char* wanted = std::getenv("SW_BENCH_KERNEL")) {
    for (const KernelPath path : {KernelPath::sse2, KernelPath::avx2, KernelPath::avx512}) {
      if (std::string(wanted) == kernelPathName(path)) gDragPath = path;
    }
    if (std::string(wanted) != kernelPathName(gDragPath) || !forceKernelPath(gDragPath)) {
      std::fprintf(stderr, "SW_BENCH_KERNEL=%s: not a path this machine runs\n", wanted);
      return 1;
    }
  }
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
