#include "host/document.h"

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

Path* Document::find(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  return it == entries_.end() ? nullptr : &it->second.path;
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

hostapi::ArtHandle Document::duplicateAbove(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  if (it == entries_.end()) return nullptr;
  return insert(std::next(it->second.position), newId(), it->second.path);
}

bool Document::dispose(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  if (it == entries_.end()) return false;
  order_.erase(it->second.position);
  entries_.erase(it);
  return true;
}

Document::Snapshot Document::snapshot() const {
  Snapshot snapshot;
  snapshot.paths.reserve(order_.size());
  for (const std::uintptr_t id : order_) snapshot.paths.emplace_back(id, entries_.at(id).path);
  return snapshot;
}

void Document::restore(const Snapshot& snapshot) {
  order_.clear();
  entries_.clear();
  for (const auto& [id, path] : snapshot.paths) insert(order_.end(), id, path);
}

hostapi::ArtHandle Document::insert(std::list<std::uintptr_t>::iterator before, std::uintptr_t id, Path path) {
  const auto position = order_.insert(before, id);
  entries_.emplace(id, Entry{std::move(path), position});
  return handleOf(id);
}

}  // namespace swhost
