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

  // The path behind a handle, or null for a handle that names no live path.
  Path* find(hostapi::ArtHandle art);
  // Handles of the selected paths, in paint order.
  std::vector<hostapi::ArtHandle> selected() const;
  // Handles of all paths, in paint order.
  std::vector<hostapi::ArtHandle> handles() const;

  // Copies `art` into a new path directly above it; null if `art` is dead.
  hostapi::ArtHandle duplicateAbove(hostapi::ArtHandle art);
  // Removes the path; false if the handle is dead.
  bool dispose(hostapi::ArtHandle art);

  // The document as it is now; restoring it brings back every path with its
  // old handle and drops paths made since.
  struct Snapshot {
    std::vector<std::pair<std::uintptr_t, Path>> paths;
  };
  Snapshot snapshot() const;
  void restore(const Snapshot& snapshot);

 private:
  struct Entry {
    Path path;
    std::list<std::uintptr_t>::iterator position;
  };
  hostapi::ArtHandle insert(std::list<std::uintptr_t>::iterator before, std::uintptr_t id, Path path);
  std::uintptr_t newId() { return nextId_ += kIdStep; }

  // Art handles are ids, not addresses: a dead handle can be recognised
  // instead of being followed.
  static constexpr std::uintptr_t kIdStep = 0x10;
  std::uintptr_t nextId_ = 0xA0000;
  std::list<std::uintptr_t> order_;
  std::unordered_map<std::uintptr_t, Entry> entries_;
};

}  // namespace swhost
