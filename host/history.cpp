// The undo and redo stacks (history.h): a new step drops what could be redone,
// and the oldest steps go first until the bound on steps and bytes holds.
#include "host/history.h"

namespace swhost {

void History::push(Step step) {
  for (const Step& dropped : redo_) bytes_ -= dropped.bytes;
  redo_.clear();
  bytes_ += step.bytes;
  undo_.push_back(std::move(step));
  while (!undo_.empty() && (undo_.size() > bound_.steps || bytes_ > bound_.bytes)) {
    bytes_ -= undo_.front().bytes;
    undo_.pop_front();
  }
}

std::optional<Step> History::takeUndo() {
  if (undo_.empty()) return std::nullopt;
  Step step = std::move(undo_.back());
  undo_.pop_back();
  bytes_ -= step.bytes;
  return step;
}

void History::pushRedo(Step step) {
  bytes_ += step.bytes;
  redo_.push_back(std::move(step));
}

std::optional<Step> History::takeRedo() {
  if (redo_.empty()) return std::nullopt;
  Step step = std::move(redo_.back());
  redo_.pop_back();
  bytes_ -= step.bytes;
  return step;
}

void History::pushUndo(Step step) {
  bytes_ += step.bytes;
  undo_.push_back(std::move(step));
}

}  // namespace swhost
