#include "host/document.h"

#include <stdexcept>

namespace swhost {

namespace {
std::uintptr_t idOf(hostapi::ArtHandle art) { return reinterpret_cast<std::uintptr_t>(art); }
hostapi::ArtHandle handleOf(std::uintptr_t id) { return reinterpret_cast<hostapi::ArtHandle>(id); }
}  // namespace

Document::Document(const std::vector<Path>& paths) {
  for (const Path& path : paths) insert(order_.end(), newId(), path);
}

std::vector<Path> Document::paths() const {
  std::vector<Path> result;
  result.reserve(order_.size());
  for (const std::uintptr_t id : order_) result.push_back(entries_.at(id).path);
  return result;
}

const Path* Document::find(hostapi::ArtHandle art) const {
  const auto it = entries_.find(idOf(art));
  return it == entries_.end() ? nullptr : &it->second.path;
}

Path* Document::findForChange(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  if (it == entries_.end()) return nullptr;
  record(it->first, it->second);
  return &it->second.path;
}

void Document::record(std::uintptr_t id, Entry& entry) {
  if (mark_ == 0 || entry.recordedAt == mark_) return;
  before_.emplace(id, entry.path);
  entry.recordedAt = mark_;
}

std::vector<hostapi::ArtHandle> Document::selected() const {
  std::vector<hostapi::ArtHandle> result;
  for (const std::uintptr_t id : order_) {
    if (entries_.at(id).path.selected) result.push_back(handleOf(id));
  }
  return result;
}

std::vector<hostapi::ArtHandle> Document::handles() const {
  std::vector<hostapi::ArtHandle> result;
  result.reserve(order_.size());
  for (const std::uintptr_t id : order_) result.push_back(handleOf(id));
  return result;
}

std::size_t Document::segmentTotal() const {
  std::size_t total = 0;
  for (const std::uintptr_t id : order_) total += entries_.at(id).path.segments.size();
  return total;
}

void Document::selectOnly(const std::vector<std::size_t>& places) {
  std::vector<bool> chosen(order_.size(), false);
  for (const std::size_t place : places) {
    if (place < chosen.size()) chosen[place] = true;
  }
  std::size_t place = 0;
  for (const std::uintptr_t id : order_) entries_.at(id).path.selected = chosen[place++];
}

hostapi::ArtHandle Document::duplicateAbove(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  if (it == entries_.end()) return nullptr;
  return insert(std::next(it->second.position), newId(), it->second.path);
}

bool Document::dispose(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  if (it == entries_.end()) return false;
  record(it->first, it->second);
  order_.erase(it->second.position);
  entries_.erase(it);
  return true;
}

Document::Snapshot Document::snapshot() {
  ++mark_;
  markedOrder_.assign(order_.begin(), order_.end());
  before_.clear();
  return Snapshot{mark_};
}

void Document::restore(const Snapshot& snapshot) {
  if (snapshot.mark != mark_ || mark_ == 0) throw std::logic_error("only the latest document mark can be restored");
  // Every path of the mark is either unchanged and alive, or kept in before_.
  std::unordered_map<std::uintptr_t, Entry> restored;
  restored.reserve(markedOrder_.size());
  order_.clear();
  for (const std::uintptr_t id : markedOrder_) {
    const auto position = order_.insert(order_.end(), id);
    const auto kept = before_.find(id);
    Path path = kept != before_.end() ? std::move(kept->second) : std::move(entries_.at(id).path);
    restored.emplace(id, Entry{std::move(path), position, 0});
  }
  entries_ = std::move(restored);
  before_.clear();  // the document is the mark again; later changes are recorded anew
}

hostapi::ArtHandle Document::insert(std::list<std::uintptr_t>::iterator before, std::uintptr_t id, Path path) {
  const auto position = order_.insert(before, id);
  // A path made after the mark is dropped by restoring it: nothing to record.
  entries_.emplace(id, Entry{std::move(path), position, mark_});
  return handleOf(id);
}

}  // namespace swhost
