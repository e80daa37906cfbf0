// The failures after which copies of the user's paths stay in the document,
// or the annotator stays active, because the plug-in's failure rules keep
// them: each is named here, the sweeps allow nothing else, and
// failure_cases_test.cpp shows each one happening.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "tests/reliability/checked_run.h"

namespace swrel {

enum class KeptCase {
  // Copies stay (still listed until a mouse-down removes them) and the
  // annotator stays active:
  mouseUpCannotAcquire,   // the mouse-up cannot acquire the suites
  mouseUpDisposalFails,   // the host refuses to dispose a copy
  mouseUpNeverDelivered,  // a failed string comparison routes the mouse-up nowhere
  // Copies come back, listed nowhere: a click after a failed mouse-up. Its
  // mouse-down removes the copies left behind; the undo the click asks for
  // restores the document as it was before that mouse-down, copies included.
  clickUndoRestoresLeftovers,
  // The annotator stays active over empty lists, the last feedback not
  // erased:
  mouseUpFailsAfterDisposal,  // the view lookup, a point conversion or the undo fails
  deactivationFails,          // the deactivation fails (the invalidation's result replaces its own)
  // Only with more than one failure, or a drag the host cuts short:
  dragCutShortByUnload,  // unload or shutdown during a drag drops the lists; the copies stay
  // After a failed mouse-up, the copies stay listed as undisposed, never
  // captured again, until a later mouse-down disposes them:
  mouseDownCannotAcquire,   // the next mouse-down cannot acquire the suites
  leftoverDisposalFails,    // the host refuses to dispose a leftover copy
  startupCannotDeactivate,  // setting the new annotator inactive fails: active until a mouse-up ends
};

struct KeptCaseInfo {
  KeptCase id;
  std::string_view name;
  bool keepsCopies;
  bool holdsAnnotator;
};

// Every case, in the order above.
const std::vector<KeptCaseInfo>& keptCases();
const KeptCaseInfo& keptCaseInfo(KeptCase id);

// What a run with one host failure may leave at its end: copies in the
// document (and under which case), an active annotator (and under which
// case). `undone[i]` tells whether message i asked for an undo in the
// failure-free run.
struct KeptPermission {
  std::optional<KeptCase> copies;
  std::optional<KeptCase> annotator;
};
KeptPermission keptPermission(const FiredFault& fault, const std::vector<swhost::Event>& events,
                              const std::vector<bool>& undone);

}  // namespace swrel
