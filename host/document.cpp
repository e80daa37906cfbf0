// The document's paths (document.h): paint order, a handle that stays a
// path's for its life, and every change recorded in the open operation before
// it is made, so that the history (document_history.cpp) can take it back.
#include "host/document.h"

namespace swhost {

namespace {
std::uintptr_t idOf(hostapi::ArtHandle art) { return reinterpret_cast<std::uintptr_t>(art); }
hostapi::ArtHandle handleOf(std::uintptr_t id) { return reinterpret_cast<hostapi::ArtHandle>(id); }
}  // namespace

Document::Document(const std::vector<Path>& paths) {
  for (const Path& path : paths) place(order_.end(), newId(), path);
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
  openForChange();
  const std::uintptr_t id = newId();
  // A path made in the operation is absent where it began: nothing to keep.
  place(std::next(it->second.position), id, it->second.path, open_->epoch);
  open_->made.push_back(id);
  ++open_->madeAlive;
  return handleOf(id);
}

bool Document::dispose(hostapi::ArtHandle art) {
  const auto it = entries_.find(idOf(art));
  if (it == entries_.end()) return false;
  record(it->first, it->second);
  const bool made = it->second.recordedIn == open_->epoch && open_->before.count(it->first) == 0;
  if (!made && !open_->orderTaken) {
    open_->order = orderAtBegin();
    open_->orderTaken = true;
  }
  order_.erase(it->second.position);
  entries_.erase(it);
  if (made) forgetMade();
  return true;
}

hostapi::ArtHandle Document::place(std::list<std::uintptr_t>::iterator before, std::uintptr_t id, Path path,
                                   std::uint64_t recordedIn) {
  const auto position = order_.insert(before, id);
  entries_.emplace(id, Entry{std::move(path), position, recordedIn});
  return handleOf(id);
}

}  // namespace swhost
