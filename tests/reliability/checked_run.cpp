#include "tests/reliability/checked_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "bridge/suites.h"
#include "tests/reliability/failing_new.h"
#include "tests/reliability/fault_effects.h"

namespace swrel {

namespace {

using hostapi::ArtHandle;
using hostapi::HostError;

constexpr const char* kCompareStrings = "SP Basic Suite/compare strings";
constexpr const char* kAcquirePrefix = "SP Basic Suite/acquire suite ";
constexpr const char* kReleasePrefix = "SP Basic Suite/release suite ";

// What a newly loaded library starts with.
void clearPluginModule() {
  gGlobals = nullptr;
  for (const SuiteImport& row : kSuiteTable) *row.slot = nullptr;
}

bool isFinite(hostapi::ArtworkPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

std::string describe(const swhost::Event& event) { return event.caller + " / " + event.selector; }

std::string codeText(HostError code) { return std::to_string(code); }

}  // namespace

bool isMessage(const swhost::Event& event, std::string_view caller, std::string_view selector) {
  return event.caller == caller && event.selector == selector;
}

CheckedRun::CheckedRun(swhost::World world, hostapi::PluginEntry entry) {
  world.recordCalls = true;
  host_ = std::make_unique<swhost::Host>(std::move(world));
  host_->attach(entry);
  clearPluginModule();
  const std::vector<ArtHandle> handles = host_->document().handles();
  const std::vector<swhost::Path> paths = host_->document().paths();
  for (std::size_t i = 0; i < handles.size(); ++i) {
    originals_.push_back(Original{handles[i], paths[i]});
    originalHandles_.insert(handles[i]);
  }
  seenContents_.insert(contentHash());
}

// A run left unfinished still ends as a quitting host ends it, so that the
// plug-in's memory is freed before the next run loads it afresh.
CheckedRun::~CheckedRun() {
  try {
    finish();
  } catch (...) {  // the run's problems are no longer asked for
  }
}

std::size_t CheckedRun::firedCount(std::string_view call) const {
  return static_cast<std::size_t>(
      std::count_if(fired_.begin(), fired_.end(), [&](const FiredFault& fault) { return fault.name == call; }));
}

std::vector<ArtHandle> CheckedRun::duplicates() const {
  std::vector<ArtHandle> copies;
  for (const ArtHandle art : host_->document().handles()) {
    if (originalHandles_.count(art) == 0) copies.push_back(art);
  }
  return copies;
}

std::set<ArtHandle> CheckedRun::listedReferences() const {
  if (gGlobals == nullptr || gGlobals->referencePaths == nullptr) return {};
  return {gGlobals->referencePaths->begin(), gGlobals->referencePaths->end()};
}

std::set<ArtHandle> CheckedRun::listedCopies() const {
  std::set<ArtHandle> listed = listedReferences();
  if (gGlobals != nullptr && gGlobals->undisposedCopies != nullptr) {
    listed.insert(gGlobals->undisposedCopies->begin(), gGlobals->undisposedCopies->end());
  }
  return listed;
}

std::set<ArtHandle> CheckedRun::strays() const {
  const std::set<ArtHandle> listed = listedCopies();
  std::set<ArtHandle> result;
  for (const ArtHandle copy : duplicates()) {
    if (listed.count(copy) == 0) result.insert(copy);
  }
  return result;
}

void CheckedRun::problem(std::size_t event, const std::string& what) {
  if (!action_.empty()) {
    problems_.push_back("host action " + action_ + " before message " + std::to_string(events_.size()) + ": " + what);
    return;
  }
  const std::string where = event < events_.size()
                                ? "message " + std::to_string(event) + " (" + describe(events_[event]) + ")"
                                : "after the run";
  problems_.push_back(where + ": " + what);
}

// Replays the host's fault rule over the calls just logged: a fault names a
// call and its nth occurrence over the run (0: every one); the first fault
// in the world's list that matches decides.
void CheckedRun::recordFiredFaults(std::size_t event, std::size_t firstCall) {
  const auto& calls = host_->record().calls;
  const std::vector<swhost::Fault>& faults = host_->world().faults;
  for (std::size_t i = firstCall; i < calls.size(); ++i) {
    const std::int64_t nth = ++callCounts_[calls[i]];
    for (const swhost::Fault& fault : faults) {
      if (fault.call == calls[i] && (fault.nth == 0 || fault.nth == nth)) {
        fired_.push_back(FiredFault{i, event, calls[i], fault.error});
        break;
      }
    }
  }
}

HostError CheckedRun::deliver(const swhost::Event& event) {
  const std::size_t index = events_.size();
  events_.push_back(event);
  const swhost::Record& record = host_->record();
  const std::size_t firstCall = record.calls.size();
  const std::size_t faultsBefore = fired_.size();
  const bool allocationFailedBefore = pluginAllocationFailed();
  const std::set<ArtHandle> referencesBefore = listedReferences();
  const std::set<ArtHandle> listedBefore = listedCopies();
  const std::set<ArtHandle> straysBefore = strays();
  const std::int64_t undosBefore = record.undos;
  const std::size_t takenBefore = record.callsOnTakenArt;
  const std::vector<ArtHandle> handlesBefore = host_->document().handles();
  if (isMessage(event, "AI Tool", "AI Mouse Down") && !pressed_) {
    atOperationStart_ = {handlesBefore.begin(), handlesBefore.end()};
    pressed_ = true;
  }
  if (isMessage(event, "AI Tool", "AI Mouse Up")) pressed_ = false;

  loaded_ = true;
  HostError result = hostapi::kNoError;
  try {
    result = host_->deliver(event).result;
  } catch (const std::exception& error) {
    problem(index, std::string("an exception escaped PluginMain: ") + error.what());
  } catch (...) {
    problem(index, "an exception escaped PluginMain");
  }
  results_.push_back(result);
  spans_.push_back(EventSpan{firstCall, record.calls.size()});
  recordFiredFaults(index, firstCall);
  if (!allocationFailedBefore && pluginAllocationFailed()) allocationFailureEvent_ = index;
  const bool faultFired = fired_.size() > faultsBefore;

  if (isMessage(event, "SP Interface", "Startup")) {
    for (const auto& [suite, held] : host_->heldSuites()) {
      const auto acquires = std::count(record.calls.begin() + static_cast<std::ptrdiff_t>(firstCall),
                                       record.calls.end(), kAcquirePrefix + suite);
      if (acquires >= 2) startupNesting_[suite] = 1;
    }
  }
  if (isMessage(event, "SP Access", "Reload") && gGlobals == nullptr && host_->pluginGlobals() != nullptr) {
    bool misrouted = false;
    for (std::size_t i = faultsBefore; i < fired_.size(); ++i)
      misrouted = misrouted || fired_[i].name == kCompareStrings;
    if (misrouted) {
      reloadLost_ = true;
    } else {
      problem(index, "the reload left the plug-in without the globals the host handed it");
    }
  }

  checkHostState(index);
  checkUserPaths(index);
  checkPluginLists(index);
  if (isMessage(event, "AI Tool", "AI Mouse Down")) checkCapture(index, listedBefore);
  // A click's undo outside a press undoes an operation that began before
  // this message at the latest.
  std::set<ArtHandle> operationStart = atOperationStart_;
  if (!pressed_) operationStart.insert(handlesBefore.begin(), handlesBefore.end());
  checkStrays(index, straysBefore, listedBefore, operationStart, record.undos > undosBefore);
  // Art an undo or redo took away fails the plug-in's calls on it as a host
  // failure does.
  const bool metTakenArt = record.callsOnTakenArt > takenBefore;
  if (!metTakenArt) checkResult(index, result, faultsBefore);
  seenContents_.insert(contentHash());

  // A mouse-up that met no failure and had copies to remove leaves the tool
  // idle.
  if (isMessage(event, "AI Tool", "AI Mouse Up") && !faultFired && !metTakenArt && allocationFailureEvent_ != index &&
      result == hostapi::kNoError && !referencesBefore.empty()) {
    if (host_->annotatorActive()) problem(index, "the annotator is still active after a clean mouse-up");
    if (!listedReferences().empty()) problem(index, "copies are still listed after a clean mouse-up");
  }

  if (isMessage(event, "SP Access", "Unload") && result == hostapi::kNoError) {
    // An unload a failed comparison kept from its handler still unloads the
    // library, and the lists the plug-in never freed go with its memory, as
    // at a lost shutdown (see finish()); freed here so later runs start clean.
    bool misrouted = false;
    for (std::size_t i = faultsBefore; i < fired_.size(); ++i)
      misrouted = misrouted || fired_[i].name == kCompareStrings;
    if (misrouted) freeArtLists();
    clearPluginModule();  // the library is unloaded; the next message loads it again
    loaded_ = false;
  }
  return result;
}

void CheckedRun::deliverAll(const std::vector<swhost::Event>& events) {
  for (const swhost::Event& event : events) deliver(event);
}

void CheckedRun::act(const std::string& name, const std::function<void(swhost::Host&)>& action) {
  perform(name, [&action](swhost::Host& host) {
    action(host);
    return false;
  });
}

void CheckedRun::undo() {
  perform("undo", [](swhost::Host& host) { return host.document().undo(); });
}

void CheckedRun::redo() {
  perform("redo", [](swhost::Host& host) { return host.document().redo(); });
}

void CheckedRun::perform(const std::string& name, const std::function<bool(swhost::Host&)>& action) {
  action_ = name;
  bool rebegun = false;
  try {
    rebegun = action(*host_);
  } catch (const std::exception& error) {
    problem(0, std::string("the host threw: ") + error.what());
  }
  checkHostState(0);
  checkUserPaths(0);
  checkPluginLists(0);
  if (seenContents_.count(contentHash()) == 0) problem(0, "the document is one it has never been");
  // What the press does from here on is undone to here.
  if (pressed_ && rebegun) {
    const std::vector<ArtHandle> handles = host_->document().handles();
    atOperationStart_ = {handles.begin(), handles.end()};
  }
  action_.clear();
}

std::uint64_t CheckedRun::contentHash() const {
  // FNV-1a over 8-byte words (the tail padded with zeros), then the length.
  std::uint64_t hash = 1469598103934665603u;
  const auto mix = [&hash](const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes + i, std::min<std::size_t>(8, size - i));
      hash = (hash ^ word) * 1099511628211u;
    }
    hash = (hash ^ size) * 1099511628211u;
  };
  host_->document().forEach([&](ArtHandle art, const swhost::Path& path) {
    mix(&art, sizeof art);
    mix(path.name.data(), path.name.size());
    mix(&path.closed, sizeof path.closed);
    mix(path.segments.data(), path.segments.size() * sizeof(hostapi::PathSegment));
  });
  return hash;
}

void CheckedRun::checkHostState(std::size_t event) {
  const swhost::Record& record = host_->record();
  for (; violationsSeen_ < record.violations.size(); ++violationsSeen_) {
    const swhost::Violation& violation = record.violations[violationsSeen_];
    problem(event, "broke a host contract: " + violation.call + ": " + violation.what);
  }
  if (host_->liveStrings() > firedCount("AI Unicode String Suite/dispose")) {
    problem(event, std::to_string(host_->liveStrings()) + " Unicode string(s) left alive");
  }
  if (host_->liveMatchingAnswers() > firedCount("AI MdMemory Suite/dispose handle")) {
    problem(event, std::to_string(host_->liveMatchingAnswers()) + " matching-art answer(s) left alive");
  }
  if (host_->liveBlocks() > 1 + firedCount("SP Basic Suite/free block")) {
    problem(event, std::to_string(host_->liveBlocks()) + " globals blocks alive");
  }
  for (const auto& [suite, held] : host_->heldSuites()) {
    const auto nesting = startupNesting_.count(suite) != 0 ? startupNesting_.at(suite) : 0;
    const auto refused = static_cast<std::int64_t>(firedCount(kReleasePrefix + suite));
    if (held < 0 || held > nesting + refused) {
      problem(event,
              suite + " held " + std::to_string(held) + " time(s); allowed " + std::to_string(nesting + refused));
    }
  }
}

void CheckedRun::checkUserPaths(std::size_t event) {
  for (const Original& original : originals_) {
    const swhost::Path* now = host_->document().find(original.handle);
    if (now == nullptr) {
      problem(event, "the user's path \"" + original.path.name + "\" is gone");
      continue;
    }
    if (now->segments.size() != original.path.segments.size()) {
      problem(event, "the user's path \"" + original.path.name + "\" changed its segment count");
      continue;
    }
    for (std::size_t i = 0; i < now->segments.size(); ++i) {
      const hostapi::PathSegment& before = original.path.segments[i];
      const hostapi::PathSegment& after = now->segments[i];
      if ((isFinite(before.anchor) && !isFinite(after.anchor)) || (isFinite(before.in) && !isFinite(after.in)) ||
          (isFinite(before.out) && !isFinite(after.out))) {
        problem(event, "the user's path \"" + original.path.name + "\" has a point that is no longer finite");
        break;
      }
    }
  }
}

void CheckedRun::checkPluginLists(std::size_t event) {
  if (gGlobals == nullptr || gGlobals->targetPaths == nullptr || gGlobals->referencePaths == nullptr ||
      gGlobals->undisposedCopies == nullptr) {
    return;
  }
  const ArtList& targets = *gGlobals->targetPaths;
  const ArtList& references = *gGlobals->referencePaths;
  const ArtList& undisposed = *gGlobals->undisposedCopies;
  if (references.size() > targets.size()) problem(event, "more copies listed than targets");
  if (listedCopies().size() != references.size() + undisposed.size()) problem(event, "a copy is listed twice");
  for (const ArtList* list : {&targets, &references, &undisposed}) {
    for (const ArtHandle art : *list) {
      if (host_->document().find(art) == nullptr && !host_->document().takenByHistory(art)) {
        problem(event, "a listed path is no longer in the document");
      }
    }
  }
  const std::set<ArtHandle> copies = listedCopies();
  for (const ArtHandle art : targets) {
    if (copies.count(art) != 0) problem(event, "a copy the plug-in lists is also a target");
  }
}

// A mouse-down never captures a copy the plug-in listed before it: one it
// still had to dispose would be duplicated again, and the document would
// double at every press while the host refuses to dispose.
void CheckedRun::checkCapture(std::size_t event, const std::set<ArtHandle>& listedBefore) {
  if (gGlobals == nullptr || gGlobals->targetPaths == nullptr) return;
  for (const ArtHandle art : *gGlobals->targetPaths) {
    if (listedBefore.count(art) != 0) problem(event, "a copy the plug-in could not dispose was captured again");
  }
}

void CheckedRun::checkStrays(std::size_t event, const std::set<ArtHandle>& straysBefore,
                             const std::set<ArtHandle>& listedBefore, const std::set<ArtHandle>& operationStart,
                             bool undone) {
  std::vector<ArtHandle> appeared;
  for (const ArtHandle copy : strays()) {
    if (straysBefore.count(copy) == 0) appeared.push_back(copy);
  }
  if (appeared.empty()) return;
  const swhost::Event& message = events_[event];
  const auto all = [&](const std::set<ArtHandle>& within) {
    return std::all_of(appeared.begin(), appeared.end(), [&](ArtHandle copy) { return within.count(copy) != 0; });
  };
  const bool listsDropped = isMessage(message, "SP Access", "Unload") || isMessage(message, "SP Interface", "Shutdown");
  const bool undoneRemoval = isMessage(message, "AI Tool", "AI Mouse Up") && undone;
  if ((listsDropped && all(listedBefore)) || (undoneRemoval && all(operationStart))) return;
  problem(event, std::to_string(appeared.size()) + " copy(ies) left in the user's document that nothing will remove");
}

void CheckedRun::checkResult(std::size_t event, HostError result, std::size_t faultsBefore) {
  const std::size_t faults = fired_.size() - faultsBefore;
  const bool allocationFailed = allocationFailureEvent_ == event;
  if (faults == 0 && allocationFailed && result != kOutOfMemoryError) {
    problem(event, "an allocation failed but the result is " + codeText(result) + ", not kOutOfMemoryError");
  }
  if (faults != 1 || allocationFailed) return;
  const FiredFault& fault = fired_[faultsBefore];
  const swhost::Event& message = events_[event];
  const FaultEffect effect = faultEffect(fault.name, message.caller, message.selector);
  bool expected = true;
  switch (effect) {
    case FaultEffect::returned:
      expected = result == fault.error;
      break;
    case FaultEffect::returnedOrNoIcon:
      expected = result == fault.error || result == kNoIconError;
      break;
    case FaultEffect::ignored:
      expected = result != fault.error;
      break;
    case FaultEffect::noIcon:
      expected = result == kNoIconError;
      break;
    case FaultEffect::misroute:
      break;
  }
  if (!expected) {
    problem(event, "\"" + fault.name + "\" failed with " + codeText(fault.error) + " (" + effectName(effect) +
                       "), and the result is " + codeText(result));
  }
}

void CheckedRun::finish() {
  if (finished_) return;
  finished_ = true;
  // A quitting host shuts down a plug-in that is loaded and holds its globals.
  if (loaded_ && host_->pluginGlobals() != nullptr) deliver(swhost::Event{"SP Interface", "Shutdown", {}, {}, {}});
  const std::size_t end = events_.size();

  bool shutdownLost = false;
  if (gGlobals != nullptr) {
    // The last shutdown never reached the plug-in if a comparison failed in it.
    for (std::size_t i = end; i-- > 0;) {
      if (!isMessage(events_[i], "SP Interface", "Shutdown")) continue;
      for (const FiredFault& fault : fired_)
        shutdownLost = shutdownLost || (fault.event == i && fault.name == kCompareStrings);
      break;
    }
    if (!shutdownLost) problem(end, "the plug-in still holds its globals after shutdown");
    freeArtLists();  // what the library would have freed, so later runs start clean
  }
  const std::size_t allowedBlocks =
      firedCount("SP Basic Suite/free block") + (shutdownLost ? 1 : 0) + (reloadLost_ ? 1 : 0);
  if (host_->liveBlocks() > allowedBlocks) {
    problem(end, std::to_string(host_->liveBlocks()) + " globals block(s) never freed");
  }
  for (const SuiteImport& row : kSuiteTable) {
    if (*row.slot != nullptr && firedCount(kReleasePrefix + std::string(row.name)) == 0) {
      problem(end, std::string("the slot of ") + row.name + " is still filled");
    }
  }
  clearPluginModule();
}

}  // namespace swrel
