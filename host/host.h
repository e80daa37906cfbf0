// The substitute host: a small, strict stand-in for the drawing application.
// It keeps every contract the plug-in relies on over an in-memory document,
// and records everything a test needs to check order and balance.
//
// Suites are tables of plain function pointers without an owner argument, so
// one Host serves them at a time: constructing a second while one is alive
// is refused with std::logic_error.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bridge/host_api.h"
#include "host/call_log.h"
#include "host/document.h"
#include "host/suite_tables.h"

namespace swhost {

// Errors the substitute host itself reports.

// No such suite, or not in that version.
inline constexpr hostapi::HostError kUnknownSuiteError = hostapi::fourCharCode('S', 'P', 'S', 'U');
// A null, dead or foreign argument.
inline constexpr hostapi::HostError kBadParameterError = hostapi::fourCharCode('P', 'A', 'R', 'M');
// A call on a suite that is not held.
inline constexpr hostapi::HostError kNotHeldError = hostapi::fourCharCode('H', 'E', 'L', 'D');
// An index or a count beyond what there is.
inline constexpr hostapi::HostError kOutOfRangeError = hostapi::fourCharCode('R', 'N', 'G', 'E');
// No such name.
inline constexpr hostapi::HostError kNotFoundError = hostapi::fourCharCode('N', 'F', 'N', 'D');
inline constexpr hostapi::HostError kNotImplementedError = hostapi::fourCharCode('N', 'I', 'M', 'P');
// The document is full.
inline constexpr hostapi::HostError kNoRoomError = hostapi::fourCharCode('R', 'O', 'O', 'M');

// A fault to inject: the named call fails with `error` on its nth call,
// counted from 1 over the whole run; nth 0 fails every call.
struct Fault {
  std::string call;  // "<suite>/<operation>", as in the call log
  std::int64_t nth = 0;
  hostapi::HostError error = 0;
};

// What the host is like before the plug-in runs.
struct World {
  float originX = 0.0f;  // view 0 shows artwork point (originX, originY) at pixel (0, 0)
  float originY = 0.0f;
  float zoom = 1.0f;
  std::vector<std::string> tools{"pkTool2"};     // tools the host already has, numbered from 0
  std::vector<std::string> menuGroups{"About"};  // menu groups the host already has, in order
  std::int32_t iconType = 0;                     // what "icon type" answers
  std::vector<Path> paths;                       // the document in paint order
  std::vector<Fault> faults;
  bool recordCalls = true;  // keep the call log (benchmarks turn it off)
  // The host's memory: a duplicate that would leave the document with more
  // paths or segments than this fails with kNoRoomError. 0: no limit.
  // Scenario files never set it; fuzz targets bound what a run can make.
  std::size_t roomForPaths = 0;
  std::size_t roomForSegments = 0;
  // How much of the document's history the host keeps (see history.h).
  HistoryBound history;

  // Ways a real host might misbehave, for robustness tests.
  struct Quirks {
    bool matchingCountWithoutArray = false;  // a match count with a null answer handle
  } quirks;
};

// One message for the plug-in.
struct Event {
  std::string caller;
  std::string selector;
  std::optional<hostapi::ArtworkPoint> point;  // the cursor of a tool message
  std::optional<bool> shift;                   // Shift state from this event on
  std::optional<std::string> item;             // the chosen menu item, by its text
};

// The outcome of one delivered message.
struct EventResult {
  std::string caller;
  std::string selector;
  hostapi::HostError result = 0;
  std::size_t calls = 0;  // host calls the plug-in made while handling it
};

// One line the plug-in drew, with the drawer state in force when it did.
struct DrawnLine {
  hostapi::RgbColor color{};
  std::vector<float> dash;
  hostapi::ViewPoint from{};
  hostapi::ViewPoint to{};
};

// A tool the plug-in added, with the data it handed over.
struct AddedTool {
  std::string name;
  std::string title;
  std::string tooltip;
  std::int32_t reserved = 0;
  std::int16_t sameGroupAs = 0;
  std::int16_t sameToolSetAs = 0;
  std::int32_t options = 0;
};

// A menu group; a submenu group names the item it hangs from.
struct MenuGroup {
  std::string name;
  std::optional<std::size_t> parentItem;  // index into Record::menuItems
  std::int32_t options = 0;
};

// A menu item and the group that holds it, with the item name and options the
// plug-in added it with (a null name stays absent).
struct MenuItem {
  std::string group;
  std::string text;
  std::optional<std::string> name;
  std::int32_t options = 0;
};

// A call that broke a host contract. The host answers it with an error and
// records it; in strict mode it also stops the run there (Host::setStrict).
struct Violation {
  std::string call;
  std::string what;
};

// A broken contract as strict mode reports it: the call, its suite (empty
// for PluginMain itself), the message the plug-in was handling ("caller /
// selector", empty between messages) and what broke.
struct Breach {
  std::string call;
  std::string suite;
  std::string message;
  std::string what;
};

// Called at once, inside the call that broke a contract, after the host has
// recorded it. It is meant not to return (it fails a test, or ends the
// process); if it does, the call fails as it would with strict mode off.
using BreachHandler = std::function<void(const Breach&)>;

// Strict mode for every host made from now on: `onBreach` (null: off, the
// host records a broken contract and carries on, as the runner needs for its
// report). Returns the choice it replaces.
BreachHandler setStrictByDefault(BreachHandler onBreach);

// The default strict mode chosen for the hosts made while it lives; the
// choice before it comes back at its end.
class StrictModeScope {
 public:
  explicit StrictModeScope(BreachHandler onBreach) : previous_(setStrictByDefault(std::move(onBreach))) {}
  ~StrictModeScope() { setStrictByDefault(std::move(previous_)); }
  StrictModeScope(const StrictModeScope&) = delete;
  StrictModeScope& operator=(const StrictModeScope&) = delete;

 private:
  BreachHandler previous_;
};

// Everything the host saw, as a report shows it.
struct Record {
  std::vector<EventResult> results;
  CallLog calls;                   // "<suite>/<operation>" in order (if recorded)
  std::size_t callCount = 0;       // counted even when the log is off
  std::vector<DrawnLine> drawing;  // what the latest "AI Draw" drew
  std::vector<hostapi::ViewRect> invalidated;
  std::deque<MenuGroup> menuGroups;  // a deque: names handed out stay put
  std::vector<MenuItem> menuItems;
  std::vector<AddedTool> tools;
  std::vector<std::string> alerts;
  std::vector<std::int32_t> cursors;
  std::vector<std::pair<std::int32_t, std::int32_t>> iconRequests;  // (kind, resource id)
  std::int64_t undos = 0;
  std::vector<Violation> violations;
  // Calls on art that an undo or redo took out of the document while the
  // plug-in held it: answered as dead art is, but no broken contract.
  std::size_t callsOnTakenArt = 0;
};

// Makes the operating system's key state show Shift down or up, where the
// plug-in reads it through the system (Windows); elsewhere the host's own
// GetKeyState answers from Host::shift().
void applyKeyState(bool shiftDown);

class Host {
 public:
  explicit Host(World world);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host serving suite calls now; null if none.
  static Host* active();

  // The plug-in this host talks to.
  void attach(hostapi::PluginEntry entry) { entry_ = entry; }

  // Strict mode for this host (null: off); a host starts with the default
  // that setStrictByDefault chose.
  void setStrict(BreachHandler onBreach) { onBreach_ = std::move(onBreach); }
  bool strict() const { return static_cast<bool>(onBreach_); }

  // Delivers one message, building the record its caller needs, and keeps the
  // globals pointer the plug-in leaves in the header.
  EventResult deliver(const Event& event);

  // Where the host really shows the plug-in's cursor (the Windows runner loads
  // it from the plug-in's resources); returns an error when it cannot.
  void setCursorLoader(std::function<hostapi::HostError(std::int32_t cursorId)> loader) {
    cursorLoader_ = std::move(loader);
  }
  hostapi::HostError showCursor(std::int32_t cursorId) {
    return cursorLoader_ ? cursorLoader_(cursorId) : hostapi::kNoError;
  }

  // The Shift key as the plug-in reads it.
  void setShift(bool down);
  // View 0 shows artwork point (originX, originY) at pixel (0, 0), at `zoom`
  // pixels per unit, from now on (the person panned or zoomed).
  void setView(float originX, float originY, float zoom);
  bool shift() const { return shift_; }

  const World& world() const { return world_; }
  const std::vector<Path>& initialPaths() const { return world_.paths; }
  Document& document() { return document_; }
  const Document& document() const { return document_; }
  Record& record() { return record_; }
  const Record& record() const { return record_; }
  void* pluginGlobals() const { return globals_; }
  hostapi::PluginRef pluginRef() const;

  // --- Accounting: what the plug-in holds now ------------------------------
  std::map<std::string, std::int64_t> heldSuites() const;  // acquires minus releases, per suite
  std::set<void*>& blocks() { return blocks_; }
  std::size_t liveBlocks() const { return blocks_.size(); }
  std::size_t liveStrings() const;
  std::size_t liveMatchingAnswers() const;
  bool annotatorActive() const;

  // --- For the suite implementations ---------------------------------------
  // Logs the call "<suite>/<operation>", checks that the suite is held and
  // applies any injected fault. Returns the error the call must fail with,
  // or 0 to go on.
  hostapi::HostError enter(SuiteId suite, const char* operation);
  // The same for the basic suite, which is never acquired; `detail` follows
  // the operation in the log (the suite name of an acquire or release).
  hostapi::HostError enterBasic(const char* operation, const char* detail = nullptr);
  // Records a broken contract and returns kBadParameterError; in strict
  // mode it first hands the breach to the handler, which stops the run.
  hostapi::HostError violation(const std::string& call, const std::string& what);

  void countAcquire(SuiteId suite) { ++acquired_[static_cast<int>(suite)]; }
  void countRelease(SuiteId suite) { ++released_[static_cast<int>(suite)]; }
  std::int64_t held(SuiteId suite) const {
    return acquired_[static_cast<int>(suite)] - released_[static_cast<int>(suite)];
  }

  // Host objects other than art, known to the plug-in by handle.
  struct Objects;
  Objects& objects() { return *objects_; }
  const Objects& objects() const { return *objects_; }

 private:
  World world_;
  Document document_;
  Record record_;
  std::unique_ptr<Objects> objects_;
  hostapi::PluginEntry entry_ = nullptr;
  void* globals_ = nullptr;
  bool shift_ = false;
  bool pressed_ = false;  // a mouse-down came, and no mouse-up since
  std::int64_t acquired_[kOfferedSuiteCount] = {};
  std::int64_t released_[kOfferedSuiteCount] = {};
  std::map<std::string, std::int64_t> callsByName_;  // kept only when faults are injected
  hostapi::HostError applyFaults(const std::string& call);
  void log(std::string call);
  std::set<void*> blocks_;
  std::function<hostapi::HostError(std::int32_t)> cursorLoader_;
  BreachHandler onBreach_;
  const Event* delivering_ = nullptr;  // the message being handled, if any
};

}  // namespace swhost
