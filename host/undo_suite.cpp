// The undo suite: undoing the current operation.
#include "host/host.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

// --- "AI Undo Suite" --------------------------------------------------------

// Brings the document back to where the current operation (begun at a
// mouse-down) started; with none, there is nothing to undo.
HostError HOSTAPI_CALL undoChanges() {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::undo, "undo changes")) return fault;
  ++host().record().undos;
  host().document().undoOperation();
  return kNoError;
}

}  // namespace

const UndoSuite kUndoSuite{undoChanges};

}  // namespace swhost
