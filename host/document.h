// The substitute host's document: paths in paint order, each known to the
// plug-in by an art handle that stays the same for the path's life, and the
// history of what the plug-in's operations did to them.
#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bridge/host_api.h"
#include "host/history.h"
#include "host/path.h"

namespace swhost {

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
  // The same, for changing it: the path's state joins the operation's record first.
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
  // operation: undo and redo bring back what paths held, and a path that
  // lives on both sides of a step keeps the selection it has.
  void selectOnly(const std::vector<std::size_t>& places);

  // Copies `art` into a new path directly above it; null if `art` is dead.
  hostapi::ArtHandle duplicateAbove(hostapi::ArtHandle art);
  // Removes the path; false if the handle is dead.
  bool dispose(hostapi::ArtHandle art);

  // --- Operations ------------------------------------------------------------
  // An operation gathers the changes of one press of the mouse. Beginning
  // one copies no path: a path's old state is kept when it is first changed
  // or disposed, the way a host records an undoable operation. Ending it
  // makes it one step of the history if the document differs from where it
  // began (a click the plug-in undid leaves none), and drops what could be
  // redone. A change while no operation is open continues the latest one
  // if nothing was undone, redone or begun since it ended, and otherwise
  // begins one.
  struct Snapshot {
    std::uint64_t mark = 0;
  };
  // Ends the open operation, if any, and begins one; returns its mark.
  Snapshot snapshot();
  void endOperation();
  bool operationOpen() const { return open_.has_value(); }
  // Undoes the changes of the open operation, or of the latest one while it
  // could still continue, bringing back every path with its old handle,
  // content and place and dropping paths made since; the operation stays
  // open, and this can be asked again. False, changing nothing, if there is
  // no such operation.
  bool undoOperation();
  // The same for the operation of `snapshot`; throws std::logic_error when
  // that is not the open or latest operation.
  void restore(const Snapshot& snapshot);

  // --- History ---------------------------------------------------------------
  // What a person undoes and redoes. Undo during an operation that changed
  // the document takes back what it did so far, for good (the operation
  // goes on from there); otherwise it brings the document back to where the
  // latest step began. Redo brings back where the step undone last ended;
  // during an operation that changed the document there is nothing to
  // redo. Paths come back under their old handles. Each returns false, and
  // changes nothing, when there is nothing to undo or redo.
  bool undo();
  bool redo();
  bool canUndo() const;
  bool canRedo() const;
  // True for a handle whose path an undo or redo took out of the document,
  // the plug-in's own undo request included: the plug-in was never told
  // (the operation it asked to undo may span presses it kept copies from),
  // so using it is not its fault.
  bool takenByHistory(hostapi::ArtHandle art) const;
  void setHistoryBound(HistoryBound bound) { history_.setBound(bound); }
  const History& history() const { return history_; }

 private:
  struct Entry {
    Path path;
    std::list<std::uintptr_t>::iterator position;
    // The epoch of the operation whose record holds this path's old state,
    // or that made it (then the record holds none).
    std::uint64_t recordedIn = 0;
  };
  struct Operation {
    std::uint64_t mark = 0;
    std::uint64_t epoch = 0;  // paths recorded in this epoch are in `before`
    // The paint order when it began, taken (orderTaken) when a path that
    // was there is first disposed, the only time it is needed, so that
    // beginning one costs nothing however large the document.
    std::vector<std::uintptr_t> order;
    bool orderTaken = false;
    // The state of each path it changed or disposed, as it was when it began
    // (absent for a path it made and then changed or disposed).
    std::unordered_map<std::uintptr_t, std::optional<Path>> before;
    // The paths it made, absent when it began; some may be gone again, and
    // `madeAlive` of them are not.
    std::vector<std::uintptr_t> made;
    std::size_t madeAlive = 0;
    bool touched() const { return !before.empty() || !made.empty(); }
  };
  // The latest operation once ended, while it may still continue.
  struct Ended {
    std::uint64_t mark = 0;
    std::uint64_t epoch = 0;
    std::vector<std::uintptr_t> order;
    bool orderTaken = false;
    bool stepped = false;  // it left a step
  };

  // Keeps the entry's state for undoing the operation, once per operation.
  void record(std::uintptr_t id, Entry& entry);
  void openForChange();
  // One path the operation made is gone: the list of them stays within
  // twice the live ones, so that a press held over many copies costs no
  // more than the copies alive.
  void forgetMade();
  void begin();
  // The paint order where the open operation began: today's without the
  // paths it made, while it has disposed none that was there.
  std::vector<std::uintptr_t> orderAtBegin() const;
  // The step that takes the document back to where `operation` began;
  // paths it left as they were are not in it.
  Step stepBack(Operation& operation);
  // Turns the document into the step's other side and the step into the
  // inverse of what it was; the paths it takes out are taken by the history.
  void apply(Step& step);
  // After an undo or redo: an open operation goes on from here.
  void rebegin();

  hostapi::ArtHandle place(std::list<std::uintptr_t>::iterator before, std::uintptr_t id, Path path,
                           std::uint64_t recordedIn = 0);
  std::uintptr_t newId() { return nextId_ += kIdStep; }

  // Art handles are ids, not addresses: a dead handle can be recognised
  // instead of being followed.
  static constexpr std::uintptr_t kIdStep = 0x10;
  std::uintptr_t nextId_ = 0xA0000;
  std::list<std::uintptr_t> order_;
  std::unordered_map<std::uintptr_t, Entry> entries_;

  std::uint64_t marks_ = 0;
  std::uint64_t epochs_ = 0;
  std::optional<Operation> open_;
  std::optional<Ended> ended_;
  History history_;
  std::unordered_set<std::uintptr_t> taken_;  // ids an undo or redo took out
};

}  // namespace swhost
