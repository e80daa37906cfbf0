// The document's operations and its history of steps. A step keeps, for
// each path it touched, only that path's state on the step's other side;
// undoing or redoing one swaps those states with the document's, so each
// costs what the step touched, never the whole document, and turns the
// step into its own inverse.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "host/document.h"

namespace swhost {

namespace {

std::uintptr_t idOf(hostapi::ArtHandle art) { return reinterpret_cast<std::uintptr_t>(art); }

// Everything a step brings back: segments bit for bit (NaN payloads too),
// the closed flag and the name, never the selection.
bool sameContent(const Path& a, const Path& b) {
  return a.closed == b.closed && a.name == b.name && a.segments.size() == b.segments.size() &&
         (a.segments.empty() ||
          std::memcmp(a.segments.data(), b.segments.data(), a.segments.size() * sizeof(hostapi::PathSegment)) == 0);
}

std::size_t keptBytes(const Path& path) {
  return kChangeBytes + path.name.size() + sizeof(hostapi::PathSegment) * path.segments.size();
}

}  // namespace

void Document::record(std::uintptr_t id, Entry& entry) {
  openForChange();
  if (entry.recordedIn == open_->epoch) return;  // kept already, or made in this operation
  open_->before.emplace(id, entry.path);
  entry.recordedIn = open_->epoch;
}

void Document::begin() {
  ended_.reset();
  open_ = Operation{++marks_, ++epochs_, {}, false, {}, {}, 0};
}

std::vector<std::uintptr_t> Document::orderAtBegin() const {
  const std::unordered_set<std::uintptr_t> made(open_->made.begin(), open_->made.end());
  std::vector<std::uintptr_t> order;
  order.reserve(order_.size());
  for (const std::uintptr_t id : order_) {
    if (made.count(id) == 0) order.push_back(id);
  }
  return order;
}

void Document::openForChange() {
  if (open_) return;
  if (!ended_) {
    begin();
    return;
  }
  // The latest operation goes on, with what it kept of where it began.
  Ended ended = std::move(*ended_);
  ended_.reset();
  if (ended.stepped && history_.latestOperation() != ended.mark) {  // the bound dropped its step
    begin();
    return;
  }
  open_ = Operation{ended.mark, ended.epoch, std::move(ended.order), ended.orderTaken, {}, {}, 0};
  if (!ended.stepped) return;
  Step step = std::move(*history_.takeUndo());
  for (StepChange& change : step.changes) {
    if (change.other) {
      open_->before.emplace(change.id, std::move(change.other));
    } else {
      open_->made.push_back(change.id);
      ++open_->madeAlive;
    }
  }
}

void Document::forgetMade() {
  std::vector<std::uintptr_t>& made = open_->made;
  if (open_->madeAlive > 0) --open_->madeAlive;
  if (open_->madeAlive * 2 >= made.size() || made.size() < 64) return;
  made.erase(std::remove_if(made.begin(), made.end(), [&](std::uintptr_t id) { return entries_.count(id) == 0; }),
             made.end());
}

Document::Snapshot Document::snapshot() {
  endOperation();
  begin();
  return Snapshot{open_->mark};
}

void Document::endOperation() {
  if (!open_) return;
  Step step = stepBack(*open_);
  const bool stepped = !step.changes.empty();
  ended_ = Ended{open_->mark, open_->epoch, std::move(open_->order), open_->orderTaken, stepped};
  open_.reset();
  if (stepped) history_.push(std::move(step));
}

bool Document::undoOperation() {
  if (!open_ && !ended_) return false;
  openForChange();
  Step back = stepBack(*open_);
  apply(back);
  // The document is where the operation began: its order then still holds.
  open_->before.clear();
  open_->made.clear();
  open_->madeAlive = 0;
  open_->epoch = ++epochs_;
  return true;
}

void Document::restore(const Snapshot& snapshot) {
  const bool latest = snapshot.mark != 0 &&
                      ((open_ && open_->mark == snapshot.mark) || (!open_ && ended_ && ended_->mark == snapshot.mark));
  if (!latest) throw std::logic_error("only the open or latest operation can be undone");
  undoOperation();
}

Step Document::stepBack(Operation& operation) {
  Step step;
  step.operation = operation.mark;
  // Paths that were there when it began and are gone now come back where
  // they lay then, in paint order, each directly above the one below it.
  const bool anyGone = std::any_of(operation.before.begin(), operation.before.end(),
                                   [&](const auto& kept) { return kept.second && entries_.count(kept.first) == 0; });
  if (anyGone) {
    // Only dispose takes out a path that was there, and it takes the order.
    if (!operation.orderTaken) throw std::logic_error("a path is gone from an operation that kept no paint order");
    std::uintptr_t below = 0;
    for (const std::uintptr_t id : operation.order) {
      const auto kept = operation.before.find(id);
      if (kept != operation.before.end() && kept->second && entries_.count(id) == 0) {
        step.bytes += keptBytes(*kept->second);
        step.changes.push_back(StepChange{id, std::move(kept->second), below});
        operation.before.erase(kept);
      }
      below = id;
    }
  }
  std::vector<StepChange> others;
  for (const std::uintptr_t id : operation.made) {
    const auto now = entries_.find(id);
    if (now == entries_.end()) continue;  // made and gone again
    step.bytes += keptBytes(now->second.path);
    others.push_back(StepChange{id, std::nullopt, 0});
  }
  for (auto& [id, before] : operation.before) {
    const auto now = entries_.find(id);
    if (now == entries_.end()) continue;  // gone: it comes back above
    if (sameContent(*before, now->second.path)) {
      now->second.recordedIn = 0;  // left as it was: recorded afresh if the operation goes on
    } else {
      step.bytes += keptBytes(*before);
      others.push_back(StepChange{id, std::move(before), 0});
    }
  }
  operation.before.clear();
  operation.made.clear();
  operation.madeAlive = 0;
  // The same order on every platform, whatever the map's.
  std::sort(others.begin(), others.end(), [](const StepChange& a, const StepChange& b) { return a.id < b.id; });
  for (StepChange& change : others) step.changes.push_back(std::move(change));
  return step;
}

void Document::apply(Step& step) {
  std::vector<StepChange*> leaving;
  std::vector<StepChange*> entering;
  for (StepChange& change : step.changes) {
    const auto now = entries_.find(change.id);
    if (!change.other) {
      if (now != entries_.end()) leaving.push_back(&change);
    } else if (now == entries_.end()) {
      entering.push_back(&change);
    } else {
      std::swap(now->second.path.segments, change.other->segments);
    }
  }
  // Where each leaving path lies, before any leaves, for coming back.
  for (StepChange* change : leaving) {
    const Entry& entry = entries_.at(change->id);
    change->below = entry.position == order_.begin() ? 0 : *std::prev(entry.position);
  }
  for (StepChange* change : leaving) {
    const auto it = entries_.find(change->id);
    order_.erase(it->second.position);
    change->other = std::move(it->second.path);
    entries_.erase(it);
    taken_.insert(change->id);
  }
  // Each entering path goes directly above the path below it on the other
  // side, which is there already or enters just before it.
  std::unordered_map<std::uintptr_t, StepChange*> above;
  for (StepChange* change : entering) above.emplace(change->below, change);
  const auto enter = [&](StepChange* change) {
    const auto position = change->below == 0 ? order_.begin() : std::next(entries_.at(change->below).position);
    place(position, change->id, std::move(*change->other));
    change->other.reset();
    taken_.erase(change->id);
  };
  for (StepChange* change : entering) {
    if (!change->other) continue;                                            // entered in a chain
    if (change->below != 0 && entries_.count(change->below) == 0) continue;  // enters in a chain
    for (StepChange* next = change;;) {
      enter(next);
      const auto chained = above.find(next->id);
      if (chained == above.end()) break;
      next = chained->second;
    }
  }
  // Every path below one that enters lies on that side too, so none is left;
  // if one were, it would come back on top rather than be lost.
  for (StepChange* change : entering) {
    if (!change->other) continue;
    change->below = order_.empty() ? 0 : order_.back();
    enter(change);
  }
}

void Document::rebegin() {
  open_->before.clear();
  open_->made.clear();
  open_->madeAlive = 0;
  open_->epoch = ++epochs_;
  open_->order.clear();
  open_->orderTaken = false;
}

bool Document::undo() {
  if (open_) {
    Step back = stepBack(*open_);
    if (!back.changes.empty()) {
      apply(back);  // what the operation did so far is gone for good
      rebegin();
      return true;
    }
    rebegin();
  }
  std::optional<Step> step = history_.takeUndo();
  if (!step) return false;
  ended_.reset();
  apply(*step);
  history_.pushRedo(std::move(*step));
  if (open_) rebegin();
  return true;
}

bool Document::redo() {
  if (open_ && open_->touched()) return false;  // a new step is under way
  std::optional<Step> step = history_.takeRedo();
  if (!step) return false;
  ended_.reset();
  apply(*step);
  history_.pushUndo(std::move(*step));
  if (open_) rebegin();
  return true;
}

bool Document::canUndo() const { return history_.canUndo() || (open_ && open_->touched()); }

bool Document::canRedo() const { return history_.canRedo() && !(open_ && open_->touched()); }

bool Document::takenByHistory(hostapi::ArtHandle art) const { return taken_.count(idOf(art)) != 0; }

}  // namespace swhost
