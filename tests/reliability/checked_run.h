// One run of the plug-in (linked into this program) in a fresh substitute
// host, message by message, checking after each one what must hold whatever
// the host fails: the promises a plug-in makes to the process it lives in.
//
// After every message:
//  - no exception left PluginMain, and the host saw no broken contract;
//  - no suite is held beyond the startup nesting, except once more per
//    release the host refused;
//  - no Unicode string, matching-art answer or globals block is alive beyond
//    the disposals and frees the host refused;
//  - the user's paths are all there, with their segment counts, and no point
//    that was finite has become infinite or not a number;
//  - the plug-in's lists name only live art, a reference for each target at
//    most, no copy twice and no copy as a target; a mouse-down captures no
//    copy the plug-in listed before it (so the document grows by at most
//    the selection per press, whatever the host refuses to dispose);
//  - a copy the plug-in no longer lists (it will never remove it) appears
//    only where the failure rules keep one: at unload and shutdown, which
//    drop the lists, and at a click's undo, which brings back the copies
//    removed since the host's operation began;
//  - a mouse-up that met no failure leaves the tool idle: lists empty,
//    annotator inactive;
//  - a message during which exactly one failure happened returns what that
//    failure calls for (see fault_effects.h); an allocation failure returns
//    kOutOfMemoryError.
// After every host action (the person selecting, panning, undoing or
// redoing between messages), the same host, path and list checks (the lists
// may name art an undo or redo took away), and the document is one it has
// been before: order, names and segments as after an earlier message or
// action, so an undo or redo never makes anything new.
// After the run, once a quitting host has sent its shutdown: the plug-in holds
// no globals and no suite, and the host holds no block, unless the host
// refused to free it or never delivered the message that would have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/host_api.h"
#include "host/host.h"

namespace swrel {

// A host fault that fired: which call failed, during which message.
struct FiredFault {
  std::size_t call = 0;   // index in the host's call log
  std::size_t event = 0;  // index of the message being handled
  std::string name;       // "<suite>/<operation>"
  hostapi::HostError error = 0;
};

// The calls one message made: [first, end) in the host's call log.
struct EventSpan {
  std::size_t first = 0;
  std::size_t end = 0;
};

class CheckedRun {
 public:
  // A host made from `world` (it always keeps the call log) with `entry`
  // attached. The plug-in starts as a freshly loaded library does: no
  // globals record, every suite slot empty.
  explicit CheckedRun(swhost::World world, hostapi::PluginEntry entry = &PluginMain);
  ~CheckedRun();
  CheckedRun(const CheckedRun&) = delete;
  CheckedRun& operator=(const CheckedRun&) = delete;

  // Delivers one message and checks. A successful "SP Access"/"Unload"
  // unloads the library: the next message finds its module state fresh.
  // Returns the message's result (0 when an exception escaped).
  hostapi::HostError deliver(const swhost::Event& event);
  void deliverAll(const std::vector<swhost::Event>& events);
  // Does what a person does to the host between messages, then checks;
  // `name` says what it was in the problems. Selecting or panning during a
  // press leaves the host's operation where the mouse-down began it.
  void act(const std::string& name, const std::function<void(swhost::Host&)>& action);
  // The person's undo and redo: one the host takes makes an open operation
  // go on from where it leaves the document; one it refuses moves nothing.
  void undo();
  void redo();

  // Ends the run as a quitting host does, then checks what it left behind.
  // Call after the last message; the destructor calls it if nobody did.
  void finish();

  const std::vector<std::string>& problems() const { return problems_; }
  bool clean() const { return problems_.empty(); }

  swhost::Host& host() { return *host_; }
  const swhost::Host& host() const { return *host_; }
  const std::vector<swhost::Event>& events() const { return events_; }
  const std::vector<hostapi::HostError>& results() const { return results_; }
  const std::vector<EventSpan>& spans() const { return spans_; }
  const std::vector<FiredFault>& firedFaults() const { return fired_; }
  // How many faults on `call` fired so far.
  std::size_t firedCount(std::string_view call) const;
  // The message during which the chosen plug-in allocation failed, if it did.
  std::optional<std::size_t> allocationFailureEvent() const { return allocationFailureEvent_; }

  // The copies the plug-in made that are in the document now.
  std::vector<hostapi::ArtHandle> duplicates() const;

 private:
  // act() for any action; `action` returns whether the host's open
  // operation now goes on from where it leaves the document.
  void perform(const std::string& name, const std::function<bool(swhost::Host&)>& action);

  struct Original {
    hostapi::ArtHandle handle;
    swhost::Path path;
  };

  void problem(std::size_t event, const std::string& what);
  void recordFiredFaults(std::size_t event, std::size_t firstCall);
  void checkHostState(std::size_t event);
  void checkUserPaths(std::size_t event);
  void checkPluginLists(std::size_t event);
  void checkCapture(std::size_t event, const std::set<hostapi::ArtHandle>& listedBefore);
  void checkStrays(std::size_t event, const std::set<hostapi::ArtHandle>& straysBefore,
                   const std::set<hostapi::ArtHandle>& listedBefore, const std::set<hostapi::ArtHandle>& operationStart,
                   bool undone);
  void checkResult(std::size_t event, hostapi::HostError result, std::size_t faultsBefore);
  // The document's content without the selection, as a number.
  std::uint64_t contentHash() const;
  std::set<hostapi::ArtHandle> listedReferences() const;
  // The references and the copies the host refused to dispose.
  std::set<hostapi::ArtHandle> listedCopies() const;
  std::set<hostapi::ArtHandle> strays() const;

  std::unique_ptr<swhost::Host> host_;
  std::vector<Original> originals_;
  std::set<hostapi::ArtHandle> originalHandles_;
  std::vector<swhost::Event> events_;
  std::vector<hostapi::HostError> results_;
  std::vector<EventSpan> spans_;
  std::vector<FiredFault> fired_;
  std::map<std::string, std::int64_t, std::less<>> callCounts_;
  std::map<std::string, std::int64_t> startupNesting_;  // per suite: 1 once an inner acquire ran
  std::set<hostapi::ArtHandle> atOperationStart_;       // the document when the host's operation began
  bool pressed_ = false;                                // a mouse-down came, and no mouse-up since
  std::set<std::uint64_t> seenContents_;                // contentHash() after each message and action
  std::string action_;                                  // the host action being checked, if any
  std::optional<std::size_t> allocationFailureEvent_;
  std::size_t violationsSeen_ = 0;
  bool loaded_ = true;
  bool reloadLost_ = false;  // a reload the plug-in never saw left it without its globals
  bool finished_ = false;
  std::vector<std::string> problems_;
};

// True when `event` is caller / selector.
bool isMessage(const swhost::Event& event, std::string_view caller, std::string_view selector);

}  // namespace swrel
