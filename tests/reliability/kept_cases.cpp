#include "tests/reliability/kept_cases.h"

#include <stdexcept>

namespace swrel {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool isMouseDown(const swhost::Event& event) { return isMessage(event, "AI Tool", "AI Mouse Down"); }
bool isMouseUp(const swhost::Event& event) { return isMessage(event, "AI Tool", "AI Mouse Up"); }
bool dropsLists(const swhost::Event& event) {
  return isMessage(event, "SP Access", "Unload") || isMessage(event, "SP Interface", "Shutdown");
}

// How a failure at mouse-up leaves the drag, if it leaves anything.
std::optional<KeptCase> mouseUpCase(std::string_view call) {
  if (startsWith(call, "SP Basic Suite/acquire suite ")) return KeptCase::mouseUpCannotAcquire;
  if (call == "AI Art Suite/dispose art") return KeptCase::mouseUpDisposalFails;
  if (call == "SP Basic Suite/compare strings") return KeptCase::mouseUpNeverDelivered;
  if (startsWith(call, "AI Document View Suite/") || call == "AI Undo Suite/undo changes") {
    return KeptCase::mouseUpFailsAfterDisposal;
  }
  if (call == "AI Annotator Suite/set active") return KeptCase::deactivationFails;
  return std::nullopt;
}

}  // namespace

const std::vector<KeptCaseInfo>& keptCases() {
  static const std::vector<KeptCaseInfo> cases = {
      {KeptCase::mouseUpCannotAcquire, "a mouse-up that cannot acquire the suites", true, true},
      {KeptCase::mouseUpDisposalFails, "a mouse-up whose disposal of a copy fails", true, true},
      {KeptCase::mouseUpNeverDelivered, "a mouse-up a failed string comparison routes nowhere", true, true},
      {KeptCase::clickUndoRestoresLeftovers, "a click after a failed mouse-up: its undo restores the copies", true,
       false},
      {KeptCase::mouseUpFailsAfterDisposal, "a mouse-up whose view lookup, point conversion or undo fails", false,
       true},
      {KeptCase::deactivationFails, "a mouse-up whose deactivation of the annotator fails", false, true},
      {KeptCase::dragCutShortByUnload, "an unload or shutdown during a drag", true, true},
      {KeptCase::mouseDownCannotAcquire, "a failed mouse-up, then a mouse-down that cannot acquire the suites", true,
       false},
      {KeptCase::leftoverDisposalFails, "a failed mouse-up, then a mouse-down whose disposal of a leftover fails", true,
       false},
      {KeptCase::startupCannotDeactivate, "a startup that cannot set the new annotator inactive", false, true},
  };
  return cases;
}

const KeptCaseInfo& keptCaseInfo(KeptCase id) {
  for (const KeptCaseInfo& info : keptCases()) {
    if (info.id == id) return info;
  }
  throw std::logic_error("unknown kept case");
}

KeptPermission keptPermission(const FiredFault& fault, const std::vector<swhost::Event>& events,
                              const std::vector<bool>& undone) {
  KeptPermission permission;
  if (fault.event >= events.size() || !isMouseUp(events[fault.event])) return permission;
  const std::optional<KeptCase> kind = mouseUpCase(fault.name);
  if (!kind) return permission;

  // The drag's annotator stays active to the end unless a later drag ends.
  bool laterMouseDown = false;
  for (std::size_t i = fault.event + 1; i < events.size(); ++i)
    laterMouseDown = laterMouseDown || isMouseDown(events[i]);
  if (!laterMouseDown) permission.annotator = kind;

  if (!keptCaseInfo(*kind).keepsCopies) return permission;
  // The copies stay listed until the next mouse-down removes them, unless
  // an unload or shutdown drops the lists first. If that mouse-down begins
  // a click, the click's undo brings them back.
  for (std::size_t i = fault.event + 1; i < events.size(); ++i) {
    if (dropsLists(events[i])) break;
    if (!isMouseDown(events[i])) continue;
    for (std::size_t up = i + 1; up < events.size() && !isMouseDown(events[up]); ++up) {
      if (isMouseUp(events[up]) && up < undone.size() && undone[up]) {
        permission.copies = KeptCase::clickUndoRestoresLeftovers;
      }
    }
    return permission;
  }
  permission.copies = kind;
  return permission;
}

}  // namespace swrel
