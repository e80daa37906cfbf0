// The steps a person can undo and redo, oldest first, within a bound on how
// many there are and how many bytes they keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "host/path.h"

namespace swhost {

// How much history the host keeps: at most `steps` steps and `bytes` bytes
// of kept paths (see Step::bytes); the oldest step goes first.
struct HistoryBound {
  std::size_t steps = 100;
  std::size_t bytes = std::size_t{256} << 20;
};

// One path a step touched, as it is on the step's other side: before the
// step while it waits to be undone, after it while it waits to be redone.
struct StepChange {
  std::uintptr_t id = 0;
  std::optional<Path> other;  // absent: the path does not exist on the other side
  // For a path that exists only on the other side: the path directly below
  // it there (0: it lies at the bottom).
  std::uintptr_t below = 0;
};

struct Step {
  std::uint64_t operation = 0;  // the operation it was made from
  std::vector<StepChange> changes;
  // What the step keeps, by a formula every build computes alike, so that
  // the same steps are dropped on every platform: kChangeBytes per path,
  // plus its name and its segments at 28 bytes each (a path has the same
  // name and segment count on both sides, if it exists on both).
  std::size_t bytes = 0;
};

inline constexpr std::size_t kChangeBytes = 64;

class History {
 public:
  void setBound(HistoryBound bound) { bound_ = bound; }
  HistoryBound bound() const { return bound_; }

  // A new step: what could be redone is dropped, then the oldest steps until
  // the bound holds again (a step larger than the whole bound goes too).
  void push(Step step);
  // The latest step, taken off to be undone (or reopened); none if empty.
  std::optional<Step> takeUndo();
  // An undone step, now waiting to be redone.
  void pushRedo(Step step);
  // The step undone last, taken off to be redone; none if empty.
  std::optional<Step> takeRedo();
  // A redone step, back on the undo side; the bound already counted it.
  void pushUndo(Step step);

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  // The operation of the latest step, or 0.
  std::uint64_t latestOperation() const { return undo_.empty() ? 0 : undo_.back().operation; }
  std::size_t steps() const { return undo_.size() + redo_.size(); }
  std::size_t bytes() const { return bytes_; }

 private:
  HistoryBound bound_;
  std::deque<Step> undo_;   // oldest first
  std::vector<Step> redo_;  // the next to redo last
  std::size_t bytes_ = 0;   // of both sides
};

}  // namespace swhost
