// The substitute host's document: paths in paint order, each known to the
// plug-in by an art handle that stays the same for the path's life.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "bridge/host_api.h"

namespace swhost {

// One path of the document.
struct Path {
  std::string name;
  bool selected = false;
  bool closed = false;
  std::vector<hostapi::PathSegment> segments;
};

class Document {
 public:
  Document() = default;
  explicit Document(const std::vector<Path>& paths);

  // The paths in paint order, bottom first.
  std::vector<Path> paths() const;
  std::size_t size() const { return order_.size(); }
  // The segments of all paths together.
  std::size_t segmentTotal() const;

  // The path behind a handle, or null for a handle that names no live path.
  const Path* find(hostapi::ArtHandle art) const;
  // The same, for changing it: the path's state joins the undo record first.
  Path* findForChange(hostapi::ArtHandle art);
  // Handles of the selected paths, in paint order.
  std::vector<hostapi::ArtHandle> selected() const;
  // Handles of all paths, in paint order.
  std::vector<hostapi::ArtHandle> handles() const;
  // Calls visit(handle, path) for each path in paint order, copying nothing.
  template <typename Visit>
  void forEach(Visit visit) const {
    for (const std::uintptr_t id : order_) visit(reinterpret_cast<hostapi::ArtHandle>(id), entries_.at(id).path);
  }

  // Selects exactly the paths at these places in paint order; places past
  // the last path name nothing. The person choosing art is not an undoable
  // operation: undo brings back what paths held, not what was chosen since.
  void selectOnly(const std::vector<std::size_t>& places);

  // Copies `art` into a new path directly above it; null if `art` is dead.
  hostapi::ArtHandle duplicateAbove(hostapi::ArtHandle art);
  // Removes the path; false if the handle is dead.
  bool dispose(hostapi::ArtHandle art);

  // Marks the document as it is now; restoring the mark brings back every
  // path with its old handle, content and place and drops paths made since,
  // as often as asked. Only the latest mark can be restored. Taking a mark
  // copies no path: a path's old state is kept when it is first changed or
  // disposed after the mark, the way a host records an undoable operation.
  struct Snapshot {
    std::uint64_t mark = 0;
  };
  Snapshot snapshot();
  // Throws std::logic_error for a mark older than the latest.
  void restore(const Snapshot& snapshot);

 private:
  struct Entry {
    Path path;
    std::list<std::uintptr_t>::iterator position;
    std::uint64_t recordedAt = 0;  // the mark whose record holds this path's old state, or that saw it made
  };
  // Keeps the entry's state for restoring the latest mark, once per mark.
  void record(std::uintptr_t id, Entry& entry);
  hostapi::ArtHandle insert(std::list<std::uintptr_t>::iterator before, std::uintptr_t id, Path path);
  std::uintptr_t newId() { return nextId_ += kIdStep; }

  // Art handles are ids, not addresses: a dead handle can be recognised
  // instead of being followed.
  static constexpr std::uintptr_t kIdStep = 0x10;
  std::uintptr_t nextId_ = 0xA0000;
  std::list<std::uintptr_t> order_;
  std::unordered_map<std::uintptr_t, Entry> entries_;

  // The undo record since the latest mark (0: none taken yet): the paint
  // order then, and the old state of each path changed or disposed since.
  std::uint64_t mark_ = 0;
  std::vector<std::uintptr_t> markedOrder_;
  std::unordered_map<std::uintptr_t, Path> before_;
};

}  // namespace swhost
